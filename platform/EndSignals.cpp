#include "platform/EndSignals.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcEnd, "quor.platform.end")

namespace quor {
namespace {

constexpr std::array kSignals{SIGTERM, SIGINT, SIGHUP};

// What the handler may touch: a descriptor to write to and a count, nothing else (async-signal-safe only).
std::atomic<int> gWriteEnd{-1};
std::atomic<int> gRequests{0};

extern "C" void OnEndSignal(int signal) {
    // At once means at once: the process goes with every thread as it stands, with nothing run on the way out
    // (not even a sanitizer's end-of-run checks, which _exit would run).
    if (gRequests.fetch_add(1) > 0)
        ::syscall(SYS_exit_group, EndSignals::ImmediateStatus(signal));
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(gWriteEnd.load(), &byte, 1);
    errno = saved;
}

} // namespace

EndSignals::EndSignals(std::function<void()> end, QObject* parent) : QObject(parent), end_(std::move(end)) {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcEnd) << "no pipe for the end signals; they end the program at once";
        return;
    }
    gRequests = 0;
    gWriteEnd = pipe_[1];
    notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &EndSignals::Received);
    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int s : kSignals)
        ::sigaction(s, &action, nullptr);
}

EndSignals::~EndSignals() {
    if (pipe_[0] < 0)
        return;
    for (const int s : kSignals)
        std::signal(s, SIG_DFL);
    gWriteEnd = -1;
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void EndSignals::Received() {
    unsigned char byte = 0;
    while (::read(pipe_[0], &byte, 1) == 1)
        qCInfo(lcEnd, "asked to end by signal %d: ending as when the window closes", int(byte));
    if (end_)
        end_();
}

} // namespace quor
