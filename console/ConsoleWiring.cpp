// Control notifications, connected to their handlers by identifier.
#include "console/CameraConsoleDlg.h"

#include "console/ControlTable.h"
#include "console/PropertyBindings.h"
#include "console/TypedValueGuard.h"
#include "platform/DeviceChange.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>

namespace {

// Focus steps: the number of arrows, with bit 15 set for the far direction.
struct FocusStep {
    int id;
    std::int32_t code;
};
constexpr FocusStep kFocusSteps[] = {
    {1023, 0x3}, {1024, 0x2}, {1025, 0x1}, {1026, 0x8001}, {1027, 0x8002}, {1028, 0x8003},
};

} // namespace

void CCameraConsoleDlg::OnClicked(int id, void (CCameraConsoleDlg::*handler)(), const char* what) {
    if (QAbstractButton* button = ButtonAt(id))
        connect(button, &QAbstractButton::clicked, this, [this, handler, what] { Guard(what, [&] { (this->*handler)(); }); });
}

void CCameraConsoleDlg::WireControls() {
    OnClicked(1001, &CCameraConsoleDlg::OnOpenCloseClicked, "open/close camera");
    OnClicked(1036, &CCameraConsoleDlg::OnSaveToCameraClicked, "save to camera");
    WireCaptureControls();
    WireLiveViewControls();
    WireOptionControls();

    // A selection made in the list (mouse or keyboard), never a change made by the program. Text typed into
    // the list's field is not kept once the field is left (it was never sent).
    typedValues_ = new quor::console::TypedValueGuard(
        [this](const QString& text) { Guard("typed value", [this, &text] { ctrl_.ShowNotice(text.toStdString()); }); },
        this);
    for (const quor::console::PropertyBinding& row : quor::console::kPropertyBindings) {
        if (QComboBox* combo = ComboAt(row.comboId)) {
            typedValues_->Watch(combo); // first: it notes the choice before the camera answers it
            connect(combo, &QComboBox::activated, this,
                    [this, id = row.comboId](int) { Guard("property selection", [this, id] { OnPropertySelChange(id); }); });
        }
    }

    // Every edit field reports its changes; OnEditChanged picks the fields that have a handler.
    for (const quor::console::ControlDef& def : quor::console::ControlTable()) {
        if (def.kind != quor::console::ControlKind::Edit)
            continue;
        if (auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(def.id)))
            connect(edit, &QLineEdit::textChanged, this, [this, id = def.id] { NotifyEditChange(id); });
    }

    connect(&quor::DeviceChangeNotifier::Instance(), &quor::DeviceChangeNotifier::deviceChanged, this,
            [this] { Guard("device change", [this] { OnDeviceChange(); }); });
}

void CCameraConsoleDlg::WireCaptureControls() {
    OnClicked(1003, &CCameraConsoleDlg::TakePhotoOrResume, "take photo");
    OnClicked(1053, &CCameraConsoleDlg::ApplyShowAfterShot, "show after shot");
    OnClicked(1029, &CCameraConsoleDlg::ToggleContinuousShooting, "continuous shooting");
    OnClicked(1032, &CCameraConsoleDlg::ToggleBulb, "bulb");
    OnClicked(1057, &CCameraConsoleDlg::OnSettingsClicked, "settings dialog");
    OnClicked(1058, &CCameraConsoleDlg::OnGrabFrameClicked, "grab frame");
    OnClicked(1069, &CCameraConsoleDlg::ApplyControlMode, "control mode");
    OnClicked(1070, &CCameraConsoleDlg::ApplyControlMode, "control mode");
}

void CCameraConsoleDlg::WireLiveViewControls() {
    OnClicked(1020, &CCameraConsoleDlg::OnStartVideoClicked, "start video");
    OnClicked(1021, &CCameraConsoleDlg::OnStopVideoClicked, "stop video");
    for (const FocusStep& step : kFocusSteps) {
        if (QAbstractButton* button = ButtonAt(step.id))
            connect(button, &QAbstractButton::clicked, this,
                    [this, code = step.code] { Guard("focus step", [this, code] { DriveFocus(code); }); });
    }
    OnClicked(1051, &CCameraConsoleDlg::OnAutoFocusClicked, "autofocus");
    OnClicked(1052, &CCameraConsoleDlg::OnFocusFrameClicked, "focus frame");
    OnClicked(1054, &CCameraConsoleDlg::OnAfPointClicked, "AF point selection");
    OnClicked(1055, &CCameraConsoleDlg::OnAfPointClicked, "AF point selection");
    OnClicked(1056, &CCameraConsoleDlg::OnVideoCallbackClicked, "video callback");
    for (int id : {1059, 1060, 1061})
        OnClicked(id, &CCameraConsoleDlg::ApplyDisplayMode, "display mode");
    OnClicked(1062, &CCameraConsoleDlg::OnDebugInfoClicked, "debug information");
}

void CCameraConsoleDlg::WireOptionControls() {
    OnClicked(1037, &CCameraConsoleDlg::OnCropEnableClicked, "crop enable");
    OnClicked(1042, &CCameraConsoleDlg::OnCropRectClicked, "crop rectangle");
    OnClicked(1043, &CCameraConsoleDlg::ApplyCropRatio, "crop ratio");
    OnClicked(1046, &CCameraConsoleDlg::ApplyCropRatio, "crop ratio");
    if (QComboBox* shapes = ComboAt(1071))
        connect(shapes, &QComboBox::activated, this,
                [this](int) { Guard("crop shape", [this] { OnCropShapeSelChange(); }); });
    OnClicked(1063, &CCameraConsoleDlg::OnCropFrameClicked, "crop frame");
    for (int id : {1047, 1048, 1049, 1050})
        OnClicked(id, &CCameraConsoleDlg::ApplyRotation, "rotation");
    OnClicked(1034, &CCameraConsoleDlg::ApplyMovieOptions, "movie options");
    OnClicked(1035, &CCameraConsoleDlg::ApplyMovieOptions, "movie options");
    // 1033 (record) has no action: the component offers no call to record a movie.
    OnClicked(1064, &CCameraConsoleDlg::OnOnionSkinClicked, "onion skin");
    // Every user step of the trackbar (keys, page clicks, wheel, each drag move), and the thumb's release.
    if (auto* slider = qobject_cast<QSlider*>(GetDlgItem(1066))) {
        connect(slider, &QSlider::actionTriggered, this,
                [this](int) { Guard("transparency", [this] { OnTransparencyScroll(); }); });
        connect(slider, &QSlider::sliderReleased, this,
                [this] { Guard("transparency", [this] { OnTransparencyScroll(); }); });
    }
}

void CCameraConsoleDlg::NotifyEditChange(int id) {
    Guard("edit change", [this, id] { OnEditChanged(id); });
}

void CCameraConsoleDlg::OnEditChanged(int id) {
    switch (id) {
    case 1065:
        OnOnionSkinLayersChanged();
        break;
    default:
        break;
    }
}
