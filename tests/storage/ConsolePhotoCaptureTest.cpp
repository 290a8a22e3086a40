// Photos that are never lost, the whole way from the console's buttons through the component and the simulated
// camera to real files: every shot kept under its own name with the newest under the console's, EXIF in each,
// series on filesystems without links, a failing disk that stops a series, a FIFO where the crop image should
// be, preferences that outlive the program, and what a killed write leaves for the next start.
#include "RefusedLinks.h"
#include "tests/support/EventLoop.h"
#include "tests/support/QtPrinters.h"

#include "component/host/QuorCtrlComponent.h"
#include "component/host/SettingsDialog.h"
#include "component/storage/DurableFile.h"
#include "console/CameraConsoleDlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <libexif/exif-data.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include <csignal>
#include <sys/stat.h>

namespace quor::test {
namespace {

using component::QuorCtrlComponent;

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr int kSlowdown = 6;
#else
constexpr int kSlowdown = 1;
#endif

class CountingConsole : public CCameraConsoleDlg {
public:
    using CCameraConsoleDlg::CCameraConsoleDlg;
    int completed = 0;

protected:
    void OnDownloadComplete() override {
        ++completed;
        CCameraConsoleDlg::OnDownloadComplete();
    }
};

std::string ExifText(ExifData* data, ExifIfd ifd, ExifTag tag) {
    ExifEntry* e = exif_content_get_entry(data->ifd[ifd], tag);
    if (!e)
        return {};
    char buffer[128] = {};
    exif_entry_get_value(e, buffer, sizeof buffer);
    return buffer;
}

class ConsolePhotoCapture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(appDir_.isValid() && pictures_.isValid() && settings_.isValid());
        MakeConsole();
    }
    void TearDown() override { dlg_.reset(); }

    void MakeConsole() {
        dlg_.reset();
        component::ComponentPlaces places;
        places.settingsFile = settings_.filePath(QStringLiteral("QuorCtrl.conf"));
        places.picturesFolder = pictures_.filePath(QStringLiteral("QuorTovu"));
        dlg_ = std::make_unique<CountingConsole>(
            appDir_.path().toStdString(), [this, places](QWidget* parent, const HostedProperties& props) {
                auto c = std::make_unique<QuorCtrlComponent>(parent, props, 1, component::RealCameraSources(), places);
                comp_ = c.get();
                return c;
            });
    }

    bool WaitUntil(const std::function<bool()>& done, int ms = 10000 * kSlowdown) {
        return quor::test::WaitUntil(done, ms);
    }
    void Click(int id) {
        auto* button = qobject_cast<QAbstractButton*>(dlg_->GetDlgItem(id));
        ASSERT_NE(button, nullptr) << id;
        button->click();
    }
    QComboBox* Combo(int id) { return qobject_cast<QComboBox*>(dlg_->GetDlgItem(id)); }
    void Choose(int id, const QString& text) {
        const int index = Combo(id)->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        Combo(id)->setCurrentIndex(index);
        emit Combo(id)->activated(index);
        ASSERT_TRUE(WaitUntil([&] { return Combo(id)->currentText() == text; }));
    }
    void Open() {
        Combo(1014)->setCurrentIndex(0);
        Click(1001);
        ASSERT_TRUE(WaitUntil([&] { return Combo(1010)->count() > 0 && !dlg_->GetItemText(1011).isEmpty(); }));
        Choose(1010, QStringLiteral("Small 3")); // quick photos
    }
    void Shoot() {
        const int before = dlg_->completed;
        Click(1003);
        ASSERT_TRUE(WaitUntil([&] { return dlg_->completed == before + 1; }));
    }
    void Series(int frames) {
        Choose(1017, QStringLiteral("Continuous Shooting"));
        ASSERT_TRUE(WaitUntil([&] { return dlg_->IsItemEnabled(1029); }));
        const int before = dlg_->completed;
        Click(1029);
        ASSERT_TRUE(WaitUntil([&] { return dlg_->completed >= before + frames; }));
        Click(1029);
        ASSERT_TRUE(WaitUntil([&] { return comp_->PendingCaptures() == 0; }));
        QCoreApplication::processEvents();
    }
    // Photos in `dir` kept under a name of their own: <stem>_<date>-<time>_<number>.jpg.
    static QStringList Kept(const QString& dir, const QString& stem = QStringLiteral("quortovu")) {
        const QRegularExpression kept(QStringLiteral("^%1_\\d{8}-\\d{6}_\\d{4}\\.jpg$").arg(stem));
        return QDir(dir).entryList(QDir::Files, QDir::Name).filter(kept);
    }
    static QStringList Hidden(const QString& dir) {
        return QDir(dir).entryList(QDir::Files | QDir::Hidden).filter(QRegularExpression(QStringLiteral("^\\.")));
    }
    static bool Decodes(const QString& path) { return !QImage(path).isNull(); }
    static ino_t Inode(const QString& path) {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
    }

    QTemporaryDir appDir_, pictures_, settings_;
    std::unique_ptr<CountingConsole> dlg_;
    QuorCtrlComponent* comp_ = nullptr;
};

TEST_F(ConsolePhotoCapture, TwoShotsAndAGrabAreEachKeptWithTheirSettingsAndTheNewestUnderTheConsolesName) {
    Open();
    const QString dir = appDir_.path();
    Shoot();
    Shoot();
    const QStringList kept = Kept(dir);
    ASSERT_EQ(kept.size(), 2) << QDir(dir).entryList(QDir::Files).join(' ').toStdString();
    for (const QString& name : kept)
        EXPECT_TRUE(Decodes(QDir(dir).filePath(name))) << name.toStdString();
    const QString newest = QDir(dir).filePath(QStringLiteral("quortovu.jpg"));
    EXPECT_EQ(Inode(newest), Inode(QDir(dir).filePath(kept[1]))) << "the newest is the second shot";
    EXPECT_NE(Inode(newest), Inode(QDir(dir).filePath(kept[0])));

    // What the console shows is what the photo says.
    ExifData* exif = exif_data_new_from_file(QFile::encodeName(QDir(dir).filePath(kept[1])).constData());
    ASSERT_NE(exif, nullptr);
    EXPECT_EQ(ExifText(exif, EXIF_IFD_0, EXIF_TAG_MODEL), dlg_->GetItemText(1011).toStdString());
    EXPECT_EQ(ExifText(exif, EXIF_IFD_EXIF, EXIF_TAG_BODY_SERIAL_NUMBER), dlg_->GetItemText(1012).toStdString());
    const std::string shutter = Combo(1006)->currentText().toStdString();
    EXPECT_EQ(ExifText(exif, EXIF_IFD_EXIF, EXIF_TAG_EXPOSURE_TIME), shutter + " sec.");
    EXPECT_EQ("F" + ExifText(exif, EXIF_IFD_EXIF, EXIF_TAG_FNUMBER).substr(2), Combo(1007)->currentText().toStdString());
    const QString iso = Combo(1005)->currentText();
    EXPECT_EQ(ExifText(exif, EXIF_IFD_EXIF, EXIF_TAG_ISO_SPEED_RATINGS),
              iso == QLatin1String("Auto") ? std::string("400") : iso.toStdString());
    EXPECT_EQ(ExifText(exif, EXIF_IFD_0, EXIF_TAG_ORIENTATION), "Top-left");
    const QDateTime taken = QDateTime::fromString(
        QString::fromStdString(ExifText(exif, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL)), QStringLiteral("yyyy:MM:dd HH:mm:ss"));
    EXPECT_LT(std::abs(taken.secsTo(QDateTime::currentDateTime())), 60);
    exif_data_unref(exif);

    // A grab: the newest under its own name, kept under a name of its own too.
    Click(1020);
    ASSERT_TRUE(WaitUntil([&] { return dlg_->State().liveViewOn != 0 && comp_->View()->CurrentFrame(); }));
    Click(1058);
    ASSERT_TRUE(WaitUntil([&] { return Kept(dir, QStringLiteral("quortovu_grab")).size() == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return comp_->PendingCaptures() == 0; }));
    EXPECT_TRUE(Decodes(QDir(dir).filePath(QStringLiteral("quortovu_grab.jpg"))));
    EXPECT_TRUE(Hidden(dir).isEmpty()) << Hidden(dir).join(' ').toStdString();
}

// On FAT sticks and SMB shares link() is refused; some filesystems have no renameat2 either.
TEST_F(ConsolePhotoCapture, WithLinksRefusedASeriesWritesEveryFrame) {
    Open();
    for (const Refuse refused : {Refuse::Links, Refuse::LinksAndExclusiveRename}) {
        SCOPED_TRACE(int(refused));
        QTemporaryDir dir;
        const RefusedFor filesystem(refused, dir.path());
        comp_->SetSaveFolder(dir.path());
        const int before = dlg_->completed;
        Series(5);
        const int frames = dlg_->completed - before;
        const QStringList kept = Kept(dir.path());
        EXPECT_EQ(kept.size(), frames);
        for (const QString& name : kept)
            EXPECT_TRUE(Decodes(dir.filePath(name))) << name.toStdString();
        EXPECT_TRUE(Hidden(dir.path()).isEmpty()) << Hidden(dir.path()).join(' ').toStdString();
        Choose(1017, QStringLiteral("Single Shooting"));
    }
}

TEST_F(ConsolePhotoCapture, AFailedWriteStopsTheSeriesAfterOneLoss) {
    Open();
    Choose(1017, QStringLiteral("Continuous Shooting"));
    ASSERT_TRUE(WaitUntil([&] { return dlg_->IsItemEnabled(1029); }));
    const int availableBefore = comp_->Engine().AvailableShots();
    comp_->Sim().writesFail = true; // the card reports a write error from now on
    Click(1029);
    ASSERT_TRUE(WaitUntil([&] { return !comp_->Status().seriesActive; }));
    ASSERT_TRUE(WaitUntil([&] { return comp_->PendingCaptures() == 0; }));
    QTest::qWait(400); // a series that went on would have taken its next frame by now
    EXPECT_EQ(comp_->Status().shotsTaken, 1);
    EXPECT_EQ(dlg_->completed, 0);
    EXPECT_EQ(comp_->Engine().AvailableShots(), availableBefore) << "a lost shot takes no room";
    EXPECT_TRUE(comp_->View()->Message().contains(QStringLiteral("series was stopped"))) << comp_->View()->Message().toStdString();
    EXPECT_TRUE(Kept(appDir_.path()).isEmpty());
    // The console heard that the series is over: its button reads as after Stop.
    ASSERT_TRUE(WaitUntil([&] { return dlg_->State().continuousActive == 0; }));
    EXPECT_EQ(dlg_->GetItemText(1029), QStringLiteral("连拍"));
    // The message stays until the user does something, then goes.
    QTest::qWait(300);
    EXPECT_FALSE(comp_->View()->Message().isEmpty());
    QTest::mouseClick(dlg_.get(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(comp_->View()->Message().isEmpty());
    // The next click starts a series again, and it runs once the card writes again.
    comp_->Sim().writesFail = false;
    Click(1029);
    EXPECT_EQ(dlg_->GetItemText(1029), QStringLiteral("停止"));
    ASSERT_TRUE(WaitUntil([&] { return comp_->Status().seriesActive && !Kept(appDir_.path()).isEmpty(); }));
    Click(1029);
    EXPECT_EQ(dlg_->GetItemText(1029), QStringLiteral("连拍"));
}

TEST_F(ConsolePhotoCapture, AFifoAtTheCropImagePathLeavesTheWindowResponsive) {
    const QString fifo = QDir(appDir_.path()).filePath(QStringLiteral("CropImg.png"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    Open();
    Click(1020);
    ASSERT_TRUE(WaitUntil([&] { return dlg_->IsItemEnabled(1063); }));
    QElapsedTimer t;
    t.start();
    Click(1063);
    EXPECT_LT(t.elapsed(), 200 * kSlowdown) << "the click returned late";
    comp_->DrainFileWork();
    ASSERT_TRUE(WaitUntil([&] { return !comp_->View()->CropFrameError().isEmpty(); }));
    EXPECT_TRUE(comp_->View()->CropFrameError().contains(QStringLiteral("not a regular file")));
    // The window goes on showing live view, and the console closes at once.
    const auto frames = comp_->View()->Stats().framesTaken;
    ASSERT_TRUE(WaitUntil([&] { return comp_->View()->Stats().framesTaken > frames + 3; }));
    t.restart();
    dlg_.reset();
    EXPECT_LT(t.elapsed(), 1000 * kSlowdown);
}

TEST_F(ConsolePhotoCapture, SettingsAreRememberedAndPhotosGoToTheChosenFolder) {
    Open();
    QTemporaryDir chosen;
    // The settings dialog is modal: it is worked while the console's click waits for it.
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<component::SettingsDialog*>(w);
            if (!dialog || !dialog->isVisible())
                continue;
            dialog->UseSaveFolder(chosen.path());
            dialog->networkAddress()->setText(QStringLiteral("10.0.0.7"));
            dialog->addNetworkCamera()->click();
            dialog->frameSize()->setCurrentIndex(dialog->frameSize()->findText(QStringLiteral("640 x 424")));
            emit dialog->frameSize()->activated(dialog->frameSize()->currentIndex());
            dialog->reject();
        }
    });
    Click(1057);
    Shoot();
    EXPECT_EQ(Kept(chosen.path()).size(), 1);
    EXPECT_TRUE(Decodes(QDir(chosen.path()).filePath(QStringLiteral("quortovu.jpg"))));
    EXPECT_TRUE(Kept(appDir_.path()).isEmpty());

    // The next run: the same list, the same folder, the same frames.
    comp_->DrainFileWork();
    MakeConsole();
    EXPECT_GE(Combo(1014)->findText(QStringLiteral("Network camera 10.0.0.7:15740")), 0);
    EXPECT_EQ(comp_->SaveFolder(), chosen.path());
    EXPECT_EQ(comp_->Sim().liveViewWidth, 640);
    Combo(1014)->setCurrentIndex(Combo(1014)->count() - 1); // the simulated camera, after the network one
    Click(1001);
    ASSERT_TRUE(WaitUntil([&] { return Combo(1010)->count() > 0; }));
    Shoot();
    EXPECT_EQ(Kept(chosen.path()).size(), 2);
}

// A kill needs a second process: ThreadSanitizer cannot follow a fork of a threaded process, so these two are
// not of the ConsolePhotoCapture suite that its stage runs.
using KilledWrite = ConsolePhotoCapture;

// The child of the next test: it begins two photo files (one where O_TMPFILE works, one with a name as on a
// filesystem without it), says so, and waits to be killed.
TEST(KilledWriteChild, DISABLED_WritesUntilKilled) {
    const QString folder = qEnvironmentVariable("QUOR_KILLED_WRITE_FOLDER");
    if (folder.isEmpty())
        GTEST_SKIP();
    component::storage::FolderAbilities anonymous, named;
    named.tmpfile = false;
    component::storage::PendingFile a, b;
    const QByteArray half(1 << 20, 'x');
    ASSERT_TRUE(a.Begin(folder, anonymous, nullptr) && a.Append(half.data(), std::size_t(half.size()), nullptr));
    ASSERT_TRUE(b.Begin(folder, named, nullptr) && b.Append(half.data(), std::size_t(half.size()), nullptr));
    std::printf("writing\n");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::seconds(60));
}

TEST_F(KilledWrite, ALeftoverTemporaryFileIsGoneAfterTheNextStart) {
    // A first run saved photos here, so the component knows the folder.
    QTemporaryDir photos;
    comp_->SetSaveFolder(photos.path());
    Open();
    Shoot();
    comp_->DrainFileWork();
    dlg_.reset();

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUOR_KILLED_WRITE_FOLDER"), photos.path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=KilledWriteChild.DISABLED_WritesUntilKilled"),
                 QStringLiteral("--gtest_also_run_disabled_tests")});
    ASSERT_TRUE(child.waitForStarted());
    QByteArray said;
    ASSERT_TRUE(WaitUntil([&] {
        said += child.readAllStandardOutput();
        return said.contains("writing") || child.state() != QProcess::Running;
    }, 30000 * kSlowdown));
    ASSERT_EQ(child.state(), QProcess::Running);
    EXPECT_EQ(Hidden(photos.path()).size(), 1) << "only the write without O_TMPFILE has a name";
    ::kill(pid_t(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished());
    EXPECT_EQ(Hidden(photos.path()).size(), 1) << "a kill leaves the temporary behind";

    MakeConsole(); // the next start
    comp_->DrainFileWork();
    EXPECT_TRUE(Hidden(photos.path()).isEmpty()) << Hidden(photos.path()).join(' ').toStdString();
    EXPECT_EQ(Kept(photos.path()).size(), 1) << "the photo saved before is untouched";
}

// Resident memory of this process in MB.
double ResidentMb() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? double(fields[1].toLongLong()) * double(::sysconf(_SC_PAGESIZE)) / (1 << 20) : -1;
}

// A long series at full size takes memory (photos rendered, encoded, written at once on several threads); once it
// has ended and its frames are on disk, it is given back, all but the previews kept for the onion skin.
TEST_F(ConsolePhotoCapture, MemoryIsGivenBackOnceASeriesHasEnded) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer holds freed memory on purpose";
#endif
    Open();
    Choose(1010, QStringLiteral("Large Fine"));
    Choose(1017, QStringLiteral("Continuous Shooting"));
    ASSERT_TRUE(WaitUntil([&] { return dlg_->IsItemEnabled(1029); }));
    const double before = ResidentMb();
    QElapsedTimer took;
    took.start();
    Click(1029);
    const bool shot = WaitUntil([&] { return dlg_->completed >= 100; }, 120000);
    Click(1029);
    ASSERT_TRUE(shot) << dlg_->completed << " frames";
    ASSERT_TRUE(WaitUntil([&] { return comp_->PendingCaptures() == 0; }));
    const double kept = double(comp_->View()->KeptPhotoBytes()) / (1 << 20);
    double after = ResidentMb();
    // Given back once the last frame is on disk, by work off the window's thread: waited for, not assumed.
    WaitUntil([&] { return (after = ResidentMb()) < before + kept + 20; }, 10000);
    std::printf("resident memory: %.0f MB before the series, %.0f MB after it, %.0f MB of it previews kept (%d frames "
                "in %lld ms)\n",
                before, after, kept, dlg_->completed, took.elapsed());
    EXPECT_LT(after, before + kept + 20);
}

} // namespace
} // namespace quor::test
