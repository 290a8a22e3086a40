#include "component/host/ShootingController.h"

#include "component/host/CameraEngine.h"
#include "component/host/QuorCtrlView.h"
#include "component/host/ViewGeometry.h"
#include "component/liveview/FramePool.h"
#include "component/session/ImageCodec.h"
#include "component/storage/IoQueue.h"
#include "component/storage/PhotoFiler.h"
#include "control/NotifyNames.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTransform>

namespace quor::component {

QString ApplicationDirectory() { return QCoreApplication::applicationDirPath(); }

QString HostPath(const std::string& text) {
    const QString path = QString::fromStdString(text);
    if (path.isEmpty() || !QFileInfo(path).isRelative())
        return path;
    return QDir(ApplicationDirectory()).filePath(path);
}

namespace {

storage::PhotoRequest Newest(const QString& path) {
    return storage::PhotoRequest{storage::PhotoRequest::Naming::Newest, path, {}, {}};
}

storage::PhotoRequest Series(const QString& folder) {
    return storage::PhotoRequest{storage::PhotoRequest::Naming::Series, folder, QDateTime::currentDateTime(), {}};
}

} // namespace

ShootingController::ShootingController(Links links)
    : links_(std::move(links)), memory_(links_.io, [this] { return !status_.seriesActive && Pending() == 0; }) {}

ICameraSession* ShootingController::Session() const { return links_.engine->Session(); }

void ShootingController::Repaint() {
    if (links_.view)
        links_.view->Refresh();
}

int ShootingController::Pending() const { return (Session() ? Session()->Pending() : 0) + grabs_->load(); }

bool ShootingController::Counted(bool taken) {
    if (!taken)
        return false;
    ++nextJob_;
    ++status_.shotsTaken;
    return true;
}

bool ShootingController::TakePicture(const std::string& path) {
    const QString file = HostPath(path);
    ICameraSession* session = Session();
    // Nowhere to put it: refused before the shutter moves.
    return Counted(!file.isEmpty() && session && session->Shoot(nextJob_, Newest(file)));
}

bool ShootingController::StartSeries(const std::string& folder) {
    // A folder that cannot take the frames is the filer's to judge (off the window's thread): they go to the
    // fallback folder then.
    const QString where = HostPath(folder);
    ICameraSession* session = Session();
    // No camera, or a series already running: nothing started, nothing ended.
    if (!session || status_.seriesActive)
        return false;
    if (where.isEmpty()) {
        SeriesEndedByItself();
        return false;
    }
    const JobId job = nextJob_++;
    seriesJob_ = job;
    lastSeriesJob_ = job;
    status_.seriesActive = true;
    // A body that refuses its very first frame reports that inside the call, and the series is over already.
    if (!session->StartSeries(job, Series(where)) || seriesJob_ != job) {
        if (status_.seriesActive)
            SeriesEndedByItself(); // a loss reported inside the call has said so already
        status_.seriesActive = false;
        seriesJob_ = 0;
        return false;
    }
    Repaint();
    return true;
}

bool ShootingController::StopSeries() {
    if (!status_.seriesActive)
        return false;
    // Shots already taken still download.
    if (ICameraSession* session = Session())
        session->StopSeries();
    status_.seriesActive = false;
    seriesJob_ = 0;
    Repaint();
    memory_.SeriesEnded();
    return true;
}

bool ShootingController::StartBulb(const std::string& name) {
    const QString file = HostPath(name);
    ICameraSession* session = Session();
    if (!session || status_.bulbOpen || file.isEmpty() || !session->StartBulb())
        return false;
    bulbRequest_ = Newest(file);
    status_.bulbOpen = true;
    Repaint();
    return true;
}

bool ShootingController::StopBulb() {
    if (!status_.bulbOpen)
        return false;
    status_.bulbOpen = false;
    Repaint();
    ICameraSession* session = Session();
    return Counted(session && session->StopBulb(nextJob_, bulbRequest_));
}

void ShootingController::PressShutterHalfway(bool on) {
    ICameraSession* session = Session();
    if (on && !session)
        return;
    // The host repeats the press on every pointer move; only a change reaches the camera.
    if (status_.halfPressed == on)
        return;
    if (session)
        session->HalfPress(on);
    status_.halfPressed = on;
    Repaint();
}

bool ShootingController::SetControlMode(int mode) {
    // Who releases the shutter is a setting of the open camera.
    if (!Session() || (mode != 1 && mode != 2))
        return false;
    status_.controlMode = mode;
    Repaint();
    return true;
}

bool ShootingController::PressCameraShutter() {
    ICameraSession* session = Session();
    return Counted(status_.controlMode == 2 && session &&
                   session->PressBodyShutter(nextJob_, Series(ApplicationDirectory())));
}

bool ShootingController::GrabFrame(const std::string& path) {
    const QString file = HostPath(path);
    const Frame* frame = links_.view ? links_.view->CurrentFrame() : nullptr;
    if (file.isEmpty() || !frame)
        return false;
    const ComponentState& state = *links_.state;
    const QSize size(int(frame->width), int(frame->height));
    // Magnified, the frame is a part of the whole one: it is kept as shown, since the crop is of the whole frame.
    const QRect crop = state.cropEnabled && state.zoomFactor <= 1
                           ? EffectiveCrop(state.cropRect, size, state.cropRatioLocked, state.cropRatio)
                           : QRect(QPoint(0, 0), size);
    // Only the crop is copied here; turning, encoding and writing happen on the I/O thread.
    const QImage picture =
        QImage(frame->bytes.data(), size.width(), size.height(), qsizetype(frame->stride), QImage::Format_RGB888)
            .copy(crop);
    ++*grabs_;
    links_.io->Post([picture, rotation = state.rotation, file, grabs = grabs_, filer = links_.filer,
                     post = links_.post, tell = links_.tell] {
        const QByteArray jpeg = EncodeJpeg(rotation ? picture.transformed(QTransform().rotate(rotation)) : picture, 90);
        const QByteArrayView parts[] = {QByteArrayView(jpeg)};
        storage::StoredPhoto stored;
        QString error;
        if (jpeg.isEmpty() || !filer->Save(Newest(file), QStringLiteral(".jpg"), parts, &stored, &error))
            post([tell, error] {
                tell(error.isEmpty()
                         ? QCoreApplication::translate("quor::component::ShootingController", "无法编码这一帧画面")
                         : error);
            });
        --*grabs;
    });
    return true;
}

void ShootingController::SeriesEndedByItself() {
    memory_.SeriesEnded();
    // After the call that caused it has returned: the host sets its own state when a call returns.
    links_.post([toHost = links_.notify] { toHost(notify::SeriesEnded, Variant{}); });
}

void ShootingController::OnSessionLost() {
    if (status_.seriesActive)
        SeriesEndedByItself();
}

void ShootingController::OnSessionEnded() {
    // Whatever the camera was doing ends with the session; reports already on their way are dropped by it.
    status_.seriesActive = false;
    status_.bulbOpen = false;
    status_.halfPressed = false;
    seriesJob_ = 0;
    if (links_.view) {
        links_.view->SetTransferProgress(-1);
        links_.view->ClearShownPhoto();
    }
    memory_.SeriesEnded();
}

void ShootingController::DownloadStart(JobId job) {
    // Each frame of a series is a shot of its own (the body takes them by itself).
    if (job != 0 && job == lastSeriesJob_)
        ++status_.shotsTaken;
    if (links_.view)
        links_.view->SetTransferProgress(0);
    links_.notify(notify::DownloadStart, Variant{});
}

void ShootingController::DownloadProgress(JobId, int percent) {
    if (links_.view)
        links_.view->SetTransferProgress(percent);
    links_.notify(notify::ProgressReport, Variant::Long(percent));
}

void ShootingController::DownloadComplete(JobId job, const QString& path, const QImage& preview) {
    status_.lastSaved = path;
    if (links_.view) {
        links_.view->SetTransferProgress(-1);
        // With onion skin over live view the photo joins the layers, and a frame of a series over live view
        // shows only briefly: holding either would freeze the view, and the host offers no way back then.
        const bool live = Session() && Session()->LiveViewRunning();
        const bool seriesFrame = job != 0 && job == lastSeriesJob_;
        links_.view->AddPhoto(preview, links_.state->showAfterShot && !(links_.state->onionSkinEnabled && live),
                              live && seriesFrame);
    }
    links_.notify(notify::DownloadComplete, Variant{});
}

void ShootingController::CaptureFailed(JobId job, const QString& reason) {
    if (job != 0 && links_.view)
        links_.view->SetTransferProgress(-1);
    if (job == 0 || job != seriesJob_ || !status_.seriesActive) {
        links_.tell(reason);
        return;
    }
    // Each further frame would be lost the same way: the series ends with the first loss.
    if (ICameraSession* session = Session())
        session->StopSeries();
    status_.seriesActive = false;
    seriesJob_ = 0;
    SeriesEndedByItself();
    links_.tell(QCoreApplication::translate("quor::component::ShootingController", "连拍已停止。%1").arg(reason));
    Repaint();
}

} // namespace quor::component
