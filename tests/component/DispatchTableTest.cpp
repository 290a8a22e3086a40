// The dispatch table: every member the host may call answers, and calls it cannot carry out fail loudly.
#include "ComponentFixture.h"

#include "control/ComponentRegistry.h"
#include "control/DispatchIds.h"
#include "control/PropertyCodes.h"

namespace quor::component::test {
namespace {

using K = DispatchKind;

TEST_F(ComponentTest, EveryMemberAnswersAsAClosedCameraWould) {
    Make(1);
    // Through the host's wrapper, so each id gets exactly the arguments the host sends.
    EXPECT_FALSE(ctrl.GetShowDebugInfo());
    EXPECT_NO_THROW(ctrl.SetShowDebugInfo(false));
    EXPECT_NO_THROW(ctrl.SetBorderStyle(1));
    EXPECT_FALSE(ctrl.CloseCamera());
    EXPECT_FALSE(ctrl.StartLiveView());
    EXPECT_FALSE(ctrl.StopLiveView());
    EXPECT_FALSE(ctrl.TakePicture("/tmp/quortovu.jpg"));
    EXPECT_FALSE(ctrl.SetPropertyValue(prop::ImageQuality, 1));
    EXPECT_FALSE(ctrl.SetPropertyValue(prop::SaveTo, prop::SaveToComputer));
    for (std::int32_t code : {prop::BatteryLevel, prop::AvailableShots, prop::SaveTo, prop::ShutterSpeed})
        EXPECT_EQ(ctrl.GetPropertyValue(code), 0) << code;
    for (std::int32_t code : {prop::ModelName, prop::SerialNumber, prop::FirmwareVersion, prop::DriveMode})
        EXPECT_EQ(ctrl.GetPropertyText(code), "") << code;
    EXPECT_EQ(ctrl.GetCameraCount(), 1);
    EXPECT_FALSE(ctrl.GetCameraName(0).empty());
    EXPECT_FALSE(ctrl.DriveLens(1));
    EXPECT_FALSE(ctrl.StartContinuousShooting("/tmp"));
    EXPECT_FALSE(ctrl.StopContinuousShooting());
    EXPECT_FALSE(ctrl.StartBulb("quorctrl.jpg"));
    EXPECT_FALSE(ctrl.StopBulb());
    EXPECT_NO_THROW(ctrl.PressShutterHalfway(1));
    EXPECT_NO_THROW(ctrl.SetMovieOptions(true, false));
    EXPECT_NO_THROW(ctrl.EnableCrop(true, true, true));
    EXPECT_NO_THROW(ctrl.SetCropRect(10, 10, 100, 100));
    EXPECT_NO_THROW(ctrl.ShowCropFrame(true, "/tmp/CropImg.png"));
    EXPECT_NO_THROW(ctrl.SetCropRatio(false, -1, -1));
    EXPECT_NO_THROW(ctrl.ResumeLiveView());
    EXPECT_NO_THROW(ctrl.SetRotation(90));
    EXPECT_NO_THROW(ctrl.SetShowAfterShot(false));
    EXPECT_FALSE(ctrl.DoAutoFocus());
    EXPECT_NO_THROW(ctrl.ShowFocusFrame(true));
    EXPECT_NO_THROW(ctrl.SetAfPointSelection(1));
    EXPECT_NO_THROW(ctrl.SetFrameCallback(0, 0));
    CloseSettingsDialogSoon();
    EXPECT_NO_THROW(ctrl.ShowSettingsDialog());
    EXPECT_FALSE(ctrl.GrabFrame("/tmp/quortovu_grab.jpg"));
    EXPECT_NO_THROW(ctrl.SetDisplayMode(2));
    EXPECT_NO_THROW(ctrl.SetCropShape(1));
    EXPECT_NO_THROW(ctrl.SetOnionSkinAlpha(150));
    EXPECT_NO_THROW(ctrl.SetOnionSkinLayers(5));
    EXPECT_NO_THROW(ctrl.EnableOnionSkin(true));
    EXPECT_FALSE(ctrl.SetControlMode(1));
    EXPECT_FALSE(ctrl.OpenCamera(1)); // outside the list
    Pump();
    EXPECT_TRUE(sink.events.empty()) << "a closed camera raises nothing";
}

TEST_F(ComponentTest, CallsThatCannotBeCarriedOutThrow) {
    Make(1);
    auto throwsFor = [&](int id, K kind, std::vector<Variant> args) {
        try {
            component->Invoke(id, kind, args);
        } catch (const DispatchError& e) {
            return e.dispid() == id;
        }
        return false;
    };
    // Ids the interface does not have.
    for (int id : {0, 1, 13, 20, 21, 32, 34, 35, 38, 41, 43, 48, -1, -503})
        EXPECT_TRUE(throwsFor(id, K::Method, {})) << id;
    // The wrong kind of call.
    EXPECT_TRUE(throwsFor(dispid::OpenCamera, K::PropertyGet, {}));
    EXPECT_TRUE(throwsFor(dispid::GetCameraCount, K::PropertyPut, {Variant::Short(1)}));
    EXPECT_TRUE(throwsFor(dispid::ShowDebugInfo, K::Method, {}));
    // Missing, surplus and mistyped arguments.
    EXPECT_TRUE(throwsFor(dispid::OpenCamera, K::Method, {}));
    EXPECT_TRUE(throwsFor(dispid::SetPropertyValue, K::Method, {Variant::Long(prop::SaveTo)}));
    EXPECT_TRUE(throwsFor(dispid::SetCropRect, K::Method, {Variant::Long(1), Variant::Long(2), Variant::Long(3)}));
    EXPECT_TRUE(throwsFor(dispid::ShowDebugInfo, K::PropertyPut, {}));
    EXPECT_TRUE(throwsFor(dispid::CloseCamera, K::Method, {Variant::Long(0)}));
    EXPECT_TRUE(throwsFor(dispid::TakePicture, K::Method, {Variant::Long(0)}));
    EXPECT_TRUE(throwsFor(dispid::OpenCamera, K::Method, {Variant::String("0")}));
    EXPECT_TRUE(throwsFor(dispid::OpenCamera, K::Method, {Variant{}}));
    EXPECT_TRUE(throwsFor(dispid::ShowCropFrame, K::Method, {Variant::Bool(true), Variant::Long(1)}));

    // Integer arguments take any integer or boolean tag: only the value field counts.
    EXPECT_TRUE(component->Invoke(dispid::OpenCamera, K::Method, std::vector{Variant::Long(0)}).IsTrue());
    EXPECT_NO_THROW(component->Invoke(dispid::ShowDebugInfo, K::PropertyPut, std::vector{Variant::Long(1)}));
    EXPECT_TRUE(ctrl.GetShowDebugInfo());
}

TEST_F(ComponentTest, SettersKeepTheirState) {
    HostedProperties props;
    props.borderStyle = 0;
    Make(0, props);
    const ComponentState& s = component->State();

    ctrl.SetShowDebugInfo(true);
    EXPECT_TRUE(ctrl.GetShowDebugInfo());
    ctrl.SetShowDebugInfo(false);
    EXPECT_FALSE(ctrl.GetShowDebugInfo());
    ctrl.SetBorderStyle(1);
    EXPECT_EQ(s.borderStyle, 1);

    ctrl.SetDisplayMode(1);
    EXPECT_EQ(s.displayMode, DisplayMode::Compress);
    ctrl.SetDisplayMode(7); // no such mode: the last one stays
    EXPECT_EQ(s.displayMode, DisplayMode::Compress);

    ctrl.SetOnionSkinLayers(5);
    EXPECT_EQ(s.onionSkinLayers, 5);
    ctrl.SetOnionSkinLayers(65536 + 3); // the host sends the low 16 bits
    EXPECT_EQ(s.onionSkinLayers, 3);
    ctrl.SetOnionSkinAlpha(200);
    ctrl.EnableOnionSkin(true);
    EXPECT_EQ(s.onionSkinAlpha, 200);
    EXPECT_TRUE(s.onionSkinEnabled);

    ctrl.SetRotation(270);
    ctrl.SetRotation(45);
    EXPECT_EQ(s.rotation, 270);
    ctrl.SetCropRect(1, 2, -3, 4);
    EXPECT_EQ(s.cropRect, (std::array<std::int32_t, 4>{1, 2, -3, 4}));
    ctrl.SetCropRatio(true, 16, 9);
    EXPECT_TRUE(s.cropRatioLocked);
    EXPECT_EQ(s.cropRatio, (std::array<std::int32_t, 2>{16, 9}));
    ctrl.ShowCropFrame(true, "/opt/q/CropImg.png");
    EXPECT_EQ(s.cropImagePath, "/opt/q/CropImg.png");
    ctrl.SetMovieOptions(false, true);
    EXPECT_FALSE(s.movieVideo);
    EXPECT_TRUE(s.movieAudio);

    int context = 0;
    ctrl.SetFrameCallback(reinterpret_cast<std::intptr_t>(&context), 77);
    EXPECT_EQ(s.frameCallback, reinterpret_cast<std::intptr_t>(&context));
    EXPECT_EQ(s.frameCallbackContext, 77);
    ctrl.SetFrameCallback(0, 77);
    EXPECT_EQ(s.frameCallback, 0);
    EXPECT_EQ(s.frameCallbackContext, 0);
}

TEST_F(ComponentTest, RegistryCreatesTheComponentByClassId) {
    RegisterQuorCtrl();
    auto created = ComponentRegistry::Create(kQuorCtrlClassId, &parent, HostedProperties{});
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->Widget()->parentWidget(), &parent);
    EXPECT_NE(dynamic_cast<QuorCtrlComponent*>(created.get()), nullptr);
}

} // namespace
} // namespace quor::component::test
