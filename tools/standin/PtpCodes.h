// PTP, PTP/IP and Canon EOS numbers the stand-in body speaks. Names follow the wire, not any one library.
#pragma once

#include <cstdint>

namespace quor::standin {

// PTP/IP packet types (u32 after the u32 length).
namespace packet {
inline constexpr std::uint32_t kInitCommandRequest = 1;
inline constexpr std::uint32_t kInitCommandAck = 2;
inline constexpr std::uint32_t kInitEventRequest = 3;
inline constexpr std::uint32_t kInitEventAck = 4;
inline constexpr std::uint32_t kInitFail = 5;
inline constexpr std::uint32_t kOperationRequest = 6;
inline constexpr std::uint32_t kOperationResponse = 7;
inline constexpr std::uint32_t kEvent = 8;
inline constexpr std::uint32_t kStartData = 9;
inline constexpr std::uint32_t kData = 10;
inline constexpr std::uint32_t kCancel = 11;
inline constexpr std::uint32_t kEndData = 12;
inline constexpr std::uint32_t kProbeRequest = 13;
inline constexpr std::uint32_t kProbeResponse = 14;
} // namespace packet

// Operation codes.
namespace op {
inline constexpr std::uint16_t kGetDeviceInfo = 0x1001;
inline constexpr std::uint16_t kOpenSession = 0x1002;
inline constexpr std::uint16_t kCloseSession = 0x1003;
inline constexpr std::uint16_t kGetStorageIds = 0x1004;
inline constexpr std::uint16_t kGetStorageInfo = 0x1005;
inline constexpr std::uint16_t kGetNumObjects = 0x1006;
inline constexpr std::uint16_t kGetObjectHandles = 0x1007;
inline constexpr std::uint16_t kGetObjectInfo = 0x1008;
inline constexpr std::uint16_t kGetObject = 0x1009;
inline constexpr std::uint16_t kDeleteObject = 0x100B;
inline constexpr std::uint16_t kGetPartialObject = 0x101B;
inline constexpr std::uint16_t kEosGetStorageIds = 0x9101;
inline constexpr std::uint16_t kEosGetStorageInfo = 0x9102;
inline constexpr std::uint16_t kEosSetDevicePropValueEx = 0x9110;
inline constexpr std::uint16_t kEosSetRemoteMode = 0x9114;
inline constexpr std::uint16_t kEosSetEventMode = 0x9115;
inline constexpr std::uint16_t kEosGetEvent = 0x9116;
inline constexpr std::uint16_t kEosTransferComplete = 0x9117;
inline constexpr std::uint16_t kEosPcHddCapacity = 0x911A;
inline constexpr std::uint16_t kEosSetUiLock = 0x911B;
inline constexpr std::uint16_t kEosResetUiLock = 0x911C;
inline constexpr std::uint16_t kEosKeepDeviceOn = 0x911D;
inline constexpr std::uint16_t kEosBulbStart = 0x9125;
inline constexpr std::uint16_t kEosBulbEnd = 0x9126;
inline constexpr std::uint16_t kEosRemoteReleaseOn = 0x9128;
inline constexpr std::uint16_t kEosRemoteReleaseOff = 0x9129;
inline constexpr std::uint16_t kEosGetViewFinderData = 0x9153;
inline constexpr std::uint16_t kEosDoAf = 0x9154;
inline constexpr std::uint16_t kEosDriveLens = 0x9155;
inline constexpr std::uint16_t kEosZoom = 0x9158;
inline constexpr std::uint16_t kEosZoomPosition = 0x9159;
inline constexpr std::uint16_t kEosAfCancel = 0x9160;
} // namespace op

// Response codes.
namespace rc {
inline constexpr std::uint16_t kOk = 0x2001;
inline constexpr std::uint16_t kGeneralError = 0x2002;
inline constexpr std::uint16_t kSessionNotOpen = 0x2003;
inline constexpr std::uint16_t kOperationNotSupported = 0x2005;
inline constexpr std::uint16_t kParameterNotSupported = 0x2006;
inline constexpr std::uint16_t kInvalidStorageId = 0x2008;
inline constexpr std::uint16_t kInvalidObjectHandle = 0x2009;
inline constexpr std::uint16_t kDevicePropNotSupported = 0x200A;
inline constexpr std::uint16_t kDeviceBusy = 0x2019;
inline constexpr std::uint16_t kInvalidDevicePropValue = 0x201C;
inline constexpr std::uint16_t kInvalidParentObject = 0x201A;
inline constexpr std::uint16_t kInvalidParameter = 0x201D;
inline constexpr std::uint16_t kSessionAlreadyOpen = 0x201E;
inline constexpr std::uint16_t kEosNotReady = 0xA102;
} // namespace rc

// Record types inside a GetEvent answer.
namespace ev {
inline constexpr std::uint32_t kObjectAddedEx = 0xC181;
inline constexpr std::uint32_t kObjectRemoved = 0xC182;
inline constexpr std::uint32_t kRequestObjectTransfer = 0xC186;
inline constexpr std::uint32_t kPropValueChanged = 0xC189;
inline constexpr std::uint32_t kAvailListChanged = 0xC18A;
inline constexpr std::uint32_t kCameraStatusChanged = 0xC18B;
} // namespace ev

// Device property codes of an EOS body.
namespace prop {
inline constexpr std::uint16_t kAperture = 0xD101;
inline constexpr std::uint16_t kShutterSpeed = 0xD102;
inline constexpr std::uint16_t kIso = 0xD103;
inline constexpr std::uint16_t kExposureCompensation = 0xD104;
inline constexpr std::uint16_t kAutoExposureMode = 0xD105;
inline constexpr std::uint16_t kDriveMode = 0xD106;
inline constexpr std::uint16_t kMeteringMode = 0xD107;
inline constexpr std::uint16_t kFocusMode = 0xD108;
inline constexpr std::uint16_t kWhiteBalance = 0xD109;
inline constexpr std::uint16_t kBatteryPower = 0xD111;
inline constexpr std::uint16_t kAvailableShots = 0xD11B;
inline constexpr std::uint16_t kCaptureDestination = 0xD11C;
inline constexpr std::uint16_t kImageFormat = 0xD120;
inline constexpr std::uint16_t kSerialNumber = 0xD1AF;
inline constexpr std::uint16_t kEvfOutputDevice = 0xD1B0;
inline constexpr std::uint16_t kEvfMode = 0xD1B1;
inline constexpr std::uint16_t kFocusInfoEx = 0xD1D3;
inline constexpr std::uint16_t kLensName = 0xD1D8;
} // namespace prop

// Values with a meaning to the body itself.
inline constexpr std::uint32_t kCanonVendorId = 0x0000000B;
inline constexpr std::uint32_t kShutterBulb = 0x0C;
inline constexpr std::uint32_t kFocusManual = 3;
inline constexpr std::uint32_t kEvfOutputPc = 2;
inline constexpr std::uint32_t kEvfOutputPcMedium = 4; // "Medium" live view size: two thirds
inline constexpr std::uint32_t kEvfOutputPcSmall = 8;  // "Small": half
inline constexpr std::uint32_t kEvfOutputHost = kEvfOutputPc | kEvfOutputPcMedium | kEvfOutputPcSmall;
inline constexpr std::uint32_t kDestinationCard = 1;
inline constexpr std::uint32_t kDestinationHost = 4;
inline constexpr std::uint32_t kCardStorage = 0x00010001;
inline constexpr std::uint16_t kFormatAssociation = 0x3001;
inline constexpr std::uint16_t kFormatJpeg = 0x3801;
inline constexpr std::uint16_t kFormatCr2 = 0xB103;

} // namespace quor::standin
