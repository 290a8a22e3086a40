// The stand-in body's parts on their own: property encoding, the operation log, the JPEG maker, and the
// PTP/IP responder driven by a bare socket client (what libgphoto2 never sends: malformed and out-of-order input).
#include "StandinFixture.h"

#include "tools/standin/JpegMaker.h"
#include "tools/standin/Wire.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <atomic>
#include <set>

namespace quor::standin::test {
namespace {

// --- properties -------------------------------------------------------------------------------------------

struct Record {
    std::uint32_t type = 0;
    std::uint32_t prop = 0;
    Bytes body; // after the property code
};

std::vector<Record> SplitRecords(const Bytes& bytes) {
    std::vector<Record> out;
    std::size_t pos = 0;
    while (pos + 8 <= bytes.size()) {
        Reader r{std::span<const std::uint8_t>(bytes).subspan(pos)};
        const std::uint32_t size = *r.U32();
        Record rec;
        rec.type = *r.U32();
        if (size < 8 || pos + size > bytes.size())
            break;
        if (size >= 12) {
            rec.prop = *r.U32();
            rec.body.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos + 12),
                            bytes.begin() + static_cast<std::ptrdiff_t>(pos + size));
        }
        out.push_back(rec);
        pos += size;
    }
    EXPECT_EQ(pos, bytes.size()) << "records do not tile the buffer";
    return out;
}

TEST(EosPropertyRecords, ValueComesBeforeItsListAndEveryRecordSizeAddsUp) {
    auto props = EosProperties::Defaults();
    auto records = SplitRecords(props.AllRecords());
    ASSERT_FALSE(records.empty());
    std::set<std::uint32_t> seen;
    for (const auto& r : records) {
        if (r.type == ev::kPropValueChanged)
            seen.insert(r.prop);
        if (r.type == ev::kAvailListChanged) {
            EXPECT_TRUE(seen.count(r.prop)) << std::hex << r.prop << " listed before its value";
            Reader lr(r.body);
            EXPECT_EQ(lr.U32(), 3u);
            auto count = lr.U32();
            ASSERT_TRUE(count);
            EXPECT_EQ(*count, props.Find(static_cast<std::uint16_t>(r.prop))->choices.size());
        }
    }
    for (auto code : {prop::kShutterSpeed, prop::kIso, prop::kAvailableShots, prop::kSerialNumber})
        EXPECT_TRUE(seen.count(code)) << std::hex << code;
}

TEST(EosPropertyRecords, ImageFormatPacksAndUnpacksBothFiles) {
    for (std::uint32_t condensed : {imageformat::kLargeFineJpeg, imageformat::kRaw, imageformat::kRawAndLargeFineJpeg,
                                    imageformat::kSmallFineJpeg, 0xD300u /* S1, sent as 0xE */}) {
        SCOPED_TRACE(condensed);
        Writer w;
        EosProperties::PackImageFormat(w, condensed);
        Reader r(w.Get());
        EXPECT_EQ(EosProperties::UnpackImageFormat(r), condensed);
        EXPECT_EQ(r.Remaining(), 0u);
    }
    Writer raw;
    EosProperties::PackImageFormat(raw, imageformat::kRawAndLargeFineJpeg);
    Reader r(raw.Get());
    // n = 2; RAW (type 6, size 0, lossless 4); JPEG (type 1, size 0, fine 3).
    std::vector<std::uint32_t> words;
    while (auto v = r.U32())
        words.push_back(*v);
    EXPECT_EQ(words, (std::vector<std::uint32_t>{2, 0x10, 6, 0, 4, 0x10, 1, 0, 3}));
}

TEST(EosPropertyWrites, ParsesEachValueWidthAndRejectsBadSizes) {
    auto write = [](std::uint32_t size, std::uint32_t code, Bytes value) {
        Writer w;
        w.U32(size).U32(code).Raw(value);
        return w.Take();
    };
    auto one = EosProperties::ParseWrite(write(9, prop::kExposureCompensation, {0xFC}));
    ASSERT_TRUE(one);
    EXPECT_EQ(one->value, 0xFCu);
    auto two = EosProperties::ParseWrite(write(10, prop::kShutterSpeed, {0x78, 0x00}));
    ASSERT_TRUE(two);
    EXPECT_EQ(two->value, 0x78u);
    auto four = EosProperties::ParseWrite(write(12, prop::kEvfOutputDevice, {0x02, 0, 0, 0}));
    ASSERT_TRUE(four);
    EXPECT_EQ(four->code, prop::kEvfOutputDevice);
    EXPECT_EQ(four->value, 2u);
    EXPECT_FALSE(EosProperties::ParseWrite(write(40, prop::kIso, {0x48, 0, 0, 0})));   // claims more than sent
    EXPECT_FALSE(EosProperties::ParseWrite(write(8, prop::kIso, {})));                 // no value
    EXPECT_FALSE(EosProperties::ParseWrite(write(12, 0x1D101, {0x48, 0, 0, 0})));      // not a 16-bit code
    Writer badFormat;
    badFormat.U32(28).U32(prop::kImageFormat).U32(3).U32(0x10).U32(1).U32(0).U32(3);
    EXPECT_FALSE(EosProperties::ParseWrite(badFormat.Get())); // three files
}

TEST(EosPropertyWrites, BodyKeepsItsListAndItsReadOnlyValues) {
    auto props = EosProperties::Defaults();
    EXPECT_EQ(props.Set({prop::kIso, 0x58, {}}), rc::kOk);
    EXPECT_EQ(props.Find(prop::kIso)->value, 0x58u);
    EXPECT_EQ(props.Set({prop::kIso, 0x99, {}}), rc::kInvalidDevicePropValue);
    EXPECT_EQ(props.Find(prop::kIso)->value, 0x58u);
    EXPECT_EQ(props.Set({prop::kAvailableShots, 5, {}}), rc::kInvalidDevicePropValue);
    EXPECT_EQ(props.Set({prop::kAvailableShots, 5, {}}, /*force=*/true), rc::kOk);
    EXPECT_EQ(props.Set({0xD1FF, 1, {}}), rc::kDevicePropNotSupported);
}

// --- operation log -----------------------------------------------------------------------------------------

OperationRecord Op(std::uint16_t code) {
    OperationRecord r;
    r.code = code;
    return r;
}

TEST(OperationLogWaits, WakesForARecordAddedLaterAndTimesOutOtherwise) {
    OperationLog log;
    log.Append(Op(op::kEosGetEvent));
    std::thread writer([&] {
        std::this_thread::sleep_for(30ms);
        log.Append(Op(op::kEosGetEvent));
        log.Append(Op(op::kEosDriveLens));
    });
    auto found = log.WaitForCode(op::kEosDriveLens, 5s);
    writer.join();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->index, 2u);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(log.WaitForCode(op::kEosDoAf, 50ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 45ms);
}

TEST(OperationLogWaits, FromSkipsOlderRecordsAndIndicesSurviveClear) {
    OperationLog log;
    log.Append(Op(op::kEosDriveLens));
    EXPECT_FALSE(log.WaitForCode(op::kEosDriveLens, 10ms, /*from=*/1));
    log.Clear();
    EXPECT_EQ(log.Size(), 1u);
    auto r = log.Append(Op(op::kEosDriveLens));
    EXPECT_EQ(r.index, 1u);
    EXPECT_TRUE(log.WaitForCode(op::kEosDriveLens, 10ms, /*from=*/1));
    EXPECT_EQ(log.Count(op::kEosDriveLens), 1u);
}

// --- JPEG ---------------------------------------------------------------------------------------------------

TEST(StandinJpeg, PhotosHaveTheAskedSizeAndDecode) {
    for (std::size_t size : {std::size_t{200 * 1024}, std::size_t{65537 + 100000}, std::size_t{1024 * 1024 + 3}}) {
        SCOPED_TRACE(size);
        auto jpeg = MakePhotoJpeg(size, 7);
        EXPECT_EQ(jpeg.size(), size);
        QImage image = DecodeJpeg(jpeg);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.width(), 960);
    }
    // Smaller than the picture itself: the bare picture.
    EXPECT_FALSE(DecodeJpeg(MakePhotoJpeg(10, 1)).isNull());
}

// --- the responder, with a bare client ------------------------------------------------------------------------

class RawClient {
public:
    explicit RawClient(std::uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        timeval tv{5, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~RawClient() { ::close(fd_); }
    bool Connected() const { return connected_; }
    bool Send(const Bytes& b) { return ::send(fd_, b.data(), b.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(b.size()); }
    // One packet (type, payload); nullopt on end of stream or timeout.
    std::optional<std::pair<std::uint32_t, Bytes>> Read() {
        std::uint8_t header[8];
        if (!ReadExact(header, 8))
            return std::nullopt;
        Reader r(header);
        const std::uint32_t length = *r.U32();
        const std::uint32_t type = *r.U32();
        Bytes payload(length - 8);
        if (!payload.empty() && !ReadExact(payload.data(), payload.size()))
            return std::nullopt;
        return std::make_pair(type, payload);
    }
    bool InitCommand() {
        Writer w;
        w.U32(0).U32(packet::kInitCommandRequest);
        for (int i = 0; i < 16; ++i)
            w.U8(static_cast<std::uint8_t>(i));
        w.Ucs2z("test").U32(0x00010000);
        w.PatchU32(0, static_cast<std::uint32_t>(w.Size()));
        if (!Send(w.Get()))
            return false;
        auto ack = Read();
        return ack && ack->first == packet::kInitCommandAck;
    }
    bool Request(std::uint16_t code, std::uint32_t tid, std::vector<std::uint32_t> params = {}) {
        Writer w;
        w.U32(0).U32(packet::kOperationRequest).U32(1).U16(code).U32(tid);
        for (auto p : params)
            w.U32(p);
        w.PatchU32(0, static_cast<std::uint32_t>(w.Size()));
        return Send(w.Get());
    }
    // Reads packets up to the response; returns its code and the data phase, if any.
    std::optional<std::pair<std::uint16_t, Bytes>> Response() {
        Bytes data;
        for (int i = 0; i < 8; ++i) {
            auto p = Read();
            if (!p)
                return std::nullopt;
            if (p->first == packet::kData || p->first == packet::kEndData)
                data.insert(data.end(), p->second.begin() + 4, p->second.end());
            if (p->first == packet::kOperationResponse)
                return std::make_pair(*Reader(p->second).U16(), data);
        }
        return std::nullopt;
    }

private:
    bool ReadExact(std::uint8_t* out, std::size_t n) {
        std::size_t got = 0;
        while (got < n) {
            ssize_t r = ::recv(fd_, out + got, n - got, 0);
            if (r <= 0)
                return false;
            got += static_cast<std::size_t>(r);
        }
        return true;
    }
    int fd_ = -1;
    bool connected_ = false;
};

TEST(StandinResponder, AnswersInOrderAndRefusesWhatItDoesNotKnow) {
    Watchdog watchdog(30s);
    StandinBody body;
    ASSERT_TRUE(body.Start());
    ASSERT_NE(body.Port(), 0);
    RawClient client(body.Port());
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(client.InitCommand());

    ASSERT_TRUE(client.Request(op::kEosGetEvent, 1));
    EXPECT_EQ(client.Response()->first, rc::kSessionNotOpen);
    ASSERT_TRUE(client.Request(op::kOpenSession, 2, {1}));
    EXPECT_EQ(client.Response()->first, rc::kOk);
    ASSERT_TRUE(client.Request(op::kOpenSession, 3, {1}));
    EXPECT_EQ(client.Response()->first, rc::kSessionAlreadyOpen);
    ASSERT_TRUE(client.Request(0x9999, 4));
    EXPECT_EQ(client.Response()->first, rc::kOperationNotSupported);

    // The first poll has every property and ends with the {8, 0} record; the next one only the terminator.
    ASSERT_TRUE(client.Request(op::kEosGetEvent, 5));
    auto first = client.Response();
    ASSERT_TRUE(first);
    ASSERT_GT(first->second.size(), 8u);
    Reader tail{std::span<const std::uint8_t>(first->second).subspan(first->second.size() - 8)};
    EXPECT_EQ(tail.U32(), 8u);
    EXPECT_EQ(tail.U32(), 0u);
    ASSERT_TRUE(client.Request(op::kEosGetEvent, 6));
    EXPECT_EQ(client.Response()->second.size(), 8u);

    // No EVF output to the PC yet: not ready.
    ASSERT_TRUE(client.Request(op::kEosGetViewFinderData, 7, {0x00200000}));
    EXPECT_EQ(client.Response()->first, rc::kEosNotReady);
    // An object nobody announced.
    ASSERT_TRUE(client.Request(op::kGetPartialObject, 8, {0x1234, 0, 100}));
    EXPECT_EQ(client.Response()->first, rc::kInvalidObjectHandle);

    auto log = body.Log().Snapshot();
    ASSERT_EQ(log.size(), 8u);
    for (std::size_t i = 0; i < log.size(); ++i)
        EXPECT_EQ(log[i].transaction, i + 1);
    body.Stop();
}

TEST(StandinResponder, ANewConnectionsSessionSurvivesTheOldConnectionClosing) {
    Watchdog watchdog(30s);
    StandinBody body;
    ASSERT_TRUE(body.Start());
    auto old = std::make_unique<RawClient>(body.Port());
    ASSERT_TRUE(old->InitCommand());
    ASSERT_TRUE(old->Request(op::kOpenSession, 1, {1}));
    EXPECT_EQ(old->Response()->first, rc::kOk);

    // The host reconnects before the body has seen the old connection go.
    RawClient fresh(body.Port());
    ASSERT_TRUE(fresh.InitCommand());
    ASSERT_TRUE(fresh.Request(op::kOpenSession, 1, {1}));
    EXPECT_EQ(fresh.Response()->first, rc::kOk);
    ASSERT_TRUE(old->Request(op::kEosGetEvent, 2));
    EXPECT_EQ(old->Response()->first, rc::kSessionNotOpen);

    const std::size_t mark = body.Log().Size();
    old.reset();
    // Give the body time to notice the close.
    for (int i = 0; i < 200 && body.CommandConnections() > 1; ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(body.CommandConnections(), 1);
    ASSERT_TRUE(fresh.Request(op::kEosGetEvent, 2));
    auto events = fresh.Response();
    ASSERT_TRUE(events);
    EXPECT_EQ(events->first, rc::kOk);
    EXPECT_GT(events->second.size(), 8u); // the new session hears every property
    EXPECT_EQ(body.Log().Count(op::kEosGetEvent, mark), 1u);
    body.Stop();
}

TEST(StandinResponder, GarbageLengthClosesOnlyThatConnection) {
    Watchdog watchdog(30s);
    StandinBody body;
    ASSERT_TRUE(body.Start());
    RawClient bad(body.Port());
    Writer w;
    w.U32(3).U32(packet::kInitCommandRequest); // a length shorter than its own header
    ASSERT_TRUE(bad.Send(w.Get()));
    EXPECT_FALSE(bad.Read()); // closed by the body

    RawClient good(body.Port());
    ASSERT_TRUE(good.InitCommand());
    ASSERT_TRUE(good.Request(op::kOpenSession, 1, {1}));
    EXPECT_EQ(good.Response()->first, rc::kOk);
    body.Stop();
}

TEST(StandinResponder, StopsPromptlyWithIdleAndHalfOpenClients) {
    Watchdog watchdog(30s);
    auto body = std::make_unique<StandinBody>();
    ASSERT_TRUE(body->Start());
    RawClient idle(body->Port());
    ASSERT_TRUE(idle.InitCommand());
    RawClient halfOpen(body->Port()); // connected, never says what it is
    ASSERT_TRUE(halfOpen.Connected());
    Writer partial;
    partial.U32(100).U32(packet::kOperationRequest); // promises 92 more bytes that never come
    ASSERT_TRUE(idle.Send(partial.Get()));
    std::this_thread::sleep_for(50ms);

    const auto start = std::chrono::steady_clock::now();
    body->Stop();
    body->Stop(); // twice is fine
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(body->CommandConnections(), 0);
    EXPECT_FALSE(idle.Read());
    body.reset();
}

TEST(StandinResponder, TwoBodiesGetTheirOwnPortsAndABusyPortIsReported) {
    StandinBody a, b;
    ASSERT_TRUE(a.Start());
    ASSERT_TRUE(b.Start());
    EXPECT_NE(a.Port(), b.Port());
    StandinOptions clash;
    clash.port = a.Port();
    StandinBody c(clash);
    std::string error;
    EXPECT_FALSE(c.Start(&error));
    EXPECT_NE(error.find("bind"), std::string::npos) << error;
    EXPECT_FALSE(c.Running());
}

} // namespace
} // namespace quor::standin::test
