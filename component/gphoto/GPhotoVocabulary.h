// How a libgphoto2 camera's configuration maps onto the component: which widget carries which property code,
// how the library's option texts read in the component's vocabulary, network camera addresses, and file names
// coming from the camera. Pure functions, no libgphoto2 calls.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quor::component::gphoto {

// A widget that may carry a property. A property may have several, from different makers' bodies: the camera
// worker binds each property to the first of its widgets the body has, and a property none of them is on is not
// offered at all.
struct WidgetBinding {
    std::int32_t code;  // property code the component reports it under
    const char* widget; // libgphoto2 configuration name
};

// Every widget the worker may bind, grouped by property code, each group in order of preference.
std::span<const WidgetBinding> Widgets();
// The widgets that may carry property `code`, in order of preference; empty when the library offers none.
std::vector<const char*> WidgetsFor(std::int32_t code);
// The binding of `widget`; nullptr for a widget the component does not use.
const WidgetBinding* BindingFor(std::string_view widget);

// The widgets of actions (rather than settings); a body lacking one cannot do what it is for from here.
inline constexpr char kManualFocusDrive[] = "manualfocusdrive";
inline constexpr char kAutofocusDrive[] = "autofocusdrive";
inline constexpr char kViewfinder[] = "viewfinder";
inline constexpr char kBulb[] = "bulb";
// The size of the live-view frames the body sends (Canon "Large"/"Medium"/"Small", other makers' own names).
inline constexpr char kLiveViewSize[] = "liveviewsize";
inline constexpr char kRemoteRelease[] = "eosremoterelease"; // half-press, series, bulb on Canon EOS
// An EOS body's live-view magnifier: one frame, a fifth of the picture each way, that is also the AF frame in live
// view. "eoszoomposition" takes "x,y", the frame's top-left corner in the body's live-view coordinates;
// "eoszoom" takes the magnification, "1", "5" or "10", and magnifies around the frame.
inline constexpr char kZoom[] = "eoszoom";
inline constexpr char kZoomPosition[] = "eoszoomposition";
std::span<const char* const> ActionWidgets();

// An EOS body's focus information ("eosversion=2,size=6000x4000,size2=6000x4000,points={...},..."): its AF points
// and the size of the picture they are placed in, the coordinates the magnifier frame is placed in too.
inline constexpr char kFocusInfo[] = "focusinfo";
struct PictureSize {
    int width = 0, height = 0;
    bool operator==(const PictureSize&) const = default;
};
// The size a focus information text gives; nullopt when it gives none (a body reporting no points says so in words).
std::optional<PictureSize> FocusInfoSize(std::string_view text);
// The "x,y" that places the magnifier frame around (x, y), fractions of the picture, in a picture of `size`: the
// frame's top-left corner, moved inside the picture where the point lies near an edge.
std::string ZoomFramePosition(double x, double y, PictureSize size);

inline constexpr char kCaptureTarget[] = "capturetarget";
inline constexpr char kTargetCard[] = "Memory card";
inline constexpr char kTargetRam[] = "Internal RAM";

// The widget a library change event names: the quoted widget name in `PTP Property d102 changed, "shutterspeed"
// to "1/250"`, or, when no name is given, the widget of the hexadecimal property code (a Canon EOS or a generic
// PTP code). nullopt when the event is about something else.
std::optional<std::string> WidgetFromEventText(std::string_view text);

// An option text of property `code` as the component shows it, whichever maker's words it comes in
// ("Continuous" and "Burst" -> "Continuous Shooting", "bulb" -> "Bulb", "Manual" and "MF (fixed)" focus ->
// "Manual Focus", "-0.5" -> "-1/2", "5.6" and "f/5.6" -> "F5.6", "0.0100s" -> "1/100", "M" -> "Manual exposure",
// "NEF+Fine" -> "RAW + Fine"). Unknown texts pass through unchanged.
std::string ToComponentText(std::int32_t code, std::string_view text);

// Battery text ("100%", "Full", "50") in percent; -1 when it says nothing usable.
int BatteryPercent(std::string_view text);

// The manualfocusdrive choice for a DriveLens step code (1..3 near, 0x8001..0x8003 far); nullptr otherwise.
const char* FocusStepChoice(int code);

// A network camera: host (name or IPv4 address) and PTP/IP port.
struct NetworkCamera {
    static constexpr std::uint16_t kDefaultPort = 15740;
    std::string host;
    std::uint16_t port = kDefaultPort;

    // libgphoto2's port path. The port is named twice: the library connects its event channel to the second.
    std::string PortPath() const;
    std::string DisplayName() const;
    bool operator==(const NetworkCamera&) const = default;
};

// The live-view AF modes an EOS body knows, in the component's words. libgphoto2 2.5.30 has no widget for them:
// on an EOS body they are offered, but cannot be chosen.
std::span<const char* const> LiveViewAfModeTexts();

// Parses "host[:port][,host[:port]...]". Entries that are not a plain host name or address with an optional
// port from 1 to 65535 are left out and named in `rejected`.
std::vector<NetworkCamera> ParseNetworkCameras(std::string_view list, std::vector<std::string>* rejected = nullptr);

// A file name from the camera, reduced to a base name that is safe to create in a folder of ours: no folders,
// no "..", no control characters, nothing outside printable ASCII, not hidden. Empty when nothing usable is
// left.
std::string SafeBaseName(std::string_view cameraName);

// Plain words for an open that failed with libgphoto2 error `result` (what happened and what to do).
std::string DescribeOpenFailure(int result, std::string_view libraryText);

} // namespace quor::component::gphoto
