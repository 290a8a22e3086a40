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

namespace {

bool IsContinuousDrive(std::uint32_t drive) { return drive == 0x01 || drive == 0x04 || drive == 0x05; }

} // namespace

StandinBody::Reply StandinBody::Handle(const Request& request) {
    struct Entry {
        std::uint16_t code;
        Handler handler;
    };
    static constexpr Entry kHandlers[] = {
        {op::kCloseSession, &StandinBody::CloseSession},
        {op::kGetStorageIds, &StandinBody::AnswerEmptyList},
        {op::kEosGetStorageIds, &StandinBody::AnswerEmptyList},
        {op::kGetObjectHandles, &StandinBody::AnswerEmptyList},
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
        {op::kGetPartialObject, &StandinBody::GetObject},
        {op::kGetObject, &StandinBody::GetObject},
        {op::kEosBulbStart, &StandinBody::BulbStart},
        {op::kEosBulbEnd, &StandinBody::BulbEnd},
        {op::kEosRemoteReleaseOn, &StandinBody::RemoteReleaseOn},
        {op::kEosRemoteReleaseOff, &StandinBody::RemoteReleaseOff},
        {op::kEosGetViewFinderData, &StandinBody::GetViewFinderData},
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
    if (entry == std::end(kHandlers))
        reply.code = rc::kOperationNotSupported;
    else
        (this->*entry->handler)(request, reply);
    return reply;
}

std::vector<std::uint8_t> StandinBody::DeviceInfo() const {
    static constexpr std::uint16_t kOps[] = {
        op::kGetDeviceInfo,        op::kOpenSession,        op::kCloseSession,
        op::kGetStorageIds,        op::kGetObjectHandles,   op::kGetObject,
        op::kGetPartialObject,     op::kEosGetStorageIds,   op::kEosSetDevicePropValueEx,
        op::kEosSetRemoteMode,     op::kEosSetEventMode,    op::kEosGetEvent,
        op::kEosTransferComplete,  op::kEosPcHddCapacity,   op::kEosSetUiLock,
        op::kEosResetUiLock,       op::kEosKeepDeviceOn,    op::kEosBulbStart,
        op::kEosBulbEnd,           op::kEosRemoteReleaseOn, op::kEosRemoteReleaseOff,
        op::kEosGetViewFinderData, op::kEosDoAf,            op::kEosDriveLens,
        op::kEosAfCancel,
    };
    static constexpr std::uint16_t kEvents[] = {0xC181, 0xC186, 0xC189, 0xC18A};
    static constexpr std::uint16_t kFormats[] = {kFormatJpeg};
    Writer w;
    w.U16(100).U32(kCanonVendorId).U16(100).PtpString("").U16(0);
    w.U16Array(kOps).U16Array(kEvents);
    // No properties here: an EOS body reports them through GetEvent only. A host that finds them listed
    // takes the generic GetDevicePropDesc path, which an EOS body does not offer.
    w.U16Array({}).U16Array(kFormats).U16Array(kFormats);
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
    pendingRecords_ = props_.AllRecords();
}

void StandinBody::CloseSession(const Request&, Reply&) { sessionOwner_ = 0; }

// Storage ids and object handles: the body has no card to list, its shots are announced through GetEvent.
void StandinBody::AnswerEmptyList(const Request&, Reply& reply) {
    Writer w;
    w.U32(0);
    reply.data = w.Take();
}

// Modes, UI lock, keep-alive, PC capacity and lens moves: taken and answered, nothing on the body changes.
void StandinBody::AnswerOk(const Request&, Reply&) {}

// Properties and events ---------------------------------------------------------------------------------------

void StandinBody::SetPropertyValue(const Request& request, Reply& reply) {
    auto write = EosProperties::ParseWrite(request.data);
    if (!write) {
        reply.code = rc::kParameterNotSupported;
        return;
    }
    reply.code = props_.Set(*write);
    if (reply.code == rc::kOk)
        QueueRecords(props_.Records(write->code));
}

void StandinBody::GetEvent(const Request&, Reply& reply) {
    CatchUpSeriesLocked(Clock::now());
    Writer w;
    w.Raw(pendingRecords_);
    w.U32(8).U32(0);
    pendingRecords_.clear();
    reply.data = w.Take();
}

void StandinBody::QueueRecords(const std::vector<std::uint8_t>& records) {
    pendingRecords_.insert(pendingRecords_.end(), records.begin(), records.end());
}

void StandinBody::QueueFocusInfoLocked() {
    // Focus info with no points in it: enough for a host waiting for the AF to report back.
    Writer w;
    w.U32(0).U32(ev::kPropValueChanged).U32(prop::kFocusInfoEx);
    w.U32(20).U16(16).U16(0).U32(0).U32(0).U32(0);
    w.PatchU32(0, static_cast<std::uint32_t>(w.Size()));
    QueueRecords(w.Get());
}

// Files in the body's RAM -------------------------------------------------------------------------------------

void StandinBody::TransferComplete(const Request& request, Reply& reply) {
    if (shots_.erase(request.Param(0)) == 0)
        reply.code = rc::kInvalidObjectHandle;
}

// GetObject (the whole file) and GetPartialObject (offset and length in parameters 1 and 2).
void StandinBody::GetObject(const Request& request, Reply& reply) {
    auto it = shots_.find(request.Param(0));
    if (it == shots_.end()) {
        reply.code = rc::kInvalidObjectHandle;
        return;
    }
    const bool whole = request.code == op::kGetObject;
    const auto& jpeg = it->second.jpeg;
    std::size_t offset = whole ? 0 : std::min<std::size_t>(request.Param(1), jpeg.size());
    std::size_t length = whole ? jpeg.size() : std::min<std::size_t>(request.Param(2), jpeg.size() - offset);
    reply.data = std::vector<std::uint8_t>(jpeg.begin() + static_cast<std::ptrdiff_t>(offset),
                                           jpeg.begin() + static_cast<std::ptrdiff_t>(offset + length));
    if (!whole)
        reply.params = {static_cast<std::uint32_t>(length)};
}

// Shooting ----------------------------------------------------------------------------------------------------

void StandinBody::DoAf(const Request&, Reply&) {
    if (props_.Find(prop::kFocusMode)->value != kFocusManual)
        QueueFocusInfoLocked();
}

void StandinBody::BulbStart(const Request&, Reply& reply) {
    if (props_.Find(prop::kShutterSpeed)->value != kShutterBulb || bulbOpen_) {
        reply.code = rc::kGeneralError;
        return;
    }
    bulbOpen_ = true;
    Trace("bulb open");
}

void StandinBody::BulbEnd(const Request&, Reply& reply) {
    if (!bulbOpen_) {
        reply.code = rc::kGeneralError;
        return;
    }
    bulbOpen_ = false;
    Trace("bulb closed");
    TakeShotLocked();
}

void StandinBody::RemoteReleaseOn(const Request& request, Reply&) {
    if (request.Param(0) == 1) { // half press: metering and AF
        if (props_.Find(prop::kFocusMode)->value != kFocusManual)
            QueueFocusInfoLocked();
        return;
    }
    // Full press (2, or 3 without AF).
    if (props_.Find(prop::kShutterSpeed)->value == kShutterBulb) {
        bulbOpen_ = true;
        Trace("bulb open (remote release)");
    } else if (IsContinuousDrive(props_.Find(prop::kDriveMode)->value)) {
        seriesRunning_ = true;
        seriesStart_ = Clock::now();
        seriesShots_ = 0;
        CatchUpSeriesLocked(seriesStart_);
        Trace("series started");
    } else {
        TakeShotLocked();
    }
}

void StandinBody::RemoteReleaseOff(const Request& request, Reply&) {
    if (request.Param(0) != 2 && request.Param(0) != 3)
        return;
    if (bulbOpen_) {
        bulbOpen_ = false;
        Trace("bulb closed (remote release)");
        TakeShotLocked();
    }
    if (seriesRunning_) {
        CatchUpSeriesLocked(Clock::now());
        seriesRunning_ = false;
        Trace("series ended after " + std::to_string(seriesShots_) + " shots");
    }
}

void StandinBody::TakeShotLocked() {
    const std::uint32_t number = ++shotsTaken_;
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
        Shot shot{name, {}};
        if (raw) {
            shot.jpeg.assign(options_.photoBytes, static_cast<std::uint8_t>(number));
            const std::uint8_t tiff[] = {'I', 'I', 42, 0, 8, 0, 0, 0};
            std::copy(std::begin(tiff), std::end(tiff), shot.jpeg.begin());
        } else {
            shot.jpeg = MakePhotoJpeg(options_.photoBytes, number);
        }
        const std::uint32_t id = nextObject_++;

        Writer w;
        w.U32(0).U32(ev::kRequestObjectTransfer).U32(id).U16(raw ? kFormatCr2 : kFormatJpeg).U16(0).U32(0);
        w.U32(static_cast<std::uint32_t>(shot.jpeg.size())).U32(0).Ascii(shot.name);
        while (w.Size() % 4)
            w.U8(0);
        w.PatchU32(0, static_cast<std::uint32_t>(w.Size()));
        QueueRecords(w.Get());
        shots_.emplace(id, std::move(shot));
        char line[64];
        std::snprintf(line, sizeof line, "shot %s held as object 0x%04X", name, id);
        Trace(line);
    }

    // The counter of shots that still fit goes down, but never to 0 (a host waits for it to be above 0).
    const Property* left = props_.Find(prop::kAvailableShots);
    if (left && left->value > 1) {
        props_.Set({prop::kAvailableShots, left->value - 1, {}}, true);
        QueueRecords(props_.Records(prop::kAvailableShots));
    }
}

void StandinBody::CatchUpSeriesLocked(Clock::time_point now) {
    if (!seriesRunning_)
        return;
    const auto interval = std::max(options_.seriesInterval, std::chrono::milliseconds(1));
    const auto due = static_cast<std::uint32_t>((now - seriesStart_) / interval) + 1;
    while (seriesShots_ < due && shots_.size() < options_.maxHeldShots) {
        TakeShotLocked();
        ++seriesShots_;
    }
}

// Live view ---------------------------------------------------------------------------------------------------

void StandinBody::GetViewFinderData(const Request&, Reply& reply) {
    if (!(props_.Find(prop::kEvfOutputDevice)->value & kEvfOutputPc)) {
        reply.code = rc::kEosNotReady;
        return;
    }
    auto jpeg = MakeFrameJpeg(options_.frameWidth, options_.frameHeight, framesServed_++);
    Writer w;
    w.U32(static_cast<std::uint32_t>(8 + jpeg.size())).U32(1).Raw(jpeg);
    reply.data = w.Take();
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

std::size_t StandinBody::HeldShots() const {
    std::lock_guard lock(state_);
    return shots_.size();
}

std::uint32_t StandinBody::ShotsTaken() const {
    std::lock_guard lock(state_);
    return shotsTaken_;
}

std::uint32_t StandinBody::FramesServed() const {
    std::lock_guard lock(state_);
    return framesServed_;
}

bool StandinBody::BulbOpen() const {
    std::lock_guard lock(state_);
    return bulbOpen_;
}

bool StandinBody::SeriesRunning() const {
    std::lock_guard lock(state_);
    return seriesRunning_;
}

} // namespace quor::standin
