// A stand-in camera component for console tests: records every call in order, answers with scripted
// results, can act inside a call (raise events, fail), and raises the component's events on demand.
#pragma once

#include "control/Dispatch.h"

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quor::test {

struct RecordedCall {
    int dispid;
    DispatchKind kind;
    std::vector<Variant> args;

    // Argument i's 32-bit value field (0 when absent).
    std::int32_t Int(std::size_t i) const { return i < args.size() ? args[i].Int() : 0; }
    std::string Text(std::size_t i) const { return i < args.size() ? args[i].text : std::string(); }
};

class RecordingComponent final : public IHostedComponent {
public:
    using Hook = std::function<void(RecordingComponent&, const RecordedCall&)>;

    RecordingComponent(QWidget* parent, const HostedProperties& props);
    ~RecordingComponent() override;

    // IHostedComponent
    QWidget* Widget() override;
    void Advise(IEventSink* sink) override;
    Variant Invoke(int dispid, DispatchKind kind, std::span<const Variant> args) override;

    // Scripting. Results not scripted are false, 0 or the empty string.
    void SetCameras(std::vector<std::string> names);
    void SetResult(int dispid, Variant result);
    // A result for calls of `dispid` whose first argument's value field is `firstArg`.
    void SetResultFor(int dispid, std::int32_t firstArg, Variant result);
    // Runs `hook` inside every call of `dispid`, after recording it and before answering; the hook may raise
    // events or throw DispatchError.
    void OnCall(int dispid, Hook hook);
    // A DispatchError thrown from every call of `dispid` (while `times` is above 0; -1 for always).
    void FailCall(int dispid, int times = -1);

    // What was called.
    const std::vector<RecordedCall>& Calls() const { return calls_; }
    std::vector<int> CallIds() const;
    std::vector<RecordedCall> CallsOf(int dispid) const;
    std::size_t CountOf(int dispid) const;
    void ClearCalls() { calls_.clear(); }

    // Events, raised through the sink the host advised.
    IEventSink* Sink() const { return sink_; }
    void RaiseValueChanged(std::int32_t code, const std::string& text);
    void RaiseOptionAdded(std::int32_t code, const std::string& text, std::int32_t value, bool enable);
    void RaiseNotify(const std::string& name, Variant argument);
    void RaiseCropRect(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d);
    void RaiseEvent(int eventId, std::vector<Variant> args);

    const HostedProperties& Properties() const { return props_; }
    int AdviseCount() const { return adviseCount_; }

private:
    QPointer<QWidget> view_;
    HostedProperties props_;
    IEventSink* sink_ = nullptr;
    int adviseCount_ = 0;
    std::vector<std::string> cameras_;
    std::map<int, Variant> results_;
    std::map<std::pair<int, std::int32_t>, Variant> resultsFor_;
    std::map<int, Hook> hooks_;
    std::map<int, int> failures_;
    std::vector<RecordedCall> calls_;
};

// A factory for the console that makes a RecordingComponent, runs `setup` on it before the console uses it,
// and stores its address in `*created`.
ComponentFactory RecordingFactory(RecordingComponent** created,
                                  std::function<void(RecordingComponent&)> setup = {});

} // namespace quor::test
