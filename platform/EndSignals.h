// The requests to end that a desktop's logout, systemctl, kill and a terminal's Ctrl+C send (SIGTERM, SIGINT,
// SIGHUP), turned into a call on the window's thread, so that the program ends the way closing its window ends
// it. A second request, while the first is still being carried out, ends the process at once.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace quor {

class EndSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers (one EndSignals at a time). `end` runs on the window's thread at the first request.
    explicit EndSignals(std::function<void()> end, QObject* parent = nullptr);
    ~EndSignals() override;
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

    // The exit status of a process ended at once by the second request: 128 + the signal, as a shell reports it.
    static int ImmediateStatus(int signal) { return 128 + signal; }

private:
    void Received();

    std::function<void()> end_;
    int pipe_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace quor
