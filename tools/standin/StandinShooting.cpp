// The stand-in body's shutter: half press and AF, single shots, series and bulb exposures, and the time each takes.
//
// A release exposes for the shutter time, then the body develops the files for the processing time; only then
// are they stored and announced. CameraStatusChanged says 1 from the release until the last exposure in progress
// has its files out, then 0 (hosts take the 0 as "capture complete"). Nothing runs on a clock of its own: every
// GetEvent brings the body up to the present (AdvanceLocked), which is when a host could first have heard.
#include "tools/standin/StandinBody.h"

#include "tools/standin/JpegMaker.h"
#include "tools/standin/PtpCodes.h"
#include "tools/standin/Wire.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace quor::standin {

namespace {

bool IsContinuousDrive(std::uint32_t drive) { return drive == 0x01 || drive == 0x04 || drive == 0x05; }

// An EOS shutter code in seconds: 0x38 is one second, eight codes make a stop (0x10 is 30", 0x98 is 1/4000).
double ShutterSeconds(std::uint32_t code) {
    if (code < 0x10 || code > 0xA0)
        return 1.0 / 125;
    return std::exp2((0x38 - static_cast<double>(code)) / 8.0);
}

} // namespace

// AF and the half press ----------------------------------------------------------------------------------------

void StandinBody::DoAf(const Request&, Reply&) {
    if (props_.Find(prop::kFocusMode)->value != kFocusManual)
        QueueFocusInfoLocked();
}

void StandinBody::QueueFocusInfoLocked(bool described) {
    Writer w;
    w.U32(0).U32(ev::kPropValueChanged).U32(prop::kFocusInfoEx);
    if (!described) {
        // No points in it: enough for a host waiting for the AF to report back.
        w.U32(20).U16(16).U16(0).U32(0).U32(0).U32(0);
    } else {
        // Size, size - 4, version, points in the record and in use, the picture's size twice; then the points'
        // heights, widths, x and y (from the centre), one bit a point for the selected ones, and padding.
        const std::uint16_t width = options_.sensorWidth, height = options_.sensorHeight;
        w.U32(32).U16(28).U16(2).U16(1).U16(1).U16(width).U16(height).U16(width).U16(height);
        w.U16(static_cast<std::uint16_t>(height / 20)).U16(static_cast<std::uint16_t>(width / 30)).U16(0).U16(0);
        w.U32(1);
    }
    w.PatchU32(0, static_cast<std::uint32_t>(w.Size()));
    QueueRecords(w.Get());
}

// Releases -----------------------------------------------------------------------------------------------------

void StandinBody::BulbStart(const Request&, Reply& reply) {
    if (props_.Find(prop::kShutterSpeed)->value != kShutterBulb || bulbOpen_) {
        reply.code = rc::kGeneralError;
        return;
    }
    OpenBulbLocked("");
}

void StandinBody::BulbEnd(const Request&, Reply& reply) {
    if (!bulbOpen_) {
        reply.code = rc::kGeneralError;
        return;
    }
    CloseBulbLocked("");
}

void StandinBody::RemoteReleaseOn(const Request& request, Reply&) {
    AdvanceLocked(Clock::now());
    if (request.Param(0) == 1) { // half press: metering and AF
        if (props_.Find(prop::kFocusMode)->value != kFocusManual)
            QueueFocusInfoLocked();
        return;
    }
    // Full press (2, or 3 without AF).
    if (props_.Find(prop::kShutterSpeed)->value == kShutterBulb) {
        if (!bulbOpen_)
            OpenBulbLocked(" (remote release)");
    } else if (IsContinuousDrive(props_.Find(prop::kDriveMode)->value)) {
        seriesRunning_ = true;
        seriesStart_ = Clock::now();
        seriesShots_ = 0;
        SetBusyLocked(true);
        CatchUpSeriesLocked(seriesStart_);
        Trace("series started");
    } else {
        ExposeLocked(Clock::now());
    }
}

void StandinBody::RemoteReleaseOff(const Request& request, Reply&) {
    if (request.Param(0) != 2 && request.Param(0) != 3)
        return;
    const auto now = Clock::now();
    AdvanceLocked(now);
    if (bulbOpen_)
        CloseBulbLocked(" (remote release)");
    if (seriesRunning_) {
        seriesRunning_ = false;
        Trace("series ended after " + std::to_string(seriesShots_) + " shots");
        AdvanceLocked(now);
    }
}

void StandinBody::OpenBulbLocked(const char* how) {
    bulbOpen_ = true;
    bulbSince_ = Clock::now();
    SetBusyLocked(true);
    Trace(std::string("bulb open") + how);
}

void StandinBody::CloseBulbLocked(const char* how) {
    bulbOpen_ = false;
    const auto now = Clock::now();
    // The shutter was open from the press until now; the files follow after the processing time.
    developing_.push_back({now + options_.processingTime, ++shotsTaken_});
    Trace(std::string("bulb closed") + how + " after " +
          std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(now - bulbSince_).count()) + " ms");
}

void StandinBody::ReleaseOnBody() {
    std::lock_guard lock(state_);
    ExposeLocked(Clock::now());
    Trace("released with the body's own button");
}

// Time ---------------------------------------------------------------------------------------------------------

StandinBody::Clock::duration StandinBody::ShutterTimeLocked() const {
    const auto seconds = std::chrono::duration<double>(ShutterSeconds(props_.Find(prop::kShutterSpeed)->value));
    return std::chrono::duration_cast<Clock::duration>(seconds);
}

void StandinBody::ExposeLocked(Clock::time_point start) {
    SetBusyLocked(true);
    developing_.push_back({start + ShutterTimeLocked() + options_.processingTime, ++shotsTaken_});
}

void StandinBody::AdvanceLocked(Clock::time_point now) {
    CatchUpSeriesLocked(now);
    // Making a shot's files takes this process real time (a tenth of a second each under ThreadSanitizer), and
    // it happens inside the host's request: a host that has not asked for a while hears of a few shots per
    // answer and of the rest at its next ask, so that no answer keeps it waiting past its time-out.
    constexpr int kShotsPerAnswer = 4;
    for (int made = 0; made < kShotsPerAnswer && !developing_.empty() && developing_.front().due <= now; ++made) {
        const std::uint32_t number = developing_.front().number;
        developing_.pop_front();
        DevelopShotLocked(number);
    }
    if (developing_.empty() && !bulbOpen_ && !seriesRunning_)
        SetBusyLocked(false);
}

void StandinBody::CatchUpSeriesLocked(Clock::time_point now) {
    if (!seriesRunning_)
        return;
    // A frame every series interval, or every exposure when the shutter is slower than that. The RAM buffer
    // holds the series back while the host has not fetched what it holds.
    const auto interval = std::max<Clock::duration>(options_.seriesInterval, ShutterTimeLocked());
    const auto step = std::max<Clock::duration>(interval, std::chrono::milliseconds(1));
    const auto due = static_cast<std::uint32_t>((now - seriesStart_) / step) + 1;
    while (seriesShots_ < due && shots_.size() + developing_.size() < options_.maxHeldShots) {
        // A frame held back by a full buffer is taken as soon as there is room again.
        ExposeLocked(std::max(seriesStart_ + seriesShots_ * step, now - step));
        ++seriesShots_;
    }
}

void StandinBody::SetBusyLocked(bool busy) {
    if (busy == busy_)
        return;
    busy_ = busy;
    Writer w;
    w.U32(12).U32(ev::kCameraStatusChanged).U32(busy ? 1 : 0);
    QueueRecords(w.Get());
}

// Files --------------------------------------------------------------------------------------------------------

void StandinBody::DevelopShotLocked(std::uint32_t number) {
    // One file per entry of the image format, in its order: a RAW file (stand-in bytes behind a TIFF header, as
    // a CR2 starts) and/or a JPEG.
    const std::uint32_t format = props_.Find(prop::kImageFormat)->value;
    std::vector<std::uint32_t> files = {(format >> 8) & 0xFF};
    if (format & 0xFF)
        files.push_back(format & 0xFF);
    for (std::uint32_t file : files) {
        const bool raw = (file & 0x08) != 0;
        char name[32];
        std::snprintf(name, sizeof name, raw ? "IMG_%04u.CR2" : "IMG_%04u.JPG", number % 10000);
        StoredObject object{name, raw ? kFormatCr2 : kFormatJpeg, 0, {}};
        if (raw) {
            object.bytes.assign(options_.photoBytes, static_cast<std::uint8_t>(number));
            const std::uint8_t tiff[] = {'I', 'I', 42, 0, 8, 0, 0, 0};
            std::copy(std::begin(tiff), std::end(tiff), object.bytes.begin());
        } else {
            object.bytes = MakePhotoJpeg(options_.photoBytes, number);
        }
        StoreFileLocked(std::move(object));
    }

    // The counter of shots that still fit goes down, but never to 0 (a host waits for it to be above 0).
    const Property* left = props_.Find(prop::kAvailableShots);
    if (left && left->value > 1) {
        props_.Set({prop::kAvailableShots, left->value - 1, {}}, true);
        QueueRecords(props_.Records(prop::kAvailableShots));
    }
}

} // namespace quor::standin
