#include "component/gphoto/RealCameraList.h"

#include "component/gphoto/GPhotoLibrary.h"
#include "component/session/Messages.h"
#include "platform/DeviceChange.h"

#include <gphoto2/gphoto2.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QMetaObject>
#include <QtGlobal>

#include <algorithm>
#include <string_view>
#include <utility>

namespace quor::component {
namespace {

std::vector<RealCameraInfo> DetectUsbCameras() {
    std::vector<RealCameraInfo> found;
    std::lock_guard lock(GPhotoLibraryMutex());
    GPContext* context = gp_context_new();
    CameraList* list = nullptr;
    gp_list_new(&list);
    if (gp_camera_autodetect(list, context) >= GP_OK) {
        for (int i = 0; i < gp_list_count(list); ++i) {
            const char* model = nullptr;
            const char* port = nullptr;
            gp_list_get_name(list, i, &model);
            gp_list_get_value(list, i, &port);
            // Only USB: a network camera is listed because it was named, never by probing.
            if (model && port && std::string_view(port).substr(0, 4) == "usb:")
                found.push_back(RealCameraInfo{model, model, port, false});
        }
    }
    gp_list_free(list);
    gp_context_unref(context);
    return found;
}

} // namespace

RealCameraList::~RealCameraList() { StopScanning(); }

void RealCameraList::Enable(const RealCameraSources& sources) {
    for (const gphoto::NetworkCamera& c : sources.network)
        if (std::find(network_.begin(), network_.end(), c) == network_.end())
            network_.push_back(c);
    if (sources.networkFromEnvironment && qEnvironmentVariableIsSet(kNetworkCamerasVariable)) {
        const QByteArray raw = qgetenv(kNetworkCamerasVariable);
        std::vector<std::string> rejected;
        for (const gphoto::NetworkCamera& c : gphoto::ParseNetworkCameras(raw.toStdString(), &rejected))
            if (std::find(network_.begin(), network_.end(), c) == network_.end())
                network_.push_back(c);
        for (const std::string& r : rejected)
            PrintToStderr(QCoreApplication::translate("quor::gphoto", "%1：“%2”不是 host[:port] 格式，已忽略")
                              .arg(QLatin1String(kNetworkCamerasVariable), QString::fromStdString(r)));
    }
    Rebuild();
    if (sources.detectUsb && !detectUsb_) {
        detectUsb_ = true;
        // Only USB hardware changes start a detection: each one costs libgphoto2 2.5.30 about 150 kB it never
        // gives back (inside gp_abilities_list_detect), so the list's own changes must not trigger one.
        connect(&DeviceChangeNotifier::Instance(), &DeviceChangeNotifier::usbDevicesChanged, this,
                &RealCameraList::Rescan);
        Rescan();
    }
}

bool RealCameraList::AddNetworkCamera(const gphoto::NetworkCamera& camera) {
    if (std::find(network_.begin(), network_.end(), camera) != network_.end())
        return false;
    network_.push_back(camera);
    Rebuild();
    return true;
}

void RealCameraList::Rebuild() {
    std::vector<RealCameraInfo> list = usb_;
    for (const gphoto::NetworkCamera& c : network_)
        list.push_back(RealCameraInfo{c.DisplayName(), "PTP/IP Camera", c.PortPath(), true});
    if (list == list_)
        return;
    list_ = std::move(list);
    emit changed();
}

void RealCameraList::Rescan() {
    if (!detectUsb_)
        return;
    if (scanning_.load()) {
        rescanPending_ = true;
        return;
    }
    if (scanThread_.joinable())
        scanThread_.join(); // finished already
    scanning_.store(true);
    scanThread_ = std::thread([this] {
        std::vector<RealCameraInfo> found = DetectUsbCameras();
        QMetaObject::invokeMethod(
            this, [this, found = std::move(found)]() mutable { OnScanDone(std::move(found)); }, Qt::QueuedConnection);
        scanning_.store(false);
    });
}

void RealCameraList::StopScanning() {
    if (scanThread_.joinable())
        scanThread_.join();
    rescanPending_ = false;
}

void RealCameraList::LeaveBehind() {
    if (!scanThread_.joinable())
        return;
    if (scanning_.load())
        scanThread_.detach();
    else
        scanThread_.join(); // done but for its return
}

void RealCameraList::OnScanDone(std::vector<RealCameraInfo> found) {
    usb_ = std::move(found);
    ++scansDone_;
    Rebuild();
    if (std::exchange(rescanPending_, false))
        Rescan();
}

} // namespace quor::component
