#include "tools/standin/EosProperties.h"

#include "tools/standin/PtpCodes.h"

#include <algorithm>

namespace quor::standin {

namespace {

constexpr std::uint32_t kListOfU32 = 3; // AvailListChanged element kind: one u32 per value

constexpr std::uint32_t kTypeJpeg = 1;
constexpr std::uint32_t kTypeRaw = 6;
constexpr std::uint32_t kRawFlag = 8;

void PackOneFile(Writer& w, std::uint32_t sizeAndCompression) {
    const std::uint32_t size = (sizeAndCompression >> 4) & 0xF;
    const std::uint32_t compression = sizeAndCompression & 0xF;
    w.U32(0x10);
    w.U32((compression & kRawFlag) ? kTypeRaw : kTypeJpeg);
    // The condensed form counts the small sizes S1..S3 (0xE..0x10 on the wire) one lower.
    w.U32(size >= 0xD ? size + 1 : size);
    w.U32(compression & ~kRawFlag);
}

} // namespace

void EosProperties::PackImageFormat(Writer& w, std::uint32_t condensed) {
    const bool two = (condensed & 0xFF) != 0;
    w.U32(two ? 2 : 1);
    PackOneFile(w, (condensed >> 8) & 0xFF);
    if (two)
        PackOneFile(w, condensed & 0xFF);
}

std::optional<std::uint32_t> EosProperties::UnpackImageFormat(Reader& r) {
    auto n = r.U32();
    if (!n || (*n != 1 && *n != 2))
        return std::nullopt;
    std::uint32_t condensed = 0;
    for (std::uint32_t i = 0; i < *n; ++i) {
        auto len = r.U32();
        auto type = r.U32();
        auto size = r.U32();
        auto compression = r.U32();
        if (!len || *len != 0x10 || !type || !size || !compression)
            return std::nullopt;
        std::uint32_t s = *size >= 0xE ? *size - 1 : *size;
        std::uint32_t c = (*compression & 0x7) | (*type == kTypeRaw ? kRawFlag : 0);
        std::uint32_t nibbles = ((s & 0xF) << 4) | (c & 0xF);
        condensed |= nibbles << (i == 0 ? 8 : 0);
    }
    return condensed;
}

void EosProperties::Add(Property p) {
    order_.push_back(p.code);
    props_.emplace(p.code, std::move(p));
}

void EosProperties::AddNumber(std::uint16_t code, std::uint32_t value, std::vector<std::uint32_t> choices,
                              bool settable) {
    Property p;
    p.code = code;
    p.value = value;
    p.choices = std::move(choices);
    p.settable = settable;
    Add(std::move(p));
}

void EosProperties::AddText(std::uint16_t code, std::string value) {
    Property p;
    p.code = code;
    p.kind = PropKind::Text;
    p.text = std::move(value);
    p.settable = false;
    Add(std::move(p));
}

EosProperties EosProperties::Defaults() {
    EosProperties s;
    // The order is the order of the records a new session hears.
    s.AddExposureDefaults();
    s.AddBodyDefaults();
    return s;
}

void EosProperties::AddExposureDefaults() {
    // Shooting mode: P, Tv, Av, Manual, Bulb.
    AddNumber(prop::kAutoExposureMode, 3, {0, 1, 2, 3, 4});
    // 0x0C is bulb; then 30" .. 1/4000 in whole stops plus the common thirds around 1/125.
    AddNumber(prop::kShutterSpeed, 0x70,
              {kShutterBulb, 0x10, 0x18, 0x20, 0x28, 0x30, 0x38, 0x40, 0x48, 0x50, 0x58, 0x60, 0x68, 0x6B, 0x6D,
               0x70, 0x73, 0x75, 0x78, 0x80, 0x88, 0x90, 0x98});
    // f/2.8 .. f/16 in thirds.
    AddNumber(prop::kAperture, 0x30,
              {0x20, 0x23, 0x25, 0x28, 0x2B, 0x2D, 0x30, 0x33, 0x35, 0x38, 0x3B, 0x3D, 0x40, 0x43, 0x45, 0x48});
    // Auto, 100 .. 6400.
    AddNumber(prop::kIso, 0x48, {0x00, 0x48, 0x50, 0x58, 0x60, 0x68, 0x70, 0x78});
    // -2 .. +2 EV in halves and thirds, two's complement in a byte.
    AddNumber(prop::kExposureCompensation, 0x00,
              {0xF0, 0xF3, 0xF4, 0xF5, 0xF8, 0xFB, 0xFC, 0xFD, 0x00, 0x03, 0x04, 0x05, 0x08, 0x0B, 0x0C, 0x0D, 0x10});
    // Evaluative, partial, spot, centre-weighted average.
    AddNumber(prop::kMeteringMode, 3, {3, 4, 1, 5});
    // Auto, daylight, cloudy, tungsten, fluorescent, flash, shade.
    AddNumber(prop::kWhiteBalance, 0, {0, 1, 2, 3, 4, 5, 8});
    // Single, continuous, continuous high, continuous low, 10 s timer, 2 s timer.
    AddNumber(prop::kDriveMode, 0, {0x00, 0x01, 0x04, 0x05, 0x10, 0x11});
    // One shot, AI servo, AI focus, manual (the last one is the lens switch: SetPropertyOnBody).
    AddNumber(prop::kFocusMode, 0, {0, 1, 2, kFocusManual});
}

void EosProperties::AddBodyDefaults() {
    Property format;
    format.code = prop::kImageFormat;
    format.kind = PropKind::ImageFormat;
    format.value = imageformat::kLargeFineJpeg;
    format.choices = {imageformat::kLargeFineJpeg, imageformat::kLargeNormalJpeg, imageformat::kMediumFineJpeg,
                      imageformat::kSmallFineJpeg, imageformat::kRaw, imageformat::kRawAndLargeFineJpeg};
    Add(std::move(format));
    // Battery level: 0 low, 5 a quarter, 1 half, 4 three quarters, 2 full.
    AddNumber(prop::kBatteryPower, 2, {}, false);
    AddNumber(prop::kAvailableShots, 999, {}, false);
    // 1: card; 4: the host (the body keeps the shot in RAM until fetched).
    AddNumber(prop::kCaptureDestination, 1, {1, 4});
    // Where live view goes: bit 0 the body's screen, bit 1 the PC.
    // Bit 0 the body's own screen, 1 the host at full size, 2 and 3 the host at two thirds and at half.
    AddNumber(prop::kEvfOutputDevice, 0, {0, 1, 2, 3, 4, 5, 8, 9});
    AddNumber(prop::kEvfMode, 0, {0, 1});
    AddText(prop::kSerialNumber, "QT0215004711");
    AddText(prop::kLensName, "EF-S18-55mm f/3.5-5.6 IS STM");
}

const Property* EosProperties::Find(std::uint16_t code) const {
    auto it = props_.find(code);
    return it == props_.end() ? nullptr : &it->second;
}

std::vector<std::uint16_t> EosProperties::Codes() const { return order_; }

std::uint16_t EosProperties::Set(const PropWrite& write, bool force) {
    auto it = props_.find(write.code);
    if (it == props_.end())
        return rc::kDevicePropNotSupported;
    Property& p = it->second;
    if (!p.settable && !force)
        return rc::kInvalidDevicePropValue;
    if (p.kind == PropKind::Text) {
        p.text = write.text;
        return rc::kOk;
    }
    if (!force && !p.choices.empty() &&
        std::find(p.choices.begin(), p.choices.end(), write.value) == p.choices.end())
        return rc::kInvalidDevicePropValue;
    p.value = write.value;
    return rc::kOk;
}

Bytes EosProperties::Records(std::uint16_t code) const {
    const Property* p = Find(code);
    if (!p)
        return {};
    Writer w;
    // Value record.
    const std::size_t start = w.Size();
    w.U32(0).U32(ev::kPropValueChanged).U32(p->code);
    switch (p->kind) {
    case PropKind::Number:
        w.U32(p->value);
        break;
    case PropKind::Text:
        w.Ascii(p->text);
        while (w.Size() % 4)
            w.U8(0);
        break;
    case PropKind::ImageFormat:
        PackImageFormat(w, p->value);
        break;
    }
    w.PatchU32(start, static_cast<std::uint32_t>(w.Size() - start));
    // List record (only after the value: a list for a property not yet seen is dropped by the host).
    if (!p->choices.empty()) {
        const std::size_t listStart = w.Size();
        w.U32(0).U32(ev::kAvailListChanged).U32(p->code).U32(kListOfU32);
        w.U32(static_cast<std::uint32_t>(p->choices.size()));
        for (auto v : p->choices) {
            if (p->kind == PropKind::ImageFormat)
                PackImageFormat(w, v);
            else
                w.U32(v);
        }
        w.PatchU32(listStart, static_cast<std::uint32_t>(w.Size() - listStart));
    }
    return w.Take();
}

Bytes EosProperties::AllRecords() const {
    Bytes all;
    for (auto code : order_) {
        Bytes r = Records(code);
        all.insert(all.end(), r.begin(), r.end());
    }
    return all;
}

std::optional<PropWrite> EosProperties::ParseWrite(std::span<const std::uint8_t> data) {
    Reader r(data);
    auto size = r.U32();
    auto code = r.U32();
    if (!size || !code || *size < 9 || *size > data.size() || *code > 0xFFFF)
        return std::nullopt;
    PropWrite w;
    w.code = static_cast<std::uint16_t>(*code);
    auto valueBytes = data.subspan(8, *size - 8);
    if (w.code == prop::kImageFormat) {
        Reader vr(valueBytes);
        auto condensed = UnpackImageFormat(vr);
        if (!condensed)
            return std::nullopt;
        w.value = *condensed;
        return w;
    }
    if (w.code == prop::kSerialNumber || w.code == prop::kLensName) {
        auto end = std::find(valueBytes.begin(), valueBytes.end(), std::uint8_t{0});
        w.text.assign(valueBytes.begin(), end);
        return w;
    }
    // Numbers come as 1, 2 or 4 bytes depending on the width the host believes the property has.
    std::uint32_t v = 0;
    const std::size_t n = std::min<std::size_t>(valueBytes.size(), 4);
    for (std::size_t i = n; i-- > 0;)
        v = (v << 8) | valueBytes[i];
    w.value = v;
    return w;
}

} // namespace quor::standin
