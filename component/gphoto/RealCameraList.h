// The real cameras in the list: the USB cameras libgphoto2 detects, then the network cameras the component was
// told about. Kept current in the background: every USB device plugged in or pulled out starts a detection on a
// thread of its own, and the window never waits for it.
#pragma once

#include "component/gphoto/GPhotoVocabulary.h"

#include <QObject>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace quor::component {

// A camera in the list that libgphoto2 drives.
struct RealCameraInfo {
    std::string name;  // what the camera list shows
    std::string model; // libgphoto2's model name (the driver it picks)
    std::string port;  // libgphoto2's port path
    bool network = false;
    bool operator==(const RealCameraInfo&) const = default;
};

// Where the list's real cameras come from.
struct RealCameraSources {
    bool detectUsb = false;              // libgphoto2's USB detection, again on every USB device change
    bool networkFromEnvironment = false; // QUORCTRL_NETWORK_CAMERAS
    std::vector<gphoto::NetworkCamera> network;
};

class RealCameraList : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kNetworkCamerasVariable = "QUORCTRL_NETWORK_CAMERAS";

    RealCameraList() = default;
    ~RealCameraList() override; // StopScanning()

    // Starts keeping the list current from `sources`.
    void Enable(const RealCameraSources& sources);
    // Adds a network camera; false when it is listed already.
    bool AddNetworkCamera(const gphoto::NetworkCamera& camera);
    const std::vector<gphoto::NetworkCamera>& NetworkCameras() const { return network_; }

    const std::vector<RealCameraInfo>& Cameras() const { return list_; }

    // Looks for USB cameras again, off this thread; the list changes when the result differs.
    void Rescan();
    bool Scanning() const { return scanning_.load(); }
    // USB detections finished so far.
    int ScansDone() const { return scansDone_; }
    // Ends a running USB detection and waits for it.
    void StopScanning();
    // The process ends without destroying the list: a detection that has finished is joined, one still running
    // is let go (detached).
    void LeaveBehind();

signals:
    void changed();

private:
    void Rebuild();
    void OnScanDone(std::vector<RealCameraInfo> found);

    std::vector<RealCameraInfo> usb_;
    std::vector<gphoto::NetworkCamera> network_;
    std::vector<RealCameraInfo> list_; // usb_ then network_
    bool detectUsb_ = false;
    std::thread scanThread_;
    std::atomic<bool> scanning_{false};
    bool rescanPending_ = false;
    int scansDone_ = 0;
};

} // namespace quor::component
