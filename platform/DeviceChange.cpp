#include "platform/DeviceChange.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace quor {

DeviceChangeNotifier& DeviceChangeNotifier::Instance() {
    static DeviceChangeNotifier* instance = [] {
        auto* n = new DeviceChangeNotifier;
        if (QCoreApplication::instance())
            n->moveToThread(QCoreApplication::instance()->thread());
        return n;
    }();
    return *instance;
}

void DeviceChangeNotifier::Broadcast(Origin origin) {
    DeviceChangeNotifier& n = Instance();
    QMetaObject::invokeMethod(
        &n,
        [&n, origin] {
            emit n.deviceChanged();
            if (origin == Origin::Usb)
                emit n.usbDevicesChanged();
        },
        Qt::QueuedConnection);
}

} // namespace quor
