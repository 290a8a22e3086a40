#include "component/sim/PropertyModel.h"

#include "control/PropertyCodes.h"

#include <algorithm>
#include <cmath>

namespace quor::component {
namespace {

// Opaque values: the property code in the high half, a number of the option's own in the low half. The
// numbers are written into the tables (not derived from positions), so adding an option moves no value.
constexpr std::int32_t V(std::int32_t code, int n) { return static_cast<std::int32_t>((code << 16) | (n & 0xFFFF)); }
constexpr PropertyOption O(std::int32_t code, int n, const char* text, int key) { return {V(code, n), text, key}; }

using namespace quor::prop;

constexpr int kBulbKey = -100;
constexpr int kAutoIsoKey = -1;
constexpr int kAutoIsoThirds = 6;   // ISO 400: what auto ISO settles on in this scene
constexpr int kSceneEv100Thirds = 36; // the simulated scene: EV 12 at ISO 100, a bright overcast day
constexpr int kSlowestThirds = -15;  // 30"
constexpr int kFastestThirds = 39;   // 1/8000
constexpr int kWidestThirds = 9;     // f/2.8 of the simulated 24-70 mm lens
constexpr int kNarrowestThirds = 27; // f/22

// Shutter speeds in third stops (Tv = -log2 t). Bulb first: in Manual it heads the list, past 30".
constexpr int T(int thirds) { return 0x40 + thirds; }
constexpr PropertyOption kShutter[] = {
    O(ShutterSpeed, 0x0C, "Bulb", kBulbKey),
    O(ShutterSpeed, T(-15), "30\"", -15), O(ShutterSpeed, T(-14), "25\"", -14), O(ShutterSpeed, T(-13), "20\"", -13),
    O(ShutterSpeed, T(-12), "15\"", -12), O(ShutterSpeed, T(-11), "13\"", -11), O(ShutterSpeed, T(-10), "10\"", -10),
    O(ShutterSpeed, T(-9), "8\"", -9),    O(ShutterSpeed, T(-8), "6\"", -8),    O(ShutterSpeed, T(-7), "5\"", -7),
    O(ShutterSpeed, T(-6), "4\"", -6),    O(ShutterSpeed, T(-5), "3\"2", -5),   O(ShutterSpeed, T(-4), "2\"5", -4),
    O(ShutterSpeed, T(-3), "2\"", -3),    O(ShutterSpeed, T(-2), "1\"6", -2),   O(ShutterSpeed, T(-1), "1\"3", -1),
    O(ShutterSpeed, T(0), "1\"", 0),      O(ShutterSpeed, T(1), "0\"8", 1),     O(ShutterSpeed, T(2), "0\"6", 2),
    O(ShutterSpeed, T(3), "0\"5", 3),     O(ShutterSpeed, T(4), "0\"4", 4),     O(ShutterSpeed, T(5), "0\"3", 5),
    O(ShutterSpeed, T(6), "1/4", 6),      O(ShutterSpeed, T(7), "1/5", 7),      O(ShutterSpeed, T(8), "1/6", 8),
    O(ShutterSpeed, T(9), "1/8", 9),      O(ShutterSpeed, T(10), "1/10", 10),   O(ShutterSpeed, T(11), "1/13", 11),
    O(ShutterSpeed, T(12), "1/15", 12),   O(ShutterSpeed, T(13), "1/20", 13),   O(ShutterSpeed, T(14), "1/25", 14),
    O(ShutterSpeed, T(15), "1/30", 15),   O(ShutterSpeed, T(16), "1/40", 16),   O(ShutterSpeed, T(17), "1/50", 17),
    O(ShutterSpeed, T(18), "1/60", 18),   O(ShutterSpeed, T(19), "1/80", 19),   O(ShutterSpeed, T(20), "1/100", 20),
    O(ShutterSpeed, T(21), "1/125", 21),  O(ShutterSpeed, T(22), "1/160", 22),  O(ShutterSpeed, T(23), "1/200", 23),
    O(ShutterSpeed, T(24), "1/250", 24),  O(ShutterSpeed, T(25), "1/320", 25),  O(ShutterSpeed, T(26), "1/400", 26),
    O(ShutterSpeed, T(27), "1/500", 27),  O(ShutterSpeed, T(28), "1/640", 28),  O(ShutterSpeed, T(29), "1/800", 29),
    O(ShutterSpeed, T(30), "1/1000", 30), O(ShutterSpeed, T(31), "1/1250", 31), O(ShutterSpeed, T(32), "1/1600", 32),
    O(ShutterSpeed, T(33), "1/2000", 33), O(ShutterSpeed, T(34), "1/2500", 34), O(ShutterSpeed, T(35), "1/3200", 35),
    O(ShutterSpeed, T(36), "1/4000", 36), O(ShutterSpeed, T(37), "1/5000", 37), O(ShutterSpeed, T(38), "1/6400", 38),
    O(ShutterSpeed, T(39), "1/8000", 39),
};

// Apertures of the lens in third stops (Av = 2 log2 N).
constexpr PropertyOption kAperture[] = {
    O(Aperture, T(9), "F2.8", 9),   O(Aperture, T(10), "F3.2", 10), O(Aperture, T(11), "F3.5", 11),
    O(Aperture, T(12), "F4", 12),   O(Aperture, T(13), "F4.5", 13), O(Aperture, T(14), "F5", 14),
    O(Aperture, T(15), "F5.6", 15), O(Aperture, T(16), "F6.3", 16), O(Aperture, T(17), "F7.1", 17),
    O(Aperture, T(18), "F8", 18),   O(Aperture, T(19), "F9", 19),   O(Aperture, T(20), "F10", 20),
    O(Aperture, T(21), "F11", 21),  O(Aperture, T(22), "F13", 22),  O(Aperture, T(23), "F14", 23),
    O(Aperture, T(24), "F16", 24),  O(Aperture, T(25), "F18", 25),  O(Aperture, T(26), "F20", 26),
    O(Aperture, T(27), "F22", 27),
};

// ISO speeds in third stops above ISO 100. Auto first: the only choice in Scene Intelligent Auto.
constexpr PropertyOption kIso[] = {
    O(IsoSpeed, 0x01, "Auto", kAutoIsoKey),
    O(IsoSpeed, T(0), "100", 0),     O(IsoSpeed, T(1), "125", 1),     O(IsoSpeed, T(2), "160", 2),
    O(IsoSpeed, T(3), "200", 3),     O(IsoSpeed, T(4), "250", 4),     O(IsoSpeed, T(5), "320", 5),
    O(IsoSpeed, T(6), "400", 6),     O(IsoSpeed, T(7), "500", 7),     O(IsoSpeed, T(8), "640", 8),
    O(IsoSpeed, T(9), "800", 9),     O(IsoSpeed, T(10), "1000", 10),  O(IsoSpeed, T(11), "1250", 11),
    O(IsoSpeed, T(12), "1600", 12),  O(IsoSpeed, T(13), "2000", 13),  O(IsoSpeed, T(14), "2500", 14),
    O(IsoSpeed, T(15), "3200", 15),  O(IsoSpeed, T(16), "4000", 16),  O(IsoSpeed, T(17), "5000", 17),
    O(IsoSpeed, T(18), "6400", 18),  O(IsoSpeed, T(19), "8000", 19),  O(IsoSpeed, T(20), "10000", 20),
    O(IsoSpeed, T(21), "12800", 21), O(IsoSpeed, T(22), "16000", 22), O(IsoSpeed, T(23), "20000", 23),
    O(IsoSpeed, T(24), "25600", 24),
};

// Evaluative first: the only choice in Scene Intelligent Auto.
constexpr PropertyOption kMetering[] = {
    O(MeteringMode, 0x03, "Evaluative metering", 0),
    O(MeteringMode, 0x04, "Partial metering", 1),
    O(MeteringMode, 0x01, "Spot metering", 2),
    O(MeteringMode, 0x05, "Center-weighted average metering", 3),
};

// Exposure compensation in third stops; "0" sits at kCompZero.
constexpr PropertyOption kCompensation[] = {
    O(ExposureCompensation, T(-9), "-3", -9),      O(ExposureCompensation, T(-8), "-2 2/3", -8),
    O(ExposureCompensation, T(-7), "-2 1/3", -7),  O(ExposureCompensation, T(-6), "-2", -6),
    O(ExposureCompensation, T(-5), "-1 2/3", -5),  O(ExposureCompensation, T(-4), "-1 1/3", -4),
    O(ExposureCompensation, T(-3), "-1", -3),      O(ExposureCompensation, T(-2), "-2/3", -2),
    O(ExposureCompensation, T(-1), "-1/3", -1),    O(ExposureCompensation, T(0), "0", 0),
    O(ExposureCompensation, T(1), "+1/3", 1),      O(ExposureCompensation, T(2), "+2/3", 2),
    O(ExposureCompensation, T(3), "+1", 3),        O(ExposureCompensation, T(4), "+1 1/3", 4),
    O(ExposureCompensation, T(5), "+1 2/3", 5),    O(ExposureCompensation, T(6), "+2", 6),
    O(ExposureCompensation, T(7), "+2 1/3", 7),    O(ExposureCompensation, T(8), "+2 2/3", 8),
    O(ExposureCompensation, T(9), "+3", 9),
};
constexpr std::size_t kCompZero = 9;

// Image quality; the key is the size of one shot in kilobytes (22 megapixel sensor).
constexpr PropertyOption kQuality[] = {
    O(ImageQuality, 0x01, "RAW", 24600),
    O(ImageQuality, 0x02, "M-RAW", 19800),
    O(ImageQuality, 0x03, "S-RAW", 13600),
    O(ImageQuality, 0x04, "RAW + Large Fine", 31400),
    O(ImageQuality, 0x10, "Large Fine", 6800),
    O(ImageQuality, 0x11, "Large Normal", 3600),
    O(ImageQuality, 0x12, "Medium Fine", 3700),
    O(ImageQuality, 0x13, "Medium Normal", 1900),
    O(ImageQuality, 0x14, "Small 1 Fine", 2400),
    O(ImageQuality, 0x15, "Small 1 Normal", 1200),
    O(ImageQuality, 0x16, "Small 2", 1300),
    O(ImageQuality, 0x17, "Small 3", 300),
};
constexpr std::size_t kQualityLargeFine = 4;

// White balance; the key is the colour temperature in kelvin, 0 where the camera judges it.
constexpr PropertyOption kWhiteBalance[] = {
    O(WhiteBalance, 0x00, "Auto", 0),
    O(WhiteBalance, 0x01, "Daylight", 5200),
    O(WhiteBalance, 0x08, "Shade", 7000),
    O(WhiteBalance, 0x02, "Cloudy", 6000),
    O(WhiteBalance, 0x03, "Tungsten light", 3200),
    O(WhiteBalance, 0x04, "White fluorescent light", 4000),
    O(WhiteBalance, 0x05, "Flash", 6000),
    O(WhiteBalance, 0x06, "Custom", 0),
    O(WhiteBalance, 0x09, "Color temperature", 5200),
};

// Drive modes; the key is the frame rate in tenths of a frame per second (0: one frame per press).
constexpr PropertyOption kDrive[] = {
    O(DriveMode, 0x00, "Single Shooting", 0),
    O(DriveMode, 0x01, "Continuous Shooting", 30),
    O(DriveMode, 0x04, "High-Speed Continuous Shooting", 60),
    O(DriveMode, 0x13, "Silent Single Shooting", 0),
    O(DriveMode, 0x14, "Silent Continuous Shooting", 30),
    O(DriveMode, 0x10, "Self-Timer: 10 sec", 0),
    O(DriveMode, 0x11, "Self-Timer: 2 sec", 0),
};

// AF modes: the two a user picks from, then the one Scene Intelligent Auto imposes, then the lens's MF.
constexpr PropertyOption kAfMode[] = {
    O(AfMode, 0x00, "One-Shot AF", 0),
    O(AfMode, 0x02, "AI Servo AF", 1),
    O(AfMode, 0x01, "AI Focus AF", 2),
    O(AfMode, 0x03, "Manual Focus", 3),
};
constexpr std::size_t kAfUserChoices = 2;
constexpr std::size_t kAfAiFocus = 2;
constexpr std::size_t kAfManual = 3;

constexpr PropertyOption kLiveViewAf[] = {
    O(LiveViewAfMode, 0x01, "Live mode", 0),
    O(LiveViewAfMode, 0x02, "Face detection live mode", 1),
    O(LiveViewAfMode, 0x00, "Quick mode", 2),
};

constexpr PropertyOption kMode[] = {
    O(prop::ShootingMode, 0x16, "Scene Intelligent Auto", static_cast<int>(ShootingMode::SceneAuto)),
    O(prop::ShootingMode, 0x00, "Program AE", static_cast<int>(ShootingMode::Program)),
    O(prop::ShootingMode, 0x01, "Shutter-priority AE", static_cast<int>(ShootingMode::ShutterPriority)),
    O(prop::ShootingMode, 0x02, "Aperture-priority AE", static_cast<int>(ShootingMode::AperturePriority)),
    O(prop::ShootingMode, 0x03, "Manual exposure", static_cast<int>(ShootingMode::Manual)),
    O(prop::ShootingMode, 0x04, "Bulb", static_cast<int>(ShootingMode::Bulb)),
};

// Report order: the order in which the console lists the properties.
constexpr std::array<std::int32_t, PropertyModel::kListPropertyCount> kCodes = prop::kListCodes;

int Slot(std::int32_t code) {
    auto it = std::find(kCodes.begin(), kCodes.end(), code);
    return it == kCodes.end() ? -1 : static_cast<int>(it - kCodes.begin());
}

std::span<const PropertyOption> All(std::int32_t code) {
    switch (code) {
    case prop::ShootingMode: return kMode;
    case ShutterSpeed: return kShutter;
    case Aperture: return kAperture;
    case IsoSpeed: return kIso;
    case MeteringMode: return kMetering;
    case ExposureCompensation: return kCompensation;
    case ImageQuality: return kQuality;
    case WhiteBalance: return kWhiteBalance;
    case DriveMode: return kDrive;
    case AfMode: return kAfMode;
    case LiveViewAfMode: return kLiveViewAf;
    default: return {};
    }
}

const PropertyOption* ByKey(std::span<const PropertyOption> table, int key) {
    for (const PropertyOption& o : table)
        if (o.key == key)
            return &o;
    return nullptr;
}

} // namespace

PropertyModel::PropertyModel() {
    chosen_[Slot(prop::ShootingMode)] = ByKey(kMode, static_cast<int>(ShootingMode::Manual));
    chosen_[Slot(ShutterSpeed)] = ByKey(kShutter, 27); // 1/500: the scene exposed correctly at ISO 400, F5.6
    chosen_[Slot(Aperture)] = ByKey(kAperture, 15);    // F5.6
    chosen_[Slot(IsoSpeed)] = ByKey(kIso, 6);          // 400
    chosen_[Slot(MeteringMode)] = &kMetering[0];
    chosen_[Slot(ExposureCompensation)] = &kCompensation[kCompZero];
    chosen_[Slot(ImageQuality)] = &kQuality[kQualityLargeFine];
    chosen_[Slot(WhiteBalance)] = &kWhiteBalance[0];
    chosen_[Slot(DriveMode)] = &kDrive[0];
    chosen_[Slot(AfMode)] = &kAfMode[0];
    chosen_[Slot(LiveViewAfMode)] = &kLiveViewAf[0];
}

std::span<const std::int32_t> PropertyModel::ListCodes() { return kCodes; }

bool PropertyModel::IsListProperty(std::int32_t code) { return Slot(code) >= 0; }

Confirmation PropertyModel::ConfirmationOf(std::int32_t code) {
    switch (code) {
    case ImageQuality:
    case WhiteBalance:
    case DriveMode:
    case MeteringMode:
    case LiveViewAfMode:
        return Confirmation::WithTheWrite;
    default:
        return Confirmation::Later;
    }
}

std::span<const PropertyOption> PropertyModel::Table(std::int32_t code) { return All(code); }

ShootingMode PropertyModel::Mode() const {
    return static_cast<ShootingMode>(chosen_[Slot(prop::ShootingMode)]->key);
}

int PropertyModel::ShotKilobytes() const { return Current(ImageQuality)->key; }

double PropertyModel::ExposureOffsetEv(double bulbSeconds) const {
    const int iso = Current(IsoSpeed)->key;
    const int sv = iso == kAutoIsoKey ? kAutoIsoThirds : iso;
    const double correct = kSceneEv100Thirds + sv; // Av + Tv, in thirds, that exposes the scene correctly
    const double av = Current(Aperture)->key;
    double tv = Current(ShutterSpeed)->key;
    if (bulbSeconds > 0.0)
        tv = -3.0 * std::log2(bulbSeconds);
    else if (Current(ShutterSpeed)->key == kBulbKey)
        tv = correct - av;
    return (correct - av - tv) / 3.0;
}

PropertyOffer PropertyModel::Offer(std::int32_t code) const {
    const ShootingMode mode = Mode();
    const bool sceneAuto = mode == ShootingMode::SceneAuto;
    std::span<const PropertyOption> all = All(code);
    switch (code) {
    case ShutterSpeed:
        switch (mode) {
        case ShootingMode::Manual: return {all, true};
        case ShootingMode::ShutterPriority: return {all.subspan(1), true};
        case ShootingMode::Bulb: return {all.first(1), false};
        default: return {all.subspan(1), false}; // the camera picks the speed
        }
    case Aperture: {
        const bool userSets = mode == ShootingMode::AperturePriority || mode == ShootingMode::Manual ||
                              mode == ShootingMode::Bulb;
        return {all, userSets};
    }
    case IsoSpeed:
    case MeteringMode:
    case WhiteBalance:
        // Scene Intelligent Auto imposes the first option of these (Auto, Evaluative, Auto).
        return sceneAuto ? PropertyOffer{all.first(1), false} : PropertyOffer{all, true};
    case ExposureCompensation:
        if (sceneAuto)
            return {all.subspan(kCompZero, 1), false};
        // With the exposure set by hand there is nothing to compensate.
        return {all, mode != ShootingMode::Manual && mode != ShootingMode::Bulb};
    case AfMode:
        if (lensManualFocus_)
            return {all.subspan(kAfManual, 1), false};
        if (sceneAuto)
            return {all.subspan(kAfAiFocus, 1), false};
        return {all.first(kAfUserChoices), true};
    default:
        return {all, !all.empty()};
    }
}

const PropertyOption* PropertyModel::UserChoice(std::int32_t code) const {
    int slot = Slot(code);
    return slot < 0 ? nullptr : chosen_[slot];
}

int PropertyModel::ExposureThirds() const {
    // Settings Av + Tv that give the metered exposure: scene brightness at the sensitivity, less compensation.
    const int iso = Current(IsoSpeed)->key;
    const int sv = iso == kAutoIsoKey ? kAutoIsoThirds : iso;
    return kSceneEv100Thirds + sv - Current(ExposureCompensation)->key;
}

const PropertyOption* PropertyModel::Metered(std::int32_t code) const {
    const int total = ExposureThirds();
    const ShootingMode mode = Mode();
    int av = 0;
    if (mode == ShootingMode::AperturePriority) {
        av = Current(Aperture)->key;
    } else if (mode == ShootingMode::ShutterPriority) {
        int tv = Current(ShutterSpeed)->key;
        av = std::clamp(total - tv, kWidestThirds, kNarrowestThirds);
    } else {
        // Program line: split the exposure between aperture and speed, stopping down as the light rises.
        av = std::clamp((total - 9) / 2, kWidestThirds, kNarrowestThirds);
    }
    if (code == Aperture)
        return ByKey(kAperture, av);
    return ByKey(kShutter, std::clamp(total - av, kSlowestThirds, kFastestThirds));
}

const PropertyOption* PropertyModel::Current(std::int32_t code) const {
    const PropertyOption* chosen = UserChoice(code);
    if (!chosen)
        return nullptr;
    const ShootingMode mode = Mode();
    const bool sceneAuto = mode == ShootingMode::SceneAuto;
    switch (code) {
    case ShutterSpeed:
        switch (mode) {
        case ShootingMode::Manual: return chosen;
        case ShootingMode::ShutterPriority: return chosen->key == kBulbKey ? &kShutter[1] : chosen;
        case ShootingMode::Bulb: return &kShutter[0];
        default: return Metered(ShutterSpeed);
        }
    case Aperture:
        if (mode == ShootingMode::AperturePriority || mode == ShootingMode::Manual || mode == ShootingMode::Bulb)
            return chosen;
        return Metered(Aperture);
    case IsoSpeed:
    case MeteringMode:
    case WhiteBalance:
        return sceneAuto ? &All(code)[0] : chosen;
    case ExposureCompensation:
        return sceneAuto ? &kCompensation[kCompZero] : chosen;
    case AfMode:
        if (lensManualFocus_)
            return &kAfMode[kAfManual];
        return sceneAuto ? &kAfMode[kAfAiFocus] : chosen;
    default:
        return chosen;
    }
}

PropertyModel::Snapshot PropertyModel::Take() const {
    Snapshot s;
    for (std::size_t i = 0; i < kCodes.size(); ++i) {
        s.offers[i] = Offer(kCodes[i]);
        s.values[i] = Current(kCodes[i]);
    }
    return s;
}

void PropertyModel::Compare(const Snapshot& before, std::int32_t written, PropertyChanges& changes) const {
    const Snapshot after = Take();
    if (written != 0)
        changes.valueChanged.push_back(written);
    for (std::size_t i = 0; i < kCodes.size(); ++i) {
        if (!(before.offers[i] == after.offers[i]))
            changes.reoffered.push_back(kCodes[i]);
        if (kCodes[i] != written && before.values[i] != after.values[i])
            changes.valueChanged.push_back(kCodes[i]);
    }
}

bool PropertyModel::Set(std::int32_t code, std::int32_t value, PropertyChanges& changes) {
    const int slot = Slot(code);
    if (slot < 0)
        return false;
    const PropertyOffer offer = Offer(code);
    if (!offer.enabled)
        return false;
    auto it = std::find_if(offer.options.begin(), offer.options.end(),
                           [value](const PropertyOption& o) { return o.value == value; });
    if (it == offer.options.end())
        return false;
    const Snapshot before = Take();
    chosen_[slot] = &*it;
    Compare(before, code, changes);
    return true;
}

void PropertyModel::SetLensManualFocus(bool manual, PropertyChanges& changes) {
    if (manual == lensManualFocus_)
        return;
    const Snapshot before = Take();
    lensManualFocus_ = manual;
    Compare(before, 0, changes);
}

} // namespace quor::component
