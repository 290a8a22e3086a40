// The one seam between the component's host side and a camera. A session is one opened camera, simulated or
// real; the host (dispatch adapter, shooting controller, view) asks it for properties, shots, live view and
// focus, and hears from it only through ISessionEvents, delivered by its SessionOutlet. Nothing on the host's side
// knows which kind of camera it talks to.
#pragma once

#include "component/storage/PhotoFiler.h"
#include "control/Variant.h"

#include <QImage>
#include <QPointF>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <string_view>

namespace quor::component {

class LiveView;

// What every session is given by the component: its live-view pipeline and its photo filer (both outlive it).
struct SessionServices {
    LiveView* live = nullptr;
    storage::PhotoFiler* filer = nullptr;
};

// Previews of photos (shown after a shot, layered in the onion skin) fit in a square of this side.
inline constexpr int kPreviewSize = 1024;

// A shot, a series or a bulb exposure the host asked for; its transfers are reported under it. Job 0 stands for
// a photo taken with the body's own button.
using JobId = std::uint64_t;

// What the lens and the focus are doing, for the view's focus frame and the debug overlay.
struct FocusState {
    bool manual = false;   // the lens is switched to MF: the body cannot drive it
    bool focusing = false; // autofocus is running
    bool inFocus = false;  // the last autofocus found the subject
    double position = -1;  // the focus position, 0 (near) .. 1 (far); -1 where the camera does not tell
};

// What a session reports. Called on the window's thread only, and only while the session is the open one.
class ISessionEvents {
public:
    virtual ~ISessionEvents() = default;
    virtual void OptionAdded(std::int32_t code, std::string_view text, std::int32_t value, bool enable) = 0;
    virtual void ValueChanged(std::int32_t code, std::string_view text) = 0;
    // OpenSucceed, ResetPropertyDesc: the dispatch interface's own notifications.
    virtual void Notify(const char* name, Variant argument) = 0;
    // Something the view shows has changed (battery, focus, a setting).
    virtual void Changed() = 0;
    // The camera is gone (pulled out, stopped answering); the host ends the session.
    virtual void Lost(const QString& reason) = 0;
    // Something for the user to read.
    virtual void Message(const QString& text) = 0;
    // The transfers of a job, in this order: start, progress..., then complete or failed.
    virtual void DownloadStart(JobId job) = 0;
    virtual void DownloadProgress(JobId job, int percent) = 0;
    // `path` is where the photo can be opened now (the host's name for it where it has one).
    virtual void DownloadComplete(JobId job, const QString& path, const QImage& preview) = 0;
    virtual void CaptureFailed(JobId job, const QString& reason) = 0;
};

class ICameraSession {
public:
    virtual ~ICameraSession() = default;

    // The host has let go of the camera: what runs on it (series, bulb, live view, downloads) ends, and nothing
    // more is reported. The session may still finish work in the background until Finished().
    virtual void End() = 0;
    virtual bool Finished() const = 0;
    // The process ends without destroying the session (after End): a thread of its own that has returned is
    // joined, one still running is let go (detached), never waited for.
    virtual void LeaveBehind() {}

    // Properties, by the dispatch interface's codes: the eleven lists and the information fields.
    virtual std::int32_t PropertyValue(std::int32_t code) const = 0;
    virtual std::string PropertyText(std::int32_t code) const = 0;
    // False when `value` is not on offer now. The value the camera settles on comes back as ValueChanged, inside
    // the call or later.
    virtual bool SetPropertyValue(std::int32_t code, std::int32_t value) = 0;
    virtual std::int32_t AvailableShots() const = 0;

    // Shooting. Each is false when the camera refuses (and the user is told why).
    virtual bool Shoot(JobId job, const storage::PhotoRequest& request) = 0;
    // A continuous series, every frame reported under `job`. False when the drive mode takes no series.
    virtual bool StartSeries(JobId job, const storage::PhotoRequest& request) = 0;
    virtual void StopSeries() = 0;
    virtual bool StartBulb() = 0;
    // Closes the shutter of a bulb exposure; it downloads as `request` says.
    virtual bool StopBulb(JobId job, const storage::PhotoRequest& request) = 0;
    // The shutter button held halfway (metering, focusing) or let go. Called only when that changes.
    virtual void HalfPress(bool on) = 0;
    // The body's own shutter button, pressed from the settings dialog in camera control. False where the camera
    // cannot be pressed from here (a real body's button is the user's).
    virtual bool PressBodyShutter(JobId job, const storage::PhotoRequest& request) = 0;
    // Transfers queued or running.
    virtual int Pending() const = 0;

    // Live view into the component's live-view pipeline.
    virtual bool StartLiveView() = 0;
    virtual void StopLiveView() = 0;
    virtual bool LiveViewRunning() const = 0;
    // DriveLens step codes (1..3 near, 0x8001..0x8003 far). False with the lens on MF or an unknown code.
    virtual bool DriveFocus(int code) = 0;
    virtual bool AutoFocus() = 0;
    // Where the AF point is, as a fraction of the frame.
    virtual void SetAfPoint(QPointF point) = 0;
    virtual FocusState Focus() const = 0;
    // Live-view magnification: `factor` 1, 5 or 10 around `centre` (a fraction of the whole frame; see
    // LiveZoom.h); the frames that follow show that region, until live view stops (it starts again at 1x). False
    // when the camera cannot magnify.
    virtual bool SetLiveZoom(int factor, QPointF centre) = 0;

    // The sizes of live-view frame the camera can send, in its own words (none: it offers no choice), and the
    // choice of one (a smaller frame comes faster). An unknown size is ignored.
    virtual std::vector<std::string> LiveViewSizes() const { return {}; }
    virtual void SetLiveViewSize(const std::string& /*size*/) {}

    // Lines the debug overlay shows about this camera.
    virtual QStringList DebugLines() const = 0;
};

} // namespace quor::component
