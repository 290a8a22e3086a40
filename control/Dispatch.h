// The dispatch seam: the console reaches the camera component only through Invoke, and hears from it only
// through an event sink.
#pragma once

#include "control/Variant.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

class QWidget;

namespace quor {

enum class DispatchKind { Method, PropertyGet, PropertyPut };

// Raised by a component (or the hosting layer) when a call cannot be carried out. The console handler that
// made the call ends there; the failure is reported once on stderr and the console keeps running.
class DispatchError : public std::runtime_error {
public:
    DispatchError(int dispid, const std::string& what) : std::runtime_error(what), dispid_(dispid) {}
    int dispid() const { return dispid_; }

private:
    int dispid_;
};

class IDispatchTarget {
public:
    virtual ~IDispatchTarget() = default;
    // Arguments in the order of the interface table. A property put carries the new value as its only argument.
    virtual Variant Invoke(int dispid, DispatchKind kind, std::span<const Variant> args) = 0;
};

// Event ids of the component.
enum EventId : int {
    kEventPropertyValueChanged = 1, // (long code, string text)
    kEventPropertyOptionAdded = 2,  // (long code, string text, long value, bool enable)
    kEventNotify = 3,               // (string name, variant argument by reference)
    kEventCropRectChanged = 4,      // (long, long, long, long)
};

// Receives the component's events on the window's thread. Strings in the arguments live for the call only.
class IEventSink {
public:
    virtual ~IEventSink() = default;
    virtual void OnEvent(int eventId, std::span<Variant> args) = 0;
};

// Properties a host hands to a component when it creates it (what the console's template persists).
struct HostedProperties {
    std::uint8_t backRed = 240, backGreen = 240, backBlue = 240;
    int borderStyle = 0;
};

// A component hosted as a child view of the console.
class IHostedComponent : public IDispatchTarget {
public:
    // The component's view; a child of the parent given at creation.
    virtual QWidget* Widget() = 0;
    // Connects (or, with nullptr, drops) the sink that receives every event of this component.
    virtual void Advise(IEventSink* sink) = 0;
};

using ComponentFactory =
    std::function<std::unique_ptr<IHostedComponent>(QWidget* parent, const HostedProperties& props)>;

// The frame callback a host may register through SetFrameCallback. `buffer` holds `height` rows of
// ((width * 24 + 31) / 32) * 4 bytes each; `context` is the value registered with the callback.
using FrameCallback = void (*)(unsigned char* buffer, std::uint32_t width, std::uint32_t height,
                               std::intptr_t context);

} // namespace quor
