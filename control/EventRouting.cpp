#include "control/EventRouting.h"

#include <cstdio>
#include <cstring>

namespace quor {

bool RunGuarded(const char* what, const std::function<void()>& body) {
    try {
        body();
        return true;
    } catch (const DispatchError& e) {
        std::fprintf(stderr, "quortovu: %s: component call %d failed: %s\n", what, e.dispid(), e.what());
        std::fflush(stderr);
        return false;
    }
}

void EventMap::Bind(int controlId, int eventId, std::size_t arity, Handler handler) {
    entries_.push_back({controlId, eventId, arity, std::move(handler)});
}

bool EventMap::Dispatch(int controlId, int eventId, std::span<Variant> args) const {
    for (const Entry& e : entries_) {
        if (e.controlId != controlId || e.eventId != eventId)
            continue;
        if (args.size() < e.arity)
            return false;
        e.handler(args);
        return true;
    }
    return false;
}

namespace {

class MapSink final : public IEventSink {
public:
    MapSink(EventMap* map, int controlId) : map_(map), controlId_(controlId) {}
    void OnEvent(int eventId, std::span<Variant> args) override { map_->Dispatch(controlId_, eventId, args); }

private:
    EventMap* map_;
    int controlId_;
};

} // namespace

std::unique_ptr<IEventSink> EventMap::SinkFor(int controlId) { return std::make_unique<MapSink>(this, controlId); }

void NotifyTable::Add(std::string name, Handler handler) { entries_.push_back({std::move(name), std::move(handler)}); }

bool NotifyTable::Dispatch(const std::string& name, Variant& argument) const {
    for (const Entry& e : entries_) {
        if (std::strcmp(e.name.c_str(), name.c_str()) == 0) {
            e.handler(argument);
            return true;
        }
    }
    return false;
}

} // namespace quor
