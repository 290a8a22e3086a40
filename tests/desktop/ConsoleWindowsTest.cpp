// The console and the component's windows in a person's hands: the real program on a laptop-sized X screen
// with a window manager, running its console modally, worked with the pointer and the keyboard, judged by what
// the screen shows and what lands on disk.
#include "tests/desktop/Desktop.h"
#include "tests/support/FatStick.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

#include <sys/statvfs.h>

namespace quor::desktop {
namespace {

using namespace std::chrono_literals;

constexpr int kScreenWidth = 1366, kScreenHeight = 768;

// The console is laid out in dialog units of 6 x 12 pixel base units (4 x 8 units a base unit).
QRect Dlu(int x, int y, int w, int h) { return QRect(x * 6 / 4, y * 12 / 8, w * 6 / 4, h * 12 / 8); }

// Controls by their place in the console.
const QRect kOpenButton = Dlu(477, 21, 41, 12);
const QRect kShootButton = Dlu(383, 37, 41, 12);
const QRect kLiveOnButton = Dlu(12, 21, 40, 12);
const QRect kSettingsButton = Dlu(311, 38, 40, 12);
const QRect kShutterList = Dlu(429, 97, 85, 12);
const QRect kDriveList = Dlu(429, 202, 85, 12);
const QRect kSeriesButton = Dlu(477, 37, 41, 12);
const QRect kView(22, 100, 500, 330);
// An empty stretch of the console (inside the camera-parameter group, left of the labels).
const QPoint kNowhere = Dlu(362, 232, 6, 6).center();

// The share of pixels that differ between two pictures of the same area.
double Changed(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull())
        return 1.0;
    int changed = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            changed += a.pixel(x, y) != b.pixel(x, y);
    return double(changed) / double(a.width() * a.height());
}

class ConsoleWindows : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        ASSERT_TRUE(desktop_.Start(kScreenWidth, kScreenHeight, &why)) << why;
        // The program's folder is a copy of its own, so the photos it takes next to itself land here.
        ASSERT_TRUE(app_.isValid() && home_.isValid());
        exe_ = app_.filePath(QStringLiteral("quortovu"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(QUOR_CONSOLE_EXE), exe_));
        QFile(exe_).setPermissions(QFile::permissions(exe_) | QFileDevice::ExeOwner);
        BeforeLaunch();
        if (IsSkipped() || HasFatalFailure())
            return;
        const std::string home = home_.path().toStdString();
        desktop_.Launch(exe_.toStdString(),
                        {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/.config", "QT_QPA_PLATFORM=xcb",
                         "QUORCTRL_SIMULATED_CAMERAS=1", "LC_ALL=C.UTF-8", "LANGUAGE="},
                        home + "/stderr.txt");
        console_ = desktop_.WaitForWindow("^QuorTovu");
        ASSERT_TRUE(console_.Valid()) << "the console did not show";
    }

    // What a test sets up in the program's home before it starts.
    virtual void BeforeLaunch() {}

    QPoint At(QPoint p) const { return console_.client.topLeft() + p; }
    QRect On(QRect r) const { return r.translated(console_.client.topLeft()); }
    QImage Picture(QRect screenArea) const { return desktop_.Screenshot().copy(screenArea); }
    // Clicks at `p` (console coordinates) and waits until `watched` (console coordinates) shows something else.
    bool ClickAndSee(QPoint p, QRect watched, int times = 1) {
        const QImage before = Picture(On(watched));
        desktop_.Click(At(p), 1, times);
        return WaitUntil([&] { return Changed(before, Picture(On(watched))) > 0.02; }, 20s);
    }
    void OpenCameraAndLiveView() {
        ASSERT_TRUE(ClickAndSee(kOpenButton.center(), kLiveOnButton)) << "Live On never became usable";
        ASSERT_TRUE(ClickAndSee(kLiveOnButton.center(), kView)) << "live view never showed";
    }
    QString Preference(const char* key) const {
        return QSettings(home_.filePath(QStringLiteral(".config/QuorTovu/QuorCtrl.conf")), QSettings::IniFormat)
            .value(QLatin1String(key))
            .toString();
    }
    bool ConsoleEnds() {
        return WaitUntil([&] { return !desktop_.Running(); }, 20s);
    }

    Desktop desktop_;
    QTemporaryDir app_, home_;
    QString exe_;
    Window console_;
};

TEST_F(ConsoleWindows, LargeViewTakesKeysAndItsCloseButtonBesideTheModalConsoleAndGoesWithIt) {
    OpenCameraAndLiveView();
    desktop_.Click(At(kView.center()), 1, 2);
    Window large = desktop_.WaitForWindow("实时取景");
    ASSERT_TRUE(large.Valid()) << "a double-click on the picture opened no window";
    // In front of the console and fully on the screen, with the keyboard.
    EXPECT_TRUE(QRect(0, 0, kScreenWidth, kScreenHeight).contains(large.client)) << large.client.x();
    EXPECT_TRUE(WaitUntil([&] { return desktop_.ActiveWindow() == large.id; }, 10s));

    desktop_.Key("f");
    EXPECT_TRUE(WaitUntil([&] { return desktop_.Locate(large.id).client == QRect(0, 0, kScreenWidth, kScreenHeight); },
                          10s))
        << "F did not make it full screen";
    desktop_.Key("f");
    EXPECT_TRUE(WaitUntil([&] { return desktop_.Locate(large.id).client.width() < kScreenWidth; }, 10s));
    desktop_.Key("Escape");
    EXPECT_TRUE(desktop_.WaitGone(large.id)) << "Esc did not close the large view";
    EXPECT_TRUE(desktop_.Running()) << "Esc in the large view closed the console too";

    // Again, closed with the window manager's close button at the right end of its title bar.
    desktop_.Click(At(kView.center()), 1, 2);
    large = desktop_.WaitForWindow("实时取景");
    ASSERT_TRUE(large.Valid());
    ASSERT_GT(large.frameTop, 4) << "no title bar";
    desktop_.Click(QPoint(large.client.right() - 8, large.client.top() - large.frameTop / 2));
    EXPECT_TRUE(desktop_.WaitGone(large.id)) << "the close button did not close the large view";

    // The console goes on taking input: a shot lands next to the program.
    desktop_.Click(At(kShootButton.center()));
    EXPECT_TRUE(WaitUntil([&] { return QFile::exists(app_.filePath(QStringLiteral("quortovu.jpg"))); }, 20s));

    // Closing the console takes the large view with it. The large view stands over the console: dragged aside
    // by its title bar first, so that a click reaches the console.
    desktop_.Click(At(kView.center()), 1, 2);
    large = desktop_.WaitForWindow("实时取景");
    ASSERT_TRUE(large.Valid());
    ASSERT_TRUE(WaitUntil([&] { return desktop_.ActiveWindow() == large.id; }, 10s));
    const QPoint title(large.client.left() + 40, large.client.top() - large.frameTop / 2);
    ASSERT_TRUE(desktop_.DragWindow(large.id, title, QPoint(console_.client.right() + 60, title.y())));
    ASSERT_TRUE(WaitUntil([&] { return desktop_.Locate(large.id).client.left() > console_.client.right(); }, 10s));
    desktop_.Click(At(kNowhere));
    ASSERT_TRUE(WaitUntil([&] { return desktop_.ActiveWindow() == console_.id; }, 10s));
    desktop_.Key("Escape");
    EXPECT_TRUE(ConsoleEnds());
    EXPECT_TRUE(desktop_.WaitGone(large.id));
}

TEST_F(ConsoleWindows, ThePictureTakesItsOwnKeysOnceClickedAndLeavesTheConsoleItsOwn) {
    OpenCameraAndLiveView();
    // The histogram's corner of the picture: its red, green and blue lines show there, and nowhere in the scene.
    const QRect corner = On(QRect(kView.right() - 8 - 128, kView.bottom() - 16 - 55, 128, 55));
    double share = 0;
    auto histogram = [&] {
        const QImage shot = desktop_.Screenshot();
        share = 0;
        for (QRgb line : {qRgb(255, 70, 70), qRgb(70, 230, 70), qRgb(90, 140, 255)})
            share += ShareNear(shot, corner, line, 50);
        return share;
    };
    desktop_.Click(At(kView.center()));
    EXPECT_LT(histogram(), 0.002);
    desktop_.Key("h");
    EXPECT_TRUE(WaitUntil([&] { return histogram() > 0.01; }, 10s)) << "no histogram: " << share;
    EXPECT_TRUE(WaitUntil([&] { return Preference("aids/histogram") == QLatin1String("true"); }, 10s));
    desktop_.Key("h");
    EXPECT_TRUE(WaitUntil([&] { return histogram() < 0.002; }, 10s)) << "the histogram stays: " << share;
    desktop_.Key("g");
    EXPECT_TRUE(WaitUntil([&] { return Preference("aids/grid") == QLatin1String("1"); }, 10s)) << "G made no grid";
    desktop_.Key("p");
    EXPECT_TRUE(WaitUntil([&] { return Preference("aids/peaking") == QLatin1String("true"); }, 10s));

    // Enter is the console's (it never closes it); Escape is the console's and closes it.
    desktop_.Key("Return");
    desktop_.Key("Escape");
    EXPECT_TRUE(ConsoleEnds()) << "Escape in the picture did not reach the console";
}

TEST_F(ConsoleWindows, SettingsDialogFitsALaptopScreenAndItsTabsSwitch) {
    ASSERT_TRUE(ClickAndSee(kOpenButton.center(), kSettingsButton));
    desktop_.Click(At(kSettingsButton.center()));
    const Window settings = desktop_.WaitForWindow("QuorCtrl 设置");
    ASSERT_TRUE(settings.Valid()) << "the settings dialog did not show";
    const QRect framed = settings.client.adjusted(0, -settings.frameTop, 0, 0);
    EXPECT_TRUE(QRect(0, 0, kScreenWidth, kScreenHeight).contains(framed))
        << framed.width() << "x" << framed.height() << " at " << framed.x() << "," << framed.y();
    EXPECT_LE(settings.client.height(), 700);

    // Each tab shows something else; the last one holds the simulated cameras.
    QImage shown = desktop_.Screenshot().copy(settings.client);
    for (int tab = 1; tab < 4; ++tab) {
        desktop_.Key("ctrl+Tab");
        EXPECT_TRUE(WaitUntil([&] { return Changed(shown, desktop_.Screenshot().copy(settings.client)) > 0.05; }, 10s))
            << "tab " << tab << " did not show";
        shown = desktop_.Screenshot().copy(settings.client);
    }
    desktop_.Key("Escape");
    EXPECT_TRUE(desktop_.WaitGone(settings.id)) << "Escape did not close the settings dialog";
    EXPECT_TRUE(desktop_.Running()) << "Escape in the settings dialog closed the console";
}

TEST_F(ConsoleWindows, ATypedShutterSpeedTheCameraWasNotGivenReturnsToTheCameraValue) {
    ASSERT_TRUE(ClickAndSee(kOpenButton.center(), kShutterList));
    const QPoint field = kShutterList.topLeft() + QPoint(20, kShutterList.height() / 2);
    auto fieldText = [&] {
        desktop_.Click(At(field));
        desktop_.Key("ctrl+a");
        desktop_.Key("ctrl+c");
        return desktop_.Clipboard();
    };
    std::string camera;
    ASSERT_TRUE(WaitUntil([&] { return !(camera = fieldText()).empty(); }, 10s));

    desktop_.Key("ctrl+a");
    desktop_.Type("1/3333");
    const QImage quiet = Picture(On(kView));
    desktop_.Key("Tab");
    // The view says which values the camera offers, in its notice colour (slate over the light background).
    const QRect lower = On(kView.adjusted(0, kView.height() * 2 / 3, 0, 0));
    EXPECT_TRUE(WaitUntil([&] { return ShareNear(desktop_.Screenshot(), lower, qRgb(71, 90, 113), 12) > 0.05; }, 10s))
        << "no notice";
    EXPECT_LT(ShareNear(desktop_.Screenshot(), lower, qRgb(166, 59, 59), 16), 0.01) << "told as a failure";
    EXPECT_GT(Changed(quiet, Picture(On(kView))), 0.02);

    std::string shown;
    EXPECT_TRUE(WaitUntil([&] { return (shown = fieldText()) == camera; }, 10s))
        << "the field shows " << shown << ", the camera has " << camera;
}

// The photos go to a FAT stick, and so would those the save folder cannot take (the pictures folder is on it too).
class ConsoleOnAStick : public ConsoleWindows {
protected:
    void BeforeLaunch() override {
        if (const std::string why = stick_.Mount(); !why.empty())
            GTEST_SKIP() << "no FUSE mount for the test: " << why;
        const QDir stick(stick_.MountPoint());
        ASSERT_TRUE(stick.mkpath(QStringLiteral("photos")) && stick.mkpath(QStringLiteral("Pictures/QuorTovu")));
        QSettings(home_.filePath(QStringLiteral(".config/QuorTovu/QuorCtrl.conf")), QSettings::IniFormat)
            .setValue(QStringLiteral("photos/saveFolder"), stick.filePath(QStringLiteral("photos")));
        QFile dirs(home_.filePath(QStringLiteral(".config/user-dirs.dirs")));
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_PICTURES_DIR=\"" + QFile::encodeName(stick.filePath(QStringLiteral("Pictures"))) + "\"\n");
    }
    // Fills the stick but for a few kilobytes, with a file of its own.
    void Fill() {
        struct statvfs fs {};
        ASSERT_EQ(::statvfs(QFile::encodeName(stick_.MountPoint()).constData(), &fs), 0);
        QFile filler(Filler());
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(1 << 16, 'f');
        for (qint64 left = qint64(fs.f_bavail) * qint64(fs.f_frsize) - (32 << 10); left > 0; left -= block.size())
            if (filler.write(block.left(int(std::min<qint64>(left, block.size())))) < 0)
                break;
    }
    QString Filler() const { return stick_.MountPoint() + QStringLiteral("/filler"); }
    qsizetype Photos() const { return QDir(stick_.MountPoint() + QStringLiteral("/photos")).entryList(QDir::Files).size(); }
    // The series button as it reads with the pointer elsewhere, once it has stopped changing.
    QImage SeriesButton() {
        desktop_.Click(At(kNowhere));
        QImage last = Picture(On(kSeriesButton)), now;
        WaitUntil([&] { return Changed(last, now = Picture(On(kSeriesButton))) == 0 || (last = now, false); }, 10s);
        return now;
    }

    quor::test::FatStick stick_{64};
};

TEST_F(ConsoleOnAStick, ASeriesEndedByAFullDiskLeavesTheButtonReadyForTheNext) {
    // Continuous drive mode: the item after single shooting, chosen in the list its arrow opens.
    ASSERT_TRUE(ClickAndSee(kOpenButton.center(), kDriveList));
    const QImage disabled = Picture(On(kSeriesButton));
    const QPoint arrow(kDriveList.right() - 6, kDriveList.center().y());
    ASSERT_TRUE(ClickAndSee(arrow, QRect(kDriveList.bottomLeft(), QSize(kDriveList.width(), 40))))
        << "the list did not open";
    desktop_.Key("Down");
    desktop_.Key("Return");
    const bool usable = WaitUntil([&] { return Changed(disabled, Picture(On(kSeriesButton))) > 0.02; }, 10s);
    ASSERT_TRUE(usable) << "the series button never became usable";

    // How the button reads while a series runs and once it is stopped.
    desktop_.Click(At(kSeriesButton.center()));
    ASSERT_TRUE(WaitUntil([&] { return Photos() >= 1; }, 30s)) << "the series wrote no frames";
    const QImage running = SeriesButton();
    desktop_.Click(At(kSeriesButton.center()));
    const QImage idle = SeriesButton();
    ASSERT_GT(Changed(running, idle), 0.02) << "the button reads the same running and stopped";

    // No room anywhere: the first frame is lost, the series ends by itself, and the button reads as stopped.
    Fill();
    const qsizetype before = Photos();
    desktop_.Click(At(kSeriesButton.center()));
    const QRect lower = On(kView.adjusted(0, kView.height() * 2 / 3, 0, 0));
    // The failure's dark red band, whatever part of a photo it lies over.
    ASSERT_TRUE(WaitUntil([&] { return ShareNear(desktop_.Screenshot(), lower, qRgb(146, 39, 39), 25) > 0.05; }, 20s))
        << "no failure was told in the view";
    EXPECT_LT(Changed(idle, SeriesButton()), 0.005) << "the button still reads as if the series ran";

    // With room again, one click starts a series.
    ASSERT_TRUE(QFile::remove(Filler()));
    desktop_.Click(At(kSeriesButton.center()));
    EXPECT_TRUE(WaitUntil([&] { return Photos() > before; }, 30s)) << "the first click did not start a series";
    EXPECT_LT(Changed(running, SeriesButton()), 0.005);
    desktop_.Click(At(kSeriesButton.center()));
    EXPECT_LT(Changed(idle, SeriesButton()), 0.005);
}

} // namespace
} // namespace quor::desktop
