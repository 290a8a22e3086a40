// The dispatch interface's handlers, one per dispatch id and kind: each hands its call to the engine, the
// shooting controller, the crop control or the options the view draws.
#include "component/host/QuorCtrlComponent.h"

#include "component/host/SettingsDialog.h"
#include "control/NotifyNames.h"

namespace quor::component {
namespace {

std::intptr_t AddressOf(const Variant& v) { return v.type == VarType::Pointer ? v.pointer : v.value; }
bool Flag(const Variant& v) { return v.value != 0; }

} // namespace

// ---- Properties of the control ----

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

// ---- Cameras and their properties ----

Variant QuorCtrlComponent::OpenCamera(Args a) { return Variant::Bool(engine_->Open(a[0].Low16())); }

Variant QuorCtrlComponent::CloseCamera(Args) { return Variant::Bool(engine_->Close()); }

Variant QuorCtrlComponent::SetPropertyValue(Args a) {
    return Variant::Bool(engine_->SetPropertyValue(a[0].Int(), a[1].Int()));
}

Variant QuorCtrlComponent::GetPropertyValue(Args a) { return Variant::Long(engine_->PropertyValue(a[0].Int())); }

Variant QuorCtrlComponent::GetPropertyText(Args a) { return Variant::String(engine_->PropertyText(a[0].Int())); }

Variant QuorCtrlComponent::GetCameraCount(Args) { return Variant::Short(engine_->CameraCount()); }

Variant QuorCtrlComponent::GetCameraName(Args a) { return Variant::String(engine_->CameraName(a[0].Low16())); }

// ---- Shooting ----

Variant QuorCtrlComponent::TakePicture(Args a) { return Variant::Bool(shooting_->TakePicture(a[0].text)); }

Variant QuorCtrlComponent::StartContinuousShooting(Args a) {
    return Variant::Bool(shooting_->StartSeries(a[0].text));
}

Variant QuorCtrlComponent::StopContinuousShooting(Args) { return Variant::Bool(shooting_->StopSeries()); }

Variant QuorCtrlComponent::StartBulb(Args a) { return Variant::Bool(shooting_->StartBulb(a[0].text)); }

Variant QuorCtrlComponent::StopBulb(Args) { return Variant::Bool(shooting_->StopBulb()); }

Variant QuorCtrlComponent::PressShutterHalfway(Args a) {
    shooting_->PressShutterHalfway(a[0].Int() != 0);
    return {};
}

Variant QuorCtrlComponent::GrabFrame(Args a) { return Variant::Bool(shooting_->GrabFrame(a[0].text)); }

Variant QuorCtrlComponent::SetControlMode(Args a) { return Variant::Bool(shooting_->SetControlMode(a[0].Low16())); }

Variant QuorCtrlComponent::SetShowAfterShot(Args a) {
    state_.showAfterShot = Flag(a[0]);
    return {};
}

Variant QuorCtrlComponent::ShowSettingsDialog(Args) {
    SettingsDialog dialog(settings_.get(), view_);
    dialog.exec();
    return {};
}

Variant QuorCtrlComponent::ShowNotice(Args args) {
    Inform(QString::fromStdString(args[0].text));
    return {};
}

// ---- Live view and focus ----

Variant QuorCtrlComponent::StartLiveView(Args) {
    ICameraSession* session = Session();
    if (!session)
        return Variant::Bool(false);
    if (!liveOn_) {
        live_.SetCallback(reinterpret_cast<FrameCallback>(state_.frameCallback), state_.frameCallbackContext);
        if (!session->StartLiveView())
            return Variant::Bool(false);
        liveOn_ = true;
        crop_->Normalize();
        if (view_)
            view_->LiveViewStarted();
    }
    RaiseLiveViewState(true);
    return Variant::Bool(true);
}

Variant QuorCtrlComponent::StopLiveView(Args) { return Variant::Bool(StopLive()); }

Variant QuorCtrlComponent::ResumeLiveView(Args) {
    if (view_)
        view_->ClearShownPhoto();
    return {};
}

Variant QuorCtrlComponent::DriveLens(Args a) { return Variant::Bool(Session() && Session()->DriveFocus(a[0].Int())); }

Variant QuorCtrlComponent::DoAutoFocus(Args) { return Variant::Bool(Session() && Session()->AutoFocus()); }

Variant QuorCtrlComponent::SetFrameCallback(Args a) {
    state_.frameCallback = AddressOf(a[0]);
    state_.frameCallbackContext = state_.frameCallback ? AddressOf(a[1]) : 0;
    live_.SetCallback(reinterpret_cast<FrameCallback>(state_.frameCallback), state_.frameCallbackContext);
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

// ---- Crop ----

Variant QuorCtrlComponent::EnableCrop(Args a) {
    crop_->Enable(Flag(a[0]), Flag(a[1]), Flag(a[2]));
    return {};
}

Variant QuorCtrlComponent::SetCropRect(Args a) {
    crop_->SetRect({a[0].Int(), a[1].Int(), a[2].Int(), a[3].Int()});
    return {};
}

Variant QuorCtrlComponent::SetCropRatio(Args a) {
    crop_->SetRatio(Flag(a[0]), {a[1].Int(), a[2].Int()});
    return {};
}

Variant QuorCtrlComponent::ShowCropFrame(Args a) {
    crop_->ShowFrame(Flag(a[0]), a[1].text);
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

// ---- What the view draws ----

Variant QuorCtrlComponent::SetMovieOptions(Args a) {
    state_.movieVideo = Flag(a[0]);
    state_.movieAudio = Flag(a[1]);
    return {};
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

Variant QuorCtrlComponent::SetDisplayMode(Args a) {
    const int mode = a[0].Low16();
    if (mode >= 0 && mode <= 2) {
        state_.displayMode = static_cast<DisplayMode>(mode);
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
