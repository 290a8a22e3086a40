// The platform side of device-change broadcasts: a udev monitor that turns USB devices being plugged in or
// pulled out into DeviceChangeNotifier::Broadcast(). Where udev is not running (containers, CI machines) it
// says so once on stderr and does nothing; the simulated cameras still broadcast their own changes.
#pragma once

#include <QObject>

struct udev;
struct udev_monitor;
class QSocketNotifier;

namespace quor {

class UdevMonitor : public QObject {
    Q_OBJECT
public:
    explicit UdevMonitor(QObject* parent = nullptr);
    ~UdevMonitor() override;

    // True when USB add and remove events are being watched.
    bool IsActive() const { return notifier_ != nullptr; }
    // Why the monitor is inactive (empty when active).
    const QString& Reason() const { return reason_; }

private:
    void OnReadable();
    void Disable(const QString& reason);

    struct udev* udev_ = nullptr;
    struct udev_monitor* monitor_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
    QString reason_;
};

// Starts the process-wide udev monitor on the window's thread (call once the application object exists; later
// calls do nothing). It lives until the application object is destroyed. Returns whether it is active.
bool StartUdevMonitor();

} // namespace quor
