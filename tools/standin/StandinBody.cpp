#include "tools/standin/StandinBody.h"

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

// What a body busy with a shot refuses: what asks it to do something. The session's set-up and end, the event
// poll, the keep-alive and the storage listings are answered whatever the body is doing.
bool IsBusyProne(std::uint16_t code) {
    switch (code) {
    case op::kEosSetDevicePropValueEx:
    case op::kEosRemoteReleaseOn:
    case op::kEosRemoteReleaseOff:
    case op::kEosBulbStart:
    case op::kEosBulbEnd:
    case op::kEosDoAf:
    case op::kEosDriveLens:
    case op::kEosAfCancel:
    case op::kEosGetViewFinderData:
    case op::kEosZoom:
    case op::kEosZoomPosition:
    case op::kGetObject:
    case op::kGetPartialObject:
    case op::kDeleteObject:
        return true;
    default:
        return false;
    }
}

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

    // Moves exactly `n` bytes, `io(done)` moving the next ones. False on end of stream, error or shutdown.
    template <typename Io>
    bool Exactly(std::size_t n, Io io) {
        std::size_t done = 0;
        while (done < n) {
            const ssize_t r = io(done);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0) {
                dead = true;
                return false;
            }
            done += static_cast<std::size_t>(r);
        }
        return true;
    }
    bool ReadExact(std::uint8_t* out, std::size_t n) {
        return Exactly(n, [&](std::size_t got) {
            // Acknowledge at once what arrives: a host that sends a request in several small writes waits for
            // the acknowledgement of the first one before it sends the next (Nagle), and a delayed ACK would
            // cost it 40 ms. The kernel forgets the setting after a while, so it is set before every read.
            int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
            return ::recv(fd, out + got, n - got, 0);
        });
    }
    bool WriteAll(const std::uint8_t* p, std::size_t n) {
        return Exactly(n, [&](std::size_t sent) { return ::send(fd, p + sent, n - sent, MSG_NOSIGNAL); });
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
    bool SendProbeResponse() {
        Writer w;
        w.U32(8).U32(packet::kProbeResponse);
        return WriteAll(w.Get());
    }
    // The rest of an OperationRequest packet: the operation, its parameters and, when the host sends data, the
    // data phase that follows. nullopt when the host breaks the protocol or the connection goes.
    std::optional<Request> ReadRequest(const Bytes& packet) {
        Reader r(packet);
        auto phase = r.U32();
        auto code = r.U16();
        auto tid = r.U32();
        if (!phase || !code || !tid)
            return std::nullopt;
        Request request;
        request.connection = id;
        request.code = *code;
        request.transaction = *tid;
        while (request.params.size() < 5) {
            auto v = r.U32();
            if (!v)
                break;
            request.params.push_back(*v);
        }
        if (*phase == 2 && !ReadHostData(request.data))
            return std::nullopt;
        return request;
    }
    // Data from the host: StartData, then Data packets and an EndData.
    bool ReadHostData(Bytes& data) {
        auto start = ReadPacket();
        if (!start || start->first != packet::kStartData)
            return false;
        Reader sr(start->second);
        sr.U32();
        const std::uint64_t total = sr.U64().value_or(0);
        if (total > kMaxPacket)
            return false;
        for (;;) {
            auto d = ReadPacket();
            if (!d || (d->first != packet::kData && d->first != packet::kEndData) || d->second.size() < 4)
                return false;
            data.insert(data.end(), d->second.begin() + 4, d->second.end());
            if (d->first == packet::kEndData)
                return true;
            if (data.size() > total)
                return false;
        }
    }
};

StandinBody::StandinBody(StandinOptions options) : options_(std::move(options)), props_(EosProperties::Defaults()) {
    PropWrite serial;
    serial.code = prop::kSerialNumber;
    serial.text = options_.serialNumber;
    props_.Set(serial, true);
    AddCardFoldersLocked();
    // The magnifier frame starts in the middle of the picture.
    zoom_.x = (options_.sensorWidth - options_.sensorWidth / 5u) / 2;
    zoom_.y = (options_.sensorHeight - options_.sensorHeight / 5u) / 2;
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
        if (p->first == packet::kProbeRequest && (!AwaitUnstalled(*conn) || !conn->SendProbeResponse()))
            return;
    }
}

void StandinBody::ServeCommands(const std::shared_ptr<Connection>& conn) {
    while (!conn->dead.load() && !stopping_.load()) {
        auto p = conn->ReadPacket();
        if (!p)
            return;
        if (p->first == packet::kProbeRequest) {
            if (!AwaitUnstalled(*conn) || !conn->SendProbeResponse())
                return;
            continue;
        }
        if (p->first != packet::kOperationRequest)
            continue; // cancel and stray packets: nothing to do between transactions
        auto request = conn->ReadRequest(p->second);
        if (!request || !AwaitUnstalled(*conn))
            return;
        const std::uint16_t code = request->code;
        const std::uint32_t transaction = request->transaction;
        const Reply reply = Answer(std::move(*request));
        if (!SendReply(*conn, code, transaction, reply))
            return;
        StallIfDue(code);
    }
}

bool StandinBody::AwaitUnstalled(const Connection& conn) {
    std::unique_lock lock(pauseMutex_);
    if (!stalled_)
        return true;
    ++waitingOps_;
    Trace("stalled: an operation waits for an answer");
    pauseCv_.wait(lock, [&] { return !stalled_ || stopping_.load() || conn.dead.load(); });
    --waitingOps_;
    return !stopping_.load() && !conn.dead.load();
}

void StandinBody::StallIfDue(std::uint16_t answered) {
    std::lock_guard lock(pauseMutex_);
    if (stallAfter_ && *stallAfter_ == answered) {
        stallAfter_.reset();
        stalled_ = true;
        Trace("stalled after " + Hex(answered));
    }
}

void StandinBody::Stall(bool stalled) {
    {
        std::lock_guard lock(pauseMutex_);
        stalled_ = stalled;
        stallAfter_.reset();
    }
    Trace(stalled ? "stalled" : "answering again");
    pauseCv_.notify_all();
}

void StandinBody::StallAfter(std::uint16_t code) {
    std::lock_guard lock(pauseMutex_);
    stallAfter_ = code;
}

bool StandinBody::Stalled() const {
    std::lock_guard lock(pauseMutex_);
    return stalled_;
}

int StandinBody::WaitingOperations() const {
    std::lock_guard lock(pauseMutex_);
    return waitingOps_;
}

StandinBody::Reply StandinBody::Answer(Request request) {
    Reply reply;
    if (TakeBusyFault(request.code))
        reply.code = rc::kDeviceBusy;
    else
        reply = Handle(request);

    OperationRecord rec;
    rec.code = request.code;
    rec.transaction = request.transaction;
    rec.params = std::move(request.params);
    rec.data = std::move(request.data);
    rec.response = reply.code;
    rec.at = Clock::now();
    rec = log_.Append(std::move(rec));
    if (options_.trace)
        Trace(rec.Describe());
    return reply;
}

bool StandinBody::TakeBusyFault(std::uint16_t code) {
    std::lock_guard lock(state_);
    if (busyCount_ > 0 && (busyCode_ == 0 ? IsBusyProne(code) : busyCode_ == code)) {
        --busyCount_;
        return true;
    }
    return false;
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

    const TransferPlan plan = PlanTransfer(code);
    if (plan.drop)
        return SendDroppedTransfer(conn, code, transaction, start.Get(), payload);
    if (plan.chunk == 0) {
        // Everything in one write: separate small writes cost a delayed ACK each.
        Writer w;
        w.Raw(start.Get());
        w.U32(static_cast<std::uint32_t>(12 + payload.size())).U32(packet::kEndData).U32(transaction);
        w.Raw(payload);
        w.Raw(response.Get());
        return conn.WriteAll(w.Get());
    }
    return SendInChunks(conn, transaction, plan, start.Get(), payload, response.Get());
}

StandinBody::TransferPlan StandinBody::PlanTransfer(std::uint16_t code) {
    TransferPlan plan;
    std::lock_guard lock(state_);
    if (dropCode_ && *dropCode_ == code) {
        plan.drop = true;
        dropCode_.reset();
    }
    if (IsImageTransfer(code) && slowDelay_.count() > 0) {
        plan.chunk = std::max<std::size_t>(slowChunk_, 1);
        plan.delay = slowDelay_;
    }
    return plan;
}

bool StandinBody::SendDroppedTransfer(Connection& conn, std::uint16_t code, std::uint32_t transaction,
                                      const Bytes& start, const Bytes& payload) {
    // Half the data, then the cable goes.
    Writer w;
    w.Raw(start);
    const std::size_t half = payload.size() / 2;
    w.U32(static_cast<std::uint32_t>(12 + half)).U32(packet::kData).U32(transaction);
    w.Raw(std::span(payload.data(), half));
    conn.WriteAll(w.Get());
    Trace("dropping every connection in the middle of a transfer (" + Hex(code) + ")");
    CloseAllConnections();
    return false;
}

// The slow-transfer fault: the data in chunks, each after a pause; the response goes with the last one.
bool StandinBody::SendInChunks(Connection& conn, std::uint32_t transaction, const TransferPlan& plan,
                               const Bytes& start, const Bytes& payload, const Bytes& response) {
    if (!conn.WriteAll(start))
        return false;
    std::size_t offset = 0;
    do {
        if (!Pause(conn, plan.delay))
            return false;
        const std::size_t n = std::min(plan.chunk, payload.size() - offset);
        const bool last = offset + n == payload.size();
        Writer w;
        w.U32(static_cast<std::uint32_t>(12 + n)).U32(last ? packet::kEndData : packet::kData).U32(transaction);
        w.Raw(std::span(payload.data() + offset, n));
        if (last)
            w.Raw(response);
        if (!conn.WriteAll(w.Get()))
            return false;
        offset += n;
    } while (offset < payload.size());
    return true;
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

} // namespace quor::standin
