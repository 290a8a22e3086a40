// Option texts as libgphoto2 words them for each maker's bodies, in the component's vocabulary. The Canon EOS
// words come first in every table; the other makers' follow where they mean the same.
#include "component/gphoto/GPhotoVocabulary.h"

#include "control/PropertyCodes.h"

#include <cmath>
#include <cstdlib>

namespace quor::component::gphoto {
namespace {

struct Word {
    const char* from;
    const char* to;
};

constexpr Word kModes[] = {
    {"P", "Program AE"},         {"TV", "Shutter-priority AE"}, {"AV", "Aperture-priority AE"},
    {"Manual", "Manual exposure"}, {"Bulb", "Bulb"},            {"Auto", "Scene Intelligent Auto"},
    {"A_DEP", "Automatic depth of field AE"},
    // The generic PTP exposure programs (Nikon, Sony, Fuji, Panasonic).
    {"M", "Manual exposure"},    {"A", "Aperture-priority AE"}, {"S", "Shutter-priority AE"},
};
constexpr Word kMetering[] = {
    {"Evaluative", "Evaluative metering"},
    {"Partial", "Partial metering"},
    {"Spot", "Spot metering"},
    {"Center-weighted average", "Center-weighted average metering"},
    // Generic PTP: Nikon's matrix metering is its "multi spot".
    {"Multi Spot", "Evaluative metering"},
    {"Center Weighted", "Center-weighted average metering"},
    // Sony.
    {"Multi", "Evaluative metering"},
    {"Center", "Center-weighted average metering"},
};
constexpr Word kWhiteBalance[] = {
    {"Tungsten", "Tungsten light"},
    {"Fluorescent", "White fluorescent light"},
    {"Automatic", "Auto"}, // generic PTP
    {"Preset", "Custom"},  // Nikon
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
    // The generic still capture modes, Nikon's and Sony's.
    {"Single Shot", "Single Shooting"},
    {"Burst", "Continuous Shooting"},
    {"Continuous Low Speed", "Low-Speed Continuous Shooting"},
    {"Continuous Hi+ Speed", "High-Speed Continuous Shooting"},
    {"Quiet Release", "Silent Single Shooting"},
    {"Continuous Quiet Release", "Silent Continuous Shooting"},
    {"Selftimer 10s", "Self-Timer: 10 sec"},
    {"Selftimer 2s", "Self-Timer: 2 sec"},
};
constexpr Word kFocus[] = {
    {"One Shot", "One-Shot AF"},
    {"AI Servo", "AI Servo AF"},
    {"AI Focus", "AI Focus AF"},
    {"Manual", "Manual Focus"},
    // Nikon and Sony.
    {"AF-S", "One-Shot AF"},
    {"AF-C", "AI Servo AF"},
    {"AF-A", "AI Focus AF"},
    {"MF (fixed)", "Manual Focus"},
    {"MF (selection)", "Manual Focus"},
    // Fuji, Olympus, Panasonic.
    {"Single-Servo AF", "One-Shot AF"},
    {"Continuous-Servo AF", "AI Servo AF"},
    {"C-AF", "AI Servo AF"},
    {"AF_S", "One-Shot AF"},
    {"AF_C", "AI Servo AF"},
    {"MF", "Manual Focus"},
};
// Canon EOS live-view AF methods (libgphoto2 2.5.31 on).
constexpr Word kLiveViewAf[] = {
    {"Live", "Live mode"},
    {"LiveFace", "Face detection live mode"},
    {"Quick", "Quick mode"},
};
// Sony's JPEG qualities inside "RAW+JPEG (...)".
constexpr Word kSonyQuality[] = {
    {"Std", "Standard"},
    {"X.Fine", "Extra Fine"},
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

bool EndsWith(std::string_view s, std::string_view end) {
    return s.size() > end.size() && s.substr(s.size() - end.size()) == end;
}

// An exposure time in seconds as the body's dial shows it: 1/100, 0"5, 2"5, 30". Short times snap to the
// nearest marked speed, as the library gives them to a tenth of a millisecond only (1/800 arrives as 0.0012).
std::string SecondsText(double seconds) {
    if (seconds >= 0.29) {
        long whole = std::lround(std::floor(seconds + 1e-6));
        long tenths = std::lround((seconds - static_cast<double>(whole)) * 10);
        if (tenths >= 10) {
            ++whole;
            tenths = 0;
        }
        std::string out = std::to_string(whole) + "\"";
        if (tenths > 0)
            out += std::to_string(tenths);
        return out;
    }
    static constexpr int kMarked[] = {3,   4,   5,   6,   8,    10,   13,   15,   20,   25,   30,   40,
                                      50,  60,  80,  100, 125,  160,  200,  250,  320,  400,  500,  640,
                                      800, 1000, 1250, 1600, 2000, 2500, 3200, 4000, 5000, 6400, 8000};
    const double denominator = 1.0 / seconds;
    long best = std::lround(denominator);
    for (int marked : kMarked)
        if (std::fabs(denominator - marked) <= marked * 0.06)
            best = marked;
    return "1/" + std::to_string(best);
}

// "1.6" seconds -> 1"6; "30" -> 30"; fractions stay as they are; the generic PTP "0.0100s" -> 1/100.
std::string ShutterText(std::string_view text) {
    if (text == "bulb" || text == "Bulb")
        return "Bulb";
    if (EndsWith(text, "s") && IsNumber(text.substr(0, text.size() - 1)) && text.front() != '-') {
        const double seconds = std::strtod(std::string(text.substr(0, text.size() - 1)).c_str(), nullptr);
        // No body exposes for an hour by its timer; anything outside is not a time to convert.
        if (seconds > 1e-5 && seconds < 3600)
            return SecondsText(seconds);
        return std::string(text);
    }
    if (!IsNumber(text))
        return std::string(text);
    const auto dot = text.find('.');
    if (dot == std::string_view::npos)
        return std::string(text) + "\"";
    return std::string(text.substr(0, dot)) + "\"" + std::string(text.substr(dot + 1));
}

// "5.6" (Canon, Olympus, Panasonic) and "f/5.6" (generic PTP, Nikon, Sony) -> F5.6.
std::string ApertureText(std::string_view text) {
    const std::string_view number = text.substr(0, 2) == "f/" ? text.substr(2) : text;
    if (!IsNumber(number))
        return std::string(text);
    // Appended rather than "F" + string: GCC 12 at -O3 misreads that as an overlapping copy (-Wrestrict).
    std::string out("F");
    out.append(number);
    return out;
}

// Decimal exposure compensation ("-1.3", "0.5", "2", Nikon's "-0.333") in the body's thirds and halves
// ("-1 1/3", "+1/2", "+2").
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

// Canon's "RAW + Large Fine JPEG" -> "RAW + Large Fine"; Nikon's "JPEG Fine" -> "Fine", "NEF (Raw)" -> "RAW",
// "NEF+Fine" -> "RAW + Fine"; Sony's "RAW+JPEG (Std)" -> "RAW + Standard".
std::string QualityText(std::string_view text) {
    if (EndsWith(text, " JPEG"))
        return std::string(text.substr(0, text.size() - 5));
    if (text.substr(0, 5) == "JPEG " && text.size() > 5)
        return std::string(text.substr(5));
    if (text == "NEF (Raw)")
        return "RAW";
    if (text.substr(0, 4) == "NEF+" && text.size() > 4)
        return "RAW + " + std::string(text.substr(4));
    constexpr std::string_view kSony = "RAW+JPEG (";
    if (text.substr(0, kSony.size()) == kSony && EndsWith(text, ")"))
        return "RAW + " + Translate(kSonyQuality, text.substr(kSony.size(), text.size() - kSony.size() - 1));
    return std::string(text);
}

} // namespace

std::string ToComponentText(std::int32_t code, std::string_view text) {
    switch (code) {
    case prop::ShootingMode: return Translate(kModes, text);
    case prop::ShutterSpeed: return ShutterText(text);
    case prop::Aperture: return ApertureText(text);
    case prop::MeteringMode: return Translate(kMetering, text);
    case prop::ExposureCompensation: return CompensationText(text);
    case prop::ImageQuality: return QualityText(text);
    case prop::WhiteBalance: return Translate(kWhiteBalance, text);
    case prop::DriveMode: return Translate(kDrive, text);
    case prop::AfMode: return Translate(kFocus, text);
    case prop::LiveViewAfMode: return Translate(kLiveViewAf, text);
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

} // namespace quor::component::gphoto
