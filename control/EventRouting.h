// Routing of component events to the host's handlers: an event map keyed by control id and event id, and a
// table of Notify names matched in order.
#pragma once

#include "control/Dispatch.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace quor {

// Runs `body`; a DispatchError escaping it ends it there and is reported once on stderr, naming `what`.
// Returns false when the body was cut short.
bool RunGuarded(const char* what, const std::function<void()>& body);

class EventMap {
public:
    using Handler = std::function<void(std::span<Variant>)>;

    // Binds event `eventId` of control `controlId` to `handler`. An event with fewer than `arity` arguments
    // is not passed on.
    void Bind(int controlId, int eventId, std::size_t arity, Handler handler);
    // Hands the event to its handler. Returns false when nothing is bound to it (the event then does nothing).
    bool Dispatch(int controlId, int eventId, std::span<Variant> args) const;
    // A sink that delivers every event of one hosted control to this map, tagged with its control id.
    std::unique_ptr<IEventSink> SinkFor(int controlId);

private:
    struct Entry {
        int controlId;
        int eventId;
        std::size_t arity;
        Handler handler;
    };
    std::vector<Entry> entries_;
};

// Notify names, tested in the order they were added. A name matches only when it equals the whole
// zero-terminated string byte for byte (case-sensitive; a trailing blank does not match).
class NotifyTable {
public:
    using Handler = std::function<void(Variant&)>;

    void Add(std::string name, Handler handler);
    // Calls the first matching handler with `argument`. Returns false when no name matches.
    bool Dispatch(const std::string& name, Variant& argument) const;
    std::size_t size() const { return entries_.size(); }
    const std::string& NameAt(std::size_t i) const { return entries_[i].name; }

private:
    struct Entry {
        std::string name;
        Handler handler;
    };
    std::vector<Entry> entries_;
};

} // namespace quor
