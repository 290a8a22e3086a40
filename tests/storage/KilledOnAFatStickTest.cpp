// The program killed (kill -9) in the middle of a series written to a FAT stick mounted through FUSE (fusefat):
// a filesystem with no hard links, no O_TMPFILE and no exclusive rename, as many FUSE and network filesystems.
// Whatever moment the kill comes at, no file under a photo's name is partial or empty, and what a kill leaves
// behind (temporaries) is gone once the program has started again.
#include "tests/support/FatStick.h"
#include "tools/scripted/ConsoleProcess.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include <functional>

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quor::storage::test {
namespace {

using namespace std::chrono_literals;

QStringList Photos(const QString& dir) {
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}
QStringList Temporaries(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden).filter(QRegularExpression(QStringLiteral("^\\.")));
}

// Whole: not empty, ends where a JPEG ends, and decodes.
std::string WhatIsWrong(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "cannot be read";
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return "is empty";
    if (!bytes.endsWith("\xff\xd9"))
        return "is cut off after " + std::to_string(bytes.size()) + " bytes";
    if (QImage::fromData(bytes, "JPG").isNull())
        return "does not decode";
    return {};
}

// Names coming and going in a folder, as the kernel reports them (inotify): a wait for a change wakes at the
// change itself, and the kill lands as close after a new name as the kernel can tell.
class FolderWatch {
public:
    explicit FolderWatch(const QString& folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ >= 0)
            ::inotify_add_watch(fd_, QFile::encodeName(folder).constData(),
                                IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM);
    }
    ~FolderWatch() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;
    bool Valid() const { return fd_ >= 0; }

    // Whether `done` came to hold within `limit`, looked at again after each change in the folder.
    bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) const {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (done())
                return true;
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) < 0)
                return done();
            char events[4096];
            while (::read(fd_, events, sizeof events) > 0) {
            }
        }
    }

private:
    int fd_;
};

class KilledOnAFatStick : public ::testing::Test {
protected:
    // Starts the program with its photos going to the stick; false when it did not come up.
    bool Start(scripted::ConsoleProcess& console) {
        const std::string home = home_.path().toStdString();
        QSettings(home_.filePath(QStringLiteral("config/QuorTovu/QuorCtrl.conf")), QSettings::IniFormat)
            .setValue(QStringLiteral("photos/saveFolder"), stick_.MountPoint());
        return console.Start(QUOR_SCRIPTED_CONSOLE, {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/config",
                                                     "QUORCTRL_SIMULATED_CAMERAS=1", "QT_QPA_PLATFORM=offscreen"}) &&
               console.ReadLine(30s) == "ready 1";
    }

    quor::test::FatStick stick_;
    QTemporaryDir home_;
};

TEST_F(KilledOnAFatStick, LeavesNoPartialPhotoAndItsTemporariesGoAtTheNextStart) {
    if (const std::string why = stick_.Mount(); !why.empty())
        GTEST_SKIP() << "no FUSE mount for the test: " << why;
    const QString stick = stick_.MountPoint();
    // The stick is what the test is about: a second name for a file is refused there.
    {
        QFile probe(QDir(stick).filePath(QStringLiteral("probe")));
        ASSERT_TRUE(probe.open(QIODevice::WriteOnly));
        probe.close();
        EXPECT_NE(::link(QFile::encodeName(probe.fileName()).constData(),
                         QFile::encodeName(probe.fileName() + QStringLiteral("2")).constData()),
                  0);
        ASSERT_TRUE(probe.remove());
    }

    const FolderWatch watch(stick);
    ASSERT_TRUE(watch.Valid());
    // Each round kills the program the moment a further photo's name shows on the stick: where a photo's name
    // could appear before its contents are whole, that is inside the window where it is not.
    constexpr int kRounds = 8;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        scripted::ConsoleProcess console;
        ASSERT_TRUE(Start(console));
        ASSERT_EQ(scripted::Numbers(console.Ask("open", "open", 30s).value_or("open")).at(0), 1);
        const qsizetype before = Photos(stick).size();
        ASSERT_EQ(console.Ask("series", "series", 30s), "series 1");
        const qsizetype killAt = before + 1 + round % 3;
        ASSERT_TRUE(watch.WaitFor([&] { return Photos(stick).size() >= killAt; }, 60s))
            << "the series stopped writing";
        ASSERT_TRUE(console.Signal(SIGKILL));
        ASSERT_TRUE(console.Wait(30s));
    }

    const QStringList photos = Photos(stick);
    EXPECT_GE(photos.size(), kRounds);
    for (const QString& name : photos) {
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^quortovu_\\d{8}-\\d{6}_\\d{4}\\.jpg$")).match(name).hasMatch())
            << name.toStdString();
        const std::string wrong = WhatIsWrong(QDir(stick).filePath(name));
        EXPECT_TRUE(wrong.empty()) << name.toStdString() << " " << wrong;
    }

    // The next start clears what the kills left, without being asked to write anything.
    scripted::ConsoleProcess console;
    ASSERT_TRUE(Start(console));
    EXPECT_TRUE(watch.WaitFor([&] { return Temporaries(stick).isEmpty(); }, 30s)) << Temporaries(stick).join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(Photos(stick), photos) << "the start took photos away";
    ASSERT_TRUE(console.Ask("close", "closed", 10s));
    ASSERT_TRUE(console.Wait(30s));
}

} // namespace
} // namespace quor::storage::test
