#include "component/host/QuorCtrlComponent.h"

#include "component/host/ProcessEnd.h"
#include "component/session/LiveZoom.h"
#include "component/session/Messages.h"
#include "component/storage/DurableFile.h"
#include "control/ComponentRegistry.h"
#include "control/DispatchIds.h"
#include "control/NotifyNames.h"

#include <QDir>
#include <QMetaObject>
#include <QStandardPaths>

#include <algorithm>
#include <array>

namespace quor::component {

void RegisterQuorCtrl() {
    ComponentRegistry::Register(kQuorCtrlClassId,
                                [](QWidget* parent, const HostedProperties& props) -> std::unique_ptr<IHostedComponent> {
                                    return std::make_unique<QuorCtrlComponent>(parent, props);
                                });
}

ComponentPlaces ComponentPlaces::ForUser() {
    return ComponentPlaces{storage::PreferencesStore::DefaultFile(), QString()};
}

namespace {

QString PicturesFolder(const ComponentPlaces& places) {
    if (!places.picturesFolder.isEmpty())
        return places.picturesFolder;
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty())
        pictures = QDir::homePath() + QStringLiteral("/Pictures");
    return QDir(pictures).filePath(QStringLiteral("QuorTovu"));
}

} // namespace

QuorCtrlComponent::QuorCtrlComponent(QWidget* parent, const HostedProperties& props)
    : QuorCtrlComponent(parent, props, CameraEngine::CameraCountFromEnvironment(),
                        RealCameraSources{true, true, {}}, ComponentPlaces::ForUser()) {}

QuorCtrlComponent::QuorCtrlComponent(QWidget* parent, const HostedProperties& props, int simulatedCameras,
                                     const RealCameraSources& real, const ComponentPlaces& places)
    : io_(std::make_unique<storage::IoQueue>()),
      prefs_(std::make_unique<storage::PreferencesStore>(places.settingsFile, io_.get())),
      filer_(std::make_unique<storage::PhotoFiler>(PicturesFolder(places))) {
    const auto post = [this](std::function<void()> task) { Post(std::move(task)); };
    engine_ = std::make_unique<CameraEngine>(static_cast<ISessionEvents*>(this), post,
                                             SessionServices{&live_, filer_.get()}, simulatedCameras);
    state_.borderStyle = props.borderStyle;
    view_ = new QuorCtrlView(parent, props, engine_.get(), &state_);
    shooting_ = std::make_unique<ShootingController>(ShootingController::Links{
        engine_.get(), view_, &state_, io_.get(), filer_.get(),
        [this](const char* name, Variant argument) { Notify(name, std::move(argument)); },
        [this](const QString& text) { Tell(text); }, post});
    crop_ = std::make_unique<CropControl>(CropControl::Links{
        &state_, view_, io_.get(), [this] { return LiveFrameSize(); },
        [this](const std::array<std::int32_t, 4>& r) {
            std::array<Variant, 4> args{Variant::Long(r[0]), Variant::Long(r[1]), Variant::Long(r[2]),
                                        Variant::Long(r[3])};
            Raise(kEventCropRectChanged, args);
        },
        post, [this](const QString& text) { Tell(text); }});
    settings_ = std::make_unique<ComponentSettings>(*engine_, *filer_, *prefs_, *shooting_,
                                                    [this](const storage::AidPreferences& aids) { ApplyAids(aids); });
    view_->AttachLiveView(&live_);
    view_->SetStatus(&shooting_->Status());
    connect(engine_.get(), &CameraEngine::stateChanged, view_, &QuorCtrlView::Refresh);
    connect(engine_.get(), &CameraEngine::sessionEnded, this, &QuorCtrlComponent::OnSessionEnded);
    connect(view_, &QuorCtrlView::afPointClicked, this, [this](QPointF point) {
        state_.afPoint = point;
        if (Session())
            Session()->SetAfPoint(point);
        Repaint();
    });
    connect(view_, &QuorCtrlView::cropRectDragged, this, [this](QRect rect) { crop_->Dragged(rect); });
    connect(view_, &QuorCtrlView::aidsRequested, this, [this](const AidSettings& aids, int grid) {
        // The colour comes from the settings dialog only; the menu and keys switch aids on and off.
        storage::AidPreferences next = AidPreferencesFrom(aids, grid);
        next.peakColour = prefs_->Get().aids.peakColour;
        ApplyAids(next);
    });
    connect(view_, &QuorCtrlView::zoomRequested, this, &QuorCtrlComponent::ApplyZoom);
    connect(view_, &QuorCtrlView::settingsRequested, this, [this] { Post([this] { ShowSettingsDialog({}); }); });
    StartFileWork(real);
    EnlistForProcessEnd(this);
}

void QuorCtrlComponent::StartFileWork(const RealCameraSources& given) {
    const storage::Preferences& p = prefs_->Get();
    filer_->SetSaveFolder(p.saveFolder);
    engine_->Sim().SetLiveViewFrames(p.liveViewWidth, p.liveViewHeight, p.liveViewFps);
    engine_->SetLensManualFocus(p.lensManualFocus);
    engine_->SetCameraLiveViewSize(p.cameraLiveViewSize.toStdString());
    state_.aids = AidsFrom(p.aids);
    state_.grid = p.aids.grid;
    live_.SetAids(state_.aids);
    // The workers tell the user through the window's thread.
    filer_->SetNoticeHandler([this](const QString& text, storage::NoticeKind kind) {
        Post([this, text, kind] { kind == storage::NoticeKind::Information ? Inform(text) : Tell(text); });
    });
    filer_->SetFolderHandler([this](const QString& folder) { Post([this, folder] { prefs_->NoteFolder(folder); }); });
    prefs_->SetErrorHandler([this](const QString& text) { Post([this, text] { Tell(text); }); });
    // Temporaries a crash left where photos went lately go at once, off the window's thread.
    QStringList folders = p.recentFolders;
    folders << ApplicationDirectory() << filer_->FallbackFolder() << p.saveFolder;
    folders.removeDuplicates();
    folders.removeAll(QString());
    io_->Post([folders] {
        for (const QString& f : folders)
            storage::RemoveStaleTemporaries(f);
    });
    RealCameraSources real = given;
    for (const QString& text : p.networkCameras)
        for (const gphoto::NetworkCamera& c : gphoto::ParseNetworkCameras(text.toStdString()))
            real.network.push_back(c);
    engine_->EnableRealCameras(real);
}

QuorCtrlComponent::~QuorCtrlComponent() {
    DelistFromProcessEnd(this);
    // Nothing is raised while going: tasks still queued for this component die with it (Post's context).
    sink_ = nullptr;
    // A real camera's bulb exposure, series and live view end on the body before it is let go, and every
    // session's threads are gone before the live view and filer they feed.
    engine_->StopScanning();
    engine_->Close();
    engine_->FinishClosedCameras();
    live_.Stop();
    // Preferences and grabs still being written are finished; nothing else runs on the I/O thread any more.
    io_->Stop();
    engine_.reset();
    // The host may already have destroyed its window, and the view with it.
    delete view_.data();
}

void QuorCtrlComponent::BeginProcessEnd() {
    sink_ = nullptr;
    engine_->EndAll();
}

void QuorCtrlComponent::FinishForProcessEnd() {
    engine_->LeaveBehind();
    io_->Stop();
}

QWidget* QuorCtrlComponent::Widget() { return view_; }

void QuorCtrlComponent::Advise(IEventSink* sink) { sink_ = sink; }

// ---- Events ----

void QuorCtrlComponent::Raise(int eventId, std::span<Variant> args) {
    if (sink_)
        sink_->OnEvent(eventId, args);
}

void QuorCtrlComponent::ValueChanged(std::int32_t code, std::string_view text) {
    std::array<Variant, 2> args{Variant::Long(code), Variant::String(std::string(text))};
    Raise(kEventPropertyValueChanged, args);
    Repaint();
}

void QuorCtrlComponent::OptionAdded(std::int32_t code, std::string_view text, std::int32_t value, bool enable) {
    std::array<Variant, 4> args{Variant::Long(code), Variant::String(std::string(text)), Variant::Long(value),
                                Variant::Bool(enable)};
    Raise(kEventPropertyOptionAdded, args);
}

void QuorCtrlComponent::Notify(const char* name, Variant argument) {
    std::array<Variant, 2> args{Variant::String(name), std::move(argument)};
    Raise(kEventNotify, args);
}

void QuorCtrlComponent::Lost(const QString& reason) {
    shooting_->OnSessionLost();
    Tell(reason);
    engine_->Lose();
}

void QuorCtrlComponent::Post(std::function<void()> task) {
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void QuorCtrlComponent::Repaint() {
    if (view_)
        view_->Refresh();
}

void QuorCtrlComponent::Tell(const QString& text) {
    PrintToStderr(text);
    if (view_)
        view_->ShowMessage(Printable(text));
}

void QuorCtrlComponent::Inform(const QString& text) {
    PrintToStderr(text);
    if (view_)
        view_->ShowMessage(Printable(text), QuorCtrlView::MessageKind::Notice);
}

void QuorCtrlComponent::OnSessionEnded() {
    shooting_->OnSessionEnded();
    StopLive();
}

// ---- Live view ----

void QuorCtrlComponent::ApplyAids(const storage::AidPreferences& aids) {
    state_.aids = AidsFrom(aids);
    state_.grid = aids.grid;
    live_.SetAids(state_.aids);
    prefs_->Update([&aids](storage::Preferences& p) { p.aids = aids; });
    Repaint();
}

void QuorCtrlComponent::ApplyZoom(int factor, QPointF centre) {
    if (!IsZoomFactor(factor))
        return;
    const bool changed = factor != state_.zoomFactor || (factor > 1 && centre != state_.zoomCentre);
    state_.zoomCentre = QPointF(std::clamp(centre.x(), 0.0, 1.0), std::clamp(centre.y(), 0.0, 1.0));
    if (!changed)
        return;
    // A camera that cannot magnify keeps its whole frame, and says so.
    if (Session() && liveOn_ && !Session()->SetLiveZoom(factor, state_.zoomCentre)) {
        Inform(tr("这台相机不能放大实时取景画面"));
        return;
    }
    state_.zoomFactor = liveOn_ ? factor : 1;
    Repaint();
}

QSize QuorCtrlComponent::LiveFrameSize() const {
    if (live_.Running())
        return QSize(live_.Width(), live_.Height());
    const Simulation& knobs = engine_->Sim().Knobs();
    return QSize(knobs.liveViewWidth, knobs.liveViewHeight);
}

void QuorCtrlComponent::RaiseLiveViewState(bool on) {
    // Reported after the call that changed it, whichever session follows.
    Post([this, on] { Notify(notify::UpdateEvfOutput, Variant::Bool(on)); });
}

bool QuorCtrlComponent::StopLive() {
    if (!liveOn_)
        return false;
    liveOn_ = false;
    // The pipeline refuses frames first, then the camera stops sending them.
    live_.Stop();
    // The body ends its magnifier with live view; so does the view.
    state_.zoomFactor = 1;
    if (Session())
        Session()->StopLiveView();
    if (view_)
        view_->LiveViewStopped();
    RaiseLiveViewState(false);
    return true;
}

} // namespace quor::component
