#include "component/QuorCtrlComponent.h"

#include "component/GPhotoVocabulary.h"
#include "component/Messages.h"
#include "component/QuorCtrlView.h"
#include "component/SettingsDialog.h"
#include "component/ShotSettings.h"
#include "component/ViewGeometry.h"
#include "control/ComponentRegistry.h"
#include "control/DispatchIds.h"
#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"
#include "component/storage/DurableFile.h"
#include "component/storage/FileRead.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QMetaObject>
#include <QStandardPaths>

#include <algorithm>
#include <utility>

#include <array>
#include <string>

namespace quor::component {

void RegisterQuorCtrl() {
    ComponentRegistry::Register(kQuorCtrlClassId,
                                [](QWidget* parent, const HostedProperties& props) -> std::unique_ptr<IHostedComponent> {
                                    return std::make_unique<QuorCtrlComponent>(parent, props);
                                });
}

namespace {

// What an argument position takes. Integers accept every integer and boolean tag (a host converts between
// them, and only the value field is read); text takes strings only; an address takes a pointer-sized value or
// an integer.
enum class Arg : std::uint8_t { Int, Text, Address };

bool Accepts(Arg kind, const Variant& v) {
    switch (kind) {
    case Arg::Int: return v.type == VarType::Short || v.type == VarType::Long || v.type == VarType::Bool;
    case Arg::Text: return v.type == VarType::String;
    case Arg::Address:
        return v.type == VarType::Pointer || v.type == VarType::Long || v.type == VarType::Short;
    }
    return false;
}

const char* KindName(DispatchKind kind) {
    switch (kind) {
    case DispatchKind::Method: return "method call";
    case DispatchKind::PropertyGet: return "property get";
    case DispatchKind::PropertyPut: return "property put";
    }
    return "call";
}

std::intptr_t AddressOf(const Variant& v) { return v.type == VarType::Pointer ? v.pointer : v.value; }
bool Flag(const Variant& v) { return v.value != 0; }

} // namespace

struct QuorCtrlComponent::Entry {
    int dispid;
    DispatchKind kind;
    const char* name;
    std::array<Arg, 4> args;
    std::uint8_t argc;
    Variant (QuorCtrlComponent::*handler)(Args);
};

std::span<const QuorCtrlComponent::Entry> QuorCtrlComponent::Table() {
    using C = QuorCtrlComponent;
    using K = DispatchKind;
    constexpr Arg I = Arg::Int, S = Arg::Text, A = Arg::Address;
    namespace d = dispid;
    static const Entry table[] = {
        {d::ShowDebugInfo, K::PropertyGet, "ShowDebugInfo", {}, 0, &C::GetShowDebugInfo},
        {d::ShowDebugInfo, K::PropertyPut, "ShowDebugInfo", {I}, 1, &C::PutShowDebugInfo},
        {d::BorderStyle, K::PropertyGet, "BorderStyle", {}, 0, &C::GetBorderStyle},
        {d::BorderStyle, K::PropertyPut, "BorderStyle", {I}, 1, &C::PutBorderStyle},
        {d::OpenCamera, K::Method, "OpenCamera", {I}, 1, &C::OpenCamera},
        {d::CloseCamera, K::Method, "CloseCamera", {}, 0, &C::CloseCamera},
        {d::StartLiveView, K::Method, "StartLiveView", {}, 0, &C::StartLiveView},
        {d::StopLiveView, K::Method, "StopLiveView", {}, 0, &C::StopLiveView},
        {d::TakePicture, K::Method, "TakePicture", {S}, 1, &C::TakePicture},
        {d::SetPropertyValue, K::Method, "SetPropertyValue", {I, I}, 2, &C::SetPropertyValue},
        {d::GetPropertyValue, K::Method, "GetPropertyValue", {I}, 1, &C::GetPropertyValue},
        {d::GetPropertyText, K::Method, "GetPropertyText", {I}, 1, &C::GetPropertyText},
        {d::GetCameraCount, K::Method, "GetCameraCount", {}, 0, &C::GetCameraCount},
        {d::GetCameraName, K::Method, "GetCameraName", {I}, 1, &C::GetCameraName},
        {d::DriveLens, K::Method, "DriveLens", {I}, 1, &C::DriveLens},
        {d::StartContinuousShooting, K::Method, "StartContinuousShooting", {S}, 1, &C::StartContinuousShooting},
        {d::StopContinuousShooting, K::Method, "StopContinuousShooting", {}, 0, &C::StopContinuousShooting},
        {d::StartBulb, K::Method, "StartBulb", {S}, 1, &C::StartBulb},
        {d::StopBulb, K::Method, "StopBulb", {}, 0, &C::StopBulb},
        {d::PressShutterHalfway, K::Method, "PressShutterHalfway", {I}, 1, &C::PressShutterHalfway},
        {d::SetMovieOptions, K::Method, "SetMovieOptions", {I, I}, 2, &C::SetMovieOptions},
        {d::EnableCrop, K::Method, "EnableCrop", {I, I, I}, 3, &C::EnableCrop},
        {d::SetCropRect, K::Method, "SetCropRect", {I, I, I, I}, 4, &C::SetCropRect},
        {d::ShowCropFrame, K::Method, "ShowCropFrame", {I, S}, 2, &C::ShowCropFrame},
        {d::SetCropRatio, K::Method, "SetCropRatio", {I, I, I}, 3, &C::SetCropRatio},
        {d::ResumeLiveView, K::Method, "ResumeLiveView", {}, 0, &C::ResumeLiveView},
        {d::SetRotation, K::Method, "SetRotation", {I}, 1, &C::SetRotation},
        {d::SetShowAfterShot, K::Method, "SetShowAfterShot", {I}, 1, &C::SetShowAfterShot},
        {d::DoAutoFocus, K::Method, "DoAutoFocus", {}, 0, &C::DoAutoFocus},
        {d::ShowFocusFrame, K::Method, "ShowFocusFrame", {I}, 1, &C::ShowFocusFrame},
        {d::SetAfPointSelection, K::Method, "SetAfPointSelection", {I}, 1, &C::SetAfPointSelection},
        {d::SetFrameCallback, K::Method, "SetFrameCallback", {A, A}, 2, &C::SetFrameCallback},
        {d::ShowSettingsDialog, K::Method, "ShowSettingsDialog", {}, 0, &C::ShowSettingsDialog},
        {d::GrabFrame, K::Method, "GrabFrame", {S}, 1, &C::GrabFrame},
        {d::SetDisplayMode, K::Method, "SetDisplayMode", {I}, 1, &C::SetDisplayMode},
        {d::SetCropShape, K::Method, "SetCropShape", {I}, 1, &C::SetCropShape},
        {d::SetOnionSkinAlpha, K::Method, "SetOnionSkinAlpha", {I}, 1, &C::SetOnionSkinAlpha},
        {d::SetOnionSkinLayers, K::Method, "SetOnionSkinLayers", {I}, 1, &C::SetOnionSkinLayers},
        {d::EnableOnionSkin, K::Method, "EnableOnionSkin", {I}, 1, &C::EnableOnionSkin},
        {d::SetControlMode, K::Method, "SetControlMode", {I}, 1, &C::SetControlMode},
    };
    return table;
}

ComponentPlaces ComponentPlaces::ForUser() {
    return ComponentPlaces{storage::PreferencesStore::DefaultFile(), QString()};
}

QuorCtrlComponent::QuorCtrlComponent(QWidget* parent, const HostedProperties& props)
    : QuorCtrlComponent(parent, props, CameraEngine::CameraCountFromEnvironment(),
                        RealCameraSources{true, true, {}}, ComponentPlaces::ForUser()) {}

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

QuorCtrlComponent::QuorCtrlComponent(QWidget* parent, const HostedProperties& props, int simulatedCameras,
                                     const RealCameraSources& real, const ComponentPlaces& places)
    : io_(std::make_unique<storage::IoQueue>()),
      prefs_(std::make_unique<storage::PreferencesStore>(places.settingsFile, io_.get())),
      filer_(std::make_unique<storage::PhotoFiler>(PicturesFolder(places))),
      engine_(std::make_unique<CameraEngine>(static_cast<IEngineOutlet*>(this), simulatedCameras)) {
    state_.borderStyle = props.borderStyle;
    view_ = new QuorCtrlView(parent, props, engine_.get(), &state_, &status_, &sim_, &lens_);
    connect(engine_.get(), &CameraEngine::stateChanged, view_, &QuorCtrlView::Refresh);
    connect(engine_.get(), &CameraEngine::sessionEnded, this, &QuorCtrlComponent::OnSessionEnded);
    connect(&lens_, &Lens::changed, view_, &QuorCtrlView::Refresh);
    capture_ = std::make_unique<CaptureWorker>(static_cast<ICaptureListener*>(this),
                                               [this](std::function<void()> task) { Post(std::move(task)); },
                                               filer_.get());
    connect(&seriesTimer_, &QTimer::timeout, this, &QuorCtrlComponent::SeriesTick);
    view_->AttachLiveView(&live_);
    connect(engine_.get(), &CameraEngine::stateChanged, this, &QuorCtrlComponent::UpdateScene);
    connect(&lens_, &Lens::changed, this, &QuorCtrlComponent::UpdateScene);
    connect(view_, &QuorCtrlView::afPointClicked, &lens_, &Lens::SetAfPoint);
    connect(view_, &QuorCtrlView::cropRectDragged, this, &QuorCtrlComponent::OnCropDragged);
    engine_->SetRealCameraLinks(static_cast<ICaptureListener*>(this), &live_, filer_.get());
    connect(engine_.get(), &CameraEngine::liveViewSize, this, &QuorCtrlComponent::OnRealLiveViewSize);
    connect(engine_.get(), &CameraEngine::cameraMessage, this, &QuorCtrlComponent::Tell);
    StartFileWork(real);
}

void QuorCtrlComponent::StartFileWork(const RealCameraSources& given) {
    const storage::Preferences& p = prefs_->Get();
    filer_->SetSaveFolder(p.saveFolder);
    sim_.liveViewWidth = p.liveViewWidth;
    sim_.liveViewHeight = p.liveViewHeight;
    sim_.liveViewFps = p.liveViewFps;
    engine_->SetLensManualFocus(p.lensManualFocus);
    // The workers tell the user through the window's thread.
    filer_->SetNoticeHandler([this](const QString& text) { Post([this, text] { Tell(text); }); });
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
    // Nothing is raised while going: tasks still queued for this component die with it (Post's context).
    sink_ = nullptr;
    // Threads first: none of them may post to this object while it is being torn down.
    live_.Stop();
    capture_->Stop();
    engine_->StopScanning();
    // A real camera's bulb exposure, series and live view end on the body before it is let go, and its worker
    // is gone before the live view and capture listener it feeds.
    engine_->Close();
    engine_->FinishClosedCameras();
    // Preferences still being written are finished; nothing else runs on the I/O thread any more.
    io_->Stop();
    // The host may already have destroyed its window, and the view with it.
    delete view_.data();
}

QString QuorCtrlComponent::ApplicationDirectory() { return QCoreApplication::applicationDirPath(); }

QWidget* QuorCtrlComponent::Widget() { return view_; }

void QuorCtrlComponent::Advise(IEventSink* sink) { sink_ = sink; }

Variant QuorCtrlComponent::Invoke(int id, DispatchKind kind, std::span<const Variant> args) {
    const Entry* found = nullptr;
    const Entry* sameId = nullptr;
    for (const Entry& e : Table()) {
        if (e.dispid != id)
            continue;
        sameId = &e;
        if (e.kind == kind) {
            found = &e;
            break;
        }
    }
    if (!sameId)
        throw DispatchError(id, "QuorCtrl has no member with dispatch id " + std::to_string(id));
    if (!found)
        throw DispatchError(id, std::string("QuorCtrl: ") + sameId->name + " does not support a " + KindName(kind));
    if (args.size() != found->argc)
        throw DispatchError(id, std::string("QuorCtrl: ") + found->name + " takes " + std::to_string(found->argc) +
                                    " argument(s), " + std::to_string(args.size()) + " given");
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!Accepts(found->args[i], args[i]))
            throw DispatchError(id, std::string("QuorCtrl: ") + found->name + ": argument " + std::to_string(i + 1) +
                                        " has the wrong type");
    }
    return (this->*(found->handler))(args);
}

// ---- Events ----

void QuorCtrlComponent::Raise(int eventId, std::span<Variant> args) {
    if (sink_)
        sink_->OnEvent(eventId, args);
}

void QuorCtrlComponent::RaisePropertyValueChanged(std::int32_t code, std::string_view text) {
    std::array<Variant, 2> args{Variant::Long(code), Variant::String(std::string(text))};
    Raise(kEventPropertyValueChanged, args);
    Repaint();
}

void QuorCtrlComponent::RaisePropertyOptionAdded(std::int32_t code, std::string_view text, std::int32_t value,
                                                 bool enable) {
    std::array<Variant, 4> args{Variant::Long(code), Variant::String(std::string(text)), Variant::Long(value),
                                Variant::Bool(enable)};
    Raise(kEventPropertyOptionAdded, args);
}

void QuorCtrlComponent::RaiseNotify(const char* name, Variant argument) {
    std::array<Variant, 2> args{Variant::String(name), std::move(argument)};
    Raise(kEventNotify, args);
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

QString QuorCtrlComponent::HostPath(const std::string& text) {
    const QString path = QString::fromStdString(text);
    if (path.isEmpty() || !QFileInfo(path).isRelative())
        return path;
    return QDir(ApplicationDirectory()).filePath(path);
}

// ---- Capture ----

void QuorCtrlComponent::OnSessionEnded() {
    // Whatever the camera was doing ends with the session; reports already on their way are ignored.
    cancelledUpTo_ = nextJob_ - 1;
    capture_->CancelAll();
    cardKilobytes_.clear();
    seriesJobs_.clear();
    seriesUnsaved_ = 0;
    seriesTimer_.stop();
    status_.seriesActive = false;
    status_.bulbOpen = false;
    status_.halfPressed = false;
    lens_.StopAutoFocus();
    if (view_) {
        view_->SetTransferProgress(-1);
        view_->ClearShownPhoto();
    }
    StopLive();
}

namespace {

// What the EXIF block of a simulated photo says about the exposure.
PhotoExif ExifOf(const SimulatedCamera& camera, double bulbSeconds, int rotation) {
    const PropertyModel& model = camera.Properties();
    PhotoExif exif;
    exif.model = camera.Model();
    exif.make = exif.model.substr(0, exif.model.find(' '));
    exif.serial = camera.SerialNumber();
    exif.exposureSeconds = bulbSeconds > 0.0 ? bulbSeconds : ShutterSeconds(model.Current(prop::ShutterSpeed));
    exif.fNumber = ApertureNumber(model.Current(prop::Aperture));
    exif.iso = IsoNumber(model.Current(prop::IsoSpeed));
    exif.taken = QDateTime::currentDateTime();
    exif.rotation = rotation;
    return exif;
}

} // namespace

bool QuorCtrlComponent::Shoot(const storage::PhotoRequest& request, double bulbSeconds) {
    if (!engine_->IsOpen())
        return false;
    if (GPhotoCamera* real = engine_->Real()) {
        // Photos the body takes by itself arrive through its events; a shot of ours goes to a file of ours.
        if (request.naming != storage::PhotoRequest::Naming::Newest)
            return false;
        const std::uint64_t id = nextJob_++;
        ++status_.shotsTaken;
        if (bulbSeconds > 0.0)
            real->StopBulb(id, request);
        else
            real->Capture(id, request);
        return true;
    }
    if (sim_.nextCaptureFails) {
        sim_.nextCaptureFails = false;
        Tell(QStringLiteral("The camera refused the shot (simulated fault)"));
        return false;
    }
    if (engine_->AvailableShots() <= 0) {
        Tell(QStringLiteral("The card is full"));
        return false;
    }
    const SimulatedCamera& camera = *engine_->OpenCamera();
    const PropertyModel& model = camera.Properties();
    CaptureJob job;
    job.id = nextJob_++;
    job.request = request;
    job.scene = ShotScene(model, lens_.Blur(), bulbSeconds);
    job.scene.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - created_).count();
    job.format = PhotoFormatFor(model.Current(prop::ImageQuality));
    job.exif = ExifOf(camera, bulbSeconds, state_.rotation);
    job.failWrite = sim_.writesFail;
    job.slowTransfer = sim_.slowTransfer;
    job.pullOutHalfway = std::exchange(sim_.pullOutDuringDownload, false);
    // The card fills once the photo is saved: a shot that is lost takes no room.
    cardKilobytes_[job.id] = model.ShotKilobytes();
    if (request.naming == storage::PhotoRequest::Naming::Series) {
        seriesJobs_.insert(job.id);
        seriesUnsaved_ = job.id;
    }
    ++status_.shotsTaken;
    capture_->Enqueue(std::move(job));
    return true;
}

void QuorCtrlComponent::SetLensManualFocus(bool manual) {
    engine_->SetLensManualFocus(manual);
    prefs_->Update([manual](storage::Preferences& p) { p.lensManualFocus = manual; });
}

bool QuorCtrlComponent::AddNetworkCamera(const gphoto::NetworkCamera& camera) {
    if (!engine_->AddNetworkCamera(camera))
        return false;
    prefs_->Update([&](storage::Preferences& p) {
        const QString text = QString::fromStdString(camera.host + ":" + std::to_string(camera.port));
        if (!p.networkCameras.contains(text))
            p.networkCameras << text;
    });
    return true;
}

void QuorCtrlComponent::SetSaveFolder(const QString& folder) {
    filer_->SetSaveFolder(folder);
    prefs_->Update([&](storage::Preferences& p) { p.saveFolder = folder; });
    Repaint();
}

void QuorCtrlComponent::ApplyLiveViewSettings() {
    prefs_->Update([this](storage::Preferences& p) {
        p.liveViewWidth = sim_.liveViewWidth;
        p.liveViewHeight = sim_.liveViewHeight;
        p.liveViewFps = sim_.liveViewFps;
    });
    // A real camera sets its own frame size and rate.
    if (live_.Running() && !live_.Fed()) {
        live_.Stop();
        live_.Start(sim_.liveViewWidth, sim_.liveViewHeight, sim_.liveViewFps);
        if (view_)
            view_->LiveViewStarted();
    }
    Repaint();
}

// ---- Live view ----

void QuorCtrlComponent::UpdateScene() {
    if (engine_->OpenCamera())
        live_.SetScene(LiveViewScene(engine_->OpenCamera()->Properties(), lens_.Blur()));
}

void QuorCtrlComponent::RaiseLiveViewState(bool on) {
    // Reported after the call that changed it, whichever session follows.
    Post([this, on] { RaiseNotify(notify::UpdateEvfOutput, Variant::Bool(on)); });
}

bool QuorCtrlComponent::StopLive() {
    const bool real = std::exchange(realLiveRequested_, false);
    if (!live_.Running() && !real)
        return false;
    // The pool refuses frames first, then the camera stops sending them.
    live_.Stop();
    if (real && engine_->Real())
        engine_->Real()->StopLiveView();
    if (view_)
        view_->LiveViewStopped();
    RaiseLiveViewState(false);
    return true;
}

void QuorCtrlComponent::OnRealLiveViewSize(int width, int height) {
    GPhotoCamera* real = engine_->Real();
    if (!real || !realLiveRequested_)
        return;
    live_.Stop();
    live_.SetCallback(reinterpret_cast<FrameCallback>(state_.frameCallback), state_.frameCallbackContext);
    if (!live_.StartFed(width, height))
        return;
    NormalizeCrop();
    if (view_)
        view_->LiveViewStarted();
    real->LiveViewReady();
}

Variant QuorCtrlComponent::StartLiveView(Args) {
    if (!engine_->IsOpen())
        return Variant::Bool(false);
    if (GPhotoCamera* real = engine_->Real()) {
        // Frames flow once the first one has told their size (OnRealLiveViewSize).
        if (!realLiveRequested_) {
            realLiveRequested_ = true;
            real->StartLiveView();
        }
        RaiseLiveViewState(true);
        return Variant::Bool(true);
    }
    if (!live_.Running()) {
        live_.SetCallback(reinterpret_cast<FrameCallback>(state_.frameCallback), state_.frameCallbackContext);
        UpdateScene();
        if (!live_.Start(sim_.liveViewWidth, sim_.liveViewHeight, sim_.liveViewFps))
            return Variant::Bool(false);
        if (view_)
            view_->LiveViewStarted();
    }
    RaiseLiveViewState(true);
    return Variant::Bool(true);
}

Variant QuorCtrlComponent::StopLiveView(Args) { return Variant::Bool(StopLive()); }

Variant QuorCtrlComponent::DriveLens(Args a) {
    if (GPhotoCamera* real = engine_->Real()) {
        const char* step = gphoto::FocusStepChoice(a[0].Int());
        // With the lens on MF the body cannot move it.
        if (!step || engine_->PropertyText(prop::AfMode) == "Manual Focus")
            return Variant::Bool(false);
        real->DriveFocus(step);
        return Variant::Bool(true);
    }
    // With the lens on MF the body cannot move it.
    if (!engine_->IsOpen() || engine_->LensManualFocus())
        return Variant::Bool(false);
    return Variant::Bool(lens_.Drive(a[0].Int()));
}

Variant QuorCtrlComponent::DoAutoFocus(Args) {
    if (GPhotoCamera* real = engine_->Real()) {
        if (engine_->PropertyText(prop::AfMode) == "Manual Focus")
            return Variant::Bool(false);
        real->AutoFocus();
        return Variant::Bool(true);
    }
    if (!engine_->IsOpen() || engine_->LensManualFocus())
        return Variant::Bool(false);
    lens_.StartAutoFocus();
    return Variant::Bool(true);
}

Variant QuorCtrlComponent::GrabFrame(Args a) {
    const QString path = HostPath(a[0].text);
    if (!view_ || path.isEmpty())
        return Variant::Bool(false);
    const Frame* frame = view_->CurrentFrame();
    if (!frame)
        return Variant::Bool(false);
    const QSize size(int(frame->width), int(frame->height));
    const QRect crop = state_.cropEnabled
                           ? EffectiveCrop(state_.cropRect, size, state_.cropRatioLocked, state_.cropRatio)
                           : QRect(QPoint(0, 0), size);
    CaptureJob job;
    job.kind = CaptureJob::Kind::Grab;
    job.id = nextJob_++;
    job.request = storage::PhotoRequest{storage::PhotoRequest::Naming::Newest, path, {}, {}};
    // Only the crop is copied here; turning and encoding happen on the capture thread.
    job.picture = QImage(frame->bytes.data(), size.width(), size.height(), qsizetype(frame->stride),
                         QImage::Format_RGB888)
                      .copy(crop);
    job.rotation = state_.rotation;
    capture_->Enqueue(std::move(job));
    return Variant::Bool(true);
}

bool QuorCtrlComponent::PressCameraShutter() {
    if (status_.controlMode != 2)
        return false;
    // The body's own button: its photo lands beside the program like a series frame of its own.
    return Shoot(storage::PhotoRequest{storage::PhotoRequest::Naming::Series, ApplicationDirectory(),
                                       QDateTime::currentDateTime(), {}});
}

void QuorCtrlComponent::SeriesTick() {
    // The next frame waits until the last one is saved: a frame that cannot be saved ends the series before
    // another is lost the same way.
    if (seriesUnsaved_ != 0)
        return;
    if (!Shoot(seriesRequest_)) {
        seriesTimer_.stop();
        status_.seriesActive = false;
        Repaint();
    }
}

void QuorCtrlComponent::StopSeriesAfterFailure(const QString& reason) {
    // Each further frame would be lost the same way: the series ends with the first loss.
    seriesTimer_.stop();
    if (GPhotoCamera* real = engine_->Real())
        real->StopSeries();
    status_.seriesActive = false;
    seriesJobs_.clear();
    Tell(QStringLiteral("The series was stopped. %1").arg(reason));
    Repaint();
}

void QuorCtrlComponent::OnDownloadStart(std::uint64_t id) {
    if (Stale(id))
        return;
    if (view_)
        view_->SetTransferProgress(0);
    RaiseNotify(notify::DownloadStart, Variant{});
}

void QuorCtrlComponent::OnDownloadProgress(std::uint64_t id, int percent) {
    if (Stale(id))
        return;
    if (view_)
        view_->SetTransferProgress(percent);
    RaiseNotify(notify::ProgressReport, Variant::Long(percent));
}

void QuorCtrlComponent::OnDownloadComplete(std::uint64_t id, const QString& path, const QImage& preview) {
    if (Stale(id))
        return;
    if (auto it = cardKilobytes_.find(id); it != cardKilobytes_.end()) {
        engine_->ConsumeCard(it->second);
        cardKilobytes_.erase(it);
    }
    if (id == seriesUnsaved_)
        seriesUnsaved_ = 0;
    status_.lastSaved = path;
    if (view_) {
        view_->SetTransferProgress(-1);
        // With onion skin over live view the photo joins the layers: showing it would freeze the view, and the
        // host offers no way back to live view then.
        view_->AddPhoto(preview, state_.showAfterShot && !(state_.onionSkinEnabled && live_.Running()));
    }
    RaiseNotify(notify::DownloadComplete, Variant{});
}

void QuorCtrlComponent::OnCaptureFailed(std::uint64_t id, const QString& reason) {
    if (id == 0) { // a photo from the body's own button
        Tell(reason);
        return;
    }
    if (Stale(id))
        return;
    cardKilobytes_.erase(id);
    if (id == seriesUnsaved_)
        seriesUnsaved_ = 0;
    if (view_)
        view_->SetTransferProgress(-1);
    if (status_.seriesActive && seriesJobs_.count(id))
        StopSeriesAfterFailure(reason);
    else
        Tell(reason);
}

void QuorCtrlComponent::OnPulledOut(std::uint64_t id) {
    if (Stale(id))
        return;
    Tell(QStringLiteral("The camera was pulled out during the download; nothing was saved"));
    engine_->PullOutCamera(engine_->OpenIndex());
}

Variant QuorCtrlComponent::TakePicture(Args a) {
    const QString path = HostPath(a[0].text);
    // Nowhere to put it: refused before the shutter moves.
    if (path.isEmpty())
        return Variant::Bool(false);
    return Variant::Bool(Shoot(storage::PhotoRequest{storage::PhotoRequest::Naming::Newest, path, {}, {}}));
}

Variant QuorCtrlComponent::StartContinuousShooting(Args a) {
    if (!engine_->IsOpen() || status_.seriesActive)
        return Variant::Bool(false);
    // A folder that cannot take the frames is the filer's to judge (off the window's thread): they go to the
    // fallback folder then.
    const QString folder = HostPath(a[0].text);
    if (folder.isEmpty())
        return Variant::Bool(false);
    seriesRequest_ = storage::PhotoRequest{storage::PhotoRequest::Naming::Series, folder,
                                           QDateTime::currentDateTime(), {}};
    seriesJobs_.clear();
    if (GPhotoCamera* real = engine_->Real()) {
        // The body shoots the series by itself while the release is held down; its frames arrive as events.
        if (engine_->PropertyText(prop::DriveMode).find("Continuous") == std::string::npos)
            return Variant::Bool(false);
        seriesJobs_.insert(nextJob_);
        real->StartSeries(nextJob_++, seriesRequest_);
        status_.seriesActive = true;
        Repaint();
        return Variant::Bool(true);
    }
    const int tenthsPerSecond = engine_->OpenCamera()->Properties().Current(prop::DriveMode)->key;
    // A body in a single-shot drive mode takes no series.
    if (tenthsPerSecond <= 0)
        return Variant::Bool(false);
    status_.seriesActive = true;
    seriesTimer_.start(10000 / tenthsPerSecond);
    SeriesTick();
    Repaint();
    return Variant::Bool(status_.seriesActive);
}

Variant QuorCtrlComponent::StopContinuousShooting(Args) {
    if (!status_.seriesActive)
        return Variant::Bool(false);
    // Shots already taken still download.
    seriesTimer_.stop();
    if (GPhotoCamera* real = engine_->Real())
        real->StopSeries();
    status_.seriesActive = false;
    Repaint();
    return Variant::Bool(true);
}

Variant QuorCtrlComponent::StartBulb(Args a) {
    if (!engine_->IsOpen() || status_.bulbOpen)
        return Variant::Bool(false);
    const QString name = HostPath(a[0].text);
    if (name.isEmpty())
        return Variant::Bool(false);
    bulbRequest_ = storage::PhotoRequest{storage::PhotoRequest::Naming::Newest, name, {}, {}};
    bulbStart_ = std::chrono::steady_clock::now();
    if (GPhotoCamera* real = engine_->Real())
        real->StartBulb();
    status_.bulbOpen = true;
    Repaint();
    return Variant::Bool(true);
}

Variant QuorCtrlComponent::StopBulb(Args) {
    if (!status_.bulbOpen)
        return Variant::Bool(false);
    status_.bulbOpen = false;
    const double seconds =
        std::max(std::chrono::duration<double>(std::chrono::steady_clock::now() - bulbStart_).count(), 1.0 / 8000);
    Repaint();
    return Variant::Bool(Shoot(bulbRequest_, seconds));
}

Variant QuorCtrlComponent::PressShutterHalfway(Args a) {
    const bool on = a[0].Int() != 0;
    if (on && !engine_->IsOpen())
        return {};
    // The host repeats the press on every pointer move; only the first one starts metering and focusing.
    if (GPhotoCamera* real = engine_->Real()) {
        if (status_.halfPressed != on)
            real->HalfPress(on);
    } else if (on && !status_.halfPressed && !engine_->LensManualFocus()) {
        lens_.StartAutoFocus();
    }
    if (status_.halfPressed != on) {
        status_.halfPressed = on;
        Repaint();
    }
    return {};
}

Variant QuorCtrlComponent::ResumeLiveView(Args) {
    if (view_)
        view_->ClearShownPhoto();
    return {};
}

Variant QuorCtrlComponent::ShowSettingsDialog(Args) {
    SettingsDialog dialog(this, view_);
    dialog.exec();
    return {};
}

Variant QuorCtrlComponent::SetControlMode(Args a) {
    // Who releases the shutter is a setting of the open camera.
    const int mode = a[0].Low16();
    if (!engine_->IsOpen() || (mode != 1 && mode != 2))
        return Variant::Bool(false);
    status_.controlMode = mode;
    Repaint();
    return Variant::Bool(true);
}

// ---- Properties ----

Variant QuorCtrlComponent::GetShowDebugInfo(Args) { return Variant::Bool(state_.showDebugInfo); }

Variant QuorCtrlComponent::PutShowDebugInfo(Args a) {
    state_.showDebugInfo = Flag(a[0]);
    Repaint();
    return {};
}

Variant QuorCtrlComponent::GetBorderStyle(Args) { return Variant::Short(state_.borderStyle); }

Variant QuorCtrlComponent::PutBorderStyle(Args a) {
    state_.borderStyle = a[0].Low16();
    Repaint();
    return {};
}

// ---- Camera ----

Variant QuorCtrlComponent::OpenCamera(Args a) {
    const int index = a[0].Low16();
    if (!engine_->RealCamera(index))
        return Variant::Bool(engine_->Open(index));
    // The one wait on a camera the window makes: bounded (CameraEngine::kOpenTimeout), with a busy cursor.
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    const bool opened = engine_->Open(index);
    QGuiApplication::restoreOverrideCursor();
    // Photos taken with the body's own button land beside the program, whoever has control: nothing the body
    // delivers is thrown away.
    if (opened)
        engine_->Real()->SetOwnShotFolder(ApplicationDirectory());
    return Variant::Bool(opened);
}

Variant QuorCtrlComponent::CloseCamera(Args) { return Variant::Bool(engine_->Close()); }

Variant QuorCtrlComponent::SetPropertyValue(Args a) {
    return Variant::Bool(engine_->SetPropertyValue(a[0].Int(), a[1].Int()));
}

Variant QuorCtrlComponent::GetPropertyValue(Args a) { return Variant::Long(engine_->PropertyValue(a[0].Int())); }

Variant QuorCtrlComponent::GetPropertyText(Args a) { return Variant::String(engine_->PropertyText(a[0].Int())); }

Variant QuorCtrlComponent::GetCameraCount(Args) { return Variant::Short(engine_->CameraCount()); }

Variant QuorCtrlComponent::GetCameraName(Args a) { return Variant::String(engine_->CameraName(a[0].Low16())); }

// ---- Options kept for live view and capture ----

Variant QuorCtrlComponent::SetMovieOptions(Args a) {
    state_.movieVideo = Flag(a[0]);
    state_.movieAudio = Flag(a[1]);
    return {};
}

Variant QuorCtrlComponent::EnableCrop(Args a) {
    state_.cropEnabled = Flag(a[0]);
    state_.cropFlag2 = Flag(a[1]);
    state_.cropFlag3 = Flag(a[2]);
    NormalizeCrop();
    Repaint();
    return {};
}

Variant QuorCtrlComponent::SetCropRect(Args a) {
    state_.cropRect = {a[0].Int(), a[1].Int(), a[2].Int(), a[3].Int()};
    NormalizeCrop();
    Repaint();
    return {};
}

Variant QuorCtrlComponent::ShowCropFrame(Args a) {
    state_.cropFrameShown = Flag(a[0]);
    state_.cropImagePath = a[1].text;
    const std::uint64_t request = ++cropRequest_;
    if (!state_.cropFrameShown) {
        if (view_)
            view_->ClearCropFrameImage();
        Repaint();
        return {};
    }
    // The file is read when the frame is switched on (so that a changed file shows at the next switch), on the
    // I/O thread: a path from outside may name anything, a FIFO or a file on a stalled share.
    io_->Post([this, request, path = HostPath(state_.cropImagePath)] {
        QByteArray bytes;
        QString error;
        QImage image;
        if (storage::ReadRegularFile(path, kCropImageLimit, &bytes, &error)) {
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            QImageReader reader(&buffer);
            image = reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
            if (image.isNull())
                error = reader.errorString();
        }
        if (!error.isEmpty())
            error = QStringLiteral("crop frame: cannot read %1 (%2)").arg(path, error);
        Post([this, request, image, error] {
            if (request == cropRequest_ && view_)
                view_->SetCropFrameImage(image, error);
        });
    });
    Repaint();
    return {};
}

Variant QuorCtrlComponent::SetCropRatio(Args a) {
    state_.cropRatioLocked = Flag(a[0]);
    state_.cropRatio = {a[1].Int(), a[2].Int()};
    NormalizeCrop();
    Repaint();
    return {};
}

// ---- Crop ----

QSize QuorCtrlComponent::LiveFrameSize() const {
    return live_.Running() ? QSize(live_.Width(), live_.Height()) : QSize(sim_.liveViewWidth, sim_.liveViewHeight);
}

void QuorCtrlComponent::RaiseCropRect() {
    std::array<Variant, 4> args{Variant::Long(state_.cropRect[0]), Variant::Long(state_.cropRect[1]),
                                Variant::Long(state_.cropRect[2]), Variant::Long(state_.cropRect[3])};
    Raise(kEventCropRectChanged, args);
}

void QuorCtrlComponent::NormalizeCrop() {
    // An empty rectangle stands for the whole frame and is kept as the host gave it.
    if (state_.cropRect[2] <= 0 || state_.cropRect[3] <= 0)
        return;
    const QRect used = EffectiveCrop(state_.cropRect, LiveFrameSize(), state_.cropRatioLocked, state_.cropRatio);
    const std::array<std::int32_t, 4> numbers{used.x(), used.y(), used.width(), used.height()};
    if (numbers == state_.cropRect)
        return;
    state_.cropRect = numbers;
    // After the call that caused it, with the numbers as they stand then.
    Post([this] { RaiseCropRect(); });
}

void QuorCtrlComponent::OnCropDragged(QRect rect) {
    state_.cropRect = {rect.x(), rect.y(), rect.width(), rect.height()};
    RaiseCropRect();
    Repaint();
}

Variant QuorCtrlComponent::SetRotation(Args a) {
    const int degrees = a[0].Low16();
    // Only quarter turns exist; anything else leaves the rotation as it was.
    if (degrees == 0 || degrees == 90 || degrees == 180 || degrees == 270) {
        state_.rotation = degrees;
        Repaint();
    }
    return {};
}

Variant QuorCtrlComponent::SetShowAfterShot(Args a) {
    state_.showAfterShot = Flag(a[0]);
    return {};
}

Variant QuorCtrlComponent::ShowFocusFrame(Args a) {
    state_.focusFrameShown = Flag(a[0]);
    Repaint();
    return {};
}

Variant QuorCtrlComponent::SetAfPointSelection(Args a) {
    const int mode = a[0].Low16();
    if (mode == 0 || mode == 1)
        state_.afPointSelection = mode;
    return {};
}

Variant QuorCtrlComponent::SetFrameCallback(Args a) {
    state_.frameCallback = AddressOf(a[0]);
    state_.frameCallbackContext = state_.frameCallback ? AddressOf(a[1]) : 0;
    live_.SetCallback(reinterpret_cast<FrameCallback>(state_.frameCallback), state_.frameCallbackContext);
    return {};
}

Variant QuorCtrlComponent::SetDisplayMode(Args a) {
    const int mode = a[0].Low16();
    if (mode >= 0 && mode <= 2) {
        state_.displayMode = static_cast<DisplayMode>(mode);
        Repaint();
    }
    return {};
}

Variant QuorCtrlComponent::SetCropShape(Args a) {
    const int shape = a[0].Low16();
    if (shape == 0 || shape == 1) {
        state_.cropShape = shape;
        Repaint();
    }
    return {};
}

Variant QuorCtrlComponent::SetOnionSkinAlpha(Args a) {
    state_.onionSkinAlpha = a[0].Low16();
    Repaint();
    return {};
}

Variant QuorCtrlComponent::SetOnionSkinLayers(Args a) {
    state_.onionSkinLayers = a[0].Low16();
    Repaint();
    return {};
}

Variant QuorCtrlComponent::EnableOnionSkin(Args a) {
    state_.onionSkinEnabled = Flag(a[0]);
    Repaint();
    return {};
}

} // namespace quor::component
