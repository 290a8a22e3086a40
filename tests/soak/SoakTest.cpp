// Long sessions through the real console and the real component on the simulated camera: what a studio day does
// to the program, compressed. Each run measures resident memory, threads and descriptors after a warm-up and again
// at the end, and checks that the console's controls agree with the component when it is over.
#include "component/host/QuorCtrlComponent.h"
#include "component/sim/SimulatedLiveFeed.h"
#include "console/CameraConsoleDlg.h"
#include "control/ComponentRegistry.h"
#include "control/DispatchIds.h"
#include "control/PropertyCodes.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <set>
#include <string>

namespace quor::test {
namespace {

using component::QuorCtrlComponent;

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
// A sanitizer keeps freed memory in quarantine and its own shadow grows with use, so resident memory says
// nothing there; LeakSanitizer watches for leaks instead.
constexpr bool kMemoryMeasurable = false;
#else
constexpr bool kMemoryMeasurable = true;
#endif

struct Resources {
    long rssKb = 0;
    int threads = 0;
    int fds = 0;
};

long StatusField(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').front().toLong();
    return -1;
}

int Entries(const char* dir) {
    return static_cast<int>(QDir(QString::fromLatin1(dir)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
}

// `threads`: the count to give a thread that is ending by itself a moment to reach.
Resources Snapshot(int threads = 0) {
    // Let finished threads and deferred deletions settle first.
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    if (threads > 0)
        (void)QTest::qWaitFor([&] { return Entries("/proc/self/task") <= threads; }, 5000);
    return {StatusField("VmRSS"), Entries("/proc/self/task"), Entries("/proc/self/fd")};
}

class SoakTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        qputenv("QUORCTRL_SIMULATED_CAMERAS", "1");
        component::RegisterQuorCtrl();
        const ComponentFactory make = ComponentRegistry::FactoryFor(kQuorCtrlClassId);
        dlg_ = std::make_unique<CCameraConsoleDlg>(
            dir_.path().toStdString(), [this, make](QWidget* parent, const HostedProperties& props) {
                std::unique_ptr<IHostedComponent> c = make(parent, props);
                comp_ = dynamic_cast<QuorCtrlComponent*>(c.get());
                return c;
            });
        ASSERT_NE(comp_, nullptr);
        // The USB detection that starts with the component loads libgphoto2's drivers; let it finish before
        // anything is measured.
        ASSERT_TRUE(Settle([&] { return !comp_->Engine().Scanning(); }, 30000));
    }
    void TearDown() override { dlg_.reset(); }

    void Click(int id) {
        auto* button = qobject_cast<QAbstractButton*>(dlg_->GetDlgItem(id));
        ASSERT_NE(button, nullptr) << id;
        button->click();
    }
    QString Text(int id) const {
        QWidget* w = dlg_->GetDlgItem(id);
        if (auto* edit = qobject_cast<QLineEdit*>(w))
            return edit->text();
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            return button->text();
        return {};
    }
    bool Settle(const std::function<bool()>& done, int ms = 10000) { return QTest::qWaitFor(done, ms); }
    // Picks `text` in whichever property list offers it, as a click in the list would.
    bool Choose(const QString& text) {
        for (int id = 1004; id <= 1022; ++id)
            if (auto* combo = qobject_cast<QComboBox*>(dlg_->GetDlgItem(id)); combo) {
                const int i = combo->findText(text);
                if (i >= 0) {
                    combo->setCurrentIndex(i);
                    emit combo->activated(i);
                    return true;
                }
            }
        return false;
    }

    // Opens the first camera of the list and waits for its information to arrive.
    void Open() {
        ASSERT_EQ(dlg_->State().cameraOpen, 0);
        dlg_->SetItemText(1011, {}); // the console keeps the last camera's fields; see this one's arrive
        Click(1001);
        ASSERT_EQ(dlg_->State().cameraOpen, 1);
        ASSERT_TRUE(Settle([&] { return !Text(1011).isEmpty() && !Text(1016).isEmpty(); }))
            << "the camera's information never arrived";
    }
    void Close() {
        Click(1001);
        ASSERT_EQ(dlg_->State().cameraOpen, 0);
    }

    // The console shows what the component is doing.
    void ExpectConsistent() {
        EXPECT_EQ(dlg_->State().cameraOpen != 0, comp_->Engine().IsOpen());
        EXPECT_EQ(dlg_->State().liveViewOn != 0, comp_->Live().Running());
        EXPECT_EQ(Text(1001), comp_->Engine().IsOpen() ? QStringLiteral("关闭相机") : QStringLiteral("打开相机"));
        EXPECT_EQ(dlg_->State().continuousActive != 0, comp_->Status().seriesActive);
        EXPECT_EQ(comp_->PendingCaptures(), 0);
    }

    static void Report(const char* what, const Resources& before, const Resources& after, double seconds) {
        std::printf("[soak] %s: %.1f s; resident %ld -> %ld kB; threads %d -> %d; descriptors %d -> %d\n", what,
                    seconds, before.rssKb, after.rssKb, before.threads, after.threads, before.fds, after.fds);
        std::fflush(stdout);
    }
    static void ExpectNoGrowth(const Resources& before, const Resources& after, long allowedKb) {
        // Fewer is fine: Qt's own pool threads (painting, image conversion) retire after 30 s idle.
        EXPECT_LE(after.threads, before.threads) << "threads leaked";
        EXPECT_LE(after.fds, before.fds) << "descriptors leaked";
        if (kMemoryMeasurable) {
            EXPECT_LT(after.rssKb - before.rssKb, allowedKb) << "resident memory grew";
        }
    }

    QTemporaryDir dir_;
    std::unique_ptr<CCameraConsoleDlg> dlg_;
    QuorCtrlComponent* comp_ = nullptr;
};

TEST_F(SoakTest, ThousandOpenCloseCycles) {
    for (int i = 0; i < 20 && !HasFatalFailure(); ++i) { // warm-up: fonts, combo pop-ups, first-use caches
        Open();
        Close();
    }
    const Resources before = Snapshot();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 1000 && !HasFatalFailure(); ++i) {
        Open();
        Close();
    }
    const Resources after = Snapshot(before.threads);
    Report("1000 open/close cycles", before, after, clock.elapsed() / 1000.0);
    ExpectNoGrowth(before, after, 4 * 1024);
    ExpectConsistent();
}

TEST_F(SoakTest, FiveHundredLiveViewCycles) {
    comp_->Sim().liveViewWidth = 320;
    comp_->Sim().liveViewHeight = 240;
    Open();
    Click(1056); // frames through the console's own callback
    auto cycle = [&] {
        Click(1020);
        ASSERT_TRUE(comp_->Live().Running());
        // The console hears that live view runs from the component's notification, after the call.
        ASSERT_TRUE(Settle([&] { return dlg_->State().liveViewOn != 0 && comp_->Live().Pool().Published() > 0; }));
        Click(1021);
        ASSERT_FALSE(comp_->Live().Running());
        ASSERT_TRUE(Settle([&] { return dlg_->State().liveViewOn == 0; }));
    };
    for (int i = 0; i < 10 && !HasFatalFailure(); ++i)
        cycle();
    const Resources before = Snapshot();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 500 && !HasFatalFailure(); ++i)
        cycle();
    const Resources after = Snapshot(before.threads);
    Report("500 live-view start/stop cycles", before, after, clock.elapsed() / 1000.0);
    ExpectNoGrowth(before, after, 4 * 1024);
    ExpectConsistent();
}

TEST_F(SoakTest, HundredThousandFramesOfLiveView) {
    // Small frames as fast as the pipeline goes: the count, not the picture size, is what is soaked here.
    comp_->Sim().liveViewWidth = 96;
    comp_->Sim().liveViewHeight = 64;
    comp_->Sim().liveViewFps = component::SimulatedLiveFeed::kMaxFps;
    Open();
    Click(1056);
    Click(1020);
    ASSERT_TRUE(Settle([&] { return dlg_->State().liveViewOn != 0 && comp_->Live().Pool().Published() >= 100; }));
    const Resources before = Snapshot();
    QElapsedTimer clock;
    clock.start();
#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer runs the pipeline at a few hundred frames a second; a fifth of the run is plenty to see
    // races, and the plain and AddressSanitizer builds run the whole count.
    constexpr std::uint64_t kFrames = 20'000;
#else
    constexpr std::uint64_t kFrames = 100'000;
#endif
    ASSERT_TRUE(Settle([&] { return comp_->Live().Pool().Published() >= kFrames; }, 600'000))
        << "live view stalled at frame " << comp_->Live().Pool().Published();
    const double seconds = clock.elapsed() / 1000.0;
    const std::uint64_t produced = comp_->Live().Pool().Published();
    const std::uint64_t dropped = comp_->Live().Pool().Dropped();
    const Resources after = Snapshot();
    std::printf("[soak] %llu frames at %.0f frames/s, %llu shown by the view, %llu skipped\n",
                static_cast<unsigned long long>(produced), produced / seconds,
                static_cast<unsigned long long>(produced - dropped), static_cast<unsigned long long>(dropped));
    Report("live-view frames", before, after, seconds);
    EXPECT_GT(produced - dropped, 0u) << "the view showed no frame";
    ExpectNoGrowth(before, after, 2 * 1024);
    Click(1021);
    ASSERT_TRUE(Settle([&] { return dlg_->State().liveViewOn == 0; }));
    ExpectConsistent();
}

// Shots with write failures and a camera that goes missing halfway through downloads, at random. Every shot
// ends as a complete, decodable photo or as nothing at all; the series that follows never reuses a name.
TEST_F(SoakTest, TwoHundredShotsWithFaults) {
    std::mt19937 random(20261207);
    const QString photo = dir_.filePath(QStringLiteral("quortovu.jpg"));
    const QDir keep(dir_.filePath(QStringLiteral("kept")));
    ASSERT_TRUE(QDir().mkpath(keep.path()));

    auto selectSmallestPhotos = [&] { return Choose(QStringLiteral("Small 3")); };
    Open();
    ASSERT_TRUE(selectSmallestPhotos());
    // Warm-up: the capture thread starts with the first shot and stays for the session, and the allocator's
    // pools for encoding and previews fill over the first few dozen shots, then hold.
    for (int i = 0; i < 30; ++i) {
        Click(1003);
        ASSERT_TRUE(Settle([&] { return comp_->PendingCaptures() == 0 && QFile::exists(photo); }));
        ASSERT_TRUE(QFile::remove(photo));
    }
    for (const QString& n : QDir(dir_.path()).entryList(QDir::Files))
        ASSERT_TRUE(QFile::remove(dir_.filePath(n)));

    const Resources before = Snapshot();
    QElapsedTimer clock;
    clock.start();
    int completed = 0, failed = 0, pulled = 0;
    for (int shot = 0; shot < 200 && !HasFatalFailure(); ++shot) {
        const int roll = static_cast<int>(random() % 100);
        comp_->Sim().writesFail = roll < 10;
        comp_->Sim().pullOutDuringDownload = roll >= 10 && roll < 15;
        const int before = completed + failed + pulled;
        Click(1003);
        ASSERT_TRUE(Settle([&] { return comp_->PendingCaptures() == 0; })) << "shot " << shot << " never ended";
        QCoreApplication::processEvents();
        comp_->Sim().writesFail = false;
        if (roll >= 10 && roll < 15) { // the loss is handled on the window's thread once the worker reports it
            EXPECT_TRUE(Settle([&] { return !comp_->Engine().IsOpen(); })) << "shot " << shot;
        }

        if (!comp_->Engine().IsOpen()) { // pulled out: plug it back in and carry on
            ++pulled;
            // "shutDown" reaches the console after the call that noticed the loss has returned.
            EXPECT_TRUE(Settle([&] { return dlg_->State().cameraOpen == 0; }))
                << "the console still shows a camera that is gone";
            EXPECT_FALSE(QFile::exists(photo)) << "a photo lost halfway was written at shot " << shot;
            ASSERT_TRUE(comp_->Engine().PlugCamera());
            ASSERT_TRUE(Settle([&] { return qobject_cast<QComboBox*>(dlg_->GetDlgItem(1014))->count() > 0; }));
            Open();
            ASSERT_TRUE(selectSmallestPhotos());
            continue;
        }
        if (QFile::exists(photo)) {
            ++completed;
            EXPECT_EQ(dlg_->State().captureBusy, 0) << "the console still waits for shot " << shot;
            const QImage image(photo);
            EXPECT_FALSE(image.isNull()) << "shot " << shot << " is not a complete photo";
            ASSERT_TRUE(QFile::rename(photo, keep.filePath(QStringLiteral("%1.jpg").arg(shot))));
        } else {
            ++failed;
            EXPECT_TRUE(roll < 10) << "shot " << shot << " was lost without a fault";
        }
        EXPECT_EQ(completed + failed + pulled, before + 1);
    }
    // Nothing but finished photos in the folder, each kept under a name of its own: no half-written or
    // temporary files.
    const QRegularExpression ownName(QStringLiteral("^quortovu_\\d{8}-\\d{6}_\\d{4}\\.jpg$"));
    const QStringList left = QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left.filter(ownName), left);
    EXPECT_EQ(static_cast<int>(left.size()), completed);
    EXPECT_EQ(static_cast<int>(keep.entryList(QDir::Files).size()), completed);
    EXPECT_GT(completed, 150);
    EXPECT_GT(failed, 5);
    EXPECT_GT(pulled, 2);

    // A series with failing writes now and then: every frame it keeps has a name of its own.
    ASSERT_TRUE(Choose(QStringLiteral("Continuous Shooting")));
    ASSERT_TRUE(Settle([&] { return dlg_->IsItemEnabled(1029); }));
    Click(1029);
    ASSERT_EQ(dlg_->State().continuousActive, 1);
    std::set<QString> names;
    auto frames = [&] {
        for (const QString& n : QDir(dir_.path()).entryList({QStringLiteral("quortovu_*.jpg")}, QDir::Files))
            if (!left.contains(n))
                names.insert(n);
    };
    ASSERT_TRUE(Settle([&] {
        comp_->Sim().writesFail = random() % 4 == 0;
        frames();
        // A lost frame ends the series: it is started again, and its frames never take an earlier name.
        if (!comp_->Status().seriesActive && comp_->PendingCaptures() == 0) {
            Click(1029); // the console's caption still reads "stop": this click only resets it
            Click(1029);
        }
        return names.size() >= 20;
    }, 60'000));
    comp_->Sim().writesFail = false;
    if (dlg_->State().continuousActive)
        Click(1029);
    ASSERT_TRUE(Settle([&] { return comp_->PendingCaptures() == 0 && !comp_->Status().seriesActive; }));
    frames();
    for (const QString& n : names)
        EXPECT_FALSE(QImage(dir_.filePath(n)).isNull()) << n.toStdString() << " is not a complete photo";

    const Resources after = Snapshot(before.threads);
    std::printf("[soak] 200 shots: %d complete, %d write failures, %d pulled out; series kept %zu frames\n",
                completed, failed, pulled, names.size());
    Report("200 shots with faults", before, after, clock.elapsed() / 1000.0);
    ExpectNoGrowth(before, after, 8 * 1024);
    ExpectConsistent();
}

} // namespace
} // namespace quor::test
