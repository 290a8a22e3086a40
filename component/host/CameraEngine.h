// The camera engine: the list of connected cameras (the real ones libgphoto2 reaches, then the simulated ones)
// and the one open session. It lives on the window's thread; every session it opens reports to the host through
// the engine's gate, which keeps an ended session's reports from reaching anyone.
#pragma once

#include "component/gphoto/GPhotoCamera.h"
#include "component/gphoto/RealCameraList.h"
#include "component/session/SessionOutlet.h"
#include "component/sim/Simulator.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quor::component {

class CameraEngine : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxCameras = Simulator::kMaxCameras; // simulated ones
    static constexpr int kDefaultCameras = 1;
    static constexpr const char* kCameraCountVariable = "QUORCTRL_SIMULATED_CAMERAS";
    static constexpr const char* kNetworkCamerasVariable = RealCameraList::kNetworkCamerasVariable;

    // Number of simulated cameras asked for by QUORCTRL_SIMULATED_CAMERAS (0..8); kDefaultCameras when it is
    // unset, and also (with a word on stderr) when it holds anything else.
    static int CameraCountFromEnvironment();

    // Sessions report to `host` through `post` (the window's thread); they use `services`.
    CameraEngine(ISessionEvents* host, PostFn post, const SessionServices& services, int simulatedCameras);
    ~CameraEngine() override;

    // The list: the USB cameras libgphoto2 found, the network cameras, then the simulated ones.
    int CameraCount() const;
    // Display name of camera `index`; empty when there is none at that position.
    std::string CameraName(int index) const;
    // The simulated camera at `index`; nullptr for a real camera or none.
    const SimulatedCamera* Camera(int index) const;
    // The real camera at `index`; nullptr for a simulated camera or none.
    const RealCameraInfo* RealCamera(int index) const;

    // Real cameras: where the list's real part comes from, network cameras added by hand, USB detection.
    void EnableRealCameras(const RealCameraSources& sources) { real_.Enable(sources); }
    bool AddNetworkCamera(const gphoto::NetworkCamera& camera) { return real_.AddNetworkCamera(camera); }
    const std::vector<gphoto::NetworkCamera>& NetworkCameras() const { return real_.NetworkCameras(); }
    void Rescan() { real_.Rescan(); }
    bool Scanning() const { return real_.Scanning(); }
    int ScansDone() const { return real_.ScansDone(); }
    void StopScanning() { real_.StopScanning(); }
    // How patient real cameras' workers are with a busy camera and how often they poll (tests shorten them).
    void SetRealCameraTiming(const GPhotoCamera::Timing& timing) { timing_ = timing; }

    // The simulated cameras' world. Every change of the list is a device change.
    Simulator& Sim() { return sim_; }
    const Simulator& Sim() const { return sim_; }
    int SimulatedCameraCount() const { return sim_.Count(); }
    // Plugs or pulls simulated cameras at the end of the list until `count` (0..kMaxCameras) are connected.
    void SetSimulatedCameraCount(int count);
    bool PlugCamera() { return sim_.Plug(); }
    // Pulls out camera `index`; pulling out the open camera ends its session and raises "shutDown". A real camera
    // stays listed until detection no longer finds it.
    bool PullOutCamera(int index);
    void SetLensManualFocus(bool manual) { sim_.SetLensManualFocus(manual); }
    // The live-view frame size asked of every real camera that offers it, from the next open on (and of the open
    // one now); empty: as the camera has it.
    void SetCameraLiveViewSize(const std::string& size);
    const std::string& CameraLiveViewSize() const { return cameraLiveViewSize_; }
    std::vector<std::string> CameraLiveViewSizes() const;
    bool LensManualFocus() const { return sim_.LensManualFocus(); }
    void SetCardFreeMegabytes(std::int64_t megabytes) { sim_.SetCardFreeMegabytes(megabytes); }
    std::int64_t CardFreeMegabytes() const { return sim_.CardFreeMegabytes(); }
    void SetBatteryDrainInterval(std::chrono::milliseconds perPercent) { sim_.SetBatteryDrainInterval(perPercent); }

    // The session. Opens camera `index`, closing any other first; its properties, then "OpenSucceed", follow
    // once the call has returned. A real camera may take up to GPhotoSession::kOpenTimeout, under a busy cursor;
    // the window goes on painting meanwhile, and an open asked for while another waits is refused.
    // False for an index outside the list or a camera that did not open (LastOpenError says why).
    bool Open(int index);
    // Ends the session quietly (no event). False when no camera was open.
    bool Close();
    bool IsOpen() const { return session_ != nullptr; }
    int OpenIndex() const;
    ICameraSession* Session() const { return session_.get(); }
    std::string OpenDisplayName() const;
    const std::string& LastOpenError() const { return lastOpenError_; }
    // The open camera went away: the session ends now, and the host hears "shutDown" once the current call has
    // returned (unless another camera has been opened meanwhile).
    void Lose();
    // Waits for the sessions of closed cameras to let their bodies go.
    void FinishClosedCameras() { retired_.clear(); }
    // The process is ending: every session, open or closed, is told to let its camera go, quietly, and none is
    // waited for. The engine takes no more opens.
    void EndAll();
    // Whether every session has let its camera go.
    bool AllFinished() const;
    // After EndAll, as the process ends without destroying the engine: the threads of sessions, detection and
    // the simulated cameras' capture are joined where they have returned and let go where they still run.
    void LeaveBehind();

    // Property access of the open camera; 0, empty text or false while none is open.
    std::int32_t PropertyValue(std::int32_t code) const;
    std::string PropertyText(std::int32_t code) const;
    bool SetPropertyValue(std::int32_t code, std::int32_t value);
    std::int32_t AvailableShots() const;

signals:
    // Something the view shows has changed (camera list, session, settings).
    void stateChanged();
    // The open session has just ended (closed by the host, replaced by another, or the camera lost). Whatever
    // the host runs for it stops here, before anything else is told.
    void sessionEnded();

private:
    // A closed session that may still be finishing, and the device it held.
    struct Retired {
        std::unique_ptr<ICameraSession> session;
        std::string device;
    };

    int RealCount() const { return static_cast<int>(real_.Cameras().size()); }
    bool OpenNow(int index);
    std::unique_ptr<ICameraSession> OpenReal(const RealCameraInfo& info, const SessionOutlet& outlet);
    void WaitForDevice(const std::string& device);
    // Waits on a camera's worker while the window goes on painting (its user input waits), up to `timeout`,
    // until `done`: whether it is.
    static bool WaitPainting(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    void OnListChanged();

    ISessionEvents* host_;
    SessionServices services_;
    SessionGate gate_;
    Simulator sim_;
    RealCameraList real_;
    GPhotoCamera::Timing timing_;
    std::unique_ptr<ICameraSession> session_;
    std::string sessionDevice_;  // what the open session holds: a real camera's port, or its simulated body
    std::string sessionName_;
    std::string cameraLiveViewSize_;
    std::vector<Retired> retired_;
    std::string lastOpenError_;
    bool opening_ = false; // an open waits for its camera (the window's events run meanwhile)
    bool ended_ = false;   // EndAll: no more opens
};

} // namespace quor::component
