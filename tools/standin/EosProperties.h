// The stand-in body's device properties: PTP codes, current values and the lists of allowed values, and how
// they travel in GetEvent records and SetDevicePropValueEx data.
//
// Numbers travel as u32 in both directions of the event stream, whatever their width on the body. The image
// format is a packed list of file descriptions; this class keeps it condensed into one number (the first file's
// size and compression in the high byte, the second file's in the low byte, 8 added to the compression of a RAW
// file) so that it can be compared and listed like any other value.
#pragma once

#include "tools/standin/Wire.h"

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quor::standin {

enum class PropKind { Number, Text, ImageFormat };

struct Property {
    std::uint16_t code = 0;
    PropKind kind = PropKind::Number;
    std::uint32_t value = 0;
    std::string text;
    std::vector<std::uint32_t> choices; // empty: any value is taken (or, for read-only ones, none is)
    bool settable = true;
};

// What SetDevicePropValueEx carried.
struct PropWrite {
    std::uint16_t code = 0;
    std::uint32_t value = 0; // numbers and condensed image formats
    std::string text;        // text properties
};

class EosProperties {
public:
    // The set a body reports after OpenSession.
    static EosProperties Defaults();

    const Property* Find(std::uint16_t code) const;
    std::vector<std::uint16_t> Codes() const;

    // Sets a value as the host (or the body itself) asks. Returns the PTP response code: OK, DevicePropNotSupported
    // for an unknown property, InvalidDevicePropValue for a value outside the list or a read-only property
    // (unless `force`, used for changes the body makes on its own, like a turned focus switch).
    std::uint16_t Set(const PropWrite& write, bool force = false);

    // One PropValueChanged record for `code`, followed by an AvailListChanged record when it has a list.
    Bytes Records(std::uint16_t code) const;
    // Records for every property (what a new session sees).
    Bytes AllRecords() const;

    // Decodes the data phase of SetDevicePropValueEx. nullopt when it is malformed.
    static std::optional<PropWrite> ParseWrite(std::span<const std::uint8_t> data);

    // Packed form of a condensed image format (n, then {0x10, type, size, compression} per file).
    static void PackImageFormat(Writer& w, std::uint32_t condensed);
    // Reads a packed image format; advances `r`. nullopt when malformed.
    static std::optional<std::uint32_t> UnpackImageFormat(Reader& r);

private:
    void Add(Property p);
    void AddNumber(std::uint16_t code, std::uint32_t value, std::vector<std::uint32_t> choices, bool settable = true);
    void AddText(std::uint16_t code, std::string value);
    // Defaults(): what the exposure is made of (mode, shutter, aperture, ISO, metering, drive, focus), then the
    // files, the body's counters and switches and its fixed texts.
    void AddExposureDefaults();
    void AddBodyDefaults();
    std::map<std::uint16_t, Property> props_;
    std::vector<std::uint16_t> order_;
};

// Condensed image format values.
namespace imageformat {
inline constexpr std::uint32_t kLargeFineJpeg = 0x0300;
inline constexpr std::uint32_t kLargeNormalJpeg = 0x0200;
inline constexpr std::uint32_t kMediumFineJpeg = 0x1300;
inline constexpr std::uint32_t kSmallFineJpeg = 0x2300;
inline constexpr std::uint32_t kRaw = 0x0C00;
inline constexpr std::uint32_t kRawAndLargeFineJpeg = 0x0C03;
} // namespace imageformat

} // namespace quor::standin
