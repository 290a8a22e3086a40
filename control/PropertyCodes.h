// Camera property codes carried by calls and events.
#pragma once

#include <array>
#include <cstdint>

namespace quor::prop {

inline constexpr std::int32_t ModelName = 0x2;
inline constexpr std::int32_t SerialNumber = 0x3;
inline constexpr std::int32_t FirmwareVersion = 0x7;
inline constexpr std::int32_t BatteryLevel = 0x8;
inline constexpr std::int32_t SaveTo = 0xB; // 1 the camera's card, 2 the computer
inline constexpr std::int32_t ImageQuality = 0x100;
inline constexpr std::int32_t WhiteBalance = 0x106;
inline constexpr std::int32_t DriveMode = 0x401;
inline constexpr std::int32_t IsoSpeed = 0x402;
inline constexpr std::int32_t MeteringMode = 0x403;
inline constexpr std::int32_t AfMode = 0x404;
inline constexpr std::int32_t Aperture = 0x405;
inline constexpr std::int32_t ShutterSpeed = 0x406;
inline constexpr std::int32_t ExposureCompensation = 0x407;
inline constexpr std::int32_t AvailableShots = 0x40A;
inline constexpr std::int32_t ShootingMode = 0x436;
inline constexpr std::int32_t LiveViewAfMode = 0x50E;

inline constexpr std::int32_t SaveToCamera = 1;
inline constexpr std::int32_t SaveToComputer = 2;

// The eleven list-valued properties, in the order a body reports them.
inline constexpr std::array<std::int32_t, 11> kListCodes = {ShootingMode, ShutterSpeed,  Aperture,      IsoSpeed,
                                                            MeteringMode, ExposureCompensation, ImageQuality,
                                                            WhiteBalance, DriveMode,     AfMode,        LiveViewAfMode};
constexpr bool IsListProperty(std::int32_t code) {
    for (std::int32_t c : kListCodes)
        if (c == code)
            return true;
    return false;
}

} // namespace quor::prop
