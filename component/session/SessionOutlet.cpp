#include "component/session/SessionOutlet.h"

namespace quor::component {

void SessionOutlet::Post(std::function<void(ISessionEvents&)> report) const {
    if (!state_)
        return;
    state_->post([state = state_, generation = generation_, report = std::move(report)] {
        if (state->open == generation)
            report(*state->host);
    });
}

void SessionOutlet::PostTask(std::function<void()> task) const {
    if (!state_)
        return;
    state_->post([state = state_, generation = generation_, task = std::move(task)] {
        if (state->open == generation)
            task();
    });
}


SessionGate::SessionGate(ISessionEvents* host, PostFn post) : state_(std::make_shared<SessionOutlet::State>()) {
    state_->host = host;
    state_->post = std::move(post);
}

SessionOutlet SessionGate::Open() {
    state_->open = ++state_->opened;
    return SessionOutlet(state_, state_->open);
}

void SessionGate::Close() { state_->open = 0; }

void SessionGate::PostUnlessReopened(std::function<void()> task) {
    state_->post([state = state_, opened = state_->opened, task = std::move(task)] {
        if (state->opened == opened)
            task();
    });
}

} // namespace quor::component
