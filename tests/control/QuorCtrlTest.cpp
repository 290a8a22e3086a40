// The typed wrapper: one dispatch call per operation, arguments packed with their interface types, results
// unpacked from the shared value field.
#include "control/DispatchIds.h"
#include "control/QuorCtrl.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using quor::DispatchKind;
using quor::Variant;
using quor::VarType;

struct Call {
    int dispid;
    DispatchKind kind;
    std::vector<Variant> args;
};

class Recorder final : public quor::IHostedComponent {
public:
    std::vector<Call> calls;
    Variant result;

    quor::Variant Invoke(int dispid, DispatchKind kind, std::span<const Variant> args) override {
        calls.push_back({dispid, kind, {args.begin(), args.end()}});
        return result;
    }
    QWidget* Widget() override { return nullptr; }
    void Advise(quor::IEventSink*) override {}
};

struct Expect {
    const char* name;
    std::function<void(quor::CQuorCtrl&)> op;
    int dispid;
    DispatchKind kind;
    std::vector<VarType> types;
};

TEST(QuorCtrl, EveryOperationIsOneDispatchCallWithTypedArguments) {
    using namespace quor;
    namespace d = quor::dispid;
    const DispatchKind M = DispatchKind::Method;
    const VarType S = VarType::Short, L = VarType::Long, B = VarType::Bool, T = VarType::String,
                  P = VarType::Pointer;
    const std::vector<Expect> table = {
        {"get ShowDebugInfo", [](CQuorCtrl& c) { c.GetShowDebugInfo(); }, d::ShowDebugInfo, DispatchKind::PropertyGet, {}},
        {"put ShowDebugInfo", [](CQuorCtrl& c) { c.SetShowDebugInfo(true); }, d::ShowDebugInfo, DispatchKind::PropertyPut, {B}},
        {"put BorderStyle", [](CQuorCtrl& c) { c.SetBorderStyle(1); }, d::BorderStyle, DispatchKind::PropertyPut, {S}},
        {"OpenCamera", [](CQuorCtrl& c) { c.OpenCamera(0); }, d::OpenCamera, M, {S}},
        {"CloseCamera", [](CQuorCtrl& c) { c.CloseCamera(); }, d::CloseCamera, M, {}},
        {"StartLiveView", [](CQuorCtrl& c) { c.StartLiveView(); }, d::StartLiveView, M, {}},
        {"StopLiveView", [](CQuorCtrl& c) { c.StopLiveView(); }, d::StopLiveView, M, {}},
        {"TakePicture", [](CQuorCtrl& c) { c.TakePicture("/a/quortovu.jpg"); }, d::TakePicture, M, {T}},
        {"SetPropertyValue", [](CQuorCtrl& c) { c.SetPropertyValue(1, 2); }, d::SetPropertyValue, M, {L, L}},
        {"GetPropertyValue", [](CQuorCtrl& c) { c.GetPropertyValue(8); }, d::GetPropertyValue, M, {L}},
        {"GetPropertyText", [](CQuorCtrl& c) { c.GetPropertyText(2); }, d::GetPropertyText, M, {L}},
        {"GetCameraCount", [](CQuorCtrl& c) { c.GetCameraCount(); }, d::GetCameraCount, M, {}},
        {"GetCameraName", [](CQuorCtrl& c) { c.GetCameraName(0); }, d::GetCameraName, M, {S}},
        {"DriveLens", [](CQuorCtrl& c) { c.DriveLens(3); }, d::DriveLens, M, {L}},
        {"StartContinuousShooting", [](CQuorCtrl& c) { c.StartContinuousShooting("/a"); }, d::StartContinuousShooting, M, {T}},
        {"StopContinuousShooting", [](CQuorCtrl& c) { c.StopContinuousShooting(); }, d::StopContinuousShooting, M, {}},
        {"StartBulb", [](CQuorCtrl& c) { c.StartBulb("quorctrl.jpg"); }, d::StartBulb, M, {T}},
        {"StopBulb", [](CQuorCtrl& c) { c.StopBulb(); }, d::StopBulb, M, {}},
        {"PressShutterHalfway", [](CQuorCtrl& c) { c.PressShutterHalfway(1); }, d::PressShutterHalfway, M, {L}},
        {"SetMovieOptions", [](CQuorCtrl& c) { c.SetMovieOptions(true, false); }, d::SetMovieOptions, M, {B, B}},
        {"EnableCrop", [](CQuorCtrl& c) { c.EnableCrop(true, true, true); }, d::EnableCrop, M, {B, B, B}},
        {"SetCropRect", [](CQuorCtrl& c) { c.SetCropRect(1, 2, 3, 4); }, d::SetCropRect, M, {L, L, L, L}},
        {"ShowCropFrame", [](CQuorCtrl& c) { c.ShowCropFrame(true, "/a/CropImg.png"); }, d::ShowCropFrame, M, {B, T}},
        {"SetCropRatio", [](CQuorCtrl& c) { c.SetCropRatio(false, -1, -1); }, d::SetCropRatio, M, {B, L, L}},
        {"ResumeLiveView", [](CQuorCtrl& c) { c.ResumeLiveView(); }, d::ResumeLiveView, M, {}},
        {"SetRotation", [](CQuorCtrl& c) { c.SetRotation(90); }, d::SetRotation, M, {S}},
        {"SetShowAfterShot", [](CQuorCtrl& c) { c.SetShowAfterShot(true); }, d::SetShowAfterShot, M, {B}},
        {"DoAutoFocus", [](CQuorCtrl& c) { c.DoAutoFocus(); }, d::DoAutoFocus, M, {}},
        {"ShowFocusFrame", [](CQuorCtrl& c) { c.ShowFocusFrame(false); }, d::ShowFocusFrame, M, {B}},
        {"SetAfPointSelection", [](CQuorCtrl& c) { c.SetAfPointSelection(1); }, d::SetAfPointSelection, M, {S}},
        {"SetFrameCallback", [](CQuorCtrl& c) { c.SetFrameCallback(0, 0); }, d::SetFrameCallback, M, {P, P}},
        {"ShowSettingsDialog", [](CQuorCtrl& c) { c.ShowSettingsDialog(); }, d::ShowSettingsDialog, M, {}},
        {"GrabFrame", [](CQuorCtrl& c) { c.GrabFrame("/a/quortovu_grab.jpg"); }, d::GrabFrame, M, {T}},
        {"SetDisplayMode", [](CQuorCtrl& c) { c.SetDisplayMode(1); }, d::SetDisplayMode, M, {S}},
        {"SetCropShape", [](CQuorCtrl& c) { c.SetCropShape(0); }, d::SetCropShape, M, {S}},
        {"SetOnionSkinAlpha", [](CQuorCtrl& c) { c.SetOnionSkinAlpha(150); }, d::SetOnionSkinAlpha, M, {S}},
        {"SetOnionSkinLayers", [](CQuorCtrl& c) { c.SetOnionSkinLayers(5); }, d::SetOnionSkinLayers, M, {S}},
        {"EnableOnionSkin", [](CQuorCtrl& c) { c.EnableOnionSkin(true); }, d::EnableOnionSkin, M, {B}},
        {"SetControlMode", [](CQuorCtrl& c) { c.SetControlMode(1); }, d::SetControlMode, M, {S}},
    };
    EXPECT_EQ(table.size(), 39u);
    for (const Expect& e : table) {
        Recorder r;
        CQuorCtrl ctrl(&r);
        e.op(ctrl);
        ASSERT_EQ(r.calls.size(), 1u) << e.name;
        EXPECT_EQ(r.calls[0].dispid, e.dispid) << e.name;
        EXPECT_EQ(r.calls[0].kind, e.kind) << e.name;
        ASSERT_EQ(r.calls[0].args.size(), e.types.size()) << e.name;
        for (std::size_t i = 0; i < e.types.size(); ++i)
            EXPECT_EQ(r.calls[0].args[i].type, e.types[i]) << e.name << " argument " << i;
    }
}

TEST(QuorCtrl, ShortsKeepTheLowSixteenBitsAndValuesPassUnchanged) {
    Recorder r;
    quor::CQuorCtrl ctrl(&r);
    ctrl.OpenCamera(65536 + 2);
    ctrl.SetOnionSkinLayers(40000);      // fits 16 bits unsigned, not signed
    ctrl.SetRotation(-1);
    ctrl.SetPropertyValue(0x406, -123456789);
    ctrl.StartBulb("quorctrl.jpg");
    ASSERT_EQ(r.calls.size(), 5u);
    EXPECT_EQ(r.calls[0].args[0].Int(), 2);
    EXPECT_EQ(r.calls[1].args[0].Int(), 40000 - 65536);
    EXPECT_EQ(r.calls[2].args[0].Int(), -1);
    EXPECT_EQ(r.calls[3].args[0].Int(), 0x406);
    EXPECT_EQ(r.calls[3].args[1].Int(), -123456789);
    EXPECT_EQ(r.calls[4].args[0].text, "quorctrl.jpg");
}

TEST(QuorCtrl, ResultsAreReadFromTheValueFieldWhateverTheTag) {
    Recorder r;
    quor::CQuorCtrl ctrl(&r);
    r.result = Variant::String("not a number");
    r.result.value = 1;
    EXPECT_TRUE(ctrl.OpenCamera(0)) << "a boolean result is tested for non-zero";
    r.result = Variant::Long(0x00010003);
    EXPECT_EQ(ctrl.GetCameraCount(), 3) << "a short result keeps its low 16 bits";
    r.result = Variant::Long(0x0000FFFF);
    EXPECT_EQ(ctrl.GetCameraCount(), -1) << "and sign-extends them";
    r.result = Variant::Long(-75);
    EXPECT_EQ(ctrl.GetPropertyValue(8), -75);
    r.result = Variant::Bool(false);
    EXPECT_FALSE(ctrl.TakePicture("/x"));
    r.result = Variant::String("EOS");
    EXPECT_EQ(ctrl.GetPropertyText(2), "EOS");
}

TEST(QuorCtrl, PointerSizedCallbackValuesSurviveTheCall) {
    Recorder r;
    quor::CQuorCtrl ctrl(&r);
    int context = 0;
    const auto address = reinterpret_cast<std::intptr_t>(&context);
    ctrl.SetFrameCallback(address, address + 8);
    ASSERT_EQ(r.calls.size(), 1u);
    EXPECT_EQ(r.calls[0].args[0].pointer, address);
    EXPECT_EQ(r.calls[0].args[1].pointer, address + 8);
}

TEST(QuorCtrl, NoComponentIsADispatchError) {
    quor::CQuorCtrl ctrl;
    EXPECT_THROW(ctrl.CloseCamera(), quor::DispatchError);
}

} // namespace
