// Device-change broadcasts: every window that listens hears that devices were plugged in or pulled out.
// Sources: the udev monitor (real USB devices) and the simulated cameras' plug and unplug.
#pragma once

#include <QObject>

namespace quor {

class DeviceChangeNotifier : public QObject {
    Q_OBJECT
public:
    static DeviceChangeNotifier& Instance();
    // Delivers a device change to every listener. Safe from any thread: listeners hear it on the window's
    // thread, queued behind the events already posted there.
    static void Broadcast();

signals:
    void deviceChanged();

private:
    DeviceChangeNotifier() = default;
};

} // namespace quor
