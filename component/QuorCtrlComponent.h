// QuorCtrl, the camera component: answers the dispatch interface of control/DispatchIds.h, hosts its view in
// the host's window and raises its events to the advised sink on the window's thread.
#pragma once

#include "component/CameraEngine.h"
#include "component/CaptureWorker.h"
#include "component/ComponentState.h"
#include "component/Lens.h"
#include "component/LiveView.h"
#include "component/QuorCtrlView.h"
#include "component/storage/IoQueue.h"
#include "component/storage/PhotoFiler.h"
#include "component/storage/Preferences.h"
#include "control/Dispatch.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <span>

namespace quor::component {

// Makes the registry create QuorCtrl for quor::kQuorCtrlClassId.
void RegisterQuorCtrl();

// Where the component keeps what it remembers and where photos go when the host's folder cannot take them.
struct ComponentPlaces {
    QString settingsFile;   // empty: nothing is remembered between runs
    QString picturesFolder; // empty: the user's pictures folder, then "QuorTovu"
    // What a host's component uses: the component's own settings file and the user's pictures folder.
    static ComponentPlaces ForUser();
};

class QuorCtrlComponent final : public QObject,
                                public IHostedComponent,
                                private IEngineOutlet,
                                private ICaptureListener {
    Q_OBJECT
public:
    // The largest crop-frame image file read.
    static constexpr qint64 kCropImageLimit = 32 << 20;

    // Creates the view as a child of `parent`. The number of simulated cameras comes from the environment
    // (CameraEngine::CameraCountFromEnvironment) unless given; so do the network cameras, and USB cameras are
    // detected, and the user's preferences are kept (ComponentPlaces::ForUser). Given a number of simulated
    // cameras, real cameras are listed only as `real` says and preferences live where `places` says.
    QuorCtrlComponent(QWidget* parent, const HostedProperties& props);
    QuorCtrlComponent(QWidget* parent, const HostedProperties& props, int simulatedCameras,
                      const RealCameraSources& real = RealCameraSources(),
                      const ComponentPlaces& places = ComponentPlaces());
    ~QuorCtrlComponent() override;

    Variant Invoke(int dispid, DispatchKind kind, std::span<const Variant> args) override;
    QWidget* Widget() override;
    void Advise(IEventSink* sink) override;

    // The component's own side, for its settings dialog and for tests; hosts never see it.
    CameraEngine& Engine() { return *engine_; }
    const ComponentState& State() const { return state_; }
    QuorCtrlView* View() const { return view_; }
    Simulation& Sim() { return sim_; }
    const CaptureStatus& Status() const { return status_; }
    Lens& LensState() { return lens_; }
    LiveView& Live() { return live_; }
    int PendingCaptures() const { return capture_->Pending(); }
    // The camera's own shutter button, in camera-control mode: the photo downloads into the application
    // directory under a new name. False when not in that mode or the shot is refused.
    bool PressCameraShutter();
    // Live-view frame size or rate changed in Sim(): a running live view restarts with them (and they are
    // remembered).
    void ApplyLiveViewSettings();
    // The lens's AF/MF switch of the simulated cameras (remembered).
    void SetLensManualFocus(bool manual);
    // Adds a network camera to the list and remembers it; false when it is listed already.
    bool AddNetworkCamera(const gphoto::NetworkCamera& camera);
    // Where photos go: `folder`, or with an empty one the folders the host names (remembered).
    void SetSaveFolder(const QString& folder);
    QString SaveFolder() const { return filer_->SaveFolder(); }
    QString FallbackFolder() const { return filer_->FallbackFolder(); }
    const storage::Preferences& Preferences() const { return prefs_->Get(); }
    // Waits until the component's background file work queued so far is done (tests).
    void DrainFileWork() { io_->Drain(); }
    // The directory of the running executable, where bare file names go.
    static QString ApplicationDirectory();

    // One row of the dispatch table.
    struct Entry;

private:
    // IEngineOutlet
    void RaisePropertyValueChanged(std::int32_t code, std::string_view text) override;
    void RaisePropertyOptionAdded(std::int32_t code, std::string_view text, std::int32_t value,
                                  bool enable) override;
    void RaiseNotify(const char* name, Variant argument) override;
    void Post(std::function<void()> task) override;

    // ICaptureListener
    void OnDownloadStart(std::uint64_t id) override;
    void OnDownloadProgress(std::uint64_t id, int percent) override;
    void OnDownloadComplete(std::uint64_t id, const QString& path, const QImage& preview) override;
    void OnCaptureFailed(std::uint64_t id, const QString& reason) override;
    void OnPulledOut(std::uint64_t id) override;

    void Raise(int eventId, std::span<Variant> args);
    void Repaint();
    // Tells the user: in the view until they do something, and once on stderr.
    void Tell(const QString& text);
    void StartFileWork(const RealCameraSources& real);
    void StopSeriesAfterFailure(const QString& reason);
    void OnSessionEnded();
    // Takes one shot with the current settings, saved as `request` says.
    bool Shoot(const storage::PhotoRequest& request, double bulbSeconds = 0.0);
    // A host's path made absolute: a bare name goes into the application directory.
    static QString HostPath(const std::string& text);
    bool Stale(std::uint64_t id) const { return id <= cancelledUpTo_; }
    void SeriesTick();
    // Live view follows the camera's exposure settings and the lens.
    void UpdateScene();
    void RaiseLiveViewState(bool on);
    bool StopLive();
    // A real camera's first live-view frame has arrived: its frames go into the pool from now on.
    void OnRealLiveViewSize(int width, int height);
    // Crop
    QSize LiveFrameSize() const;
    void OnCropDragged(QRect rect);
    // Keeps the host's rectangle to what can be used (inside the frame, the locked ratio) and tells the host
    // when that changed it.
    void NormalizeCrop();
    void RaiseCropRect();

    // Handlers, one per dispatch id and kind; arguments are already checked against the table.
    using Args = std::span<const Variant>;
    Variant GetShowDebugInfo(Args);
    Variant PutShowDebugInfo(Args);
    Variant GetBorderStyle(Args);
    Variant PutBorderStyle(Args);
    Variant OpenCamera(Args);
    Variant CloseCamera(Args);
    Variant SetPropertyValue(Args);
    Variant GetPropertyValue(Args);
    Variant GetPropertyText(Args);
    Variant GetCameraCount(Args);
    Variant GetCameraName(Args);
    Variant SetMovieOptions(Args);
    Variant EnableCrop(Args);
    Variant SetCropRect(Args);
    Variant ShowCropFrame(Args);
    Variant SetCropRatio(Args);
    Variant SetRotation(Args);
    Variant SetShowAfterShot(Args);
    Variant ShowFocusFrame(Args);
    Variant SetAfPointSelection(Args);
    Variant SetFrameCallback(Args);
    Variant SetDisplayMode(Args);
    Variant SetCropShape(Args);
    Variant SetOnionSkinAlpha(Args);
    Variant SetOnionSkinLayers(Args);
    Variant EnableOnionSkin(Args);
    Variant TakePicture(Args);
    Variant StartContinuousShooting(Args);
    Variant StopContinuousShooting(Args);
    Variant StartBulb(Args);
    Variant StopBulb(Args);
    Variant PressShutterHalfway(Args);
    Variant ResumeLiveView(Args);
    Variant ShowSettingsDialog(Args);
    Variant SetControlMode(Args);
    Variant StartLiveView(Args);
    Variant StopLiveView(Args);
    Variant DriveLens(Args);
    Variant DoAutoFocus(Args);
    Variant GrabFrame(Args);

    static std::span<const Entry> Table();

    // File work first: it outlives every thread that saves photos.
    std::unique_ptr<storage::IoQueue> io_;
    std::unique_ptr<storage::PreferencesStore> prefs_;
    std::unique_ptr<storage::PhotoFiler> filer_;
    ComponentState state_;
    Simulation sim_;
    CaptureStatus status_;
    std::unique_ptr<CameraEngine> engine_;
    Lens lens_;
    LiveView live_;
    QPointer<QuorCtrlView> view_;
    IEventSink* sink_ = nullptr;

    // Capture
    std::unique_ptr<CaptureWorker> capture_;
    std::uint64_t nextJob_ = 1;
    std::uint64_t cancelledUpTo_ = 0; // reports of jobs up to this id belong to an ended session
    QTimer seriesTimer_;
    storage::PhotoRequest seriesRequest_;
    std::set<std::uint64_t> seriesJobs_;           // shots of the running series (a real body's: its one job)
    std::uint64_t seriesUnsaved_ = 0;              // the simulated series' last shot, until it is saved or lost
    std::map<std::uint64_t, int> cardKilobytes_;   // simulated shots on their way: they fill the card once saved
    std::uint64_t cropRequest_ = 0;                // the crop-frame image read last asked for
    std::chrono::steady_clock::time_point bulbStart_;
    storage::PhotoRequest bulbRequest_;
    bool realLiveRequested_ = false; // live view asked of a real camera (its frames may not have arrived yet)
    std::chrono::steady_clock::time_point created_ = std::chrono::steady_clock::now();
};

} // namespace quor::component
