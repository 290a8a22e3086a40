#include "component/host/ProcessEnd.h"

#include "component/host/QuorCtrlComponent.h"
#include "component/session/PhotoWork.h"

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define QUOR_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUOR_LEAK_CHECK 1
#endif
#endif
#if defined(QUOR_LEAK_CHECK)
#include <sanitizer/lsan_interface.h>
#endif

namespace quor::component {
namespace {

std::vector<QuorCtrlComponent*>& Enlisted() {
    static std::vector<QuorCtrlComponent*> components;
    return components;
}

bool CamerasLetGo() {
    const auto& all = Enlisted();
    return std::all_of(all.begin(), all.end(), [](const QuorCtrlComponent* c) { return c->CamerasLetGo(); });
}

// Until every camera is let go and no photo is under way; a worker whose body stopped answering is given up on
// after its grace, a photo after kPhotoGrace. A worker gets its grace again once its photo is on disk.
void AwaitWorkers(std::chrono::steady_clock::time_point start) {
    using Clock = std::chrono::steady_clock;
    const auto photoDeadline = start + kPhotoGrace;
    auto workerDeadline = start + kWorkerGrace;
    for (;;) {
        const auto now = Clock::now();
        const bool photos = PhotoWork::InProgress() > 0;
        if (photos && now >= photoDeadline)
            return;
        if (photos)
            workerDeadline = std::max(workerDeadline, now + kWorkerGrace);
        else if (now >= workerDeadline || CamerasLetGo())
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace

void EnlistForProcessEnd(QuorCtrlComponent* component) { Enlisted().push_back(component); }

void DelistFromProcessEnd(QuorCtrlComponent* component) { std::erase(Enlisted(), component); }

void EndProcess(int exitCode) {
    const auto start = std::chrono::steady_clock::now();
    for (QuorCtrlComponent* c : Enlisted())
        c->BeginProcessEnd();
    AwaitWorkers(start);
    for (QuorCtrlComponent* c : Enlisted())
        c->FinishForProcessEnd();
    std::fflush(nullptr);
#if defined(QUOR_LEAK_CHECK)
    // The leak check a normal exit makes, here with every thread still there: what a worker left behind holds
    // is still in use.
    __lsan_do_leak_check();
#endif
    ::_exit(exitCode);
}

} // namespace quor::component
