// The camera engine: the list of connected (simulated) cameras, the one open session, and the events a
// session raises. It lives on the window's thread; everything it reports goes out through its outlet, either
// at once (inside the call that caused it) or posted to run after the current call has returned.
#pragma once

#include "component/SimulatedCamera.h"
#include "control/Variant.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
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

class CameraEngine : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxCameras = 8;
    static constexpr int kDefaultCameras = 1;
    static constexpr const char* kCameraCountVariable = "QUORCTRL_SIMULATED_CAMERAS";

    // Number of simulated cameras asked for by QUORCTRL_SIMULATED_CAMERAS (0..8); kDefaultCameras when it is
    // unset, and also (with a word on stderr) when it holds anything else.
    static int CameraCountFromEnvironment();

    CameraEngine(IEngineOutlet* outlet, int simulatedCameras);
    ~CameraEngine() override;

    // Connected cameras.
    int CameraCount() const { return static_cast<int>(cameras_.size()); }
    // Display name of camera `index`; empty when there is none at that position.
    std::string CameraName(int index) const;
    const SimulatedCamera* Camera(int index) const;

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
    bool IsOpen() const { return open_ != nullptr; }
    int OpenIndex() const;
    const SimulatedCamera* OpenCamera() const { return open_; }
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

private:
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
};

} // namespace quor::component
