#include "control/QuorCtrl.h"

#include "control/DispatchIds.h"

#include <vector>

namespace quor {

Variant CQuorCtrl::Call(int id, DispatchKind kind, std::initializer_list<Variant> args) {
    if (!component_)
        throw DispatchError(id, "the camera component is not created");
    return component_->Invoke(id, kind, std::span<const Variant>(args.begin(), args.size()));
}

namespace {
using K = DispatchKind;
Variant S(std::int32_t v) { return Variant::Short(v); }
Variant L(std::int32_t v) { return Variant::Long(v); }
Variant B(bool v) { return Variant::Bool(v); }
Variant Str(const std::string& s) { return Variant::String(s); }
Variant P(std::intptr_t p) { return Variant::Pointer(p); }
} // namespace

bool CQuorCtrl::GetShowDebugInfo() { return Call(dispid::ShowDebugInfo, K::PropertyGet, {}).IsTrue(); }
void CQuorCtrl::SetShowDebugInfo(bool show) { Call(dispid::ShowDebugInfo, K::PropertyPut, {B(show)}); }
void CQuorCtrl::SetBorderStyle(std::int32_t style) { Call(dispid::BorderStyle, K::PropertyPut, {S(style)}); }

bool CQuorCtrl::OpenCamera(std::int32_t index) { return Call(dispid::OpenCamera, K::Method, {S(index)}).IsTrue(); }
bool CQuorCtrl::CloseCamera() { return Call(dispid::CloseCamera, K::Method, {}).IsTrue(); }
bool CQuorCtrl::StartLiveView() { return Call(dispid::StartLiveView, K::Method, {}).IsTrue(); }
bool CQuorCtrl::StopLiveView() { return Call(dispid::StopLiveView, K::Method, {}).IsTrue(); }
bool CQuorCtrl::TakePicture(const std::string& path) {
    return Call(dispid::TakePicture, K::Method, {Str(path)}).IsTrue();
}
bool CQuorCtrl::SetPropertyValue(std::int32_t code, std::int32_t value) {
    return Call(dispid::SetPropertyValue, K::Method, {L(code), L(value)}).IsTrue();
}
std::int32_t CQuorCtrl::GetPropertyValue(std::int32_t code) {
    return Call(dispid::GetPropertyValue, K::Method, {L(code)}).Int();
}
std::string CQuorCtrl::GetPropertyText(std::int32_t code) {
    return Call(dispid::GetPropertyText, K::Method, {L(code)}).text;
}
std::int16_t CQuorCtrl::GetCameraCount() { return Call(dispid::GetCameraCount, K::Method, {}).Low16(); }
std::string CQuorCtrl::GetCameraName(std::int32_t index) {
    return Call(dispid::GetCameraName, K::Method, {S(index)}).text;
}
bool CQuorCtrl::DriveLens(std::int32_t step) { return Call(dispid::DriveLens, K::Method, {L(step)}).IsTrue(); }
bool CQuorCtrl::StartContinuousShooting(const std::string& folder) {
    return Call(dispid::StartContinuousShooting, K::Method, {Str(folder)}).IsTrue();
}
bool CQuorCtrl::StopContinuousShooting() { return Call(dispid::StopContinuousShooting, K::Method, {}).IsTrue(); }
bool CQuorCtrl::StartBulb(const std::string& fileName) {
    return Call(dispid::StartBulb, K::Method, {Str(fileName)}).IsTrue();
}
bool CQuorCtrl::StopBulb() { return Call(dispid::StopBulb, K::Method, {}).IsTrue(); }
void CQuorCtrl::PressShutterHalfway(std::int32_t on) { Call(dispid::PressShutterHalfway, K::Method, {L(on)}); }
void CQuorCtrl::SetMovieOptions(bool video, bool audio) {
    Call(dispid::SetMovieOptions, K::Method, {B(video), B(audio)});
}
void CQuorCtrl::EnableCrop(bool enable, bool second, bool third) {
    Call(dispid::EnableCrop, K::Method, {B(enable), B(second), B(third)});
}
void CQuorCtrl::SetCropRect(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
    Call(dispid::SetCropRect, K::Method, {L(a), L(b), L(c), L(d)});
}
void CQuorCtrl::ShowCropFrame(bool show, const std::string& imagePath) {
    Call(dispid::ShowCropFrame, K::Method, {B(show), Str(imagePath)});
}
void CQuorCtrl::SetCropRatio(bool lock, std::int32_t a, std::int32_t b) {
    Call(dispid::SetCropRatio, K::Method, {B(lock), L(a), L(b)});
}
void CQuorCtrl::ResumeLiveView() { Call(dispid::ResumeLiveView, K::Method, {}); }
void CQuorCtrl::SetRotation(std::int32_t degrees) { Call(dispid::SetRotation, K::Method, {S(degrees)}); }
void CQuorCtrl::SetShowAfterShot(bool show) { Call(dispid::SetShowAfterShot, K::Method, {B(show)}); }
bool CQuorCtrl::DoAutoFocus() { return Call(dispid::DoAutoFocus, K::Method, {}).IsTrue(); }
void CQuorCtrl::ShowFocusFrame(bool show) { Call(dispid::ShowFocusFrame, K::Method, {B(show)}); }
void CQuorCtrl::SetAfPointSelection(std::int32_t mode) { Call(dispid::SetAfPointSelection, K::Method, {S(mode)}); }
void CQuorCtrl::SetFrameCallback(std::intptr_t callback, std::intptr_t context) {
    Call(dispid::SetFrameCallback, K::Method, {P(callback), P(context)});
}
void CQuorCtrl::ShowSettingsDialog() { Call(dispid::ShowSettingsDialog, K::Method, {}); }
void CQuorCtrl::ShowNotice(const std::string& text) { Call(dispid::ShowNotice, K::Method, {Str(text)}); }
bool CQuorCtrl::GrabFrame(const std::string& path) { return Call(dispid::GrabFrame, K::Method, {Str(path)}).IsTrue(); }
void CQuorCtrl::SetDisplayMode(std::int32_t mode) { Call(dispid::SetDisplayMode, K::Method, {S(mode)}); }
void CQuorCtrl::SetCropShape(std::int32_t shape) { Call(dispid::SetCropShape, K::Method, {S(shape)}); }
void CQuorCtrl::SetOnionSkinAlpha(std::int32_t alpha) { Call(dispid::SetOnionSkinAlpha, K::Method, {S(alpha)}); }
void CQuorCtrl::SetOnionSkinLayers(std::int32_t layers) {
    Call(dispid::SetOnionSkinLayers, K::Method, {S(layers)});
}
void CQuorCtrl::EnableOnionSkin(bool enable) { Call(dispid::EnableOnionSkin, K::Method, {B(enable)}); }
bool CQuorCtrl::SetControlMode(std::int32_t mode) {
    return Call(dispid::SetControlMode, K::Method, {S(mode)}).IsTrue();
}

} // namespace quor
