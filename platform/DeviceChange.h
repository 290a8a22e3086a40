// Device-change broadcasts: every window that listens hears that devices were plugged in or pulled out.
// Sources: the udev monitor (real USB devices) and the simulated cameras' plug and unplug.
#pragma once

#include <QObject>

namespace quor {

class DeviceChangeNotifier : public QObject {
    Q_OBJECT
public:
    // Where a change comes from: USB hardware (the udev monitor), or a camera list that changed by itself
    // (simulated cameras plugged or pulled, a network camera added), where looking for USB cameras again
    // would find nothing new.
    enum class Origin { Usb, CameraList };

    static DeviceChangeNotifier& Instance();
    // Delivers a device change to every listener. Safe from any thread: listeners hear it on the window's
    // thread, queued behind the events already posted there.
    static void Broadcast(Origin origin = Origin::Usb);

signals:
    // Every change.
    void deviceChanged();
    // Changes of USB hardware only (emitted right after deviceChanged).
    void usbDevicesChanged();

private:
    DeviceChangeNotifier() = default;
};

} // namespace quor
