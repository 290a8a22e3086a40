#include "component/gphoto/GPhotoVocabulary.h"

#include "control/PropertyCodes.h"

#include <QCoreApplication>
#include <QString>

#include <gphoto2/gphoto2-port-result.h>
#include <gphoto2/gphoto2-result.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace quor::component::gphoto {
namespace {

// Each property's widgets in order of preference: a body is bound to the first of them it has. Canon EOS names
// come first, so an EOS body reads as it always has; then the generic PTP names (Nikon, Sony, Fuji and most others
// use them), then the other makers' own.
constexpr WidgetBinding kWidgets[] = {
    {prop::ShootingMode, "autoexposuremode"}, // Canon EOS
    {prop::ShootingMode, "expprogram"},       // generic PTP: Nikon, Sony, Fuji, Olympus
    {prop::ShootingMode, "expprogram2"},      // Nikon 1
    {prop::ShootingMode, "expmode"},          // Panasonic
    {prop::ShootingMode, "shootingmode"},     // Canon PowerShot
    {prop::ShutterSpeed, "shutterspeed"},
    {prop::ShutterSpeed, "shutterspeed2"}, // Nikon's own, where the generic one is missing
    {prop::Aperture, "aperture"},          // Canon, Fuji, Olympus, Nikon 1
    {prop::Aperture, "f-number"},          // generic PTP, Sony, Panasonic
    {prop::IsoSpeed, "iso"},
    {prop::MeteringMode, "meteringmode"},      // Canon
    {prop::MeteringMode, "exposuremetermode"}, // generic PTP, Olympus
    {prop::ExposureCompensation, "exposurecompensation"},
    {prop::ImageQuality, "imageformat"},   // Canon EOS, Fuji, Olympus, Panasonic
    {prop::ImageQuality, "imagequality"},  // generic PTP, Nikon, Sony, Canon PowerShot
    {prop::ImageQuality, "imagequality2"}, // Nikon 1
    {prop::WhiteBalance, "whitebalance"},
    {prop::DriveMode, "drivemode"},   // Canon EOS
    {prop::DriveMode, "capturemode"}, // generic PTP (still capture mode), Nikon, Sony, Fuji
    {prop::AfMode, "focusmode"},
    {prop::AfMode, "focusmode2"}, // Nikon's autofocus mode
    {prop::AfMode, "afmode"},     // Panasonic
    {prop::LiveViewAfMode, "afmethod"},       // Canon EOS, libgphoto2 2.5.31 on
    {prop::LiveViewAfMode, "liveviewafmode"}, // Nikon
    {prop::BatteryLevel, "batterylevel"},
    {prop::AvailableShots, "availableshots"},
    {prop::SaveTo, kCaptureTarget},
    {prop::SerialNumber, "eosserialnumber"},
    {prop::SerialNumber, "serialnumber"}, // from the device information, every body has it
    {prop::FirmwareVersion, "deviceversion"},
    {prop::ModelName, "cameramodel"},
};

// The properties a change event may name only by its code: Canon EOS codes, then the generic PTP ones.
struct EventCode {
    std::uint16_t ptp;
    const char* widget;
};
constexpr EventCode kEventCodes[] = {
    {0xD105, "autoexposuremode"}, {0xD102, "shutterspeed"},   {0xD101, "aperture"},
    {0xD103, "iso"},              {0xD107, "meteringmode"},   {0xD104, "exposurecompensation"},
    {0xD120, "imageformat"},      {0xD109, "whitebalance"},   {0xD106, "drivemode"},
    {0xD108, "focusmode"},        {0xD111, "batterylevel"},   {0xD11B, "availableshots"},
    {0xD11C, kCaptureTarget},     {0xD1AF, "eosserialnumber"}, {0x5001, "batterylevel"},
    {0x5004, "imagequality"},     {0x5005, "whitebalance"},   {0x5007, "f-number"},
    {0x500A, "focusmode"},        {0x500B, "exposuremetermode"}, {0x500D, "shutterspeed"},
    {0x500E, "expprogram"},       {0x500F, "iso"},            {0x5010, "exposurecompensation"},
    {0x5013, "capturemode"},      {0xD1D3, kFocusInfo},
};

constexpr const char* kActions[] = {kRemoteRelease, kViewfinder, kManualFocusDrive, kAutofocusDrive, kBulb,
                                    kZoom,          kZoomPosition};

} // namespace

std::span<const WidgetBinding> Widgets() { return kWidgets; }

std::vector<const char*> WidgetsFor(std::int32_t code) {
    std::vector<const char*> names;
    for (const WidgetBinding& b : kWidgets)
        if (b.code == code)
            names.push_back(b.widget);
    return names;
}

const WidgetBinding* BindingFor(std::string_view widget) {
    for (const WidgetBinding& b : kWidgets)
        if (widget == b.widget)
            return &b;
    return nullptr;
}

std::span<const char* const> ActionWidgets() { return kActions; }

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
    for (const EventCode& e : kEventCodes)
        if (e.ptp == code)
            return std::string(e.widget);
    return std::nullopt;
}

std::optional<PictureSize> FocusInfoSize(std::string_view text) {
    // "size=" comes before "size2=", which does not contain it.
    constexpr std::string_view kKey = "size=";
    const auto at = text.find(kKey);
    if (at == std::string_view::npos)
        return std::nullopt;
    const std::string rest(text.substr(at + kKey.size(), 16));
    char* end = nullptr;
    const long width = std::strtol(rest.c_str(), &end, 10);
    if (end == rest.c_str() || *end != 'x')
        return std::nullopt;
    const char* heightText = end + 1;
    const long height = std::strtol(heightText, &end, 10);
    if (end == heightText || width <= 0 || height <= 0 || width > 100000 || height > 100000)
        return std::nullopt;
    return PictureSize{static_cast<int>(width), static_cast<int>(height)};
}

std::string ZoomFramePosition(double x, double y, PictureSize size) {
    auto corner = [](double at, int side) {
        const double frame = side / 5.0;
        return static_cast<long>(std::lround(std::clamp(at * side - frame / 2, 0.0, side - frame)));
    };
    return std::to_string(corner(x, size.width)) + "," + std::to_string(corner(y, size.height));
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

std::string NetworkCamera::DisplayName() const {
    return QCoreApplication::translate("quor::gphoto", "网络相机 %1:%2")
        .arg(QString::fromStdString(host), QString::number(port))
        .toStdString();
}

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
    QString text;
    switch (result) {
    case GP_ERROR_IO_USB_CLAIM:
    case GP_ERROR_IO_LOCK:
        text = QCoreApplication::translate(
            "quor::gphoto", "相机被另一个程序占用，通常是桌面的照片自动导入（gvfs-gphoto2-volume-monitor，"
                            "或正在显示相机的文件管理器）。请在文件管理器中卸载相机，或停止该服务（systemctl --user "
                            "stop gvfs-gphoto2-volume-monitor; pkill gvfsd-gphoto2），然后重新打开相机。");
        break;
    case GP_ERROR_IO_USB_FIND:
    case GP_ERROR_MODEL_NOT_FOUND:
        text = QCoreApplication::translate("quor::gphoto", "相机已断开连接。请检查数据线，并确认相机已开机。");
        break;
    case GP_ERROR_IO_INIT:
        // Over USB this is nearly always a missing permission on the device node.
        text = QCoreApplication::translate(
            "quor::gphoto", "无法建立与相机的连接。USB 相机：请安装 libgphoto2 的 udev 规则，并将当前用户加入 "
                            "plugdev 组，然后重新插上相机。网络相机：请检查它的地址，并确认相机已开机。");
        break;
    case GP_ERROR_CAMERA_BUSY:
        text = QCoreApplication::translate(
            "quor::gphoto", "相机一直处于忙碌状态。请等它完成手头的操作（写入存储卡、打开了菜单）后再试。");
        break;
    default:
        text = QCoreApplication::translate("quor::gphoto", "无法打开相机（%1）。请检查相机是否已开机并已连接。")
                   .arg(QString::fromUtf8(libraryText.data(), qsizetype(libraryText.size())));
        break;
    }
    return text.toStdString();
}

} // namespace quor::component::gphoto
