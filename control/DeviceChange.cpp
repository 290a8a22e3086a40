#include "control/DeviceChange.h"

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

void DeviceChangeNotifier::Broadcast() {
    DeviceChangeNotifier& n = Instance();
    QMetaObject::invokeMethod(&n, [&n] { emit n.deviceChanged(); }, Qt::QueuedConnection);
}

} // namespace quor
