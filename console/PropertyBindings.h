// Which property combo shows which camera property, and which reported values gate other controls.
#pragma once

#include "control/PropertyCodes.h"

#include <cstdint>
#include <span>

namespace quor::console {

enum class KeywordRule : std::uint8_t {
    None,
    ContinuousGate, // enables the continuous-shooting button 1029 when the value is the keyword
    BulbGate,       // enables the bulb button 1032
    AfPossible,     // the keyword means manual focus: no autofocus, so no focus buttons
    AfPointGate,    // enables the AF-point radios 1054 and 1055
};

struct PropertyBinding {
    int comboId;
    std::int32_t code;
    KeywordRule rule;
    const char* keyword; // compared byte for byte with the reported value text; nullptr without a rule
};

// Rows follow the labels of the camera-parameter group top to bottom, then the live-view AF mode combo.
inline constexpr PropertyBinding kPropertyBindings[] = {
    {1004, prop::ShootingMode, KeywordRule::None, nullptr},
    {1006, prop::ShutterSpeed, KeywordRule::BulbGate, "Bulb"},
    {1007, prop::Aperture, KeywordRule::None, nullptr},
    {1005, prop::IsoSpeed, KeywordRule::None, nullptr},
    {1008, prop::MeteringMode, KeywordRule::None, nullptr},
    {1009, prop::ExposureCompensation, KeywordRule::None, nullptr},
    {1010, prop::ImageQuality, KeywordRule::None, nullptr},
    {1015, prop::WhiteBalance, KeywordRule::None, nullptr},
    {1017, prop::DriveMode, KeywordRule::ContinuousGate, "Continuous Shooting"},
    {1018, prop::AfMode, KeywordRule::AfPossible, "Manual Focus"},
    {1022, prop::LiveViewAfMode, KeywordRule::AfPointGate, "Quick mode"},
};

// The row of property `code`, or nullptr.
inline const PropertyBinding* BindingForCode(std::int32_t code) {
    for (const PropertyBinding& b : kPropertyBindings)
        if (b.code == code)
            return &b;
    return nullptr;
}

// The row of combo `comboId`, or nullptr.
inline const PropertyBinding* BindingForCombo(int comboId) {
    for (const PropertyBinding& b : kPropertyBindings)
        if (b.comboId == comboId)
            return &b;
    return nullptr;
}

} // namespace quor::console
