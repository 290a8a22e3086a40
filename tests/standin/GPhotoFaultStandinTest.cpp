// Faults of a real camera, injected by the stand-in body, as the console sees them: busy answers, slow transfers,
// a connection lost in the middle of a download or of live view, a camera that cannot be opened, and a console
// closed while the body is exposing, shooting or streaming. The window's thread keeps running throughout.
#include "GPhotoConsoleFixture.h"

#include "component/host/QuorCtrlView.h"
#include "control/DispatchIds.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QScopeGuard>

#include <algorithm>

namespace quor::standin::test {
namespace {

using GPhotoFaultStandin = GPhotoConsoleTest;

TEST_F(GPhotoFaultStandin, BusyAnswersAndSlowTransfersAreWaitedOutWithoutFreezingTheWindow) {
    Open();
    std::size_t mark = body_->Log().Size();
    body_->AnswerBusy(4);
    ASSERT_TRUE(Choose(1005, QStringLiteral("400")));
    EXPECT_TRUE(BodyGets(prop::kIso, 0x58, mark));
    EXPECT_GE(body_->Log().Find([](const OperationRecord& r) { return r.response == rc::kDeviceBusy; }, mark).size(),
              4u);

    // A shot whose release is refused as busy three times, downloaded slowly.
    body_->AnswerBusy(3, op::kEosRemoteReleaseOn);
    body_->SetSlowTransfers(128 * 1024, 15ms);
    Click(1003);
    ASSERT_TRUE(WaitUntil([this] { return Noted(notify::DownloadComplete); }, 15000));
    EXPECT_EQ(Files(), (QStringList{QStringLiteral("quortovu.jpg")} + Kept()));
    EXPECT_EQ(Kept().size(), 1);
    EXPECT_EQ(dlg_->progress.back(), 100);
    EXPECT_EQ(dlg_->State().cameraOpen, 1);
    EXPECT_LT(longestGapMs_, kResponsiveMs);
}

// A body in a series refuses new settings until the series ends. The setting waits for that, and neither the
// series' stop nor its frames wait for the setting.
TEST_F(GPhotoFaultStandin, ASettingRefusedDuringASeriesIsTakenAfterItAndTheSeriesStillStops) {
    Open();
    std::size_t mark = body_->Log().Size();
    ASSERT_TRUE(Choose(1017, QStringLiteral("Continuous Shooting")));
    ASSERT_TRUE(BodyGets(prop::kDriveMode, 0x01, mark));
    ASSERT_TRUE(WaitUntil([&] { return dlg_->IsItemEnabled(1029); }));
    Click(1029);
    ASSERT_TRUE(WaitUntil([&] { return body_->SeriesRunning(); }));
    mark = body_->Log().Size();
    ASSERT_TRUE(Choose(1005, QStringLiteral("400")));
    ASSERT_TRUE(WaitUntil([&] { return !WritesOf(prop::kIso, mark).empty(); }));
    ASSERT_TRUE(body_->SeriesRunning());
    Click(1029);
    ASSERT_TRUE(WaitUntil([&] { return !body_->SeriesRunning(); }, 20000));
    ASSERT_TRUE(BodyGets(prop::kIso, 0x58, mark));
    EXPECT_EQ(body_->PropertyValue(prop::kIso), 0x58u);
    const auto order = body_->Log().Find(
        [](const OperationRecord& r) {
            return (r.code == op::kEosRemoteReleaseOff && r.Param(0) != 1) ||
                   (r.code == op::kEosSetDevicePropValueEx && r.response == rc::kOk);
        },
        mark);
    ASSERT_GE(order.size(), 2u);
    EXPECT_EQ(order.front().code, op::kEosRemoteReleaseOff) << "the series ended before the setting was taken";
    // Every frame of the series is on disk.
    ASSERT_TRUE(WaitUntil([&] { return body_->HeldShots() == 0 && body_->ShotsInProgress() == 0; }, 20000));
    EXPECT_TRUE(WaitUntil([&] { return static_cast<std::uint32_t>(Kept().size()) == body_->ShotsTaken(); }));
    EXPECT_LT(longestGapMs_, kResponsiveBusyMs);
}

TEST_F(GPhotoFaultStandin, BusyFramesPauseLiveViewBrieflyAndAShotInLiveViewLandsWhileFramesGoOn) {
    Open();
    Click(1020);
    ASSERT_TRUE(WaitUntil([this] { return comp_->View()->CurrentFrame() != nullptr; }));
    body_->AnswerBusy(3, op::kEosGetViewFinderData);
    const auto served = body_->FramesServed();
    ASSERT_TRUE(WaitUntil([&] { return body_->FramesServed() > served + 5; }, 3000)); // back within moments

    Click(1003);
    ASSERT_TRUE(WaitUntil([this] { return Noted(notify::DownloadComplete); }));
    EXPECT_FALSE(QImage(QDir(dir_.path()).filePath(QStringLiteral("quortovu.jpg"))).isNull());
    const auto taken = comp_->View()->Stats().framesTaken;
    EXPECT_TRUE(WaitUntil([&] { return comp_->View()->Stats().framesTaken > taken + 3; }));
    EXPECT_LT(longestGapMs_, kResponsiveMs);
}

TEST_F(GPhotoFaultStandin, PulledOutMidDownloadShutsDownAndLeavesNoFile) {
    Open();
    body_->SetSlowTransfers(256 * 1024, 20ms);
    body_->DropNextTransfer(op::kGetPartialObject);
    Click(1003);
    ASSERT_TRUE(WaitUntil([this] { return Noted(notify::ShutDown); }, 10000));
    EXPECT_EQ(dlg_->State().cameraOpen, 0);
    EXPECT_FALSE(Noted(notify::DownloadComplete));
    Settle(100);
    EXPECT_TRUE(Files().isEmpty()) << Files().join(' ').toStdString(); // no photo, no temporary file
    // The body took the shot into its memory: the user learns that the photo is gone, not only the camera.
    EXPECT_TRUE(comp_->View()->Message().startsWith(
        QStringLiteral("The photo of this shot was lost; the card has no copy. The camera stopped answering while ")))
        << comp_->View()->Message().toStdString();
    EXPECT_LT(longestGapMs_, kResponsiveMs);

    // The body can be opened again once it is back.
    body_->AllowReconnect();
    dlg_->notes.clear();
    Open();
    EXPECT_EQ(dlg_->GetItemText(1012), QStringLiteral("QT0215004711"));
}

// The console's folder goes away while a photo downloads (a stick pulled out, a share gone): the photo lands in
// the fallback folder, and the view says where. With the fallback gone too, the photo is lost, and the view says
// so and that the body (shooting into its memory) has no copy.
TEST_F(GPhotoFaultStandin, ADownloadThatCannotBeSavedInItsFolderLandsInTheFallbackFolderOrIsToldLost) {
    Open();
    body_->SetSlowTransfers(256 * 1024, 20ms);
    const std::size_t mark = body_->Log().Size();
    Click(1003);
    ASSERT_TRUE(WaitUntil([&] { return body_->Log().Count(op::kGetPartialObject, mark) > 0; }));
    ASSERT_TRUE(QDir(dir_.path()).removeRecursively());
    ASSERT_TRUE(WaitUntil([this] { return Noted(notify::DownloadComplete); }, 15000));
    const QDir fallback(comp_->FallbackFolder());
    QFile photo(fallback.filePath(QStringLiteral("quortovu.jpg")));
    ASSERT_TRUE(photo.open(QIODevice::ReadOnly)) << photo.fileName().toStdString();
    const QByteArray bytes = photo.readAll();
    EXPECT_EQ(static_cast<std::size_t>(bytes.size()), Options().photoBytes);
    EXPECT_FALSE(QImage::fromData(bytes, "JPG").isNull());
    EXPECT_TRUE(comp_->View()->Message().contains(fallback.path())) << comp_->View()->Message().toStdString();
    EXPECT_EQ(dlg_->State().cameraOpen, 1);
    EXPECT_LT(longestGapMs_, kResponsiveMs);

    // A file where the fallback folder was: no folder takes the next photo.
    ASSERT_TRUE(QDir(fallback.path()).removeRecursively());
    const auto unblock = qScopeGuard([&] { QFile::remove(fallback.path()); });
    QFile blocker(fallback.path());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    dlg_->notes.clear();
    Click(1003);
    const QString lost = QStringLiteral("The photo of this shot was lost; the card has no copy. The photo was not saved: ");
    ASSERT_TRUE(WaitUntil([&] { return comp_->View()->Message().contains(lost); }, 15000))
        << comp_->View()->Message().toStdString();
    EXPECT_FALSE(Noted(notify::DownloadComplete));
    EXPECT_EQ(dlg_->State().cameraOpen, 1);
}

// A photo fetched from the card arrives piece by piece straight into its file: the progress rises with the bytes
// to 100. The next one is cut off half-way: nothing of it stays, and the photo before it is untouched.
TEST_F(GPhotoFaultStandin, AStreamedDownloadTellsItsProgressAndOneCutOffLeavesTheEarlierPhotoIntact) {
    Open();
    ASSERT_TRUE(SaveToCard());
    body_->SetPhotoBytes(6 * 1024 * 1024 + 5);
    body_->SetSlowTransfers(256 * 1024, 8ms);
    Click(1003);
    ASSERT_TRUE(WaitUntil([this] { return Noted(notify::DownloadComplete); }, 20000));
    const std::vector<int>& steps = dlg_->progress;
    ASSERT_FALSE(steps.empty());
    EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
    EXPECT_EQ(steps.back(), 100);
    EXPECT_GE(std::count_if(steps.begin(), steps.end(), [](int p) { return p > 0 && p < 100; }), 4);
    QFile newest(QDir(dir_.path()).filePath(QStringLiteral("quortovu.jpg")));
    ASSERT_TRUE(newest.open(QIODevice::ReadOnly));
    const QByteArray first = newest.readAll();
    newest.close();
    EXPECT_EQ(first.size(), 6 * 1024 * 1024 + 5);
    EXPECT_FALSE(QImage::fromData(first, "JPG").isNull());

    const std::size_t mark = body_->Log().Size();
    body_->DropNextTransfer(op::kGetPartialObject);
    Click(1003);
    ASSERT_TRUE(WaitUntil([this] { return Noted(notify::ShutDown); }, 20000));
    EXPECT_GE(body_->Log().Count(op::kGetPartialObject, mark), 1u); // it was cut off in the middle of the file
    // The body keeps its shots on its card: the user learns that the photo is there still, whatever the library
    // made of the cut (an error of the download, the camera gone with it).
    EXPECT_TRUE(comp_->View()->Message().startsWith(
        QStringLiteral("The photo of this shot was lost; the card still has it. The ")))
        << comp_->View()->Message().toStdString();
    Settle(100);
    EXPECT_EQ(Files(), (QStringList{QStringLiteral("quortovu.jpg")} + Kept())) << Files().join(' ').toStdString();
    ASSERT_TRUE(newest.open(QIODevice::ReadOnly));
    EXPECT_EQ(newest.readAll(), first);
    EXPECT_LT(longestGapMs_, kResponsiveBusyMs);
}

TEST_F(GPhotoFaultStandin, PulledOutMidLiveViewShutsDownAndStopsTheView) {
    Open();
    Click(1020);
    ASSERT_TRUE(WaitUntil([this] { return comp_->View()->CurrentFrame() != nullptr; }));
    body_->DropNextTransfer(op::kEosGetViewFinderData);
    ASSERT_TRUE(WaitUntil([this] { return Noted(notify::ShutDown); }, 10000));
    EXPECT_EQ(dlg_->State().cameraOpen, 0);
    EXPECT_FALSE(comp_->Live().Running());
    EXPECT_LT(longestGapMs_, kResponsiveMs);
}

TEST_F(GPhotoFaultStandin, ClosingDuringASlowDownloadDoesNotWaitForItAndTheCameraOpensAgain) {
    Open();
    body_->SetSlowTransfers(64 * 1024, 30ms); // about three quarters of a second per photo
    Click(1003);
    ASSERT_TRUE(body_->Log().WaitForCode(op::kGetPartialObject, 5000ms));
    QElapsedTimer t;
    t.start();
    Click(1001);
    EXPECT_LT(t.elapsed(), 100);
    EXPECT_EQ(dlg_->State().cameraOpen, 0);
    body_->SetSlowTransfers(0, 0ms);
    dlg_->notes.clear();
    Open(); // waits for the closed session to let the body go
    EXPECT_EQ(dlg_->GetItemText(1012), QStringLiteral("QT0215004711"));
    EXPECT_FALSE(Noted(notify::DownloadComplete)); // the closed session's download is not reported
    // Whole or nothing, never a temporary file.
    EXPECT_EQ(Files(), Files().filter(QStringLiteral("quortovu.jpg")) + Kept());
    EXPECT_LT(longestGapMs_, kResponsiveMs);
}

TEST_F(GPhotoFaultStandin, ACameraThatCannotBeOpenedIsReportedPromptly) {
    body_->PullOut(true); // refuses every connection
    QElapsedTimer t;
    t.start();
    Combo(1014)->setCurrentIndex(0);
    Click(1001);
    EXPECT_LT(t.elapsed(), 10000);
    EXPECT_EQ(dlg_->State().cameraOpen, 0);
    EXPECT_FALSE(comp_->Engine().LastOpenError().empty());
    EXPECT_FALSE(comp_->View()->Message().isEmpty());
    body_->AllowReconnect();
}

TEST_F(GPhotoFaultStandin, ABulbTheBodyRefusesEndsWithAMessageAndNoFile) {
    Open(); // the shutter speed is not Bulb: the body refuses to open the shutter
    const QString path = QDir(dir_.path()).filePath(QStringLiteral("bulb.jpg"));
    const std::array<Variant, 1> args{Variant::String(path.toStdString())};
    ASSERT_TRUE(comp_->Invoke(dispid::StartBulb, DispatchKind::Method, args).IsTrue());
    ASSERT_TRUE(body_->Log().WaitForCode(op::kEosBulbStart, 5000ms));
    comp_->Invoke(dispid::StopBulb, DispatchKind::Method, {});
    EXPECT_TRUE(WaitUntil([this] { return comp_->View()->Message().contains(QStringLiteral("Bulb")); }));
    EXPECT_FALSE(body_->BulbOpen());
    EXPECT_TRUE(Files().isEmpty());
    EXPECT_EQ(dlg_->State().cameraOpen, 1); // a refusal is not a lost camera
}

TEST_F(GPhotoFaultStandin, ClosingTheConsoleEndsBulbAndLiveViewOnTheBody) {
    Open();
    const std::size_t mark = body_->Log().Size();
    ASSERT_TRUE(Choose(1006, QStringLiteral("Bulb")));
    ASSERT_TRUE(BodyGets(prop::kShutterSpeed, kShutterBulb, mark));
    Click(1020);
    ASSERT_TRUE(WaitUntil([this] { return comp_->View()->CurrentFrame() != nullptr; }));
    const QString path = QDir(dir_.path()).filePath(QStringLiteral("bulb.jpg"));
    const std::array<Variant, 1> args{Variant::String(path.toStdString())};
    ASSERT_TRUE(comp_->Invoke(dispid::StartBulb, DispatchKind::Method, args).IsTrue());
    ASSERT_TRUE(WaitUntil([this] { return body_->BulbOpen(); }));

    dlg_.reset();
    EXPECT_FALSE(body_->BulbOpen());
    EXPECT_EQ(body_->Log().Count(op::kEosBulbEnd, mark), 1u);
    const auto evf = WritesOf(prop::kEvfOutputDevice, mark);
    ASSERT_FALSE(evf.empty());
    EXPECT_EQ(evf.back().value & kEvfOutputPc, 0u); // live view no longer goes to the PC
    EXPECT_TRUE(body_->WaitUntilReleased(2000ms));
}

TEST_F(GPhotoFaultStandin, ClosingTheConsoleEndsASeriesOnTheBody) {
    Open();
    const std::size_t mark = body_->Log().Size();
    ASSERT_TRUE(Choose(1017, QStringLiteral("Continuous Shooting")));
    ASSERT_TRUE(BodyGets(prop::kDriveMode, 0x01, mark));
    ASSERT_TRUE(WaitUntil([&] { return dlg_->IsItemEnabled(1029); }));
    Click(1029);
    ASSERT_TRUE(WaitUntil([this] { return body_->SeriesRunning(); }));
    dlg_.reset();
    EXPECT_FALSE(body_->SeriesRunning());
    EXPECT_TRUE(body_->WaitUntilReleased(2000ms));
}

} // namespace
} // namespace quor::standin::test
