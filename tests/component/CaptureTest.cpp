// Shooting with the simulated camera: single shots, refusals, failed writes, series, bulb, half-press and the
// settings dialog, end to end through the dispatch interface.
#include "ComponentFixture.h"

#include "component/host/QuorCtrlView.h"
#include "component/host/SettingsDialog.h"
#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>

namespace quor::component::test {
namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

double MeanLuma(const QImage& img) {
    const QImage small = img.scaled(64, 64).convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x)
            sum += qGray(small.pixel(x, y));
    return sum / (small.width() * small.height());
}

class CaptureTest : public ComponentTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        Make(1);
        ASSERT_TRUE(OpenAndSettle());
        UseQuality("Small 3");
    }
    void UseQuality(const std::string& text) {
        ASSERT_TRUE(ctrl.SetPropertyValue(prop::ImageQuality, sink.ValueOf(prop::ImageQuality, text)));
        Pump();
    }
    void Set(std::int32_t code, const std::string& text) {
        ASSERT_TRUE(ctrl.SetPropertyValue(code, sink.ValueOf(code, text))) << text;
        Pump();
    }
    bool Idle(int ms = 10000) { return WaitFor([&] { return component->PendingCaptures() == 0; }, ms); }
    std::string Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)).toStdString(); }
    QStringList Leftovers() const {
        return QDir(dir.path()).entryList({QStringLiteral(".quortovu-*")}, QDir::Files | QDir::Hidden);
    }

    QTemporaryDir dir;
};

TEST_F(ComponentTest, TakePictureRefusedWithoutCameraFullCardOrInjectedFault) {
    Make(1);
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("a.jpg")).toStdString();
    EXPECT_FALSE(ctrl.TakePicture(path)) << "no camera open";
    ASSERT_TRUE(OpenAndSettle());
    sink.events.clear();

    const std::int64_t card = Engine().CardFreeMegabytes();
    Engine().SetCardFreeMegabytes(0);
    EXPECT_FALSE(ctrl.TakePicture(path)) << "card full";
    Engine().SetCardFreeMegabytes(card);

    EXPECT_FALSE(ctrl.TakePicture("")) << "no path";
    component->Sim().nextCaptureFails = true;
    EXPECT_FALSE(ctrl.TakePicture(path)) << "injected fault";
    EXPECT_FALSE(component->Sim().nextCaptureFails) << "the fault fires once";
    EXPECT_FALSE(component->View()->Message().isEmpty());
    Pump();
    EXPECT_EQ(sink.CountNotify(notify::DownloadStart), 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
}

TEST_F(CaptureTest, ShotWritesDecodableJpegWithNotificationsInOrderOnTheWindowThread) {
    UseQuality("Small 1 Fine");
    const int shotsBefore = ctrl.GetPropertyValue(prop::AvailableShots);
    sink.events.clear();
    const std::string path = Path("quortovu.jpg");

    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(Call([&] { return ctrl.TakePicture(path); }));
    EXPECT_LT(t.elapsed(), 50 * kSlowdown) << "TakePicture returns at once";
    EXPECT_TRUE(sink.events.empty()) << "nothing is raised inside the call";
    ASSERT_TRUE(WaitFor([&] { return sink.CountNotify(notify::DownloadComplete) == 1; }));
    EXPECT_FALSE(sink.offThread);

    // Start, then progress in percent rising to 100, then complete.
    std::vector<std::string> names = sink.NotifyNames();
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(names.front(), notify::DownloadStart);
    EXPECT_EQ(names.back(), notify::DownloadComplete);
    int last = -1;
    for (const Recorded& r : sink.events) {
        if (r.id != kEventNotify || r.args[0].text != notify::ProgressReport)
            continue;
        EXPECT_GT(r.args[1].Int(), last);
        last = r.args[1].Int();
    }
    EXPECT_EQ(last, 100);

    const QImage photo = DecodeImage(path);
    ASSERT_FALSE(photo.isNull());
    EXPECT_EQ(photo.size(), QSize(1920, 1280));
    EXPECT_LT(ctrl.GetPropertyValue(prop::AvailableShots), shotsBefore);
    EXPECT_TRUE(Leftovers().isEmpty());
    EXPECT_EQ(component->View()->TransferProgress(), -1);
}

TEST_F(CaptureTest, ExposureAndWhiteBalanceShowInThePhoto) {
    const std::string dark = Path("dark.jpg"), bright = Path("bright.jpg"), warm = Path("warm.jpg");
    Set(prop::ShutterSpeed, "1/4000");
    ASSERT_TRUE(ctrl.TakePicture(dark));
    ASSERT_TRUE(Idle());
    Set(prop::ShutterSpeed, "1/125");
    ASSERT_TRUE(ctrl.TakePicture(bright));
    ASSERT_TRUE(Idle());
    EXPECT_GT(MeanLuma(DecodeImage(bright)), MeanLuma(DecodeImage(dark)) + 30);

    Set(prop::ShutterSpeed, "1/1000");
    Set(prop::WhiteBalance, "Shade");
    ASSERT_TRUE(ctrl.TakePicture(warm));
    ASSERT_TRUE(Idle());
    const QImage w = DecodeImage(warm).scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_GT(qRed(w.pixel(0, 0)), qBlue(w.pixel(0, 0)));
}

TEST_F(CaptureTest, FailedWriteLeavesNoFileKeepsThePreviousAndSaysWhy) {
    const std::string path = Path("quortovu.jpg");
    ASSERT_TRUE(ctrl.TakePicture(path));
    ASSERT_TRUE(WaitFor([&] { return sink.CountNotify(notify::DownloadComplete) == 1; }));
    const QByteArray before = ReadAll(QString::fromStdString(path));
    ASSERT_FALSE(before.isEmpty());

    component->Sim().writesFail = true;
    ASSERT_TRUE(ctrl.TakePicture(path));
    ASSERT_TRUE(Idle());
    Pump();
    EXPECT_EQ(sink.CountNotify(notify::DownloadComplete), 1) << "a failed write completes nothing";
    EXPECT_EQ(ReadAll(QString::fromStdString(path)), before);
    // The body saves to its card as well (as it does unless told otherwise): the photo is there still.
    ASSERT_EQ(ctrl.GetPropertyValue(prop::SaveTo), prop::SaveToCamera);
    EXPECT_EQ(component->View()->Message(),
              QStringLiteral("The photo of this shot was lost; the card still has it. The photo was not saved: a "
                             "write error on the computer (simulated)"));
    EXPECT_EQ(component->View()->TransferProgress(), -1);

    // A folder that does not exist: the photo lands in the fallback folder, and the user is told where.
    component->Sim().writesFail = false;
    const QString missing = dir.filePath(QStringLiteral("no/such/folder/x.jpg"));
    ASSERT_TRUE(ctrl.TakePicture(missing.toStdString()));
    ASSERT_TRUE(Idle());
    Pump();
    EXPECT_EQ(sink.CountNotify(notify::DownloadComplete), 2);
    EXPECT_FALSE(QFile::exists(missing));
    const QString fallback = component->FallbackFolder();
    EXPECT_TRUE(component->View()->Message().contains(fallback));
    EXPECT_FALSE(DecodeImage(QDir(fallback).filePath(QStringLiteral("x.jpg"))).isNull());
    EXPECT_TRUE(Leftovers().isEmpty());
}

TEST_F(CaptureTest, CameraPulledOutMidDownloadLeavesNoFileAndSaysThePhotoIsGone) {
    const std::string path = Path("pulled.jpg");
    ASSERT_TRUE(ctrl.SetPropertyValue(prop::SaveTo, prop::SaveToComputer)); // no copy on the card
    component->Sim().pullOutDuringDownload = true;
    ASSERT_TRUE(ctrl.TakePicture(path));
    ASSERT_TRUE(WaitFor([&] { return sink.CountNotify(notify::ShutDown) == 1; }));
    EXPECT_FALSE(Engine().IsOpen());
    EXPECT_EQ(Engine().CameraCount(), 0);
    ASSERT_TRUE(Idle());
    Pump();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
    EXPECT_EQ(sink.CountNotify(notify::DownloadComplete), 0);
    EXPECT_TRUE(Leftovers().isEmpty());
    EXPECT_EQ(component->View()->Message(),
              QStringLiteral("The photo of this shot was lost; the card has no copy. The camera was pulled out "
                             "during the download"));
}

TEST_F(CaptureTest, ContinuousShootingOverwritesNoPhotoAlreadyInTheFolder) {
    EXPECT_FALSE(ctrl.StartContinuousShooting(dir.path().toStdString())) << "single-shot drive mode";
    Set(prop::DriveMode, "High-Speed Continuous Shooting");
    // The names the first frame of a series started in the next seconds would get are taken already.
    QStringList taken;
    const QDateTime now = QDateTime::currentDateTime();
    for (int s = 0; s < 4; ++s) {
        taken << QStringLiteral("quortovu_%1_0001.jpg").arg(now.addSecs(s).toString(QStringLiteral("yyyyMMdd-HHmmss")));
        QFile f(dir.filePath(taken.last()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old photo");
    }
    sink.events.clear();
    ASSERT_TRUE(ctrl.StartContinuousShooting(dir.path().toStdString()));
    EXPECT_FALSE(ctrl.StartContinuousShooting(dir.path().toStdString())) << "one series at a time";
    ASSERT_TRUE(WaitFor([&] { return sink.CountNotify(notify::DownloadComplete) >= 4; }, 10000));
    EXPECT_TRUE(ctrl.StopContinuousShooting());
    EXPECT_FALSE(ctrl.StopContinuousShooting());
    ASSERT_TRUE(Idle());
    Pump();
    const int completed = sink.CountNotify(notify::DownloadComplete);
    EXPECT_EQ(sink.CountNotify(notify::DownloadStart), completed);

    for (const QString& name : taken)
        EXPECT_EQ(ReadAll(dir.filePath(name)), QByteArray("old photo"));
    QStringList photos = QDir(dir.path()).entryList({QStringLiteral("quortovu_*.jpg")}, QDir::Files, QDir::Name);
    EXPECT_EQ(photos.size(), completed + taken.size());
    for (const QString& name : taken)
        photos.removeAll(name);
    // The frames count up in the order they were taken, one series start for all of them.
    ASSERT_EQ(photos.size(), completed);
    EXPECT_TRUE(photos.first().endsWith(QStringLiteral("_0002.jpg"))) << photos.first().toStdString();
    for (const QString& name : photos) {
        EXPECT_EQ(name.left(25), photos.first().left(25));
        EXPECT_FALSE(DecodeImage(dir.filePath(name)).isNull()) << name.toStdString();
    }
}

TEST_F(CaptureTest, BulbBrightensWithItsDurationAndBareNamesGoToTheApplicationDirectory) {
    // ISO 100 at F22: the scene wants 1/8 s.
    Set(prop::IsoSpeed, "100");
    Set(prop::Aperture, "F22");
    auto bulb = [&](const std::string& path, int ms) {
        EXPECT_TRUE(ctrl.StartBulb(path));
        EXPECT_FALSE(ctrl.StartBulb(path)) << "already open";
        QTest::qWait(ms);
        EXPECT_TRUE(ctrl.StopBulb());
        EXPECT_TRUE(Idle());
        return DecodeImage(path);
    };
    const QImage shortOne = bulb(Path("short.jpg"), 20);
    const QImage longOne = bulb(Path("long.jpg"), 250);
    ASSERT_FALSE(shortOne.isNull());
    ASSERT_FALSE(longOne.isNull());
    EXPECT_GT(MeanLuma(longOne), MeanLuma(shortOne) + 40);
    EXPECT_FALSE(ctrl.StopBulb()) << "no bulb open";

    const QString bare = QStringLiteral("quortovu_bulb_test.jpg");
    const QString inAppDir = QDir(QuorCtrlComponent::ApplicationDirectory()).filePath(bare);
    QFile::remove(inAppDir);
    bulb(bare.toStdString(), 10);
    EXPECT_TRUE(QFile::exists(inAppDir));
    EXPECT_FALSE(DecodeImage(inAppDir).isNull());
    QFile::remove(inAppDir);
    for (const QString& kept : QDir(QuorCtrlComponent::ApplicationDirectory())
                                   .entryList({QStringLiteral("quortovu_bulb_test_*.jpg")}, QDir::Files))
        QFile::remove(QDir(QuorCtrlComponent::ApplicationDirectory()).filePath(kept));
}

TEST_F(CaptureTest, ShowAfterShotUntilResume) {
    auto* view = component->View();
    ASSERT_TRUE(ctrl.TakePicture(Path("a.jpg")));
    ASSERT_TRUE(WaitFor([&] { return sink.CountNotify(notify::DownloadComplete) == 1; }));
    EXPECT_TRUE(view->ShowingPhoto()) << "shown by default";
    EXPECT_TRUE(view->PlaceholderText().isEmpty());
    ctrl.ResumeLiveView();
    EXPECT_FALSE(view->ShowingPhoto());

    ctrl.SetShowAfterShot(false);
    ASSERT_TRUE(ctrl.TakePicture(Path("b.jpg")));
    ASSERT_TRUE(WaitFor([&] { return sink.CountNotify(notify::DownloadComplete) == 2; }));
    EXPECT_FALSE(view->ShowingPhoto());
}

TEST_F(CaptureTest, ClosingOrDestroyingDuringTransfersEndsThemCleanly) {
    EXPECT_EQ(ComponentThreads(), 0) << "the capture thread starts with the first shot";
    component->Sim().slowTransfer = true;
    const std::string path = Path("slow.jpg");
    ASSERT_TRUE(ctrl.TakePicture(path));
    ASSERT_TRUE(WaitFor([&] { return sink.CountNotify(notify::ProgressReport) >= 1; }));
    EXPECT_EQ(ThreadsNamed("quor-capture"), 1);
    EXPECT_GE(component->View()->TransferProgress(), 0) << "the view draws its own bar";
    ASSERT_TRUE(ctrl.CloseCamera());
    EXPECT_TRUE(Idle(1000 * kSlowdown));
    QTest::qWait(50);
    EXPECT_EQ(sink.CountNotify(notify::DownloadComplete), 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
    EXPECT_EQ(component->View()->TransferProgress(), -1);
    EXPECT_TRUE(WaitFor([&] { return ComponentThreads() == 0; }, 1000 * kSlowdown)) << "nothing runs for a closed camera";

    // Going away in the middle of a series, a bulb and a slow download.
    ASSERT_TRUE(OpenAndSettle());
    UseQuality("Small 3");
    Set(prop::DriveMode, "Continuous Shooting");
    ASSERT_TRUE(ctrl.StartContinuousShooting(dir.path().toStdString()));
    ASSERT_TRUE(ctrl.StartBulb(Path("bulb.jpg")));
    ASSERT_TRUE(WaitFor([&] { return sink.CountNotify(notify::DownloadStart) >= 1; }));
    QElapsedTimer t;
    t.start();
    component.reset();
    EXPECT_LT(t.elapsed(), 500 * kSlowdown);
    Pump();
    EXPECT_EQ(ComponentThreads(), 0) << "joined before the component is gone";
    EXPECT_TRUE(Leftovers().isEmpty());
}

TEST_F(CaptureTest, HalfPressMetersAndFocuses) {
    auto& lens = component->LensState();
    EXPECT_FALSE(lens.InFocus());
    ctrl.PressShutterHalfway(1);
    EXPECT_TRUE(component->Status().halfPressed);
    EXPECT_TRUE(component->View()->DebugLines().join('\n').contains(QStringLiteral("half-pressed")));
    EXPECT_TRUE(WaitFor([&] { return lens.InFocus(); }, 1000 * kSlowdown));
    EXPECT_DOUBLE_EQ(lens.Blur(), 0.0);
    ctrl.PressShutterHalfway(0);
    EXPECT_FALSE(component->Status().halfPressed);

    // With the lens on MF, a half-press meters but does not focus.
    lens.Drive(0x8003);
    Engine().SetLensManualFocus(true);
    ctrl.PressShutterHalfway(1);
    EXPECT_FALSE(lens.Focusing());
}

TEST_F(CaptureTest, ControlModeAndTheCamerasOwnShutterButton) {
    EXPECT_FALSE(ctrl.SetControlMode(3));
    EXPECT_TRUE(ctrl.SetControlMode(1));
    EXPECT_FALSE(component->PressCameraShutter()) << "program control: the camera's button is not ours";
    EXPECT_TRUE(ctrl.SetControlMode(2));

    SettingsDialog dialog(&component->Settings(), component->View());
    EXPECT_TRUE(dialog.cameraShutter()->isEnabled());
    // Only this test's kind of name: other tests running meanwhile may save beside the program too.
    const QDir appDir(QuorCtrlComponent::ApplicationDirectory());
    const QRegularExpression ownShot(QStringLiteral("^quortovu_\\d{8}-\\d{6}_\\d{4}\\.jpg$"));
    const QStringList before = appDir.entryList(QDir::Files).filter(ownShot);
    dialog.cameraShutter()->click();
    ASSERT_TRUE(WaitFor([&] { return sink.CountNotify(notify::DownloadComplete) == 1; }));
    QStringList after = appDir.entryList(QDir::Files).filter(ownShot);
    for (const QString& name : before)
        after.removeAll(name);
    ASSERT_EQ(after.size(), 1);
    EXPECT_FALSE(DecodeImage(appDir.filePath(after[0])).isNull());
    QFile::remove(appDir.filePath(after[0]));
}

TEST_F(CaptureTest, SettingsDialogChangesApplyAtOnce) {
    SettingsDialog dialog(&component->Settings(), component->View());
    dialog.failNextCapture()->setChecked(true);
    EXPECT_TRUE(component->Sim().nextCaptureFails);
    EXPECT_TRUE(component->View()->DebugLines().join('\n').contains(QStringLiteral("next capture fails")));
    dialog.slowTransfer()->setChecked(true);
    EXPECT_TRUE(component->Sim().slowTransfer);
    dialog.manualFocus()->setChecked(true);
    EXPECT_TRUE(Engine().LensManualFocus());
    dialog.cardMegabytes()->setValue(0);
    EXPECT_EQ(ctrl.GetPropertyValue(prop::AvailableShots), 0);
    dialog.cameraCount()->setValue(3);
    EXPECT_EQ(ctrl.GetCameraCount(), 3);

    // Through the dispatch interface: modal, and it returns when closed.
    CloseSettingsDialogSoon();
    ctrl.ShowSettingsDialog();
}

} // namespace
} // namespace quor::component::test
