#include "component/sim/SimulatedSession.h"

#include "component/session/LiveZoom.h"
#include "component/sim/PhotoExif.h"
#include "component/sim/ShotSettings.h"
#include "component/sim/Simulator.h"
#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <limits>
#include <utility>

namespace quor::component {
namespace {

// What the EXIF block of a simulated photo says about the exposure.
PhotoExif ExifOf(const SimulatedCamera& camera, double bulbSeconds) {
    const PropertyModel& model = camera.Properties();
    PhotoExif exif;
    exif.model = camera.Model();
    exif.make = exif.model.substr(0, exif.model.find(' '));
    exif.serial = camera.SerialNumber();
    exif.exposureSeconds = bulbSeconds > 0.0 ? bulbSeconds : ShutterSeconds(model.Current(prop::ShutterSpeed));
    exif.fNumber = ApertureNumber(model.Current(prop::Aperture));
    exif.iso = IsoNumber(model.Current(prop::IsoSpeed));
    exif.taken = QDateTime::currentDateTime();
    return exif;
}

} // namespace

SimulatedSession::SimulatedSession(Simulator& sim, std::shared_ptr<SimulatedCamera> body, SessionOutlet outlet,
                                   const SessionServices& services)
    : sim_(sim), body_(std::move(body)), out_(std::move(outlet)), services_(services), capture_(sim.Capture()),
      feed_(sim.Feed()) {
    body_->BeginSession(SimulatedCamera::Clock::now(), sim_.BatteryDrainInterval());
    // The lens may have been switched while the body was closed; it reports its state as it is now.
    PropertyChanges ignored;
    body_->Properties().SetLensManualFocus(sim_.LensManualFocus(), ignored);
    connect(&sim_, &Simulator::lensSwitched, this, &SimulatedSession::OnLensSwitched);
    connect(&sim_, &Simulator::framesChanged, this, &SimulatedSession::OnFramesChanged);
    connect(&sim_, &Simulator::pullingOut, this, [this](const SimulatedCamera* pulled) {
        if (pulled == body_.get())
            out_.Tell([](ISessionEvents& e) { e.Lost(QCoreApplication::translate("quor::sim", "相机已被拔出")); });
    });
    connect(&sim_.SharedLens(), &Lens::changed, this, [this] {
        UpdateScene();
        out_.Tell([](ISessionEvents& e) { e.Changed(); });
    });
    connect(&seriesTimer_, &QTimer::timeout, this, &SimulatedSession::SeriesTick);
    // Every option, then every value, then "OpenSucceed": after the host's OpenCamera has returned.
    out_.PostTask([this] { Publish(); });
}

SimulatedSession::~SimulatedSession() { End(); }

void SimulatedSession::End() {
    if (ended_)
        return;
    ended_ = true;
    body_->EndSession(SimulatedCamera::Clock::now());
    disconnect(&sim_, nullptr, this, nullptr);
    disconnect(&sim_.SharedLens(), nullptr, this, nullptr);
    capture_.CancelAll();
    seriesTimer_.stop();
    seriesJob_ = 0;
    bulbOpen_ = false;
    feed_.Stop();
    sim_.SharedLens().StopAutoFocus();
}

// ---- Properties ----

void SimulatedSession::Publish() {
    for (std::int32_t code : PropertyModel::ListCodes())
        Offer(code);
    for (std::int32_t code : PropertyModel::ListCodes())
        out_.Tell([&](ISessionEvents& e) { e.ValueChanged(code, body_->Properties().Current(code)->text); });
    out_.Tell([](ISessionEvents& e) { e.Notify(notify::OpenSucceed, Variant{}); });
}

void SimulatedSession::Offer(std::int32_t code) {
    const PropertyOffer offer = body_->Properties().Offer(code);
    for (const PropertyOption& option : offer.options)
        out_.Tell([&](ISessionEvents& e) { e.OptionAdded(code, option.text, option.value, offer.enabled); });
}

void SimulatedSession::Deliver(const PropertyChanges& changes) {
    for (std::int32_t code : changes.reoffered) {
        out_.Tell([&](ISessionEvents& e) { e.Notify(notify::ResetPropertyDesc, Variant::Long(code)); });
        Offer(code);
    }
    // The value as it stands when reported: a later write may already have replaced the one that caused it.
    for (std::int32_t code : changes.valueChanged)
        out_.Tell([&](ISessionEvents& e) { e.ValueChanged(code, body_->Properties().Current(code)->text); });
}

std::int32_t SimulatedSession::AvailableShots() const {
    const std::int64_t shots = sim_.CardFreeKilobytes() / body_->Properties().ShotKilobytes();
    return static_cast<std::int32_t>(std::min<std::int64_t>(shots, std::numeric_limits<std::int32_t>::max()));
}

std::int32_t SimulatedSession::PropertyValue(std::int32_t code) const {
    switch (code) {
    case prop::BatteryLevel: return body_->BatteryPercent(SimulatedCamera::Clock::now());
    case prop::SaveTo: return body_->SaveTo();
    case prop::AvailableShots: return AvailableShots();
    default: {
        const PropertyOption* current = body_->Properties().Current(code);
        return current ? current->value : 0;
    }
    }
}

std::string SimulatedSession::PropertyText(std::int32_t code) const {
    switch (code) {
    case prop::ModelName: return body_->Model();
    case prop::SerialNumber: return body_->SerialNumber();
    case prop::FirmwareVersion: return body_->Firmware();
    case prop::BatteryLevel:
    case prop::SaveTo:
    case prop::AvailableShots: return std::to_string(PropertyValue(code));
    default: {
        const PropertyOption* current = body_->Properties().Current(code);
        return current ? current->text : std::string();
    }
    }
}

bool SimulatedSession::SetPropertyValue(std::int32_t code, std::int32_t value) {
    if (code == prop::SaveTo) {
        if (value != prop::SaveToCamera && value != prop::SaveToComputer)
            return false;
        // A host-side setting: acknowledged with the write.
        body_->SetSaveTo(value);
        out_.Tell([&](ISessionEvents& e) {
            e.ValueChanged(code, value == prop::SaveToCamera ? "Camera" : "Computer");
            e.Changed();
        });
        return true;
    }
    PropertyChanges changes;
    if (!body_->Properties().Set(code, value, changes))
        return false;
    if (PropertyModel::ConfirmationOf(code) == Confirmation::WithTheWrite)
        Deliver(changes);
    else
        out_.PostTask([this, changes] { Deliver(changes); });
    UpdateScene();
    out_.Tell([](ISessionEvents& e) { e.Changed(); });
    return true;
}

void SimulatedSession::OnLensSwitched(bool manual) {
    PropertyChanges changes;
    body_->Properties().SetLensManualFocus(manual, changes);
    // A switch on the lens reaches the host through the camera's next event poll, not inside any call.
    out_.PostTask([this, changes] { Deliver(changes); });
}

// ---- Shooting ----

bool SimulatedSession::TakeShot(JobId job, const storage::PhotoRequest& request, double bulbSeconds) {
    Simulation& knobs = sim_.Knobs();
    QString refused;
    if (knobs.nextCaptureFails) {
        knobs.nextCaptureFails = false;
        refused = QCoreApplication::translate("quor::sim", "相机拒绝拍摄（模拟故障）");
    } else if (AvailableShots() <= 0) {
        refused = QCoreApplication::translate("quor::sim", "存储卡已满");
    }
    if (!refused.isEmpty()) {
        if (job == seriesJob_ && seriesJob_ != 0)
            out_.Tell([&](ISessionEvents& e) { e.CaptureFailed(job, refused); });
        else
            out_.Tell([&](ISessionEvents& e) { e.Message(refused); });
        return false;
    }
    const PropertyModel& model = body_->Properties();
    CaptureJob shot;
    shot.id = nextShot_++;
    shot.request = request;
    shot.scene = ShotScene(model, sim_.SharedLens().Blur(), bulbSeconds);
    shot.scene.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - created_).count();
    shot.format = PhotoFormatFor(model.Current(prop::ImageQuality));
    shot.exif = ExifOf(*body_, bulbSeconds);
    shot.failWrite = knobs.writesFail;
    shot.slowTransfer = knobs.slowTransfer;
    shot.pullOutHalfway = std::exchange(knobs.pullOutDuringDownload, false);
    shot.copy = body_->SaveTo() == prop::SaveToCamera ? CardCopy::Kept : CardCopy::None;
    shot.listener = static_cast<ICaptureListener*>(this);
    shot.post = [out = out_](std::function<void()> task) { out.PostTask(std::move(task)); };
    // The card fills once the photo is saved: a shot that is lost takes no room.
    shots_[shot.id] = Shot{job, model.ShotKilobytes()};
    if (job == seriesJob_ && seriesJob_ != 0)
        seriesUnsaved_ = shot.id;
    capture_.Enqueue(std::move(shot));
    return true;
}

bool SimulatedSession::Shoot(JobId job, const storage::PhotoRequest& request) { return TakeShot(job, request, 0.0); }

bool SimulatedSession::PressBodyShutter(JobId job, const storage::PhotoRequest& request) {
    return TakeShot(job, request, 0.0);
}

bool SimulatedSession::StartSeries(JobId job, const storage::PhotoRequest& request) {
    const int tenthsPerSecond = body_->Properties().Current(prop::DriveMode)->key;
    // A body in a single-shot drive mode takes no series.
    if (tenthsPerSecond <= 0 || seriesJob_ != 0)
        return false;
    seriesJob_ = job;
    seriesRequest_ = request;
    seriesUnsaved_ = 0;
    seriesTimer_.start(10000 / tenthsPerSecond);
    SeriesTick();
    return seriesJob_ != 0;
}

void SimulatedSession::SeriesTick() {
    // The next frame waits until the last one is saved: a frame that cannot be saved ends the series before
    // another is lost the same way.
    if (seriesUnsaved_ != 0)
        return;
    if (!TakeShot(seriesJob_, seriesRequest_, 0.0))
        StopSeries();
}

void SimulatedSession::StopSeries() {
    // Shots already taken still download; then what the series' photos took is given back.
    const bool ran = seriesJob_ != 0;
    seriesTimer_.stop();
    seriesJob_ = 0;
    if (ran)
        capture_.ReleaseWhenIdle();
}

bool SimulatedSession::StartBulb() {
    bulbOpen_ = true;
    bulbStart_ = std::chrono::steady_clock::now();
    return true;
}

bool SimulatedSession::StopBulb(JobId job, const storage::PhotoRequest& request) {
    if (!bulbOpen_)
        return false;
    bulbOpen_ = false;
    const double seconds =
        std::max(std::chrono::duration<double>(std::chrono::steady_clock::now() - bulbStart_).count(), 1.0 / 8000);
    return TakeShot(job, request, seconds);
}

void SimulatedSession::HalfPress(bool on) {
    // Metering and focusing: with the lens on MF the body meters but does not focus.
    if (on && !sim_.LensManualFocus())
        sim_.SharedLens().StartAutoFocus();
}

JobId SimulatedSession::Finish(std::uint64_t shot) {
    const auto it = shots_.find(shot);
    if (it == shots_.end())
        return 0;
    const JobId job = it->second.job;
    shots_.erase(it);
    if (shot == seriesUnsaved_)
        seriesUnsaved_ = 0;
    return job;
}

void SimulatedSession::OnDownloadStart(std::uint64_t shot) {
    const auto it = shots_.find(shot);
    if (it != shots_.end())
        out_.Tell([job = it->second.job](ISessionEvents& e) { e.DownloadStart(job); });
}

void SimulatedSession::OnDownloadProgress(std::uint64_t shot, int percent) {
    const auto it = shots_.find(shot);
    if (it != shots_.end())
        out_.Tell([job = it->second.job, percent](ISessionEvents& e) { e.DownloadProgress(job, percent); });
}

void SimulatedSession::OnDownloadComplete(std::uint64_t shot, const QString& path, const QImage& preview) {
    if (const auto it = shots_.find(shot); it != shots_.end())
        sim_.ConsumeCard(it->second.kilobytes);
    const JobId job = Finish(shot);
    out_.Tell([&](ISessionEvents& e) { e.DownloadComplete(job, path, preview); });
}

void SimulatedSession::OnCaptureFailed(std::uint64_t shot, const QString& reason) {
    const JobId job = Finish(shot);
    out_.Tell([&](ISessionEvents& e) { e.CaptureFailed(job, reason); });
}

void SimulatedSession::OnPulledOut(std::uint64_t shot, const QString& reason) {
    Finish(shot);
    const SimulatedCamera* body = body_.get();
    out_.Tell([&](ISessionEvents& e) { e.Lost(reason); });
    // The body leaves the list (the host has let go of this session by now).
    for (int i = 0; i < sim_.Count(); ++i)
        if (sim_.Camera(i) == body)
            sim_.PullOut(i);
}

// ---- Live view and focus ----

void SimulatedSession::UpdateScene() {
    if (ended_)
        return;
    SceneParams scene = LiveViewScene(body_->Properties(), sim_.SharedLens().Blur());
    scene.region = zoom_;
    feed_.SetScene(scene);
}

bool SimulatedSession::SetLiveZoom(int factor, QPointF centre) {
    if (!IsZoomFactor(factor))
        return false;
    zoom_ = ZoomRegion(factor, centre);
    UpdateScene();
    return true;
}

bool SimulatedSession::StartLiveView() {
    if (feed_.Running())
        return true;
    UpdateScene();
    const Simulation& knobs = sim_.Knobs();
    return feed_.Start(*services_.live, knobs.liveViewWidth, knobs.liveViewHeight, knobs.liveViewFps);
}

void SimulatedSession::StopLiveView() {
    // The magnifier ends with live view, as a body's does.
    feed_.Stop();
    zoom_ = QRectF(0, 0, 1, 1);
}

void SimulatedSession::OnFramesChanged() {
    // A running live view restarts with the new frame size and rate.
    if (!feed_.Running())
        return;
    feed_.Stop();
    StartLiveView();
}

bool SimulatedSession::DriveFocus(int code) {
    // With the lens on MF the body cannot move it.
    return !sim_.LensManualFocus() && sim_.SharedLens().Drive(code);
}

bool SimulatedSession::AutoFocus() {
    if (sim_.LensManualFocus())
        return false;
    sim_.SharedLens().StartAutoFocus();
    return true;
}

void SimulatedSession::SetAfPoint(QPointF point) { sim_.SharedLens().SetAfPoint(point); }

FocusState SimulatedSession::Focus() const {
    const Lens& lens = sim_.SharedLens();
    return FocusState{sim_.LensManualFocus(), lens.Focusing(), lens.InFocus(), lens.Position()};
}

QStringList SimulatedSession::DebugLines() const {
    const Simulation& knobs = sim_.Knobs();
    QStringList faults;
    if (knobs.nextCaptureFails)
        faults << QCoreApplication::translate("quor::sim", "下次拍摄失败");
    if (knobs.writesFail)
        faults << QCoreApplication::translate("quor::sim", "写入失败");
    if (knobs.pullOutDuringDownload)
        faults << QCoreApplication::translate("quor::sim", "下载时拔出");
    if (knobs.slowTransfer)
        faults << QCoreApplication::translate("quor::sim", "传输缓慢");
    if (faults.isEmpty())
        return {};
    return {QCoreApplication::translate("quor::sim", "故障：%1").arg(faults.join(QStringLiteral(", ")))};
}

} // namespace quor::component
