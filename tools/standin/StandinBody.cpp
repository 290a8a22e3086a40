#include "tools/standin/StandinBody.h"

#include "tools/standin/JpegMaker.h"
#include "tools/standin/PtpCodes.h"
#include "tools/standin/Wire.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace quor::standin {

namespace {

constexpr std::uint32_t kMaxPacket = 64u * 1024 * 1024; // larger than anything a host sends
constexpr std::uint32_t kSessionConnection = 1;
constexpr std::uint32_t kPtpIpVersion = 0x00010000;
constexpr std::uint8_t kBodyGuid[16] = {0x51, 0x54, 0x56, 0x53, 0x54, 0x41, 0x4E, 0x44,
                                        0x49, 0x4E, 0x42, 0x4F, 0x44, 0x59, 0x00, 0x01};

bool IsImageTransfer(std::uint16_t code) {
    return code == op::kGetPartialObject || code == op::kGetObject || code == op::kEosGetViewFinderData;
}

// Keeps the body's descriptors off 0, 1 and 2. libgphoto2 2.5.30 closes descriptor 0 whenever it disconnects a
// PTP/IP camera (a socket field it never opened is 0, not -1), so in a process that runs without stdin the body's
// listening socket would be closed under it.
int AboveStdio(int fd) {
    if (fd < 0 || fd > 2)
        return fd;
    int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

bool IsContinuousDrive(std::uint32_t drive) { return drive == 0x01 || drive == 0x04 || drive == 0x05; }

std::string Hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", v);
    return buf;
}

} // namespace

// One accepted socket. The serving thread owns the descriptor: it closes it on the way out (under connMutex_,
// after which `fd` is -1 and nobody else touches it). Others only shut it down, which wakes a blocked read or write.
struct StandinBody::Connection {
    std::uint64_t id = 0;
    int fd = -1;
    std::atomic<bool> command{false};
    std::atomic<bool> dead{false};
    std::atomic<bool> finished{false};
    std::thread thread;

    // Reads exactly `n` bytes. False on end of stream, error or shutdown.
    bool ReadExact(std::uint8_t* out, std::size_t n) {
        std::size_t got = 0;
        while (got < n) {
            ssize_t r = ::recv(fd, out + got, n - got, 0);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0) {
                dead = true;
                return false;
            }
            got += static_cast<std::size_t>(r);
        }
        return true;
    }
    bool WriteAll(const std::uint8_t* p, std::size_t n) {
        std::size_t sent = 0;
        while (sent < n) {
            ssize_t r = ::send(fd, p + sent, n - sent, MSG_NOSIGNAL);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0) {
                dead = true;
                return false;
            }
            sent += static_cast<std::size_t>(r);
        }
        return true;
    }
    bool WriteAll(const Bytes& b) { return WriteAll(b.data(), b.size()); }
    // One packet: type and payload. nullopt when the connection is gone or sends nonsense.
    std::optional<std::pair<std::uint32_t, Bytes>> ReadPacket() {
        std::uint8_t header[8];
        if (!ReadExact(header, sizeof header))
            return std::nullopt;
        Reader r(header);
        std::uint32_t length = *r.U32();
        std::uint32_t type = *r.U32();
        if (length < 8 || length > kMaxPacket) {
            dead = true;
            return std::nullopt;
        }
        Bytes payload(length - 8);
        if (!payload.empty() && !ReadExact(payload.data(), payload.size()))
            return std::nullopt;
        return std::make_pair(type, std::move(payload));
    }
};

StandinBody::StandinBody(StandinOptions options) : options_(std::move(options)), props_(EosProperties::Defaults()) {
    PropWrite serial;
    serial.code = prop::kSerialNumber;
    serial.text = options_.serialNumber;
    props_.Set(serial, true);
}

StandinBody::~StandinBody() { Stop(); }

void StandinBody::Trace(const std::string& line) const {
    if (options_.trace)
        options_.trace(line);
}

bool StandinBody::Start(std::string* error) {
    auto fail = [&](const char* what) {
        if (error)
            *error = std::string(what) + ": " + std::strerror(errno);
        if (listenFd_ >= 0)
            ::close(listenFd_);
        if (wakeFd_ >= 0)
            ::close(wakeFd_);
        listenFd_ = wakeFd_ = -1;
        return false;
    };
    if (running_.load()) {
        if (error)
            *error = "already running";
        return false;
    }
    listenFd_ = AboveStdio(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (listenFd_ < 0)
        return fail("socket");
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(options_.port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return fail("bind 127.0.0.1");
    if (::listen(listenFd_, 8) != 0)
        return fail("listen");
    socklen_t len = sizeof addr;
    if (::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return fail("getsockname");
    wakeFd_ = AboveStdio(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (wakeFd_ < 0)
        return fail("eventfd");
    port_ = ntohs(addr.sin_port);
    stopping_ = false;
    running_ = true;
    acceptThread_ = std::thread([this] { AcceptLoop(); });
    Trace("listening on 127.0.0.1:" + std::to_string(port_.load()));
    return true;
}

void StandinBody::Stop() {
    if (!running_.exchange(false))
        return;
    stopping_ = true;
    {
        std::lock_guard lock(pauseMutex_);
    }
    pauseCv_.notify_all();
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t w = ::write(wakeFd_, &one, sizeof one);
    if (acceptThread_.joinable())
        acceptThread_.join();
    CloseAllConnections();
    ReapFinished(true);
    ::close(listenFd_);
    ::close(wakeFd_);
    listenFd_ = wakeFd_ = -1;
    Trace("stopped");
}

void StandinBody::AcceptLoop() {
    while (!stopping_.load()) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        int n = ::poll(fds, 2, 200);
        ReapFinished(false);
        if (n <= 0 || stopping_.load())
            continue;
        if (!(fds[0].revents & POLLIN))
            continue;
        int fd = AboveStdio(::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC));
        if (fd < 0)
            continue;
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::lock_guard lock(connMutex_);
        if (refuseConnections_) {
            ::close(fd);
            Trace("connection refused (pulled out)");
            continue;
        }
        auto conn = std::make_shared<Connection>();
        conn->id = nextConnectionId_++;
        conn->fd = fd;
        connections_.push_back(conn);
        conn->thread = std::thread([this, conn] { Serve(conn); });
    }
}

void StandinBody::ReapFinished(bool all) {
    std::vector<std::shared_ptr<Connection>> done;
    {
        std::lock_guard lock(connMutex_);
        auto it = std::stable_partition(connections_.begin(), connections_.end(),
                                        [all](const auto& c) { return !(all || c->finished.load()); });
        done.assign(it, connections_.end());
        connections_.erase(it, connections_.end());
    }
    for (auto& c : done)
        if (c->thread.joinable())
            c->thread.join();
}

void StandinBody::CloseAllConnections() {
    std::lock_guard lock(connMutex_);
    for (auto& c : connections_) {
        c->dead = true;
        if (c->fd >= 0)
            ::shutdown(c->fd, SHUT_RDWR);
    }
    {
        std::lock_guard pause(pauseMutex_);
    }
    pauseCv_.notify_all();
}

void StandinBody::Serve(const std::shared_ptr<Connection>& conn) {
    auto first = conn->ReadPacket();
    if (first && first->first == packet::kInitCommandRequest) {
        conn->command = true;
        Writer w;
        w.U32(0).U32(packet::kInitCommandAck).U32(kSessionConnection).Raw(kBodyGuid).Ucs2z(options_.model);
        w.U32(kPtpIpVersion);
        w.PatchU32(0, static_cast<std::uint32_t>(w.Size()));
        if (conn->WriteAll(w.Get())) {
            Trace("command connection open");
            ServeCommands(conn);
        }
    } else if (first && first->first == packet::kInitEventRequest) {
        Writer w;
        w.U32(8).U32(packet::kInitEventAck);
        if (conn->WriteAll(w.Get())) {
            Trace("event connection open");
            ServeEvents(conn);
        }
    }
    {
        std::lock_guard lock(connMutex_);
        ::close(conn->fd);
        conn->fd = -1;
    }
    if (conn->command) {
        // The session ends with its connection. A bulb exposure or a series goes on, as on a body whose cable
        // was pulled: whether the host ended them before letting go stays visible (BulbOpen(), SeriesRunning()).
        std::lock_guard lock(state_);
        if (sessionOwner_ == conn->id)
            sessionOwner_ = 0;
    }
    Trace(conn->command ? "command connection closed" : "connection closed");
    conn->finished = true;
}

void StandinBody::ServeEvents(const std::shared_ptr<Connection>& conn) {
    // EOS hosts poll with GetEvent; nothing is sent here. Read (and drop) until the host goes away.
    while (!conn->dead.load() && !stopping_.load()) {
        auto p = conn->ReadPacket();
        if (!p)
            return;
        if (p->first == packet::kProbeRequest) {
            Writer w;
            w.U32(8).U32(packet::kProbeResponse);
            if (!conn->WriteAll(w.Get()))
                return;
        }
    }
}

void StandinBody::ServeCommands(const std::shared_ptr<Connection>& conn) {
    while (!conn->dead.load() && !stopping_.load()) {
        auto p = conn->ReadPacket();
        if (!p)
            return;
        if (p->first == packet::kProbeRequest) {
            Writer w;
            w.U32(8).U32(packet::kProbeResponse);
            if (!conn->WriteAll(w.Get()))
                return;
            continue;
        }
        if (p->first != packet::kOperationRequest)
            continue; // cancel and stray packets: nothing to do between transactions
        Reader r(p->second);
        auto phase = r.U32();
        auto code = r.U16();
        auto tid = r.U32();
        if (!phase || !code || !tid)
            return;
        std::vector<std::uint32_t> params;
        while (params.size() < 5) {
            auto v = r.U32();
            if (!v)
                break;
            params.push_back(*v);
        }
        // Data from the host: StartData, then Data packets and an EndData.
        std::vector<std::uint8_t> data;
        if (*phase == 2) {
            auto start = conn->ReadPacket();
            if (!start || start->first != packet::kStartData)
                return;
            Reader sr(start->second);
            sr.U32();
            const std::uint64_t total = sr.U64().value_or(0);
            if (total > kMaxPacket)
                return;
            for (;;) {
                auto d = conn->ReadPacket();
                if (!d || (d->first != packet::kData && d->first != packet::kEndData) || d->second.size() < 4)
                    return;
                data.insert(data.end(), d->second.begin() + 4, d->second.end());
                if (d->first == packet::kEndData)
                    break;
                if (data.size() > total)
                    return;
            }
        }

        Reply reply;
        bool busy = false;
        {
            std::lock_guard lock(state_);
            if (busyCount_ > 0 && (busyCode_ == 0 || busyCode_ == *code)) {
                --busyCount_;
                busy = true;
            }
        }
        if (busy)
            reply.code = rc::kDeviceBusy;
        else
            reply = Handle(conn->id, *code, params, data);

        OperationRecord rec;
        rec.code = *code;
        rec.transaction = *tid;
        rec.params = params;
        rec.data = std::move(data);
        rec.response = reply.code;
        rec.at = Clock::now();
        rec = log_.Append(std::move(rec));
        if (options_.trace)
            Trace(rec.Describe());

        if (!SendReply(*conn, *code, *tid, reply))
            return;
    }
}

bool StandinBody::Pause(const Connection& conn, std::chrono::milliseconds delay) {
    std::unique_lock lock(pauseMutex_);
    pauseCv_.wait_for(lock, delay, [&] { return stopping_.load() || conn.dead.load(); });
    return !stopping_.load() && !conn.dead.load();
}

bool StandinBody::SendReply(Connection& conn, std::uint16_t code, std::uint32_t transaction, const Reply& reply) {
    Writer response;
    response.U32(0).U32(packet::kOperationResponse).U16(reply.code).U32(transaction);
    for (auto p : reply.params)
        response.U32(p);
    response.PatchU32(0, static_cast<std::uint32_t>(response.Size()));

    if (!reply.data)
        return conn.WriteAll(response.Get());

    const auto& payload = *reply.data;
    Writer start;
    start.U32(20).U32(packet::kStartData).U32(transaction).U64(payload.size());

    std::optional<std::uint16_t> drop;
    std::size_t chunk = 0;
    std::chrono::milliseconds delay{0};
    {
        std::lock_guard lock(state_);
        if (dropCode_ && *dropCode_ == code) {
            drop = dropCode_;
            dropCode_.reset();
        }
        if (IsImageTransfer(code) && slowDelay_.count() > 0) {
            chunk = std::max<std::size_t>(slowChunk_, 1);
            delay = slowDelay_;
        }
    }

    if (drop) {
        // Half the data, then the cable goes.
        Writer w;
        w.Raw(start.Get());
        const std::size_t half = payload.size() / 2;
        w.U32(static_cast<std::uint32_t>(12 + half)).U32(packet::kData).U32(transaction);
        w.Raw(std::span(payload.data(), half));
        conn.WriteAll(w.Get());
        Trace("dropping every connection in the middle of a transfer (" + Hex(code) + ")");
        CloseAllConnections();
        return false;
    }

    if (chunk == 0) {
        // Everything in one write: separate small writes cost a delayed ACK each.
        Writer w;
        w.Raw(start.Get());
        w.U32(static_cast<std::uint32_t>(12 + payload.size())).U32(packet::kEndData).U32(transaction);
        w.Raw(payload);
        w.Raw(response.Get());
        return conn.WriteAll(w.Get());
    }

    if (!conn.WriteAll(start.Get()))
        return false;
    std::size_t offset = 0;
    do {
        if (!Pause(conn, delay))
            return false;
        const std::size_t n = std::min(chunk, payload.size() - offset);
        const bool last = offset + n == payload.size();
        Writer w;
        w.U32(static_cast<std::uint32_t>(12 + n)).U32(last ? packet::kEndData : packet::kData).U32(transaction);
        w.Raw(std::span(payload.data() + offset, n));
        if (last)
            w.Raw(response.Get());
        if (!conn.WriteAll(w.Get()))
            return false;
        offset += n;
    } while (offset < payload.size());
    return true;
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

void StandinBody::QueueRecords(const std::vector<std::uint8_t>& records) {
    pendingRecords_.insert(pendingRecords_.end(), records.begin(), records.end());
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
        Trace(std::string("shot ") + name + " held as object " + Hex(id));
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

void StandinBody::QueueFocusInfoLocked() {
    // Focus info with no points in it: enough for a host waiting for the AF to report back.
    Writer w;
    w.U32(0).U32(ev::kPropValueChanged).U32(prop::kFocusInfoEx);
    w.U32(20).U16(16).U16(0).U32(0).U32(0).U32(0);
    w.PatchU32(0, static_cast<std::uint32_t>(w.Size()));
    QueueRecords(w.Get());
}

StandinBody::Reply StandinBody::Handle(std::uint64_t connection, std::uint16_t code,
                                       const std::vector<std::uint32_t>& params,
                                       const std::vector<std::uint8_t>& data) {
    auto param = [&](std::size_t i) { return i < params.size() ? params[i] : 0u; };
    Reply reply;
    reply.code = rc::kOk;
    auto emptyArray = [] {
        Writer w;
        w.U32(0);
        return w.Take();
    };

    if (code == op::kGetDeviceInfo) {
        reply.data = DeviceInfo();
        return reply;
    }

    std::lock_guard lock(state_);
    if (code == op::kOpenSession) {
        if (sessionOwner_ == connection) {
            reply.code = rc::kSessionAlreadyOpen;
            return reply;
        }
        // A new session (from a new connection, the old one being gone) starts afresh and hears every property.
        sessionOwner_ = connection;
        bulbOpen_ = false;
        seriesRunning_ = false;
        pendingRecords_ = props_.AllRecords();
        return reply;
    }
    if (sessionOwner_ != connection) {
        reply.code = rc::kSessionNotOpen;
        return reply;
    }

    switch (code) {
    case op::kCloseSession:
        sessionOwner_ = 0;
        break;
    case op::kGetStorageIds:
    case op::kEosGetStorageIds:
    case op::kGetObjectHandles:
        reply.data = emptyArray();
        break;
    case op::kEosSetRemoteMode:
    case op::kEosSetEventMode:
    case op::kEosKeepDeviceOn:
    case op::kEosSetUiLock:
    case op::kEosResetUiLock:
    case op::kEosPcHddCapacity:
    case op::kEosAfCancel:
    case op::kEosDriveLens:
        break;
    case op::kEosDoAf:
        if (props_.Find(prop::kFocusMode)->value != kFocusManual)
            QueueFocusInfoLocked();
        break;
    case op::kEosSetDevicePropValueEx: {
        auto write = EosProperties::ParseWrite(data);
        if (!write) {
            reply.code = rc::kParameterNotSupported;
            break;
        }
        reply.code = props_.Set(*write);
        if (reply.code == rc::kOk)
            QueueRecords(props_.Records(write->code));
        break;
    }
    case op::kEosGetEvent: {
        CatchUpSeriesLocked(Clock::now());
        Writer w;
        w.Raw(pendingRecords_);
        w.U32(8).U32(0);
        pendingRecords_.clear();
        reply.data = w.Take();
        break;
    }
    case op::kEosTransferComplete:
        if (shots_.erase(param(0)) == 0)
            reply.code = rc::kInvalidObjectHandle;
        break;
    case op::kGetPartialObject:
    case op::kGetObject: {
        auto it = shots_.find(param(0));
        if (it == shots_.end()) {
            reply.code = rc::kInvalidObjectHandle;
            break;
        }
        const auto& jpeg = it->second.jpeg;
        std::size_t offset = code == op::kGetObject ? 0 : std::min<std::size_t>(param(1), jpeg.size());
        std::size_t length = code == op::kGetObject ? jpeg.size() : std::min<std::size_t>(param(2), jpeg.size() - offset);
        reply.data = std::vector<std::uint8_t>(jpeg.begin() + static_cast<std::ptrdiff_t>(offset),
                                               jpeg.begin() + static_cast<std::ptrdiff_t>(offset + length));
        if (code == op::kGetPartialObject)
            reply.params = {static_cast<std::uint32_t>(length)};
        break;
    }
    case op::kEosBulbStart:
        if (props_.Find(prop::kShutterSpeed)->value != kShutterBulb || bulbOpen_) {
            reply.code = rc::kGeneralError;
            break;
        }
        bulbOpen_ = true;
        Trace("bulb open");
        break;
    case op::kEosBulbEnd:
        if (!bulbOpen_) {
            reply.code = rc::kGeneralError;
            break;
        }
        bulbOpen_ = false;
        Trace("bulb closed");
        TakeShotLocked();
        break;
    case op::kEosRemoteReleaseOn:
        if (param(0) == 1) { // half press: metering and AF
            if (props_.Find(prop::kFocusMode)->value != kFocusManual)
                QueueFocusInfoLocked();
            break;
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
        break;
    case op::kEosRemoteReleaseOff:
        if (param(0) == 2 || param(0) == 3) {
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
        break;
    case op::kEosGetViewFinderData: {
        if (!(props_.Find(prop::kEvfOutputDevice)->value & kEvfOutputPc)) {
            reply.code = rc::kEosNotReady;
            break;
        }
        auto jpeg = MakeFrameJpeg(options_.frameWidth, options_.frameHeight, framesServed_++);
        Writer w;
        w.U32(static_cast<std::uint32_t>(8 + jpeg.size())).U32(1).Raw(jpeg);
        reply.data = w.Take();
        break;
    }
    default:
        reply.code = rc::kOperationNotSupported;
        break;
    }
    return reply;
}

void StandinBody::AnswerBusy(int count, std::uint16_t onlyCode) {
    std::lock_guard lock(state_);
    busyCount_ = std::max(count, 0);
    busyCode_ = onlyCode;
}

void StandinBody::DropNextTransfer(std::uint16_t code) {
    std::lock_guard lock(state_);
    dropCode_ = code;
}

void StandinBody::SetSlowTransfers(std::size_t chunkBytes, std::chrono::milliseconds delayPerChunk) {
    std::lock_guard lock(state_);
    slowChunk_ = chunkBytes;
    slowDelay_ = delayPerChunk;
}

void StandinBody::PullOut(bool refuseReconnect) {
    {
        std::lock_guard lock(connMutex_);
        refuseConnections_ = refuseReconnect;
    }
    Trace("pulled out");
    CloseAllConnections();
}

void StandinBody::AllowReconnect() {
    std::lock_guard lock(connMutex_);
    refuseConnections_ = false;
}

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

int StandinBody::CommandConnections() const {
    std::lock_guard lock(connMutex_);
    return static_cast<int>(std::count_if(connections_.begin(), connections_.end(), [](const auto& c) {
        return c->command && !c->finished.load();
    }));
}

bool StandinBody::WaitUntilReleased(std::chrono::milliseconds timeout) const {
    const auto deadline = Clock::now() + timeout;
    while (CommandConnections() > 0) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
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
