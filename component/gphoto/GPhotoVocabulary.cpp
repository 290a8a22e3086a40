#include "component/gphoto/GPhotoVocabulary.h"

#include "control/PropertyCodes.h"

#include <gphoto2/gphoto2-port-result.h>
#include <gphoto2/gphoto2-result.h>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace quor::component::gphoto {
namespace {

constexpr std::array<WidgetBinding, 16> kWidgets = {{
    {prop::ShootingMode, "autoexposuremode", 0xD105},
    {prop::ShutterSpeed, "shutterspeed", 0xD102},
    {prop::Aperture, "aperture", 0xD101},
    {prop::IsoSpeed, "iso", 0xD103},
    {prop::MeteringMode, "meteringmode", 0xD107},
    {prop::ExposureCompensation, "exposurecompensation", 0xD104},
    {prop::ImageQuality, "imageformat", 0xD120},
    {prop::WhiteBalance, "whitebalance", 0xD109},
    {prop::DriveMode, "drivemode", 0xD106},
    {prop::AfMode, "focusmode", 0xD108},
    {prop::BatteryLevel, "batterylevel", 0xD111},
    {prop::AvailableShots, "availableshots", 0xD11B},
    {prop::SaveTo, kCaptureTarget, 0xD11C},
    {prop::SerialNumber, "eosserialnumber", 0xD1AF},
    {prop::FirmwareVersion, "deviceversion", 0},
    {prop::ModelName, "cameramodel", 0},
}};

struct Word {
    const char* from;
    const char* to;
};

constexpr Word kModes[] = {
    {"P", "Program AE"},         {"TV", "Shutter-priority AE"}, {"AV", "Aperture-priority AE"},
    {"Manual", "Manual exposure"}, {"Bulb", "Bulb"},            {"Auto", "Scene Intelligent Auto"},
    {"A_DEP", "Automatic depth of field AE"},
};
constexpr Word kMetering[] = {
    {"Evaluative", "Evaluative metering"},
    {"Partial", "Partial metering"},
    {"Spot", "Spot metering"},
    {"Center-weighted average", "Center-weighted average metering"},
};
constexpr Word kWhiteBalance[] = {
    {"Tungsten", "Tungsten light"},
    {"Fluorescent", "White fluorescent light"},
};
constexpr Word kDrive[] = {
    {"Single", "Single Shooting"},
    {"Continuous", "Continuous Shooting"},
    {"Continuous high speed", "High-Speed Continuous Shooting"},
    {"Continuous low speed", "Low-Speed Continuous Shooting"},
    {"Single silent", "Silent Single Shooting"},
    {"Continuous silent", "Silent Continuous Shooting"},
    {"Timer 10 sec", "Self-Timer: 10 sec"},
    {"Timer 2 sec", "Self-Timer: 2 sec"},
};
constexpr Word kFocus[] = {
    {"One Shot", "One-Shot AF"},
    {"AI Servo", "AI Servo AF"},
    {"AI Focus", "AI Focus AF"},
    {"Manual", "Manual Focus"},
};

template <std::size_t N>
std::string Translate(const Word (&words)[N], std::string_view text) {
    for (const Word& w : words)
        if (text == w.from)
            return w.to;
    return std::string(text);
}

bool IsNumber(std::string_view s) {
    if (s.empty())
        return false;
    bool digit = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9')
            digit = true;
        else if (!(c == '.' || ((c == '-' || c == '+') && i == 0)))
            return false;
    }
    return digit;
}

// "1.6" seconds -> 1"6; "30" -> 30"; fractions stay as they are.
std::string ShutterText(std::string_view text) {
    if (text == "bulb" || text == "Bulb")
        return "Bulb";
    if (!IsNumber(text))
        return std::string(text);
    const auto dot = text.find('.');
    if (dot == std::string_view::npos)
        return std::string(text) + "\"";
    return std::string(text.substr(0, dot)) + "\"" + std::string(text.substr(dot + 1));
}

// Decimal exposure compensation ("-1.3", "0.5", "2") in the body's thirds and halves ("-1 1/3", "+1/2", "+2").
std::string CompensationText(std::string_view text) {
    if (!IsNumber(text))
        return std::string(text);
    const double v = std::strtod(std::string(text).c_str(), nullptr);
    if (v == 0.0)
        return "0";
    const double a = v < 0 ? -v : v;
    // No body compensates by more than a few stops; a number past any int is not one to convert.
    if (!(a < 100.0))
        return std::string(text);
    const int whole = static_cast<int>(a + 1e-6);
    const double frac = a - whole;
    const char* part = nullptr;
    if (frac > 0.2 && frac < 0.4)
        part = "1/3";
    else if (frac >= 0.4 && frac < 0.55)
        part = "1/2";
    else if (frac >= 0.55 && frac < 0.8)
        part = "2/3";
    std::string out = v < 0 ? "-" : "+";
    if (whole > 0 || !part)
        out += std::to_string(whole);
    if (part) {
        if (whole > 0)
            out += ' ';
        out += part;
    }
    return out;
}

} // namespace

std::span<const WidgetBinding> Widgets() { return kWidgets; }

const char* WidgetFor(std::int32_t code) {
    for (const WidgetBinding& b : kWidgets)
        if (b.code == code)
            return b.widget;
    return nullptr;
}

const WidgetBinding* BindingFor(std::string_view widget) {
    for (const WidgetBinding& b : kWidgets)
        if (widget == b.widget)
            return &b;
    return nullptr;
}

std::optional<std::string> WidgetFromEventText(std::string_view text) {
    constexpr std::string_view kPrefix = "PTP Property ";
    if (text.substr(0, kPrefix.size()) != kPrefix || text.find(" changed") == std::string_view::npos)
        return std::nullopt;
    const auto open = text.find('"');
    if (open != std::string_view::npos) {
        const auto close = text.find('"', open + 1);
        if (close != std::string_view::npos && close > open + 1)
            return std::string(text.substr(open + 1, close - open - 1));
    }
    const std::string hex(text.substr(kPrefix.size(), 4));
    char* end = nullptr;
    const unsigned long code = std::strtoul(hex.c_str(), &end, 16);
    if (end != hex.c_str() + hex.size())
        return std::nullopt;
    for (const WidgetBinding& b : kWidgets)
        if (b.ptp != 0 && b.ptp == code)
            return std::string(b.widget);
    return std::nullopt;
}

std::string ToComponentText(std::int32_t code, std::string_view text) {
    switch (code) {
    case prop::ShootingMode: return Translate(kModes, text);
    case prop::ShutterSpeed: return ShutterText(text);
    case prop::Aperture: {
        // Appended rather than "F" + string: GCC 12 at -O3 misreads that as an overlapping copy (-Wrestrict).
        std::string out = IsNumber(text) ? std::string("F") : std::string();
        out.append(text);
        return out;
    }
    case prop::MeteringMode: return Translate(kMetering, text);
    case prop::ExposureCompensation: return CompensationText(text);
    case prop::ImageQuality: {
        constexpr std::string_view kJpeg = " JPEG";
        if (text.size() > kJpeg.size() && text.substr(text.size() - kJpeg.size()) == kJpeg)
            return std::string(text.substr(0, text.size() - kJpeg.size()));
        return std::string(text);
    }
    case prop::WhiteBalance: return Translate(kWhiteBalance, text);
    case prop::DriveMode: return Translate(kDrive, text);
    case prop::AfMode: return Translate(kFocus, text);
    default: return std::string(text);
    }
}

int BatteryPercent(std::string_view text) {
    if (text == "Full")
        return 100;
    if (text == "Low")
        return 20;
    int value = 0;
    bool digits = false;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        digits = true;
        value = value * 10 + (c - '0');
        if (value > 100)
            return -1;
    }
    return digits ? value : -1;
}

const char* FocusStepChoice(int code) {
    switch (code) {
    case 1: return "Near 1";
    case 2: return "Near 2";
    case 3: return "Near 3";
    case 0x8001: return "Far 1";
    case 0x8002: return "Far 2";
    case 0x8003: return "Far 3";
    default: return nullptr;
    }
}

std::string NetworkCamera::PortPath() const {
    return "ptpip:" + host + ":" + std::to_string(port) + ":" + std::to_string(port);
}

std::string NetworkCamera::DisplayName() const { return "Network camera " + host + ":" + std::to_string(port); }

std::vector<NetworkCamera> ParseNetworkCameras(std::string_view list, std::vector<std::string>* rejected) {
    std::vector<NetworkCamera> cameras;
    auto trim = [](std::string_view s) {
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
            s.remove_prefix(1);
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
            s.remove_suffix(1);
        return s;
    };
    while (!list.empty()) {
        const auto comma = list.find(',');
        const std::string_view entry = trim(list.substr(0, comma));
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        if (entry.empty())
            continue;
        NetworkCamera camera;
        std::string_view host = entry;
        bool ok = true;
        if (const auto colon = entry.find(':'); colon != std::string_view::npos) {
            host = entry.substr(0, colon);
            const std::string_view port = entry.substr(colon + 1);
            long value = 0;
            ok = !port.empty() && port.size() <= 5;
            for (char c : port) {
                if (!ok || c < '0' || c > '9') { // a long run of digits must not overflow the sum
                    ok = false;
                    break;
                }
                value = value * 10 + (c - '0');
            }
            ok = ok && value >= 1 && value <= 65535;
            camera.port = static_cast<std::uint16_t>(value);
        }
        // A host name or IPv4 address only: the text goes into a port path, where ':' and ',' mean something.
        ok = ok && !host.empty() && host.size() <= 253 && host.front() != '-' && host.front() != '.' &&
             std::all_of(host.begin(), host.end(), [](char c) {
                 return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                        c == '-';
             });
        if (!ok) {
            if (rejected)
                rejected->emplace_back(entry);
            continue;
        }
        camera.host = std::string(host);
        if (std::find(cameras.begin(), cameras.end(), camera) == cameras.end())
            cameras.push_back(std::move(camera));
    }
    return cameras;
}

std::string SafeBaseName(std::string_view cameraName) {
    // Whatever follows the last folder separator of either kind.
    const auto slash = cameraName.find_last_of("/\\");
    if (slash != std::string_view::npos)
        cameraName.remove_prefix(slash + 1);
    std::string out;
    for (char c : cameraName) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F)
            continue;
        out += c;
    }
    // Long names keep their end, where the extension is. Shortened first, so that what follows still holds.
    if (out.size() > 128)
        out = out.substr(out.size() - 128);
    // No hidden files and no "." or "..": leading dots go.
    const auto first = out.find_first_not_of('.');
    out = first == std::string::npos ? std::string() : out.substr(first);
    while (!out.empty() && (out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    return out;
}

std::span<const char* const> LiveViewAfModeTexts() {
    static constexpr const char* kModes[] = {"Live mode", "Face detection live mode", "Quick mode"};
    return kModes;
}

std::string DescribeOpenFailure(int result, std::string_view libraryText) {
    switch (result) {
    case GP_ERROR_IO_USB_CLAIM:
    case GP_ERROR_IO_LOCK:
        return "The camera is held by another program, usually the desktop's automatic photo import "
               "(gvfs-gphoto2-volume-monitor, or a file manager showing the camera). Unmount the camera in the file "
               "manager or stop that service (systemctl --user stop gvfs-gphoto2-volume-monitor; "
               "pkill gvfsd-gphoto2), then open the camera again.";
    case GP_ERROR_IO_USB_FIND:
    case GP_ERROR_MODEL_NOT_FOUND:
        return "The camera is no longer connected. Check the cable and that the camera is switched on.";
    case GP_ERROR_IO_INIT:
        // Over USB this is nearly always a missing permission on the device node.
        return "The camera's connection could not be set up. For a USB camera: install the libgphoto2 udev rules "
               "and add your user to the plugdev group, then plug the camera in again. For a network camera: check "
               "its address and that it is switched on.";
    case GP_ERROR_CAMERA_BUSY:
        return "The camera stays busy. Wait until it has finished (writing to the card, a menu open), then try "
               "again.";
    default:
        return "The camera could not be opened (" + std::string(libraryText) +
               "). Check that it is switched on and connected.";
    }
}

} // namespace quor::component::gphoto
