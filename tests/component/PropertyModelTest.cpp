// The simulated body's properties as a host sees them: offered on open, written, refused, re-offered.
#include "ComponentFixture.h"

#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"

#include <algorithm>
#include <set>

namespace quor::component::test {
namespace {

bool Has(const std::vector<RecordingSink::Option>& options, const std::string& text) {
    return std::any_of(options.begin(), options.end(), [&](const auto& o) { return o.text == text; });
}
bool AllEnabled(const std::vector<RecordingSink::Option>& options, bool enabled) {
    return !options.empty() &&
           std::all_of(options.begin(), options.end(), [&](const auto& o) { return o.enable == enabled; });
}

TEST_F(ComponentTest, OpenOffersEveryOptionThenEveryValue) {
    Make(1);
    ASSERT_TRUE(OpenAndSettle());
    const auto codes = PropertyModel::ListCodes();
    ASSERT_EQ(codes.size(), 11u);

    // Options of all eleven properties, then one value each, then OpenSucceed.
    std::size_t i = 0;
    while (i < sink.events.size() && sink.events[i].id == kEventPropertyOptionAdded)
        ++i;
    ASSERT_EQ(sink.events.size(), i + codes.size() + 1);
    for (std::size_t k = 0; k < codes.size(); ++k) {
        const Recorded& r = sink.events[i + k];
        EXPECT_EQ(r.id, kEventPropertyValueChanged);
        EXPECT_EQ(r.args[0].Int(), codes[k]);
        EXPECT_EQ(r.args[1].text, ctrl.GetPropertyText(codes[k]));
    }
    for (std::int32_t code : codes) {
        const auto options = sink.OptionsOf(code);
        EXPECT_FALSE(options.empty()) << code;
        std::set<std::int32_t> values;
        for (const auto& o : options)
            values.insert(o.value);
        EXPECT_EQ(values.size(), options.size()) << "values are distinct within property " << code;
        // The current value is one of the options offered.
        const std::int32_t current = ctrl.GetPropertyValue(code);
        EXPECT_TRUE(values.count(current)) << code;
    }

    // The vocabulary a host keys on (the default body is in Manual exposure with its lens on AF).
    EXPECT_TRUE(Has(sink.OptionsOf(prop::DriveMode), "Continuous Shooting"));
    EXPECT_TRUE(Has(sink.OptionsOf(prop::ShutterSpeed), "Bulb"));
    EXPECT_TRUE(Has(sink.OptionsOf(prop::LiveViewAfMode), "Quick mode"));
    EXPECT_FALSE(Has(sink.OptionsOf(prop::AfMode), "Manual Focus"));
    EXPECT_TRUE(AllEnabled(sink.OptionsOf(prop::ShutterSpeed), true));
    EXPECT_TRUE(AllEnabled(sink.OptionsOf(prop::ExposureCompensation), false)) << "nothing to compensate in M";

    // Values are stable: another session, and another component, offer the same numbers.
    const auto first = sink.OptionsOf(prop::ShutterSpeed);
    ctrl.CloseCamera();
    Make(1);
    ASSERT_TRUE(OpenAndSettle());
    const auto again = sink.OptionsOf(prop::ShutterSpeed);
    ASSERT_EQ(first.size() * 2, again.size());
    for (std::size_t k = 0; k < first.size(); ++k)
        EXPECT_EQ(first[k].value, again[first.size() + k].value);
}

TEST_F(ComponentTest, ValuesNotOfferedAreRefusedSilently) {
    Make(1);
    ASSERT_TRUE(OpenAndSettle());
    const std::int32_t fiveSix = sink.ValueOf(prop::Aperture, "F5.6");
    const std::string shutterBefore = ctrl.GetPropertyText(prop::ShutterSpeed);
    sink.events.clear();

    EXPECT_FALSE(ctrl.SetPropertyValue(prop::ShutterSpeed, fiveSix)) << "another property's value";
    EXPECT_FALSE(ctrl.SetPropertyValue(prop::ShutterSpeed, 0));
    EXPECT_FALSE(ctrl.SetPropertyValue(prop::ShutterSpeed, -1));
    EXPECT_FALSE(ctrl.SetPropertyValue(prop::BatteryLevel, 50));
    EXPECT_FALSE(ctrl.SetPropertyValue(0x999, 1));
    EXPECT_FALSE(ctrl.SetPropertyValue(prop::SaveTo, 3));
    EXPECT_FALSE(ctrl.SetPropertyValue(prop::SaveTo, 0));
    Pump();
    EXPECT_TRUE(sink.events.empty());
    EXPECT_EQ(ctrl.GetPropertyText(prop::ShutterSpeed), shutterBefore);

    // Save-to takes the card and the computer.
    EXPECT_TRUE(ctrl.SetPropertyValue(prop::SaveTo, prop::SaveToComputer));
    EXPECT_EQ(ctrl.GetPropertyValue(prop::SaveTo), prop::SaveToComputer);
    EXPECT_TRUE(ctrl.SetPropertyValue(prop::SaveTo, prop::SaveToCamera));
    EXPECT_EQ(ctrl.GetPropertyValue(prop::SaveTo), prop::SaveToCamera);
}

TEST_F(ComponentTest, AcceptedValuesAreReportedWithTheWriteOrAfterIt) {
    Make(1);
    ASSERT_TRUE(OpenAndSettle());
    const std::int32_t raw = sink.ValueOf(prop::ImageQuality, "RAW");
    const std::int32_t small = sink.ValueOf(prop::ImageQuality, "Small 3");
    const std::int32_t slow = sink.ValueOf(prop::ShutterSpeed, "1/30");
    sink.events.clear();

    // Image quality is acknowledged with the write: reported inside the call.
    ASSERT_TRUE(Call([&] { return ctrl.SetPropertyValue(prop::ImageQuality, raw); }));
    ASSERT_EQ(sink.ValuesOf(prop::ImageQuality), std::vector<std::string>{"RAW"});
    EXPECT_TRUE(sink.events.back().nested);
    EXPECT_EQ(ctrl.GetPropertyValue(prop::ImageQuality), raw);

    // The shutter speed goes through metering: reported after the call has returned.
    sink.events.clear();
    ASSERT_TRUE(Call([&] { return ctrl.SetPropertyValue(prop::ShutterSpeed, slow); }));
    EXPECT_TRUE(sink.events.empty());
    Pump();
    ASSERT_EQ(sink.ValuesOf(prop::ShutterSpeed), std::vector<std::string>{"1/30"});
    EXPECT_FALSE(sink.events.back().nested);

    // A host writing again from inside a report (re-entrantly) is served at once.
    sink.events.clear();
    bool rewrote = false;
    sink.react = [&](int id, std::span<Variant> a) {
        if (id == kEventPropertyValueChanged && a[1].text == "RAW" && !rewrote) {
            rewrote = true;
            EXPECT_TRUE(ctrl.SetPropertyValue(prop::ImageQuality, small));
        }
    };
    ASSERT_TRUE(ctrl.SetPropertyValue(prop::ImageQuality, raw));
    EXPECT_EQ(sink.ValuesOf(prop::ImageQuality), (std::vector<std::string>{"RAW", "Small 3"}));
    EXPECT_EQ(ctrl.GetPropertyText(prop::ImageQuality), "Small 3");
}

TEST_F(ComponentTest, ShootingModeWithdrawsAndReoffersWhatItGoverns) {
    Make(1);
    ASSERT_TRUE(OpenAndSettle());
    const std::int32_t av = sink.ValueOf(prop::ShootingMode, "Aperture-priority AE");
    const std::int32_t bulbMode = sink.ValueOf(prop::ShootingMode, "Bulb");
    const std::int32_t tv = sink.ValueOf(prop::ShootingMode, "Shutter-priority AE");
    const std::int32_t f8 = sink.ValueOf(prop::Aperture, "F8");
    const std::int32_t speed = sink.ValueOf(prop::ShutterSpeed, "1/250");
    sink.events.clear();

    // Aperture priority: the camera picks the speed, the host may not.
    ASSERT_TRUE(Call([&] { return ctrl.SetPropertyValue(prop::ShootingMode, av); }));
    EXPECT_TRUE(sink.events.empty());
    Pump();
    EXPECT_EQ(sink.ValuesOf(prop::ShootingMode), std::vector<std::string>{"Aperture-priority AE"});
    // Each re-offered property: resetPropertyDesc with its code as a long, then its options.
    std::vector<std::int32_t> reset;
    for (std::size_t k = 0; k < sink.events.size(); ++k) {
        const Recorded& r = sink.events[k];
        if (r.id != kEventNotify || r.args[0].text != notify::ResetPropertyDesc)
            continue;
        EXPECT_EQ(r.args[1].type, VarType::Long);
        reset.push_back(r.args[1].Int());
        ASSERT_LT(k + 1, sink.events.size());
        EXPECT_EQ(sink.events[k + 1].id, kEventPropertyOptionAdded);
        EXPECT_EQ(sink.events[k + 1].args[0].Int(), r.args[1].Int());
    }
    EXPECT_EQ(reset, (std::vector<std::int32_t>{prop::ShutterSpeed, prop::ExposureCompensation}));
    const auto shutter = sink.OptionsOf(prop::ShutterSpeed);
    EXPECT_TRUE(AllEnabled(shutter, false));
    EXPECT_FALSE(Has(shutter, "Bulb"));
    EXPECT_TRUE(AllEnabled(sink.OptionsOf(prop::ExposureCompensation), true));
    EXPECT_FALSE(ctrl.SetPropertyValue(prop::ShutterSpeed, speed)) << "fixed in aperture priority";

    // A new aperture changes the speed the camera picks, and both are reported.
    sink.events.clear();
    const std::string speedBefore = ctrl.GetPropertyText(prop::ShutterSpeed);
    ASSERT_TRUE(ctrl.SetPropertyValue(prop::Aperture, f8));
    Pump();
    EXPECT_EQ(sink.ValuesOf(prop::Aperture), std::vector<std::string>{"F8"});
    ASSERT_EQ(sink.ValuesOf(prop::ShutterSpeed).size(), 1u);
    EXPECT_NE(sink.ValuesOf(prop::ShutterSpeed)[0], speedBefore);

    // Bulb mode: the speed reads Bulb and cannot be changed.
    sink.events.clear();
    ASSERT_TRUE(ctrl.SetPropertyValue(prop::ShootingMode, bulbMode));
    Pump();
    EXPECT_EQ(sink.ValuesOf(prop::ShutterSpeed), std::vector<std::string>{"Bulb"});
    EXPECT_EQ(sink.OptionsOf(prop::ShutterSpeed).size(), 1u);
    EXPECT_TRUE(AllEnabled(sink.OptionsOf(prop::ShutterSpeed), false));

    // Shutter priority: speeds can be chosen again, but Bulb is not among them.
    sink.events.clear();
    ASSERT_TRUE(ctrl.SetPropertyValue(prop::ShootingMode, tv));
    Pump();
    EXPECT_TRUE(AllEnabled(sink.OptionsOf(prop::ShutterSpeed), true));
    EXPECT_FALSE(Has(sink.OptionsOf(prop::ShutterSpeed), "Bulb"));
    EXPECT_TRUE(AllEnabled(sink.OptionsOf(prop::Aperture), false));
    EXPECT_NE(ctrl.GetPropertyText(prop::ShutterSpeed), "Bulb");
}

TEST_F(ComponentTest, SceneAutoImposesItsSettingsAndGivesThemBack) {
    Make(1);
    ASSERT_TRUE(OpenAndSettle());
    const std::int32_t sceneAuto = sink.ValueOf(prop::ShootingMode, "Scene Intelligent Auto");
    const std::int32_t manual = sink.ValueOf(prop::ShootingMode, "Manual exposure");
    const std::int32_t iso1600 = sink.ValueOf(prop::IsoSpeed, "1600");
    const std::int32_t servo = sink.ValueOf(prop::AfMode, "AI Servo AF");
    ASSERT_TRUE(ctrl.SetPropertyValue(prop::IsoSpeed, iso1600));
    ASSERT_TRUE(ctrl.SetPropertyValue(prop::AfMode, servo));
    Pump();
    sink.events.clear();

    ASSERT_TRUE(ctrl.SetPropertyValue(prop::ShootingMode, sceneAuto));
    Pump();
    EXPECT_EQ(ctrl.GetPropertyText(prop::IsoSpeed), "Auto");
    EXPECT_EQ(ctrl.GetPropertyText(prop::AfMode), "AI Focus AF");
    EXPECT_EQ(ctrl.GetPropertyText(prop::WhiteBalance), "Auto");
    EXPECT_TRUE(AllEnabled(sink.OptionsOf(prop::IsoSpeed), false));
    EXPECT_FALSE(ctrl.SetPropertyValue(prop::IsoSpeed, iso1600));
    EXPECT_EQ(sink.ValuesOf(prop::IsoSpeed), std::vector<std::string>{"Auto"});

    ASSERT_TRUE(ctrl.SetPropertyValue(prop::ShootingMode, manual));
    Pump();
    EXPECT_EQ(ctrl.GetPropertyText(prop::IsoSpeed), "1600");
    EXPECT_EQ(ctrl.GetPropertyText(prop::AfMode), "AI Servo AF");
}

TEST_F(ComponentTest, LensSwitchMakesTheAfModeManualFocus) {
    Make(1);
    Engine().SetLensManualFocus(true);
    ASSERT_TRUE(OpenAndSettle());
    EXPECT_EQ(sink.ValuesOf(prop::AfMode), std::vector<std::string>{"Manual Focus"});
    const auto options = sink.OptionsOf(prop::AfMode);
    EXPECT_TRUE(Has(options, "Manual Focus"));
    EXPECT_TRUE(AllEnabled(options, false));

    // Switching the lens back to AF while open re-offers the AF modes after the fact.
    sink.events.clear();
    Engine().SetLensManualFocus(false);
    EXPECT_TRUE(sink.events.empty());
    Pump();
    EXPECT_EQ(sink.NotifyNames(), std::vector<std::string>{notify::ResetPropertyDesc});
    EXPECT_TRUE(AllEnabled(sink.OptionsOf(prop::AfMode), true));
    EXPECT_EQ(sink.ValuesOf(prop::AfMode), std::vector<std::string>{"One-Shot AF"});

    sink.events.clear();
    Engine().SetLensManualFocus(true);
    Pump();
    EXPECT_EQ(ctrl.GetPropertyText(prop::AfMode), "Manual Focus");
    EXPECT_FALSE(ctrl.SetPropertyValue(prop::AfMode, sink.ValueOf(prop::AfMode, "Manual Focus")));
}

TEST_F(ComponentTest, AvailableShotsFollowImageQualityAndCard) {
    Make(1);
    ASSERT_TRUE(OpenAndSettle());
    const int largeFine = ctrl.GetPropertyValue(prop::AvailableShots);
    EXPECT_GT(largeFine, 100);
    ASSERT_TRUE(ctrl.SetPropertyValue(prop::ImageQuality, sink.ValueOf(prop::ImageQuality, "RAW")));
    const int raw = ctrl.GetPropertyValue(prop::AvailableShots);
    EXPECT_GT(raw, 0);
    EXPECT_LT(raw, largeFine);
    ASSERT_TRUE(ctrl.SetPropertyValue(prop::ImageQuality, sink.ValueOf(prop::ImageQuality, "Small 3")));
    EXPECT_GT(ctrl.GetPropertyValue(prop::AvailableShots), largeFine);

    Engine().SetCardFreeMegabytes(Engine().CardFreeMegabytes() / 2);
    const int halfCard = ctrl.GetPropertyValue(prop::AvailableShots);
    ASSERT_TRUE(ctrl.SetPropertyValue(prop::ImageQuality, sink.ValueOf(prop::ImageQuality, "RAW")));
    EXPECT_NEAR(ctrl.GetPropertyValue(prop::AvailableShots), raw / 2, 1);
    EXPECT_GT(halfCard, 0);
    Engine().SetCardFreeMegabytes(0);
    EXPECT_EQ(ctrl.GetPropertyValue(prop::AvailableShots), 0);
}

} // namespace
} // namespace quor::component::test
