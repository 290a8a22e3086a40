#include "platform/UdevMonitor.h"

#include "platform/DeviceChange.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

#include <libudev.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>

namespace quor {
namespace {

// udevd's control socket: without it no udev event is ever rebroadcast to monitors.
constexpr char kUdevControl[] = "/run/udev/control";

} // namespace

UdevMonitor::UdevMonitor(QObject* parent) : QObject(parent) {
    if (::access(kUdevControl, F_OK) != 0) {
        Disable(QStringLiteral("udev is not running here (no %1)").arg(QLatin1String(kUdevControl)));
        return;
    }
    udev_ = udev_new();
    if (!udev_) {
        Disable(QStringLiteral("udev_new failed"));
        return;
    }
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (!monitor_) {
        Disable(QStringLiteral("cannot open a udev netlink monitor"));
        return;
    }
    // Whole devices only: a camera's interfaces would otherwise announce the same plug several times.
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", "usb_device") < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        Disable(QStringLiteral("cannot receive udev events"));
        return;
    }
    const int fd = udev_monitor_get_fd(monitor_);
    if (fd < 0) {
        Disable(QStringLiteral("the udev monitor has no descriptor"));
        return;
    }
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &UdevMonitor::OnReadable);
}

UdevMonitor::~UdevMonitor() {
    delete notifier_;
    if (monitor_)
        udev_monitor_unref(monitor_);
    if (udev_)
        udev_unref(udev_);
}

void UdevMonitor::Disable(const QString& reason) {
    reason_ = reason;
    if (monitor_)
        monitor_ = udev_monitor_unref(monitor_);
    if (udev_)
        udev_ = udev_unref(udev_);
    static std::atomic<bool> said{false};
    if (!said.exchange(true)) {
        std::fprintf(stderr, "quortovu: USB devices plugged in or pulled out will not be noticed: %s\n",
                     reason.toLocal8Bit().constData());
        std::fflush(stderr);
    }
}

void UdevMonitor::OnReadable() {
    // The descriptor is non-blocking: drain everything that is queued.
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        const char* action = udev_device_get_action(device);
        if (action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0))
            DeviceChangeNotifier::Broadcast();
        udev_device_unref(device);
    }
}

bool StartUdevMonitor() {
    static QPointer<UdevMonitor> monitor;
    if (!monitor) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return false;
        monitor = new UdevMonitor(app);
    }
    return monitor->IsActive();
}

} // namespace quor
