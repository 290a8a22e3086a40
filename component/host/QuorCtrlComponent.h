// QuorCtrl, the camera component: answers the dispatch interface of control/DispatchIds.h, hosts its view in
// the host's window and raises its events to the advised sink on the window's thread. It is a thin adapter:
// each dispatch call goes to the engine (cameras, properties), the shooting controller, the crop control or the
// options the view draws, and the open session's reports come back through it as the host's events.
#pragma once

#include "component/host/CameraEngine.h"
#include "component/host/ComponentSettings.h"
#include "component/host/ComponentState.h"
#include "component/host/CropControl.h"
#include "component/host/QuorCtrlView.h"
#include "component/host/ShootingController.h"
#include "component/liveview/LiveView.h"
#include "component/storage/IoQueue.h"
#include "component/storage/PhotoFiler.h"
#include "component/storage/Preferences.h"
#include "control/Dispatch.h"

#include <QObject>
#include <QPointer>

#include <memory>
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

class QuorCtrlComponent final : public QObject, public IHostedComponent, private ISessionEvents {
    Q_OBJECT
public:
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

    // What the settings dialog may change.
    ISettingsTarget& Settings() { return *settings_; }
    const storage::Preferences& Preferences() const { return prefs_->Get(); }
    QString SaveFolder() const { return filer_->SaveFolder(); }
    QString FallbackFolder() const { return filer_->FallbackFolder(); }
    void SetSaveFolder(const QString& folder) { settings_->SetSaveFolder(folder); }

    // The component's inner parts, for tests and benchmarks; hosts and the settings dialog never use them.
    CameraEngine& Engine() { return *engine_; }
    Simulation& Sim() { return engine_->Sim().Knobs(); }
    Lens& LensState() { return engine_->Sim().SharedLens(); }
    LiveView& Live() { return live_; }
    const ComponentState& State() const { return state_; }
    const CaptureStatus& Status() const { return shooting_->Status(); }
    QuorCtrlView* View() const { return view_; }
    int PendingCaptures() const { return shooting_->Pending(); }
    bool PressCameraShutter() { return shooting_->PressCameraShutter(); }
    // The directory of the running executable, where bare file names go.
    static QString ApplicationDirectory() { return component::ApplicationDirectory(); }
    // Waits until the component's background file work queued so far is done.
    void DrainFileWork() { io_->Drain(); }

    // The process is ending (EndProcess): nothing is raised any more, every camera is told to let its body go,
    // no more cameras open; nothing is waited for.
    void BeginProcessEnd();
    // Whether every camera's worker has let its body go.
    bool CamerasLetGo() const { return engine_->AllFinished(); }
    // Lets the cameras' threads go (CameraEngine::LeaveBehind), finishes the file work queued (preferences,
    // grabs) and ends its thread.
    void FinishForProcessEnd();

    // One row of the dispatch table.
    struct Entry;

private:
    using Args = std::span<const Variant>;

    // ISessionEvents: the open session's reports, routed to the host's events and the controllers.
    void OptionAdded(std::int32_t code, std::string_view text, std::int32_t value, bool enable) override;
    void ValueChanged(std::int32_t code, std::string_view text) override;
    void Notify(const char* name, Variant argument) override;
    void Changed() override { Repaint(); }
    void Lost(const QString& reason) override;
    void Message(const QString& text) override { Tell(text); }
    void DownloadStart(JobId job) override { shooting_->DownloadStart(job); }
    void DownloadProgress(JobId job, int percent) override { shooting_->DownloadProgress(job, percent); }
    void DownloadComplete(JobId job, const QString& path, const QImage& preview) override {
        shooting_->DownloadComplete(job, path, preview);
    }
    void CaptureFailed(JobId job, const QString& reason) override { shooting_->CaptureFailed(job, reason); }

    void Raise(int eventId, std::span<Variant> args);
    void Post(std::function<void()> task);
    void Repaint();
    // Tells the user: in the view until they do something, and once on stderr. Tell says what went wrong;
    // Inform says what the user should know while all is well.
    void Tell(const QString& text);
    void Inform(const QString& text);
    void StartFileWork(const RealCameraSources& real);
    void OnSessionEnded();
    void RaiseLiveViewState(bool on);
    void ApplyAids(const storage::AidPreferences& aids);
    void ApplyZoom(int factor, QPointF centre);
    bool StopLive();
    QSize LiveFrameSize() const;
    ICameraSession* Session() const { return engine_->Session(); }

    // Handlers, one per dispatch id and kind (ComponentHandlers.cpp); arguments are already checked against
    // the table.
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
    Variant ShowNotice(Args);
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
    LiveView live_;
    std::unique_ptr<CameraEngine> engine_;
    QPointer<QuorCtrlView> view_;
    IEventSink* sink_ = nullptr;
    bool liveOn_ = false; // live view asked for and not stopped since
    std::unique_ptr<ShootingController> shooting_;
    std::unique_ptr<CropControl> crop_;
    std::unique_ptr<ComponentSettings> settings_;
};

} // namespace quor::component
