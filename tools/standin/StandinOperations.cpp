// The stand-in body's operations: what each PTP and EOS operation does to the body's state and what it answers.
// The connection side (StandinBody.cpp) hands every operation to Handle.
#include "tools/standin/StandinBody.h"

#include "tools/standin/JpegMaker.h"
#include "tools/standin/PtpCodes.h"
#include "tools/standin/Wire.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace quor::standin {

StandinBody::Reply StandinBody::Handle(const Request& request) {
    struct Entry {
        std::uint16_t code;
        Handler handler;
    };
    static constexpr Entry kHandlers[] = {
        {op::kCloseSession, &StandinBody::CloseSession},
        {op::kGetStorageIds, &StandinBody::GetStorageIds},
        {op::kGetStorageInfo, &StandinBody::GetStorageInfo},
        {op::kGetObjectHandles, &StandinBody::GetObjectHandles},
        {op::kGetObjectInfo, &StandinBody::GetObjectInfo},
        {op::kGetObject, &StandinBody::GetObject},
        {op::kGetPartialObject, &StandinBody::GetObject},
        {op::kDeleteObject, &StandinBody::DeleteObject},
        {op::kEosGetStorageIds, &StandinBody::GetStorageIds},
        {op::kEosGetStorageInfo, &StandinBody::GetEosStorageInfo},
        {op::kEosSetRemoteMode, &StandinBody::AnswerOk},
        {op::kEosSetEventMode, &StandinBody::AnswerOk},
        {op::kEosKeepDeviceOn, &StandinBody::AnswerOk},
        {op::kEosSetUiLock, &StandinBody::AnswerOk},
        {op::kEosResetUiLock, &StandinBody::AnswerOk},
        {op::kEosPcHddCapacity, &StandinBody::AnswerOk},
        {op::kEosAfCancel, &StandinBody::AnswerOk},
        {op::kEosDriveLens, &StandinBody::AnswerOk},
        {op::kEosDoAf, &StandinBody::DoAf},
        {op::kEosSetDevicePropValueEx, &StandinBody::SetPropertyValue},
        {op::kEosGetEvent, &StandinBody::GetEvent},
        {op::kEosTransferComplete, &StandinBody::TransferComplete},
        {op::kEosBulbStart, &StandinBody::BulbStart},
        {op::kEosBulbEnd, &StandinBody::BulbEnd},
        {op::kEosRemoteReleaseOn, &StandinBody::RemoteReleaseOn},
        {op::kEosRemoteReleaseOff, &StandinBody::RemoteReleaseOff},
        {op::kEosGetViewFinderData, &StandinBody::GetViewFinderData},
        {op::kEosZoom, &StandinBody::SetZoom},
        {op::kEosZoomPosition, &StandinBody::SetZoomPosition},
    };

    Reply reply;
    reply.code = rc::kOk;
    // The device info needs no session (and no body state).
    if (request.code == op::kGetDeviceInfo) {
        reply.data = DeviceInfo();
        return reply;
    }

    std::lock_guard lock(state_);
    if (request.code == op::kOpenSession) {
        OpenSessionLocked(request, reply);
        return reply;
    }
    if (sessionOwner_ != request.connection) {
        reply.code = rc::kSessionNotOpen;
        return reply;
    }
    const auto entry = std::find_if(std::begin(kHandlers), std::end(kHandlers),
                                    [&](const Entry& e) { return e.code == request.code; });
    const bool absent =
        !options_.liveViewZoom && (request.code == op::kEosZoom || request.code == op::kEosZoomPosition);
    if (entry == std::end(kHandlers) || absent)
        reply.code = rc::kOperationNotSupported;
    else
        (this->*entry->handler)(request, reply);
    return reply;
}

std::vector<std::uint8_t> StandinBody::DeviceInfo() const {
    static constexpr std::uint16_t kZoomOps[] = {op::kEosZoom, op::kEosZoomPosition};
    static constexpr std::uint16_t kOps[] = {
        op::kGetDeviceInfo,        op::kOpenSession,        op::kCloseSession,
        op::kGetStorageIds,        op::kGetStorageInfo,     op::kGetObjectHandles,
        op::kGetObjectInfo,        op::kGetObject,          op::kGetPartialObject,
        op::kDeleteObject,         op::kEosGetStorageIds,   op::kEosGetStorageInfo,
        op::kEosSetDevicePropValueEx,
        op::kEosSetRemoteMode,     op::kEosSetEventMode,    op::kEosGetEvent,
        op::kEosTransferComplete,  op::kEosPcHddCapacity,   op::kEosSetUiLock,
        op::kEosResetUiLock,       op::kEosKeepDeviceOn,    op::kEosBulbStart,
        op::kEosBulbEnd,           op::kEosRemoteReleaseOn, op::kEosRemoteReleaseOff,
        op::kEosGetViewFinderData, op::kEosDoAf,            op::kEosDriveLens,
        op::kEosAfCancel,
    };
    static constexpr std::uint16_t kEvents[] = {ev::kObjectAddedEx, ev::kObjectRemoved,     ev::kRequestObjectTransfer,
                                                ev::kPropValueChanged, ev::kAvailListChanged,
                                                ev::kCameraStatusChanged};
    static constexpr std::uint16_t kCaptureFormats[] = {kFormatJpeg, kFormatCr2};
    static constexpr std::uint16_t kFormats[] = {kFormatAssociation, kFormatJpeg, kFormatCr2};
    Writer w;
    w.U16(100).U32(kCanonVendorId).U16(100).PtpString("").U16(0);
    std::vector<std::uint16_t> ops(std::begin(kOps), std::end(kOps));
    if (options_.liveViewZoom)
        ops.insert(ops.end(), std::begin(kZoomOps), std::end(kZoomOps));
    w.U16Array(ops).U16Array(kEvents);
    // No properties here: an EOS body reports them through GetEvent only. A host that finds them listed
    // takes the generic GetDevicePropDesc path, which an EOS body does not offer.
    w.U16Array({}).U16Array(kCaptureFormats).U16Array(kFormats);
    w.PtpString(options_.manufacturer).PtpString(options_.model).PtpString(options_.deviceVersion);
    w.PtpString(options_.serialNumber);
    return w.Take();
}

// Sessions ----------------------------------------------------------------------------------------------------

void StandinBody::OpenSessionLocked(const Request& request, Reply& reply) {
    if (sessionOwner_ == request.connection) {
        reply.code = rc::kSessionAlreadyOpen;
        return;
    }
    // A new session (from a new connection, the old one being gone) starts afresh and hears every property.
    sessionOwner_ = request.connection;
    bulbOpen_ = false;
    seriesRunning_ = false;
    EndLiveViewLocked();
    pendingRecords_ = props_.AllRecords();
    QueueFocusInfoLocked(true);
}

// A host that closes its session in the middle of a bulb exposure or a series leaves them running, as a body
// does; the next session ends them.
void StandinBody::CloseSession(const Request&, Reply&) {
    sessionOwner_ = 0;
    EndLiveViewLocked();
}

void StandinBody::EndLiveViewLocked() {
    // Live view ends with the session that ran it; the next host finds the body showing nothing on the PC.
    props_.Set({prop::kEvfOutputDevice, 0, {}}, true);
    props_.Set({prop::kEvfMode, 0, {}}, true);
    lastFrame_ = -1;
    zoom_.factor = 1;
}

// Modes, UI lock, keep-alive, PC capacity and lens moves: taken and answered, nothing on the body changes.
void StandinBody::AnswerOk(const Request&, Reply&) {}

// Properties and events ---------------------------------------------------------------------------------------

void StandinBody::SetPropertyValue(const Request& request, Reply& reply) {
    // From the release until the files are out the body takes no new settings.
    AdvanceLocked(Clock::now());
    if (busy_) {
        reply.code = rc::kDeviceBusy;
        return;
    }
    auto write = EosProperties::ParseWrite(request.data);
    if (!write) {
        reply.code = rc::kParameterNotSupported;
        return;
    }
    const bool liveViewWasOn = LiveViewOnLocked();
    reply.code = props_.Set(*write);
    if (reply.code != rc::kOk)
        return;
    QueueRecords(props_.Records(write->code));
    if (write->code == prop::kEvfOutputDevice && !liveViewWasOn && (write->value & kEvfOutputHost)) {
        liveViewSince_ = Clock::now();
        lastFrame_ = -1;
    }
    if (!LiveViewOnLocked())
        zoom_.factor = 1; // live view always starts at 1x
}

void StandinBody::GetEvent(const Request&, Reply& reply) {
    AdvanceLocked(Clock::now());
    Writer w;
    w.Raw(pendingRecords_);
    w.U32(8).U32(0);
    pendingRecords_.clear();
    reply.data = w.Take();
}

void StandinBody::QueueRecords(const std::vector<std::uint8_t>& records) {
    pendingRecords_.insert(pendingRecords_.end(), records.begin(), records.end());
}

// Live view ---------------------------------------------------------------------------------------------------

// The sensor makes a frame every 1/fps from the moment the output went to the PC; a frame is served once, and a
// host that asks before the next one is made hears "not ready".
void StandinBody::GetViewFinderData(const Request&, Reply& reply) {
    const std::uint32_t output = props_.Find(prop::kEvfOutputDevice)->value;
    if (!(output & kEvfOutputHost)) {
        reply.code = rc::kEosNotReady;
        return;
    }
    // Unpaced (0): a new frame whenever one is asked for.
    const auto period = std::chrono::nanoseconds(1'000'000'000) / std::max(options_.liveViewFps, 1);
    const std::int64_t frame =
        options_.liveViewFps > 0 ? (Clock::now() - liveViewSince_) / period : lastFrame_ + 1;
    if (frame <= lastFrame_ || (frame == 0 && options_.liveViewFps > 0)) {
        reply.code = rc::kEosNotReady;
        return;
    }
    lastFrame_ = frame;
    FrameRegion region;
    if (zoom_.factor > 1) {
        // The part of the picture around the magnifier frame's centre, moved inside the picture near an edge.
        const double side = 1.0 / zoom_.factor;
        const double cx = (zoom_.x + options_.sensorWidth / 10.0) / options_.sensorWidth;
        const double cy = (zoom_.y + options_.sensorHeight / 10.0) / options_.sensorHeight;
        region = {std::clamp(cx - side / 2, 0.0, 1.0 - side), std::clamp(cy - side / 2, 0.0, 1.0 - side), side};
    }
    // The smaller live-view sizes the body offers a host: two thirds and half of its full frame.
    const int num = output & kEvfOutputPc ? 1 : output & kEvfOutputPcMedium ? 2 : 1;
    const int den = output & kEvfOutputPc ? 1 : output & kEvfOutputPcMedium ? 3 : 2;
    auto jpeg = MakeFrameJpeg(options_.frameWidth * num / den, options_.frameHeight * num / den, framesServed_++,
                              region);
    Writer w;
    w.U32(static_cast<std::uint32_t>(8 + jpeg.size())).U32(1).Raw(jpeg);
    reply.data = w.Take();
}

bool StandinBody::LiveViewOnLocked() const {
    return props_.Find(prop::kEvfOutputDevice)->value & kEvfOutputHost;
}

// The magnifier works only in live view, which it leaves at 1x.
void StandinBody::SetZoom(const Request& request, Reply& reply) {
    const std::uint32_t factor = request.Param(0);
    if (!LiveViewOnLocked()) {
        reply.code = rc::kGeneralError;
        return;
    }
    if (factor != 1 && factor != 5 && factor != 10) {
        reply.code = rc::kInvalidParameter;
        return;
    }
    zoom_.factor = factor;
    Trace("live view at " + std::to_string(factor) + "x");
}

// The frame's top-left corner; the frame stays inside the picture (a negative coordinate is at the edge).
void StandinBody::SetZoomPosition(const Request& request, Reply& reply) {
    if (!LiveViewOnLocked()) {
        reply.code = rc::kGeneralError;
        return;
    }
    auto inside = [](std::uint32_t v, std::uint32_t most) {
        return static_cast<std::int32_t>(v) < 0 ? 0u : std::min(v, most);
    };
    zoom_.x = inside(request.Param(0), options_.sensorWidth - options_.sensorWidth / 5u);
    zoom_.y = inside(request.Param(1), options_.sensorHeight - options_.sensorHeight / 5u);
    Trace("magnifier frame at " + std::to_string(zoom_.x) + "," + std::to_string(zoom_.y));
}

// The body's state, from outside ------------------------------------------------------------------------------

void StandinBody::SetPropertyOnBody(std::uint16_t code, std::uint32_t value) {
    std::lock_guard lock(state_);
    if (props_.Set({code, value, {}}, true) == rc::kOk && sessionOwner_ != 0)
        QueueRecords(props_.Records(code));
}

std::optional<std::uint32_t> StandinBody::PropertyValue(std::uint16_t code) const {
    std::lock_guard lock(state_);
    const Property* p = props_.Find(code);
    if (!p)
        return std::nullopt;
    return p->value;
}

void StandinBody::SetPhotoBytes(std::size_t bytes) {
    std::lock_guard lock(state_);
    options_.photoBytes = bytes;
}

void StandinBody::SetLiveViewFps(int fps) {
    std::lock_guard lock(state_);
    options_.liveViewFps = fps;
}

std::size_t StandinBody::HeldShots() const {
    std::lock_guard lock(state_);
    return shots_.size();
}

std::size_t StandinBody::ShotsInProgress() const {
    std::lock_guard lock(state_);
    return developing_.size();
}

std::uint32_t StandinBody::ShotsTaken() const {
    std::lock_guard lock(state_);
    return shotsTaken_;
}

std::uint32_t StandinBody::FramesServed() const {
    std::lock_guard lock(state_);
    return framesServed_;
}

std::vector<std::string> StandinBody::CardFiles() const {
    std::lock_guard lock(state_);
    std::vector<std::string> names;
    for (const auto& [handle, object] : card_)
        if (object.format != kFormatAssociation)
            names.push_back(object.name);
    return names;
}

bool StandinBody::BulbOpen() const {
    std::lock_guard lock(state_);
    return bulbOpen_;
}

bool StandinBody::SeriesRunning() const {
    std::lock_guard lock(state_);
    return seriesRunning_;
}

StandinBody::Zoom StandinBody::LiveViewZoom() const {
    std::lock_guard lock(state_);
    return zoom_;
}

} // namespace quor::standin
