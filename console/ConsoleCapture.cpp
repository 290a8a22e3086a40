// Capture commands and transfer progress: Take photo and its hover half-press, show after shot, continuous
// shooting, bulb, the settings dialog, frame grab, control mode, and the download notifications.
#include "console/CameraConsoleDlg.h"

#include "control/PropertyCodes.h"

#include <QMouseEvent>
#include <QProgressBar>

#include <algorithm>
#include <cmath>

namespace {

const char kTakePhotoCaption[] = QT_TRANSLATE_NOOP("CCameraConsoleDlg", "拍照");
const char kResumeCaption[] = QT_TRANSLATE_NOOP("CCameraConsoleDlg", "恢复");
const char kContinuousCaption[] = QT_TRANSLATE_NOOP("CCameraConsoleDlg", "连拍");
const char kBulbCaption[] = QT_TRANSLATE_NOOP("CCameraConsoleDlg", "B门");
const char kStopCaption[] = QT_TRANSLATE_NOOP("CCameraConsoleDlg", "停止");

constexpr char kPhotoFile[] = "/quortovu.jpg";
constexpr char kGrabFile[] = "/quortovu_grab.jpg";
constexpr char kBulbFile[] = "quorctrl.jpg"; // a bare name: the component decides where it goes

// Half-open, as a screen rectangle: the right and bottom edges belong to the neighbour.
bool InsideHalfOpen(const QRect& r, const QPoint& p) {
    return p.x() >= r.left() && p.x() < r.left() + r.width() && p.y() >= r.top() && p.y() < r.top() + r.height();
}

} // namespace

void CCameraConsoleDlg::TakePhotoOrResume() {
    if (!state_.cameraOpen)
        return;
    if (state_.photoShown && state_.liveViewOn) {
        ctrl_.ResumeLiveView();
        state_.photoShown = 0;
        SetItemText(1003, tr(kTakePhotoCaption));
        return;
    }
    // Busy before the call: a download reported from inside TakePicture must be able to clear it.
    state_.captureBusy = 1;
    if (state_.halfPressed) {
        ctrl_.PressShutterHalfway(0);
        state_.halfPressed = 0;
    }
    const bool taken = ctrl_.TakePicture(AppFilePath(kPhotoFile));
    // Read after the call: live view may have stopped while the picture was taken.
    if (taken && IsChecked(1053) && state_.liveViewOn && !IsChecked(1064)) {
        state_.photoShown = 1;
        SetItemText(1003, tr(kResumeCaption));
    }
}

void CCameraConsoleDlg::UpdateHalfPress(const QMouseEvent& event) {
    if (!state_.cameraOpen)
        return;
    // The screen position, not the event's own: the same point whichever window inside the console it is for.
    const QPointF global = event.globalPosition();
    const QPoint client =
        mapFromGlobal(QPoint(static_cast<int>(std::floor(global.x())), static_cast<int>(std::floor(global.y()))));
    if (InsideHalfOpen(takePhotoRect_, client) && !state_.captureBusy) {
        // Sent at every move over the button, held or not: the camera keeps metering while the pointer rests.
        ctrl_.PressShutterHalfway(1);
        state_.halfPressed = 1;
    } else if (state_.halfPressed) {
        ctrl_.PressShutterHalfway(0);
        state_.halfPressed = 0;
    }
}

void CCameraConsoleDlg::ApplyShowAfterShot() { ctrl_.SetShowAfterShot(IsChecked(1053)); }

void CCameraConsoleDlg::ToggleContinuousShooting() {
    if (!state_.cameraOpen)
        return;
    // Flag and caption follow the call; its result is not looked at.
    if (!state_.continuousActive) {
        ctrl_.StartContinuousShooting(appDirectory_);
        state_.continuousActive = 1;
        SetItemText(1029, tr(kStopCaption));
    } else {
        ctrl_.StopContinuousShooting();
        state_.continuousActive = 0;
        SetItemText(1029, tr(kContinuousCaption));
    }
}

void CCameraConsoleDlg::OnSeriesEnded() {
    // The component ended the series by itself (a photo or the camera lost): the button reads as after Stop,
    // so that the next click starts a series again.
    if (!state_.continuousActive)
        return;
    state_.continuousActive = 0;
    SetItemText(1029, tr(kContinuousCaption));
}

void CCameraConsoleDlg::ToggleBulb() {
    if (!state_.cameraOpen)
        return;
    // Flag and caption change before the call, so they already read "stop" while the exposure opens.
    if (!state_.bulbActive) {
        state_.bulbActive = 1;
        SetItemText(1032, tr(kStopCaption));
        ctrl_.StartBulb(kBulbFile);
    } else {
        state_.bulbActive = 0;
        SetItemText(1032, tr(kBulbCaption));
        ctrl_.StopBulb();
    }
}

void CCameraConsoleDlg::OnSettingsClicked() {
    if (state_.cameraOpen)
        ctrl_.ShowSettingsDialog();
}

void CCameraConsoleDlg::OnGrabFrameClicked() {
    if (state_.cameraOpen)
        ctrl_.GrabFrame(AppFilePath(kGrabFile));
}

void CCameraConsoleDlg::ApplyControlMode() {
    if (IsChecked(1069)) {
        if (ctrl_.SetControlMode(1))
            EnableItem(1003, true);
    } else if (IsChecked(1070)) {
        // The camera's own shutter button takes over.
        if (ctrl_.SetControlMode(2))
            EnableItem(1003, false);
    }
}

void CCameraConsoleDlg::SetProgressPos(std::int32_t pos) {
    auto* bar = qobject_cast<QProgressBar*>(GetDlgItem(1074));
    if (!bar)
        return;
    // A position outside the range shows at the nearer end; QProgressBar would ignore it instead.
    bar->setValue(std::clamp(pos, bar->minimum(), bar->maximum()));
}

void CCameraConsoleDlg::OnDownloadStart() { SetProgressPos(0); }

void CCameraConsoleDlg::OnProgressReport(std::int32_t progress) {
    // Truncated toward zero to a multiple of 100: the bar only fills once a report reaches 100.
    SetProgressPos(progress / 100 * 100);
}

void CCameraConsoleDlg::OnDownloadMovieComplete() { SetProgressPos(0); }

void CCameraConsoleDlg::OnDownloadComplete() {
    SetProgressPos(0);
    state_.captureBusy = 0;
    SetItemInt(1019, ctrl_.GetPropertyValue(quor::prop::AvailableShots));
}
