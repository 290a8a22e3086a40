// The camera engine: the list of connected (simulated) cameras, the one open session, and the events a
// session raises. It lives on the window's thread; everything it reports goes out through its outlet, either
// at once (inside the call that caused it) or posted to run after the current call has returned.
#pragma once

#include "component/GPhotoCamera.h"
#include "component/GPhotoVocabulary.h"
#include "component/SimulatedCamera.h"
#include "control/Variant.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quor::component {

// Where the engine's events go (the component, which hands them to the host's sink).
class IEngineOutlet {
public:
    virtual ~IEngineOutlet() = default;
    virtual void RaisePropertyValueChanged(std::int32_t code, std::string_view text) = 0;
    virtual void RaisePropertyOptionAdded(std::int32_t code, std::string_view text, std::int32_t value,
                                          bool enable) = 0;
    virtual void RaiseNotify(const char* name, Variant argument) = 0;
    // Runs `task` on the window's thread after the current call has returned. A task still queued when the
    // outlet is destroyed never runs. Safe from any thread.
    virtual void Post(std::function<void()> task) = 0;
};

// Where the list's real cameras come from.
struct RealCameraSources {
    bool detectUsb = false;              // libgphoto2's USB detection, again on every device change
    bool networkFromEnvironment = false; // QUORCTRL_NETWORK_CAMERAS
    std::vector<gphoto::NetworkCamera> network;
};

class CameraEngine : public QObject, private IGPhotoEvents {
    Q_OBJECT
public:
    static constexpr int kMaxCameras = 8; // simulated ones
    static constexpr int kDefaultCameras = 1;
    static constexpr const char* kCameraCountVariable = "QUORCTRL_SIMULATED_CAMERAS";

    // Number of simulated cameras asked for by QUORCTRL_SIMULATED_CAMERAS (0..8); kDefaultCameras when it is
    // unset, and also (with a word on stderr) when it holds anything else.
    static int CameraCountFromEnvironment();
    static constexpr const char* kNetworkCamerasVariable = "QUORCTRL_NETWORK_CAMERAS";
    // How long OpenCamera waits for a real camera.
    static constexpr std::chrono::seconds kOpenTimeout{10};

    CameraEngine(IEngineOutlet* outlet, int simulatedCameras);
    ~CameraEngine() override;

    // Connected cameras: the USB cameras libgphoto2 found, the network cameras, then the simulated ones.
    int CameraCount() const { return RealCount() + static_cast<int>(cameras_.size()); }
    int SimulatedCameraCount() const { return SimulatedCount(); }
    // Display name of camera `index`; empty when there is none at that position.
    std::string CameraName(int index) const;
    // The simulated camera at `index`; nullptr for a real camera or none.
    const SimulatedCamera* Camera(int index) const;
    // The real camera at `index`; nullptr for a simulated camera or none.
    const RealCameraInfo* RealCamera(int index) const;

    // Real cameras. Starts keeping the list's real part current (USB detection runs on a thread of its own).
    void EnableRealCameras(const RealCameraSources& sources);
    // Where a real camera's downloads and live-view frames go (the component's capture listener, its live view
    // and its photo filer).
    void SetRealCameraLinks(ICaptureListener* capture, LiveView* live, storage::PhotoFiler* filer);
    // How patient the workers are with a busy camera and how often they poll when idle (tests shorten them).
    void SetRealCameraTiming(const GPhotoCamera::Timing& timing) { timing_ = timing; }
    // Adds a network camera to the list (a device change); false when it is listed already.
    bool AddNetworkCamera(const gphoto::NetworkCamera& camera);
    const std::vector<gphoto::NetworkCamera>& NetworkCameras() const { return network_; }
    // Looks for USB cameras again, off this thread; the list changes (and a device change is broadcast) when
    // the result differs.
    void Rescan();
    bool Scanning() const { return scanning_.load(); }
    // USB detections finished so far.
    int ScansDone() const { return scansDone_; }
    // Ends a running USB detection and waits for it.
    void StopScanning();
    // Waits for the workers of closed real cameras to let their bodies go.
    void FinishClosedCameras() { retired_.clear(); }

    // Simulation controls (test hooks; the component's settings dialog later). Every change of the list is
    // a device change: DeviceChangeNotifier::Broadcast().
    // Plugs or pulls cameras at the end of the list until `count` (clamped to 0..kMaxCameras) are connected.
    void SetSimulatedCameraCount(int count);
    // Plugs in one more camera at the end of the list; false when kMaxCameras are connected.
    bool PlugCamera();
    // Pulls out camera `index`; pulling out the open camera ends its session and raises "shutDown".
    bool PullOutCamera(int index);
    // The lens's AF/MF switch, for every camera of this component.
    void SetLensManualFocus(bool manual);
    bool LensManualFocus() const { return lensManualFocus_; }
    // Free space on the memory card, which sets the available shots.
    void SetCardFreeMegabytes(std::int64_t megabytes);
    std::int64_t CardFreeMegabytes() const { return cardFreeKilobytes_ / 1024; }
    // A shot of `kilobytes` written to the card.
    void ConsumeCard(std::int64_t kilobytes);
    // Time for the battery of an open camera to drop by one percent.
    void SetBatteryDrainInterval(std::chrono::milliseconds perPercent) { drainInterval_ = perPercent; }

    // The session.
    // Opens camera `index`, closing any other first. Its properties, then "OpenSucceed", are raised after the
    // call has returned. False for an index outside the list.
    bool Open(int index);
    // Ends the session quietly (no event). False when no camera was open.
    bool Close();
    bool IsOpen() const { return open_ != nullptr || real_ != nullptr; }
    int OpenIndex() const;
    // The open simulated camera; nullptr while none, or a real one, is open.
    const SimulatedCamera* OpenCamera() const { return open_; }
    // The open real camera; nullptr while none, or a simulated one, is open.
    GPhotoCamera* Real() const { return real_.get(); }
    bool IsRealOpen() const { return real_ != nullptr; }
    // The open camera's name as the list shows it (empty while none is open).
    std::string OpenDisplayName() const;
    // Why the last open of a real camera failed, in plain words.
    const std::string& LastOpenError() const { return lastOpenError_; }
    // Changes with every open and close.
    std::uint64_t Session() const { return session_; }

    // Property access of the open camera; 0, empty text or false while none is open.
    std::int32_t PropertyValue(std::int32_t code) const;
    std::string PropertyText(std::int32_t code) const;
    bool SetPropertyValue(std::int32_t code, std::int32_t value);
    std::int32_t AvailableShots() const;

signals:
    // Something the view shows has changed (camera list, session, settings).
    void stateChanged();
    // The open session has just ended (closed by the host, replaced by another, or the camera pulled out).
    // Whatever runs on the camera stops here, before anything else is told.
    void sessionEnded();
    // A real camera's live view sends frames of this size: size the pool and call Real()->LiveViewReady().
    void liveViewSize(int width, int height);
    // Something a real camera wants the user to read.
    void cameraMessage(const QString& text);

private:
    struct RealOption {
        std::string text;   // in the component's words
        std::string gpText; // as the library names it
        std::int32_t value;
        bool operator==(const RealOption&) const = default;
    };
    struct RealProperty {
        std::vector<RealOption> options;
        bool enabled = false;
        std::string gpValue;
        std::string text;
        std::int32_t value = 0;
    };

    // IGPhotoEvents
    void OnWidgetChanged(std::uint64_t session, const WidgetState& state) override;
    void OnLiveViewSize(std::uint64_t session, int width, int height) override;
    void OnCameraLost(std::uint64_t session, const std::string& reason) override;
    void OnCameraMessage(std::uint64_t session, const std::string& text) override;

    int RealCount() const { return static_cast<int>(realList_.size()); }
    int SimulatedCount() const { return static_cast<int>(cameras_.size()); }
    bool OpenReal(const RealCameraInfo& info);
    void ApplyWidget(const WidgetState& state, bool raise);
    std::int32_t RealValueFor(std::int32_t code, const std::string& gpText);
    void RaiseRealOffer(std::int32_t code, std::uint64_t session);
    void PublishRealProperties();
    void RebuildRealList();
    void OnScanDone(std::vector<RealCameraInfo> found);

    void PostInSession(std::function<void()> task);
    void RaiseOffer(std::int32_t code, std::uint64_t session);
    void Deliver(const PropertyChanges& changes);
    void PublishProperties();

    IEngineOutlet* outlet_;
    std::vector<std::unique_ptr<SimulatedCamera>> cameras_;
    SimulatedCamera* open_ = nullptr;
    // Changes with every open and close, so that events queued for one session never reach another.
    std::uint64_t session_ = 0;
    int plugged_ = 0; // bodies plugged in so far; picks the next body from the catalogue
    bool lensManualFocus_ = false;
    std::int64_t cardFreeKilobytes_ = 29812LL * 1024; // a 32 GB card with a few hundred shots on it
    std::chrono::milliseconds drainInterval_{std::chrono::minutes(2)};

    // Real cameras.
    std::vector<RealCameraInfo> usb_;
    std::vector<gphoto::NetworkCamera> network_;
    std::vector<RealCameraInfo> realList_; // usb_ then network_
    std::unique_ptr<GPhotoCamera> real_;
    RealCameraInfo realInfo_;
    std::vector<std::unique_ptr<GPhotoCamera>> retired_; // opens that timed out, still finishing
    ICaptureListener* captureLink_ = nullptr;
    LiveView* liveLink_ = nullptr;
    storage::PhotoFiler* filerLink_ = nullptr;
    GPhotoCamera::Timing timing_;
    std::string lastOpenError_;
    // The open real camera's properties, as its worker last reported them.
    std::map<std::int32_t, RealProperty> realProps_;
    std::map<std::pair<std::int32_t, std::string>, std::int32_t> realValues_; // stable values per option text
    std::string realModel_, realSerial_, realFirmware_;
    std::int32_t realBattery_ = 0, realShots_ = 0, realSaveTo_ = 2;
    bool realPublished_ = false;
    // USB detection.
    bool detectUsb_ = false;
    std::thread scanThread_;
    std::atomic<bool> scanning_{false};
    bool rescanPending_ = false;
    int scansDone_ = 0;
};

} // namespace quor::component
