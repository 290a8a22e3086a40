// The real camera's words and names: option texts in the component's vocabulary, change events, network camera
// addresses, file names from the camera, and open failures in plain words. Also the settings dialog's network
// camera field, which only lists a camera (nothing is opened).

#include "component/gphoto/GPhotoVocabulary.h"
#include "control/PropertyCodes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gphoto2/gphoto2-port-result.h>

namespace quor::component::test {
namespace {

using namespace gphoto;

TEST(GPhotoVocabulary, OptionTextsReadInTheComponentsWords) {
    // The keywords the console gates its buttons on.
    EXPECT_EQ(ToComponentText(prop::DriveMode, "Continuous"), "Continuous Shooting");
    EXPECT_EQ(ToComponentText(prop::DriveMode, "Continuous high speed"), "High-Speed Continuous Shooting");
    EXPECT_EQ(ToComponentText(prop::ShutterSpeed, "bulb"), "Bulb");
    EXPECT_EQ(ToComponentText(prop::AfMode, "Manual"), "Manual Focus");
    EXPECT_EQ(ToComponentText(prop::AfMode, "One Shot"), "One-Shot AF");
    // Numbers in the body's own notation.
    EXPECT_EQ(ToComponentText(prop::ShutterSpeed, "1/125"), "1/125");
    EXPECT_EQ(ToComponentText(prop::ShutterSpeed, "30"), "30\"");
    EXPECT_EQ(ToComponentText(prop::ShutterSpeed, "0.5"), "0\"5");
    EXPECT_EQ(ToComponentText(prop::Aperture, "5.6"), "F5.6");
    EXPECT_EQ(ToComponentText(prop::ExposureCompensation, "0"), "0");
    EXPECT_EQ(ToComponentText(prop::ExposureCompensation, "-0.5"), "-1/2");
    EXPECT_EQ(ToComponentText(prop::ExposureCompensation, "1.3"), "+1 1/3");
    EXPECT_EQ(ToComponentText(prop::ExposureCompensation, "-1.6"), "-1 2/3");
    EXPECT_EQ(ToComponentText(prop::ExposureCompensation, "2"), "+2");
    // A number no body reports passes through untouched instead of overflowing the conversion.
    EXPECT_EQ(ToComponentText(prop::ExposureCompensation, "99999999999999999999"), "99999999999999999999");
    EXPECT_EQ(ToComponentText(prop::ImageQuality, "RAW + Large Fine JPEG"), "RAW + Large Fine");
    EXPECT_EQ(ToComponentText(prop::ShootingMode, "AV"), "Aperture-priority AE");
    EXPECT_EQ(ToComponentText(prop::MeteringMode, "Spot"), "Spot metering");
    // Other makers' words for the same things (generic PTP as Nikon and Sony use it, Fuji, Panasonic).
    EXPECT_EQ(ToComponentText(prop::Aperture, "f/5.6"), "F5.6");
    EXPECT_EQ(ToComponentText(prop::Aperture, "f/22"), "F22");
    EXPECT_EQ(ToComponentText(prop::ShutterSpeed, "0.0100s"), "1/100");
    EXPECT_EQ(ToComponentText(prop::ShutterSpeed, "0.0012s"), "1/800"); // 1/800 to a tenth of a millisecond
    EXPECT_EQ(ToComponentText(prop::ShutterSpeed, "0.0001s"), "1/10000");
    EXPECT_EQ(ToComponentText(prop::ShutterSpeed, "1.0000s"), "1\"");
    EXPECT_EQ(ToComponentText(prop::ShutterSpeed, "2.5000s"), "2\"5");
    EXPECT_EQ(ToComponentText(prop::ShutterSpeed, "99999.0000s"), "99999.0000s");
    EXPECT_EQ(ToComponentText(prop::ShootingMode, "M"), "Manual exposure");
    EXPECT_EQ(ToComponentText(prop::ShootingMode, "A"), "Aperture-priority AE");
    EXPECT_EQ(ToComponentText(prop::DriveMode, "Burst"), "Continuous Shooting");
    EXPECT_EQ(ToComponentText(prop::DriveMode, "Single Shot"), "Single Shooting");
    EXPECT_EQ(ToComponentText(prop::AfMode, "AF-C"), "AI Servo AF");
    EXPECT_EQ(ToComponentText(prop::AfMode, "MF (fixed)"), "Manual Focus");
    EXPECT_EQ(ToComponentText(prop::AfMode, "AF_S"), "One-Shot AF");
    EXPECT_EQ(ToComponentText(prop::ImageQuality, "JPEG Fine"), "Fine");
    EXPECT_EQ(ToComponentText(prop::ImageQuality, "NEF (Raw)"), "RAW");
    EXPECT_EQ(ToComponentText(prop::ImageQuality, "NEF+Fine"), "RAW + Fine");
    EXPECT_EQ(ToComponentText(prop::ImageQuality, "RAW+JPEG (X.Fine)"), "RAW + Extra Fine");
    EXPECT_EQ(ToComponentText(prop::MeteringMode, "Multi Spot"), "Evaluative metering");
    EXPECT_EQ(ToComponentText(prop::WhiteBalance, "Automatic"), "Auto");
    EXPECT_EQ(ToComponentText(prop::ExposureCompensation, "-0.333"), "-1/3");
    EXPECT_EQ(ToComponentText(prop::ExposureCompensation, "1.667"), "+1 2/3");
    EXPECT_EQ(ToComponentText(prop::LiveViewAfMode, "LiveFace"), "Face detection live mode");
    // Unknown texts pass through unchanged rather than being lost.
    EXPECT_EQ(ToComponentText(prop::WhiteBalance, "Some new preset"), "Some new preset");
    EXPECT_EQ(ToComponentText(prop::IsoSpeed, "Auto"), "Auto");
}

TEST(GPhotoVocabulary, WidgetsAndEventsMapOntoPropertyCodes) {
    // Canon EOS names first, so that an EOS body binds as it always did; the other makers' after them.
    using Names = std::vector<std::string>;
    auto names = [](std::int32_t code) {
        Names out;
        for (const char* n : WidgetsFor(code))
            out.emplace_back(n);
        return out;
    };
    EXPECT_EQ(names(prop::ShutterSpeed), (Names{"shutterspeed", "shutterspeed2"}));
    EXPECT_EQ(names(prop::Aperture), (Names{"aperture", "f-number"}));
    EXPECT_EQ(names(prop::ShootingMode).front(), "autoexposuremode");
    EXPECT_EQ(names(prop::ImageQuality), (Names{"imageformat", "imagequality", "imagequality2"}));
    EXPECT_EQ(names(prop::AfMode), (Names{"focusmode", "focusmode2", "afmode"}));
    EXPECT_EQ(names(prop::DriveMode), (Names{"drivemode", "capturemode"}));
    EXPECT_EQ(names(prop::SerialNumber), (Names{"eosserialnumber", "serialnumber"}));
    for (std::int32_t code : prop::kListCodes)
        EXPECT_FALSE(names(code).empty()) << code;
    // A widget carries one property only, and each property's widgets stay together.
    std::vector<std::int32_t> groups;
    for (const WidgetBinding& b : Widgets()) {
        ASSERT_NE(BindingFor(b.widget), nullptr);
        EXPECT_EQ(BindingFor(b.widget)->code, b.code) << b.widget;
        if (groups.empty() || groups.back() != b.code) {
            EXPECT_EQ(std::count(groups.begin(), groups.end(), b.code), 0) << b.widget;
            groups.push_back(b.code);
        }
    }
    EXPECT_EQ(BindingFor("eosremoterelease"), nullptr); // an action, not a property

    EXPECT_EQ(WidgetFromEventText(R"(PTP Property d102 changed, "shutterspeed" to "1/250")"), "shutterspeed");
    EXPECT_EQ(WidgetFromEventText("PTP Property d106 changed"), "drivemode");
    EXPECT_EQ(WidgetFromEventText("PTP Property 5007 changed"), "f-number"); // generic PTP codes too
    EXPECT_EQ(WidgetFromEventText(R"(PTP Property 5007 changed, "f-number" to "f/4")"), "f-number");
    EXPECT_EQ(WidgetFromEventText("PTP Property d1ff changed"), std::nullopt); // none of ours
    EXPECT_EQ(WidgetFromEventText("Button 1"), std::nullopt);
    EXPECT_EQ(WidgetFromEventText("PTP Property zz changed"), std::nullopt);

    EXPECT_EQ(BatteryPercent("100%"), 100);
    EXPECT_EQ(BatteryPercent("50"), 50);
    EXPECT_EQ(BatteryPercent("Full"), 100);
    EXPECT_EQ(BatteryPercent("unknown"), -1);
    EXPECT_EQ(BatteryPercent("1000%"), -1);

    EXPECT_STREQ(FocusStepChoice(3), "Near 3");
    EXPECT_STREQ(FocusStepChoice(0x8001), "Far 1");
    EXPECT_EQ(FocusStepChoice(0), nullptr);
    EXPECT_EQ(FocusStepChoice(4), nullptr);
    EXPECT_EQ(FocusStepChoice(0x8004), nullptr);
}

TEST(GPhotoVocabulary, NetworkCameraListsAcceptOnlyHostsAndPorts) {
    std::vector<std::string> rejected;
    const auto cameras =
        ParseNetworkCameras(" 192.168.1.20 , camera.local:15741,bad host,10.0.0.1:0,x:99999,h:12ab,:80,"
                            "evil:1:2,192.168.1.20",
                            &rejected);
    ASSERT_EQ(cameras.size(), 2u); // the repeated address is listed once
    EXPECT_EQ(cameras[0].host, "192.168.1.20");
    EXPECT_EQ(cameras[0].port, NetworkCamera::kDefaultPort);
    EXPECT_EQ(cameras[0].PortPath(), "ptpip:192.168.1.20:15740:15740");
    EXPECT_EQ(cameras[1].host, "camera.local");
    EXPECT_EQ(cameras[1].port, 15741);
    EXPECT_EQ(cameras[1].DisplayName(), "Network camera camera.local:15741");
    EXPECT_EQ(rejected, (std::vector<std::string>{"bad host", "10.0.0.1:0", "x:99999", "h:12ab", ":80", "evil:1:2"}));
    EXPECT_TRUE(ParseNetworkCameras("").empty());
    EXPECT_TRUE(ParseNetworkCameras(",,").empty());
    // A port of many digits is refused, not summed past the end of a long.
    EXPECT_TRUE(ParseNetworkCameras("h:" + std::string(40, '9')).empty());
}

TEST(GPhotoVocabulary, CameraFileNamesBecomeSafeBaseNames) {
    EXPECT_EQ(SafeBaseName("IMG_0001.JPG"), "IMG_0001.JPG");
    EXPECT_EQ(SafeBaseName("/store_00010001/DCIM/100CANON/IMG_0002.CR2"), "IMG_0002.CR2");
    EXPECT_EQ(SafeBaseName("../../.bashrc"), "bashrc");
    EXPECT_EQ(SafeBaseName("..\\..\\evil.jpg"), "evil.jpg");
    EXPECT_EQ(SafeBaseName(".."), "");
    EXPECT_EQ(SafeBaseName("a/.."), "");
    EXPECT_EQ(SafeBaseName("IMG\n\x01\x7f_3.JPG"), "IMG_3.JPG");
    EXPECT_EQ(SafeBaseName("photo\xc3\xa9.jpg"), "photo.jpg");
    EXPECT_EQ(SafeBaseName("name. . "), "name");
    EXPECT_EQ(SafeBaseName(std::string(300, 'a') + ".jpg").size(), 128u);
    // Shortening a long name must not bring a leading dot back.
    const std::string shortened = SafeBaseName(std::string(200, 'a') + "." + std::string(127, 'b'));
    EXPECT_FALSE(shortened.empty());
    EXPECT_NE(shortened.front(), '.');
}

TEST(GPhotoVocabulary, OpenFailuresSayWhatToDo) {
    const std::string claimed = DescribeOpenFailure(GP_ERROR_IO_USB_CLAIM, "Could not claim the USB device");
    EXPECT_NE(claimed.find("held by another program"), std::string::npos);
    EXPECT_NE(claimed.find("gvfs-gphoto2-volume-monitor"), std::string::npos);
    EXPECT_NE(DescribeOpenFailure(GP_ERROR_IO_INIT, "").find("plugdev"), std::string::npos);
    EXPECT_NE(DescribeOpenFailure(-1, "Unspecified error").find("Unspecified error"), std::string::npos);
}

} // namespace
} // namespace quor::component::test
