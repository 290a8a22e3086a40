// Opening and closing the camera: the Open/Close button, "OpenSucceed" and "shutDown", closing the window,
// device changes, and the Enter key.
#include "console/CameraConsoleDlg.h"

#include "control/PropertyCodes.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>

namespace {

const char kOpenCaption[] = QT_TRANSLATE_NOOP("CCameraConsoleDlg", "打开相机");
const char kCloseCaption[] = QT_TRANSLATE_NOOP("CCameraConsoleDlg", "关闭相机");

// Where Enter moves the focus: through the crop numbers to their Set buttons.
struct EnterStep {
    int from;
    int to;
};
constexpr EnterStep kEnterWalk[] = {
    {1038, 1039}, {1039, 1040}, {1040, 1041}, {1041, 1042}, {1044, 1045}, {1045, 1046},
};

} // namespace

void CCameraConsoleDlg::OnOpenCloseClicked() { ToggleCamera(); }

void CCameraConsoleDlg::ToggleCamera() {
    if (state_.cameraOpen) {
        ctrl_.CloseCamera();
        SetOpenState(false);
        state_.cameraOpen = 0;
        SetItemText(1001, tr(kOpenCaption));
        return;
    }
    const QComboBox* cameras = ComboAt(1014);
    const int index = cameras ? cameras->currentIndex() : -1;
    if (!ctrl_.OpenCamera(index))
        return;
    SetOpenState(true);
    state_.cameraOpen = 1;
    SetItemText(1001, tr(kCloseCaption));
}

void CCameraConsoleDlg::OnOpenSucceed() {
    SetItemText(1012, QString::fromStdString(ctrl_.GetPropertyText(quor::prop::SerialNumber)));
    SetItemText(1011, QString::fromStdString(ctrl_.GetPropertyText(quor::prop::ModelName)));
    SetItemText(1013, QString::fromStdString(ctrl_.GetPropertyText(quor::prop::FirmwareVersion)));
    SetItemText(1016, QString::asprintf("%d%%", static_cast<int>(ctrl_.GetPropertyValue(quor::prop::BatteryLevel))));
}

void CCameraConsoleDlg::OnShutDown() {
    if (state_.cameraOpen)
        ToggleCamera();
}

void CCameraConsoleDlg::OnDeviceChange() { RefreshCameraList(); }

void CCameraConsoleDlg::closeEvent(QCloseEvent* event) {
    Guard("close", [this] {
        if (state_.cameraOpen)
            ToggleCamera();
    });
    // The console closes even when closing the camera failed: the user asked for it, and the component
    // goes with the console.
    QDialog::closeEvent(event);
}

void CCameraConsoleDlg::keyPressEvent(QKeyEvent* event) {
    // Enter reaches the dialog only when the focus is not on a push button (a button clicks itself). It
    // never ends the console.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Guard("OK", [this] { OnOK(); });
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event); // Escape ends the console without closing the camera
}

void CCameraConsoleDlg::OnOK() {
    // The focus may sit in a child of a control (an editable list's edit field): find the control.
    QWidget* focus = focusWidget();
    while (focus && focus->parentWidget() != this)
        focus = focus->parentWidget();
    const int id = DlgItemId(focus);
    for (const EnterStep& step : kEnterWalk) {
        if (step.from == id) {
            if (QWidget* next = GetDlgItem(step.to))
                next->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}
