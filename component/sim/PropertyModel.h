// The shooting properties of a simulated EOS body: the options each list property offers, which of them can be
// chosen in the current shooting mode, and the values the body settles on (its own metering picks the
// shutter speed and aperture where the mode leaves them to the camera).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace quor::component {

// Positions of the mode dial.
enum class ShootingMode : int { SceneAuto, Program, ShutterPriority, AperturePriority, Manual, Bulb };

struct PropertyOption {
    std::int32_t value; // opaque value carried by calls and events; stable across sessions and modes
    const char* text;   // what the body shows
    int key;            // the option's meaning inside the model (third stops, mode, kilobytes...)
};

// What a property lists right now, and whether its options can be chosen. The options are always a
// contiguous run of the property's table, so an offer costs nothing to build or compare.
struct PropertyOffer {
    std::span<const PropertyOption> options;
    bool enabled = true;

    bool operator==(const PropertyOffer& o) const {
        return options.data() == o.options.data() && options.size() == o.options.size() && enabled == o.enabled;
    }
};

// When a body confirms a written property: some settings are acknowledged with the write itself, others go
// through the camera's metering loop and are reported a moment later.
enum class Confirmation { WithTheWrite, Later };

// The effects of one change, in reporting order.
struct PropertyChanges {
    std::vector<std::int32_t> reoffered;    // properties whose offer changed (withdraw, then offer again)
    std::vector<std::int32_t> valueChanged; // properties whose value changed; a written property comes first
};

class PropertyModel {
public:
    static constexpr std::size_t kListPropertyCount = 11;

    PropertyModel();

    // The eleven list-valued property codes, in the order a body reports them.
    static std::span<const std::int32_t> ListCodes();
    static bool IsListProperty(std::int32_t code);
    static Confirmation ConfirmationOf(std::int32_t code);
    // Every option the model knows for `code` (empty for a code that is not a list property).
    static std::span<const PropertyOption> Table(std::int32_t code);

    PropertyOffer Offer(std::int32_t code) const;
    // The value the body currently has; nullptr for a code that is not a list property.
    const PropertyOption* Current(std::int32_t code) const;

    // Writes `value` to `code`. Refused (false, `changes` untouched) unless the property offers that value
    // and its options can be chosen now.
    bool Set(std::int32_t code, std::int32_t value, PropertyChanges& changes);

    // The lens's AF/MF switch. In MF the AF mode reads "Manual Focus" and cannot be changed.
    void SetLensManualFocus(bool manual, PropertyChanges& changes);
    bool LensManualFocus() const { return lensManualFocus_; }

    ShootingMode Mode() const;
    // Size of one shot at the current image quality, in kilobytes.
    int ShotKilobytes() const;

    // How much brighter than the scene's correct exposure a shot at the current ISO, aperture and shutter speed
    // comes out, in stops (+1: twice as bright). `bulbSeconds` > 0 stands in for the shutter speed (a bulb
    // exposure); a Bulb setting without it counts as correctly exposed.
    double ExposureOffsetEv(double bulbSeconds = 0.0) const;

private:
    struct Snapshot {
        std::array<PropertyOffer, kListPropertyCount> offers;
        std::array<const PropertyOption*, kListPropertyCount> values;
    };

    Snapshot Take() const;
    void Compare(const Snapshot& before, std::int32_t written, PropertyChanges& changes) const;
    const PropertyOption* UserChoice(std::int32_t code) const;
    const PropertyOption* Metered(std::int32_t code) const;
    int ExposureThirds() const;

    // What the user last chose for each property (the body remembers it while the mode overrides it).
    std::array<const PropertyOption*, kListPropertyCount> chosen_{};
    bool lensManualFocus_ = false;
};

} // namespace quor::component
