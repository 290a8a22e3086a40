#include "component/sim/ShotSettings.h"

#include "control/PropertyCodes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace quor::component {
namespace {

// The simulated sensor is smaller than the 22 MP bodies it stands for: large photos of 3840 x 2560 keep
// rendering and encoding well under a second on a small machine.
constexpr PhotoFormat kLarge{3840, 2560, 92};
constexpr double kDaylightKelvin = 5200.0;

} // namespace

PhotoFormat PhotoFormatFor(const PropertyOption* quality) {
    if (!quality)
        return kLarge;
    const char* t = quality->text;
    const bool raw = std::strstr(t, "RAW") != nullptr;
    const bool normal = std::strstr(t, "Normal") != nullptr;
    PhotoFormat f = kLarge;
    if (std::strncmp(t, "M-RAW", 5) == 0 || std::strncmp(t, "Medium", 6) == 0)
        f = {2880, 1920, 92};
    else if (std::strncmp(t, "S-RAW", 5) == 0 || std::strncmp(t, "Small 1", 7) == 0)
        f = {1920, 1280, 92};
    else if (std::strncmp(t, "Small 2", 7) == 0)
        f = {1280, 854, 85};
    else if (std::strncmp(t, "Small 3", 7) == 0)
        f = {720, 480, 75};
    if (normal)
        f.jpegQuality = 75;
    if (raw)
        f.jpegQuality = 100;
    return f;
}

void WhiteBalanceGains(const PropertyOption* whiteBalance, float& red, float& green, float& blue) {
    red = green = blue = 1.0f;
    if (!whiteBalance || whiteBalance->key <= 0)
        return; // Auto and Custom judge the light correctly
    // Setting a lower temperature than the light's makes the picture bluer, a higher one warmer.
    const double ratio = whiteBalance->key / kDaylightKelvin;
    red = static_cast<float>(std::pow(ratio, 0.6));
    blue = static_cast<float>(std::pow(ratio, -0.6));
}

SceneParams ShotScene(const PropertyModel& model, double blur, double bulbSeconds) {
    SceneParams p;
    p.exposureEv = model.ExposureOffsetEv(bulbSeconds);
    WhiteBalanceGains(model.Current(prop::WhiteBalance), p.redGain, p.greenGain, p.blueGain);
    p.blur = blur;
    return p;
}

SceneParams LiveViewScene(const PropertyModel& model, double blur) {
    SceneParams p = ShotScene(model, blur);
    p.exposureEv = std::clamp(p.exposureEv, -3.0, 3.0);
    return p;
}

double ShutterSeconds(const PropertyOption* shutter) {
    if (!shutter)
        return 0.0;
    const std::string_view t = shutter->text;
    if (t.size() > 2 && t.substr(0, 2) == "1/")
        return 1.0 / std::atof(t.data() + 2);
    const std::size_t mark = t.find('"');
    if (mark == std::string_view::npos || mark == 0)
        return 0.0; // Bulb
    // 0"5 is half a second, 1"3 a second and three tenths, 30" thirty seconds.
    const double whole = std::atof(std::string(t.substr(0, mark)).c_str());
    const double tenths = mark + 1 < t.size() ? std::atof(std::string(t.substr(mark + 1)).c_str()) : 0.0;
    return whole + tenths / 10.0;
}

double ApertureNumber(const PropertyOption* aperture) {
    return aperture && aperture->text[0] == 'F' ? std::atof(aperture->text + 1) : 0.0;
}

int IsoNumber(const PropertyOption* iso) {
    if (!iso)
        return 0;
    if (iso->key < 0) // Auto
        return 400; // what the body's auto ISO settles on in the studio scene
    return std::atoi(iso->text);
}

} // namespace quor::component
