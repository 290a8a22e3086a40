// The one path a session's reports take to the host: on the window's thread, and only while that session is
// the open one. A report made inside a host's call goes out at once (Tell); one from a worker thread is posted
// (Post) and dropped on arrival if its session has ended meanwhile. Sessions and their workers keep a copy of
// their outlet; the gate, owned by the camera engine, opens and closes them.
#pragma once

#include "component/session/CameraSession.h"

#include <functional>
#include <memory>

namespace quor::component {

// Runs a task on the window's thread after the current call has returned; safe from any thread. A task still
// queued when the component goes never runs.
using PostFn = std::function<void(std::function<void()>)>;

class SessionOutlet {
public:
    SessionOutlet() = default;

    // Window thread: whether this session is the open one.
    bool Open() const { return state_ && state_->open == generation_; }
    // Window thread: reports now, if the session is still open.
    template <typename Report>
    void Tell(Report&& report) const {
        if (Open())
            report(*state_->host);
    }
    // Any thread: reports on the window's thread once the current call there has returned, if the session is
    // still open then.
    void Post(std::function<void(ISessionEvents&)> report) const;
    // Any thread: runs `task` on the window's thread later, if the session is still open then. For work of the
    // session itself (a worker's result it takes in before reporting).
    void PostTask(std::function<void()> task) const;

private:
    friend class SessionGate;
    struct State {
        ISessionEvents* host = nullptr;
        PostFn post;
        std::uint64_t open = 0;  // the open session's generation; 0 while none is open
        std::uint64_t opened = 0; // generations handed out so far
    };
    SessionOutlet(std::shared_ptr<State> state, std::uint64_t generation)
        : state_(std::move(state)), generation_(generation) {}

    std::shared_ptr<State> state_;
    std::uint64_t generation_ = 0;
};

class SessionGate {
public:
    SessionGate(ISessionEvents* host, PostFn post);
    // A new session opens (ending any other): its outlet.
    SessionOutlet Open();
    // The open session ends: its outlet goes quiet at once, also for reports already on their way.
    void Close();
    // Runs `task` on the window's thread later, unless a session has been opened meanwhile ("shutDown" for a
    // camera that went away must not close its successor).
    void PostUnlessReopened(std::function<void()> task);

private:
    std::shared_ptr<SessionOutlet::State> state_;
};

} // namespace quor::component
