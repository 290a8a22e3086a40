// The console as the program runs it (a process of its own, quortovu-scripted) on a stand-in body that stops
// answering. An open on the stalled body keeps the window painting and gives up; once the window has closed,
// the process ends promptly although its camera's worker is stuck in libgphoto2, and the photo it was
// downloading when the window closed is on disk, whole, with no temporary file left behind.
#include "StandinFixture.h"
#include "tools/scripted/ConsoleProcess.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <sstream>

#include <csignal>

namespace quor::standin::test {
namespace {

using scripted::Numbers;

// The window may go without its event loop for no longer than this while an open waits for a stalled body (a
// frozen window stops for libgphoto2's whole time-out, seconds). Under a sanitizer on a busy machine ordinary
// work already takes a few hundred milliseconds.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr long kOpenGapMs = 1500;
#else
constexpr long kOpenGapMs = 600;
#endif
// From the window closing to the end of the process: well above what it takes (a worker's grace of 150 ms and
// the rest of the download), well below a worker joined on a stalled body (libgphoto2 gives up after seconds).
constexpr std::int64_t kEndBoundMs = 3000;

// A photo big enough to take a while over a slowed link; live-view frames small enough not to.
StandinOptions LargePhotoSmallFrames() {
    StandinOptions options;
    options.photoBytes = 1536 * 1024 + 77;
    options.frameWidth = 320;
    options.frameHeight = 212;
    return options;
}

// Starts the program on `body` with its photos going to `photos`, its home and settings in `dir`.
bool StartSavingTo(scripted::ConsoleProcess& console, const QTemporaryDir& dir, const QString& photos,
                   const StandinBody& body) {
    if (!QDir().mkpath(photos))
        return false;
    QSettings(dir.filePath(QStringLiteral("config/QuorTovu/QuorCtrl.conf")), QSettings::IniFormat)
        .setValue(QStringLiteral("photos/saveFolder"), photos);
    return console.Start(QUOR_SCRIPTED_CONSOLE,
                         {"HOME=" + dir.path().toStdString(), "XDG_CONFIG_HOME=" + dir.filePath("config").toStdString(),
                          "QUORCTRL_SIMULATED_CAMERAS=0",
                          "QUORCTRL_NETWORK_CAMERAS=127.0.0.1:" + std::to_string(body.Port())});
}

TEST(ConsoleExitStandin, AStalledBodyNeitherFreezesAnOpenNorHoldsUpTheEndAndThePhotoBeingWrittenIsKept) {
    Watchdog watchdog(120s);
    UseThrowawayHome(); // SIGPIPE ignored, as writes to a child that ended must not end the test
    const StandinOptions options = LargePhotoSmallFrames();
    StandinBody body(Traced(options));
    std::string error;
    ASSERT_TRUE(body.Start(&error)) << error;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString photos = dir.filePath(QStringLiteral("photos"));
    scripted::ConsoleProcess console;
    ASSERT_TRUE(StartSavingTo(console, dir, photos, body));
    ASSERT_EQ(console.ReadLine(30s), "ready 1");

    // An open while the body answers nothing: refused in the end, the window painting all along.
    body.Stall(true);
    const auto stalledOpen = console.Ask("open", "open", 30s);
    ASSERT_TRUE(stalledOpen);
    const std::vector<long> open = Numbers(*stalledOpen);
    ASSERT_EQ(open.size(), 3u) << *stalledOpen;
    EXPECT_EQ(open[0], 0) << "a body that answers nothing does not open";
    EXPECT_GT(open[1], 2 * kOpenGapMs) << "the open waited for the body: " << *stalledOpen;
    EXPECT_LT(open[2], kOpenGapMs) << "the window stopped painting while the open waited: " << *stalledOpen;
    body.Stall(false);

    // Open, live view, then a shot downloaded slowly; the body stops answering once the photo is out.
    ASSERT_EQ(Numbers(console.Ask("open", "open", 30s).value_or("open")).at(0), 1);
    ASSERT_EQ(console.Ask("live", "live", 30s), "live 1");
    const std::uint32_t frames = body.FramesServed();
    ASSERT_TRUE(body.Log().WaitForCode(op::kEosGetViewFinderData, 10000ms));
    body.SetSlowTransfers(64 * 1024, 15ms);
    body.StallAfter(op::kEosTransferComplete);
    const std::size_t mark = body.Log().Size();
    ASSERT_EQ(console.Ask("shoot", "shoot", 10s), "shoot");
    const auto download = [](const OperationRecord& r) {
        return r.code == op::kGetPartialObject || r.code == op::kGetObject;
    };
    ASSERT_TRUE(body.Log().WaitFor(download, 20000ms, mark)) << "the shot's download never started";
    EXPECT_GT(body.FramesServed(), frames);

    // The window closes while the photo is on its way.
    const auto closed = console.Ask("close", "closed", 10s);
    ASSERT_TRUE(closed);
    const auto end = console.Wait(30s);
    ASSERT_TRUE(end) << "the process never ended";
    const std::int64_t closedNs = std::stoll(closed->substr(std::strlen("closed ")));
    const std::int64_t tookMs = (end->atNs - closedNs) / 1000000;
    EXPECT_TRUE(WIFEXITED(end->status) && WEXITSTATUS(end->status) == 0) << "status " << end->status;
    EXPECT_LT(tookMs, kEndBoundMs) << "the process ended " << tookMs << " ms after its window";
    // The worker was stuck in a call on the body when the process ended.
    EXPECT_TRUE(body.Stalled());
    EXPECT_GE(body.WaitingOperations(), 1);

    // The photo, whole, under the console's name and its own; nothing else (no temporary) in the folder.
    const QStringList files = QDir(photos).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    const QRegularExpression kept(QStringLiteral("^quortovu_\\d{8}-\\d{6}_\\d{4}\\.jpg$"));
    ASSERT_EQ(files.size(), 2) << files.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(files[0], QStringLiteral("quortovu.jpg"));
    EXPECT_TRUE(kept.match(files[1]).hasMatch()) << files[1].toStdString();
    QFile photo(QDir(photos).filePath(files[1]));
    ASSERT_TRUE(photo.open(QIODevice::ReadOnly));
    const QByteArray bytes = photo.readAll();
    EXPECT_EQ(static_cast<std::size_t>(bytes.size()), options.photoBytes);
    EXPECT_FALSE(QImage::fromData(bytes, "JPG").isNull());
    body.Stall(false);
    body.Stop();
}

// Asked to end by the system (SIGTERM from a logout, systemctl or kill) while a photo is on its way: the
// program ends as when its window closes, with the photo whole on disk. A second request while the first is
// being carried out (here a body that stopped answering half-way through the photo) ends it at once.
TEST(ConsoleExitStandin, AnEndRequestFinishesThePhotoOnItsWayAndASecondOneEndsAtOnce) {
    Watchdog watchdog(120s);
    UseThrowawayHome();
    const StandinOptions options = LargePhotoSmallFrames();
    StandinBody body(Traced(options));
    std::string error;
    ASSERT_TRUE(body.Start(&error)) << error;
    for (const bool bodyStopsHalfWay : {false, true}) {
        SCOPED_TRACE(bodyStopsHalfWay ? "a second request" : "one request");
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString photos = dir.filePath(QStringLiteral("photos"));
        scripted::ConsoleProcess console;
        ASSERT_TRUE(StartSavingTo(console, dir, photos, body));
        ASSERT_EQ(console.ReadLine(30s), "ready 1");
        ASSERT_EQ(Numbers(console.Ask("open", "open", 30s).value_or("open")).at(0), 1);
        body.SetSlowTransfers(64 * 1024, 15ms);
        if (bodyStopsHalfWay)
            body.StallAfter(op::kGetPartialObject);
        const std::size_t mark = body.Log().Size();
        ASSERT_EQ(console.Ask("shoot", "shoot", 10s), "shoot");
        const auto download = [](const OperationRecord& r) {
            return r.code == op::kGetPartialObject || r.code == op::kGetObject;
        };
        ASSERT_TRUE(body.Log().WaitFor(download, 20000ms, mark)) << "the shot's download never started";

        ASSERT_TRUE(console.Signal(SIGTERM));
        if (bodyStopsHalfWay) {
            // Once the first request has closed the window, the program waits for the photo (which never
            // comes) until a second request ends it.
            const auto hidden = [&] {
                while (const auto line = console.ReadLine(10s))
                    if (*line == "hidden")
                        return true;
                return false;
            };
            ASSERT_TRUE(hidden()) << "the first request did not close the window";
            ASSERT_TRUE(console.Signal(SIGTERM));
            const auto end = console.Wait(30s);
            ASSERT_TRUE(end) << "the process never ended";
            EXPECT_TRUE(WIFEXITED(end->status) && WEXITSTATUS(end->status) == 128 + SIGTERM)
                << "status " << end->status;
            body.Stall(false);
            continue;
        }
        const auto end = console.Wait(30s);
        ASSERT_TRUE(end) << "the process never ended";
        EXPECT_TRUE(WIFEXITED(end->status) && WEXITSTATUS(end->status) == 0) << "status " << end->status;
        // The photo, whole, under the console's name and its own; no temporary left.
        const QStringList files = QDir(photos).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        ASSERT_EQ(files.size(), 2) << files.join(QLatin1Char(' ')).toStdString();
        QFile photo(QDir(photos).filePath(files[1]));
        ASSERT_TRUE(photo.open(QIODevice::ReadOnly));
        const QByteArray bytes = photo.readAll();
        EXPECT_EQ(static_cast<std::size_t>(bytes.size()), options.photoBytes);
        EXPECT_FALSE(QImage::fromData(bytes, "JPG").isNull());
    }
    body.Stop();
}

} // namespace
} // namespace quor::standin::test
