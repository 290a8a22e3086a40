// What a camera or the environment hands the real-camera path as text: the library's change-event lines, option
// texts, battery texts, network camera lists and camera file names. None may crash, and a file name from the
// camera must come out as a safe base name whatever went in.
#include "component/gphoto/GPhotoVocabulary.h"
#include "control/PropertyCodes.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace g = quor::component::gphoto;

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

void CheckSafeName(const std::string& name) {
    if (name.empty())
        return;
    Check(name != "." && name != ".." && name.front() != '.');
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        Check(u >= 0x20 && u < 0x7f && c != '/' && c != '\\');
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    namespace prop = quor::prop;
    const std::int32_t codes[] = {prop::ModelName,    prop::SerialNumber,  prop::FirmwareVersion, prop::BatteryLevel,
                                  prop::SaveTo,       prop::ImageQuality,  prop::WhiteBalance,    prop::DriveMode,
                                  prop::IsoSpeed,     prop::MeteringMode,  prop::AfMode,          prop::Aperture,
                                  prop::ShutterSpeed, prop::ExposureCompensation, prop::AvailableShots,
                                  prop::ShootingMode, prop::LiveViewAfMode};
    const std::int32_t code = codes[data[0] % (sizeof codes / sizeof codes[0])];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    (void)g::WidgetFromEventText(text);
    (void)g::ToComponentText(code, text);
    const int battery = g::BatteryPercent(text);
    Check(battery >= -1 && battery <= 100);
    std::vector<std::string> rejected;
    for (const g::NetworkCamera& c : g::ParseNetworkCameras(text, &rejected)) {
        Check(!c.host.empty() && c.port != 0);
        (void)c.PortPath();
        (void)c.DisplayName();
    }
    CheckSafeName(g::SafeBaseName(text));
    (void)g::DescribeOpenFailure(static_cast<int>(data[0]) - 128, text);
    return 0;
}
