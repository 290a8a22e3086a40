// libgphoto2 against the stand-in body: connecting, reading the configuration and single widgets, and settings
// reaching the body as SetDevicePropValueEx with the right property and value.
#include "StandinFixture.h"

#include <algorithm>

namespace quor::standin::test {
namespace {

bool Contains(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

using GphotoSettings = StandinTest;

TEST_F(GphotoSettings, InitTakesTheEosPathAndOpensASession) {
    auto ops = body_->Log().Snapshot();
    ASSERT_FALSE(ops.empty());
    EXPECT_EQ(ops.front().code, op::kOpenSession);
    EXPECT_GE(body_->Log().Count(op::kGetDeviceInfo), 1u);
    EXPECT_GE(body_->Log().Count(op::kEosSetRemoteMode), 1u); // only on the EOS path
    EXPECT_EQ(body_->CommandConnections(), 1);
    // Event mode and event polling start with the first use, not at init.
    EXPECT_EQ(body_->Log().Count(op::kEosGetEvent), 0u);
    ASSERT_TRUE(camera_->Get("iso"));
    EXPECT_GE(body_->Log().Count(op::kEosSetEventMode), 1u);
    EXPECT_GE(body_->Log().Count(op::kEosGetEvent), 1u);
}

TEST_F(GphotoSettings, WholeConfigurationHasEveryWidgetTheConsoleUses) {
    CameraWidget* root = nullptr;
    ASSERT_EQ(gp_camera_get_config(camera_->Raw(), &root, camera_->Context()), GP_OK);
    for (const char* name : {"autoexposuremode", "shutterspeed", "aperture", "iso", "meteringmode",
                             "exposurecompensation", "imageformat", "whitebalance", "drivemode", "focusmode",
                             "batterylevel", "availableshots", "eosserialnumber", "serialnumber", "deviceversion",
                             "capturetarget", "viewfinder", "manualfocusdrive", "autofocusdrive", "bulb",
                             "eosremoterelease"}) {
        CameraWidget* child = nullptr;
        EXPECT_EQ(gp_widget_get_child_by_name(root, name, &child), GP_OK) << name;
    }
    gp_widget_free(root);
}

TEST_F(GphotoSettings, SingleWidgetsReadTheBodysValues) {
    EXPECT_EQ(camera_->Get("autoexposuremode"), "Manual");
    EXPECT_EQ(camera_->Get("shutterspeed"), "1/125");
    EXPECT_EQ(camera_->Get("aperture"), "5.6");
    EXPECT_EQ(camera_->Get("iso"), "100");
    EXPECT_EQ(camera_->Get("meteringmode"), "Evaluative");
    EXPECT_EQ(camera_->Get("exposurecompensation"), "0");
    EXPECT_EQ(camera_->Get("imageformat"), "Large Fine JPEG");
    EXPECT_EQ(camera_->Get("whitebalance"), "Auto");
    EXPECT_EQ(camera_->Get("drivemode"), "Single");
    EXPECT_EQ(camera_->Get("focusmode"), "One Shot");
    EXPECT_EQ(camera_->Get("batterylevel"), "100%");
    EXPECT_EQ(camera_->Get("eosserialnumber"), "QT0215004711");
    EXPECT_EQ(camera_->Get("serialnumber"), "QT0215004711");
    EXPECT_EQ(camera_->Get("deviceversion"), "3-1.2.0");
    EXPECT_EQ(camera_->Get("capturetarget"), "Internal RAM");
    auto shots = camera_->Get("availableshots");
    ASSERT_TRUE(shots);
    EXPECT_GT(std::stoi(*shots), 0);
}

TEST_F(GphotoSettings, ListsOfferBulbContinuousManualAndRawPlusJpeg) {
    EXPECT_TRUE(Contains(camera_->Choices("shutterspeed"), "bulb"));
    EXPECT_TRUE(Contains(camera_->Choices("autoexposuremode"), "Bulb"));
    EXPECT_TRUE(Contains(camera_->Choices("drivemode"), "Continuous"));
    EXPECT_TRUE(Contains(camera_->Choices("drivemode"), "Continuous high speed"));
    EXPECT_TRUE(Contains(camera_->Choices("focusmode"), "Manual"));
    EXPECT_TRUE(Contains(camera_->Choices("imageformat"), "RAW + Large Fine JPEG"));
    EXPECT_TRUE(Contains(camera_->Choices("iso"), "Auto"));
    EXPECT_TRUE(Contains(camera_->Choices("exposurecompensation"), "-0.5"));
    EXPECT_TRUE(Contains(camera_->Choices("meteringmode"), "Center-weighted average"));
    EXPECT_TRUE(Contains(camera_->Choices("whitebalance"), "Daylight"));
}

struct Setting {
    const char* widget;
    const char* value;
    std::uint16_t property;
    std::uint32_t wire;
};

TEST_F(GphotoSettings, EachSettingReachesTheBodyAsItsPropertyAndValue) {
    const Setting settings[] = {
        {"shutterspeed", "1/250", prop::kShutterSpeed, 0x78},
        {"shutterspeed", "bulb", prop::kShutterSpeed, kShutterBulb},
        {"iso", "400", prop::kIso, 0x58},
        {"iso", "Auto", prop::kIso, 0x00},
        {"drivemode", "Continuous", prop::kDriveMode, 0x01},
        {"drivemode", "Continuous low speed", prop::kDriveMode, 0x05},
        {"aperture", "8", prop::kAperture, 0x38},
        {"autoexposuremode", "AV", prop::kAutoExposureMode, 2},
        {"meteringmode", "Spot", prop::kMeteringMode, 1},
        {"exposurecompensation", "-0.5", prop::kExposureCompensation, 0xFC},
        {"exposurecompensation", "1", prop::kExposureCompensation, 0x08},
        {"whitebalance", "Daylight", prop::kWhiteBalance, 1},
        {"imageformat", "RAW + Large Fine JPEG", prop::kImageFormat, 0x0C03},
    };
    for (const auto& s : settings) {
        SCOPED_TRACE(std::string(s.widget) + " = " + s.value);
        const std::size_t mark = body_->Log().Size();
        ASSERT_EQ(camera_->Set(s.widget, s.value), GP_OK);
        auto writes = WritesOf(s.property, mark);
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(writes[0].value, s.wire);
        EXPECT_EQ(body_->PropertyValue(s.property), s.wire);
        // The host hears the change back and shows it.
        EXPECT_EQ(camera_->Get(s.widget), s.value);
    }
}

TEST_F(GphotoSettings, ChangeOnTheBodyShowsUpInTheHostsWidget) {
    body_->SetPropertyOnBody(prop::kFocusMode, kFocusManual);
    CameraEventType type;
    void* data = nullptr;
    // The change arrives with the next event poll.
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(gp_camera_wait_for_event(camera_->Raw(), 50, &type, &data, camera_->Context()), GP_OK);
        free(data);
        data = nullptr;
        if (camera_->Get("focusmode") == "Manual")
            break;
    }
    EXPECT_EQ(camera_->Get("focusmode"), "Manual");
}

TEST_F(GphotoSettings, CaptureTargetTravelsAsCaptureDestination) {
    const std::size_t mark = body_->Log().Size();
    ASSERT_EQ(camera_->Set("capturetarget", "Memory card"), GP_OK);
    auto card = WritesOf(prop::kCaptureDestination, mark);
    ASSERT_FALSE(card.empty());
    EXPECT_EQ(card.back().value, 1u);
    ASSERT_EQ(camera_->Set("capturetarget", "Internal RAM"), GP_OK);
    auto ram = WritesOf(prop::kCaptureDestination, mark);
    ASSERT_GE(ram.size(), 2u);
    EXPECT_EQ(ram.back().value, 4u);
}

TEST(GphotoSessions, EveryNewSessionSeesEveryPropertyAgain) {
    Watchdog watchdog(60s);
    StandinBody body(Traced({}));
    ASSERT_TRUE(body.Start());
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        GpCamera camera(PortPath(body.Port()));
        ASSERT_EQ(camera.InitResult(), GP_OK);
        EXPECT_EQ(camera.Get("shutterspeed"), round == 0 ? "1/125" : "1/500");
        if (round == 0) {
            ASSERT_EQ(camera.Set("shutterspeed", "1/500"), GP_OK);
        }
    }
    body.Stop();
}

} // namespace
} // namespace quor::standin::test
