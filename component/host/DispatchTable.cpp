// The dispatch table: each dispatch id and kind with its argument types and its handler, and the one place that
// checks a call against it.
#include "component/host/QuorCtrlComponent.h"

#include "control/DispatchIds.h"

#include <array>
#include <string>

namespace quor::component {

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
        {d::ShowNotice, K::Method, "ShowNotice", {S}, 1, &C::ShowNotice},
    };
    return table;
}

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

} // namespace quor::component
