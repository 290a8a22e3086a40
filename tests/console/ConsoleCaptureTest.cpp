// Capture commands, the hover half-press and transfer progress.
#include "ConsoleFixture.h"

#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"

#include <QProgressBar>
#include <QWindow>

#include <limits>

namespace quor::test {
namespace {

class ConsoleCaptureTest : public ConsoleTest {
protected:
    // A shown console with its camera open, and no calls recorded yet.
    CCameraConsoleDlg& OpenShown() {
        CCameraConsoleDlg& dlg = Make();
        ShowActive();
        ParkPointer();
        OpenCamera();
        comp_->ClearCalls();
        return dlg;
    }

    void MoveTo(QPoint p) { QTest::mouseMove(dlg_->windowHandle(), p); }
    // Qt drops a move to where the pointer already is, and the pointer stays where the last test left it.
    void ParkPointer() { MoveTo({1, 1}); }
    QPoint OverButton(int dx = 0) const { return dlg_->TakePhotoRect().topLeft() + QPoint(5 + dx, 5); }
    QPoint Elsewhere() const { return {300, 20}; }

    // The arguments of every PressShutterHalfway made so far, in order.
    std::vector<std::int32_t> HalfPresses() const {
        std::vector<std::int32_t> out;
        for (const RecordedCall& c : comp_->CallsOf(dispid::PressShutterHalfway))
            out.push_back(c.Int(0));
        return out;
    }

    void LiveView(std::int32_t state) { comp_->RaiseNotify(notify::UpdateEvfOutput, Variant::Long(state)); }
    int BarPos() { return qobject_cast<QProgressBar*>(dlg_->GetDlgItem(1074))->value(); }
};

TEST_F(ConsoleCaptureTest, WithNoCameraOpenClicksAndMovesMakeNoCall) {
    CCameraConsoleDlg& dlg = Make();
    ShowActive();
    ParkPointer();
    for (int id : {1003, 1029, 1032, 1057, 1058})
        dlg.EnableItem(id, true); // reach the handlers themselves
    comp_->ClearCalls();
    for (int id : {1003, 1029, 1032, 1057, 1058})
        Click(id);
    MoveTo(OverButton());
    MoveTo(Elsewhere());
    EXPECT_TRUE(comp_->Calls().empty());
    EXPECT_EQ(dlg.GetItemText(1003), QStringLiteral("拍照"));
    EXPECT_EQ(dlg.GetItemText(1029), QStringLiteral("连拍"));
    EXPECT_EQ(dlg.GetItemText(1032), QStringLiteral("B门"));
    EXPECT_EQ(dlg.State().captureBusy, 0);
}

TEST_F(ConsoleCaptureTest, HoverThenClickReleasesBeforeTakingAndWaitsForTheDownload) {
    CCameraConsoleDlg& dlg = OpenShown();
    comp_->SetResult(dispid::TakePicture, Variant::Bool(true));
    MoveTo(OverButton());
    EXPECT_EQ(dlg.State().halfPressed, 1);
    comp_->ClearCalls();
    Click(1003);
    ASSERT_EQ(comp_->CallIds(), (std::vector<int>{dispid::PressShutterHalfway, dispid::TakePicture}));
    EXPECT_EQ(comp_->Calls()[0].Int(0), 0);
    EXPECT_EQ(comp_->Calls()[1].Text(0), "/opt/quortovu/quortovu.jpg");
    EXPECT_EQ(dlg.State().halfPressed, 0);
    EXPECT_EQ(dlg.State().captureBusy, 1);

    comp_->ClearCalls();
    for (int i = 0; i < 3; ++i)
        MoveTo(OverButton(i));
    EXPECT_TRUE(comp_->Calls().empty());

    comp_->SetResultFor(dispid::GetPropertyValue, prop::AvailableShots, Variant::Long(512));
    comp_->RaiseNotify(notify::DownloadComplete, Variant{});
    EXPECT_EQ(dlg.State().captureBusy, 0);
    EXPECT_EQ(dlg.GetItemText(1019), QStringLiteral("512"));
    comp_->ClearCalls();
    MoveTo(OverButton());
    EXPECT_EQ(HalfPresses(), std::vector<std::int32_t>{1});
}

TEST_F(ConsoleCaptureTest, EveryMoveInsidePressesAndOnlyTheFirstMoveOutsideReleases) {
    CCameraConsoleDlg& dlg = OpenShown();
    for (int i = 0; i < 10; ++i)
        MoveTo(OverButton(i));
    MoveTo(Elsewhere());
    MoveTo(Elsewhere() + QPoint(1, 1));
    MoveTo({2, 2});
    const std::vector<std::int32_t> expected = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0};
    EXPECT_EQ(HalfPresses(), expected);
    EXPECT_EQ(comp_->Calls().size(), expected.size()); // and nothing else
    EXPECT_EQ(comp_->Calls()[0].args[0].type, VarType::Long);
    EXPECT_EQ(dlg.State().halfPressed, 0);
}

TEST_F(ConsoleCaptureTest, LeftAndTopEdgesAreInsideRightAndBottomOutside) {
    CCameraConsoleDlg& dlg = OpenShown();
    const QRect r = dlg.TakePhotoRect();
    ASSERT_FALSE(r.isEmpty());
    const int right = r.left() + r.width(); // first column past the button
    const int bottom = r.top() + r.height();
    MoveTo(r.topLeft());                       // inside
    MoveTo({right, r.top()});                  // outside: release
    MoveTo({right - 1, bottom - 1});           // inside
    MoveTo({r.left(), bottom});                // outside: release
    MoveTo({r.left() - 1, r.top()});           // outside, nothing held
    MoveTo({r.left(), r.top() - 1});           // outside
    EXPECT_EQ(HalfPresses(), (std::vector<std::int32_t>{1, 0, 1, 0}));
}

TEST_F(ConsoleCaptureTest, MovesAreSeenOverDisabledControlsAndTheCameraViewAndStillDelivered) {
    CCameraConsoleDlg& dlg = OpenShown();
    // Camera control mode disables Take photo; live view is off. Neither stops the half-press.
    comp_->SetResult(dispid::SetControlMode, Variant::Bool(true));
    Click(1070);
    ASSERT_FALSE(dlg.IsItemEnabled(1003));
    ASSERT_EQ(dlg.State().liveViewOn, 0);

    QWidget* view = dlg.GetDlgItem(1000);
    view->setMouseTracking(true);
    struct Counter : QObject {
        int moves = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            moves += e->type() == QEvent::MouseMove ? 1 : 0;
            return false;
        }
    } counter;
    view->installEventFilter(&counter);

    comp_->ClearCalls();
    MoveTo(OverButton());                                                 // disabled Take photo
    MoveTo(view->geometry().center());                                    // the camera view
    MoveTo(OverButton());
    MoveTo(dlg.GetDlgItem(1029)->geometry().center());                    // disabled Continuous
    EXPECT_FALSE(dlg.IsItemEnabled(1029));
    EXPECT_EQ(HalfPresses(), (std::vector<std::int32_t>{1, 0, 1, 0}));
    EXPECT_EQ(counter.moves, 1); // the view still got its move
}

TEST_F(ConsoleCaptureTest, MovesOverANativeCameraViewCountOnce) {
    CCameraConsoleDlg& dlg = OpenShown();
    QWidget* view = dlg.GetDlgItem(1000);
    view->winId(); // a component may give its view a window of its own
    QWindow* viewWindow = view->windowHandle();
    ASSERT_NE(viewWindow, nullptr);
    ASSERT_NE(viewWindow, dlg.windowHandle());
    MoveTo(OverButton());
    QTest::mouseMove(viewWindow, {10, 10});
    MoveTo(OverButton(1));
    QTest::mouseMove(viewWindow, {12, 10});
    EXPECT_EQ(HalfPresses(), (std::vector<std::int32_t>{1, 0, 1, 0}));
}

TEST_F(ConsoleCaptureTest, AFailedShotKeepsTheCaptionAndSuspendsTheHalfPressUntilSomeDownload) {
    CCameraConsoleDlg& dlg = OpenShown();
    LiveView(1);
    Click(1003); // TakePicture answers false
    EXPECT_EQ(dlg.GetItemText(1003), QStringLiteral("拍照"));
    EXPECT_EQ(dlg.State().captureBusy, 1);
    MoveTo(OverButton());
    EXPECT_TRUE(HalfPresses().empty());
    Click(1003); // busy is never looked at by the click
    EXPECT_EQ(comp_->CountOf(dispid::TakePicture), 2u);

    comp_->RaiseNotify(notify::DownloadComplete, Variant{});
    MoveTo(OverButton(1));
    EXPECT_EQ(HalfPresses(), std::vector<std::int32_t>{1});
}

TEST_F(ConsoleCaptureTest, ResumeFollowsTheShotLiveViewAndTheTwoBoxes) {
    CCameraConsoleDlg& dlg = OpenShown();
    comp_->SetResult(dispid::TakePicture, Variant::Bool(true));
    const QString take = QStringLiteral("拍照"), resume = QStringLiteral("恢复");

    // Any one condition missing leaves "拍照".
    Click(1003); // live view off
    EXPECT_EQ(dlg.GetItemText(1003), take);
    LiveView(-1);
    dlg.CheckItem(1064, true);
    Click(1003);
    EXPECT_EQ(dlg.GetItemText(1003), take);
    dlg.CheckItem(1064, false);
    dlg.CheckItem(1053, false);
    Click(1003);
    EXPECT_EQ(dlg.GetItemText(1003), take);
    dlg.CheckItem(1053, true);
    comp_->SetResult(dispid::TakePicture, Variant::Bool(false));
    Click(1003);
    EXPECT_EQ(dlg.GetItemText(1003), take);
    EXPECT_EQ(dlg.State().photoShown, 0);

    comp_->SetResult(dispid::TakePicture, Variant::Bool(true));
    Click(1003);
    EXPECT_EQ(dlg.GetItemText(1003), resume);
    EXPECT_EQ(dlg.State().photoShown, 1);

    // Live view stopped: the click takes another photo and "恢复" stays.
    LiveView(0);
    comp_->ClearCalls();
    Click(1003);
    EXPECT_EQ(comp_->CallIds(), std::vector<int>{dispid::TakePicture});
    EXPECT_EQ(dlg.GetItemText(1003), resume);

    // Live view again, with the half-press held: the click only resumes and the press stays held.
    LiveView(1);
    comp_->RaiseNotify(notify::DownloadComplete, Variant{});
    MoveTo(OverButton());
    comp_->ClearCalls();
    Click(1003);
    EXPECT_EQ(comp_->CallIds(), std::vector<int>{dispid::ResumeLiveView});
    EXPECT_EQ(dlg.GetItemText(1003), take);
    EXPECT_EQ(dlg.State().photoShown, 0);
    EXPECT_EQ(dlg.State().halfPressed, 1);
}

TEST_F(ConsoleCaptureTest, StateReadAroundTakePictureFollowsTheCallOrder) {
    CCameraConsoleDlg& dlg = OpenShown();
    LiveView(1);
    // The download completes, and live view stops, while TakePicture is still running.
    comp_->OnCall(dispid::TakePicture, [](RecordingComponent& c, const RecordedCall&) {
        c.RaiseNotify(notify::DownloadComplete, Variant{});
        c.RaiseNotify(notify::UpdateEvfOutput, Variant::Long(0));
    });
    comp_->SetResult(dispid::TakePicture, Variant::Bool(true));
    Click(1003);
    EXPECT_EQ(dlg.State().captureBusy, 0);
    EXPECT_EQ(dlg.GetItemText(1003), QStringLiteral("拍照"));

    // A call that fails ends the click: busy stays set and the released half-press stays released.
    comp_->OnCall(dispid::TakePicture, {});
    MoveTo(OverButton());
    comp_->FailCall(dispid::TakePicture, 1);
    ::testing::internal::CaptureStderr();
    Click(1003);
    EXPECT_FALSE(::testing::internal::GetCapturedStderr().empty());
    EXPECT_EQ(dlg.State().captureBusy, 1);
    EXPECT_EQ(dlg.State().halfPressed, 0);
}

// Caption of `id` at the moment each call of `dispid` was made.
void RecordCaptionAtCall(RecordingComponent& comp, CCameraConsoleDlg& dlg, int dispid, int id,
                         std::vector<QString>& seen) {
    comp.OnCall(dispid, [&dlg, id, &seen](RecordingComponent&, const RecordedCall&) {
        seen.push_back(dlg.GetItemText(id));
    });
}

TEST_F(ConsoleCaptureTest, ContinuousCaptionChangesAfterTheCallWhateverItReturns) {
    CCameraConsoleDlg& dlg = OpenShown();
    dlg.EnableItem(1029, true);
    std::vector<QString> seen;
    RecordCaptionAtCall(*comp_, dlg, dispid::StartContinuousShooting, 1029, seen);
    RecordCaptionAtCall(*comp_, dlg, dispid::StopContinuousShooting, 1029, seen);
    Click(1029); // StartContinuousShooting answers false
    EXPECT_EQ(dlg.GetItemText(1029), QStringLiteral("停止"));
    EXPECT_EQ(dlg.State().continuousActive, 1);
    Click(1029);
    EXPECT_EQ(dlg.GetItemText(1029), QStringLiteral("连拍"));
    EXPECT_EQ(seen, (std::vector<QString>{QStringLiteral("连拍"), QStringLiteral("停止")}));
    EXPECT_EQ(comp_->CallsOf(dispid::StartContinuousShooting)[0].Text(0), "/opt/quortovu");
}

// A series the component ends by itself (a photo or the camera lost) leaves the button as Stop would: the next
// click starts a series. Without a series running the report changes nothing.
TEST_F(ConsoleCaptureTest, ASeriesTheComponentEndedByItselfLeavesTheButtonReadyForTheNext) {
    CCameraConsoleDlg& dlg = OpenShown();
    dlg.EnableItem(1029, true);
    comp_->RaiseNotify(notify::SeriesEnded, Variant{});
    EXPECT_EQ(dlg.GetItemText(1029), QStringLiteral("连拍"));
    Click(1029);
    ASSERT_EQ(dlg.State().continuousActive, 1);
    comp_->RaiseNotify(notify::SeriesEnded, Variant{});
    EXPECT_EQ(dlg.State().continuousActive, 0);
    EXPECT_EQ(dlg.GetItemText(1029), QStringLiteral("连拍"));
    comp_->ClearCalls();
    Click(1029);
    EXPECT_EQ(comp_->CallIds(), std::vector<int>{dispid::StartContinuousShooting});
    EXPECT_EQ(dlg.GetItemText(1029), QStringLiteral("停止"));
}

TEST_F(ConsoleCaptureTest, BulbCaptionChangesBeforeTheCall) {
    CCameraConsoleDlg& dlg = OpenShown();
    dlg.EnableItem(1032, true);
    std::vector<QString> seen;
    RecordCaptionAtCall(*comp_, dlg, dispid::StartBulb, 1032, seen);
    RecordCaptionAtCall(*comp_, dlg, dispid::StopBulb, 1032, seen);
    Click(1032);
    Click(1032);
    EXPECT_EQ(seen, (std::vector<QString>{QStringLiteral("停止"), QStringLiteral("B门")}));
    EXPECT_EQ(comp_->CallsOf(dispid::StartBulb)[0].Text(0), "quorctrl.jpg");
    EXPECT_EQ(dlg.State().bulbActive, 0);
}

TEST_F(ConsoleCaptureTest, ClosingTheCameraEndsNeitherSeriesNorBulbNorHalfPress) {
    CCameraConsoleDlg& dlg = OpenShown();
    comp_->RaiseValueChanged(prop::DriveMode, "Continuous Shooting");
    comp_->RaiseValueChanged(prop::ShutterSpeed, "Bulb");
    Click(1029);
    Click(1032);
    MoveTo(OverButton());
    comp_->ClearCalls();

    comp_->RaiseNotify(notify::ShutDown, Variant{});
    EXPECT_EQ(comp_->CallIds(), std::vector<int>{dispid::CloseCamera});
    EXPECT_FALSE(dlg.IsItemEnabled(1029));
    EXPECT_FALSE(dlg.IsItemEnabled(1032));
    EXPECT_EQ(dlg.GetItemText(1029), QStringLiteral("停止"));
    EXPECT_EQ(dlg.GetItemText(1032), QStringLiteral("停止"));
    EXPECT_EQ(dlg.State().halfPressed, 1);
    MoveTo(Elsewhere());
    EXPECT_EQ(comp_->Calls().size(), 1u);

    OpenCamera();
    comp_->RaiseValueChanged(prop::DriveMode, "Continuous Shooting");
    comp_->RaiseValueChanged(prop::ShutterSpeed, "Bulb");
    comp_->ClearCalls();
    MoveTo(Elsewhere() + QPoint(2, 0));
    Click(1029);
    Click(1032);
    EXPECT_EQ(comp_->CallIds(),
              (std::vector<int>{dispid::PressShutterHalfway, dispid::StopContinuousShooting, dispid::StopBulb}));
    EXPECT_EQ(comp_->Calls()[0].Int(0), 0);
    EXPECT_EQ(dlg.GetItemText(1029), QStringLiteral("连拍"));
    EXPECT_EQ(dlg.GetItemText(1032), QStringLiteral("B门"));
}

TEST_F(ConsoleCaptureTest, ProgressIsTruncatedToHundredsAndShownWithinTheBar) {
    Make();
    const std::pair<std::int32_t, int> cases[] = {
        {0, 0}, {99, 0}, {100, 100}, {150, 100}, {250, 100}, {-150, 0}, {std::numeric_limits<std::int32_t>::min(), 0},
    };
    for (const auto& [report, shown] : cases) {
        comp_->RaiseNotify(notify::DownloadStart, Variant{});
        comp_->RaiseNotify(notify::ProgressReport, Variant::Long(100));
        comp_->RaiseNotify(notify::ProgressReport, Variant::Long(report));
        EXPECT_EQ(BarPos(), shown) << report;
    }
    comp_->RaiseNotify(notify::DownloadStart, Variant{});
    EXPECT_EQ(BarPos(), 0);
}

TEST_F(ConsoleCaptureTest, DownloadCompleteWorksWithoutCameraAndMovieCompleteOnlyResetsTheBar) {
    CCameraConsoleDlg& dlg = Make();
    comp_->SetResultFor(dispid::GetPropertyValue, prop::AvailableShots, Variant::Long(-3));
    comp_->RaiseNotify(notify::ProgressReport, Variant::Long(100));
    comp_->ClearCalls();
    comp_->RaiseNotify(notify::DownloadComplete, Variant{});
    EXPECT_EQ(BarPos(), 0);
    ASSERT_EQ(comp_->Calls().size(), 1u);
    EXPECT_EQ(comp_->Calls()[0].Int(0), prop::AvailableShots);
    EXPECT_EQ(dlg.GetItemText(1019), QStringLiteral("-3"));

    ShowActive();
    OpenCamera();
    Click(1003);
    dlg.SetItemText(1019, QStringLiteral("7"));
    comp_->RaiseNotify(notify::ProgressReport, Variant::Long(100));
    comp_->ClearCalls();
    comp_->RaiseNotify(notify::DownloadMovieComplete, Variant{});
    EXPECT_EQ(BarPos(), 0);
    EXPECT_EQ(dlg.State().captureBusy, 1);
    EXPECT_EQ(dlg.GetItemText(1019), QStringLiteral("7"));
    EXPECT_TRUE(comp_->Calls().empty());
}

TEST_F(ConsoleCaptureTest, ControlModeGatesTakePhotoOnlyWhenTaken) {
    CCameraConsoleDlg& dlg = OpenShown();
    comp_->SetResult(dispid::SetControlMode, Variant::Bool(true));
    Click(1070);
    ASSERT_EQ(comp_->CallsOf(dispid::SetControlMode).size(), 1u);
    EXPECT_EQ(comp_->CallsOf(dispid::SetControlMode)[0].Int(0), 2);
    EXPECT_EQ(comp_->CallsOf(dispid::SetControlMode)[0].args[0].type, VarType::Short);
    EXPECT_FALSE(dlg.IsItemEnabled(1003));

    comp_->SetResult(dispid::SetControlMode, Variant::Bool(false));
    Click(1069);
    EXPECT_FALSE(dlg.IsItemEnabled(1003));
    comp_->SetResult(dispid::SetControlMode, Variant::Bool(true));
    Click(1069);
    EXPECT_TRUE(dlg.IsItemEnabled(1003));
    EXPECT_EQ(comp_->CallsOf(dispid::SetControlMode).back().Int(0), 1);

    // With neither radio checked nothing is sent.
    dlg.CheckRadioButton(1069, 1070, 0);
    comp_->ClearCalls();
    emit qobject_cast<QAbstractButton*>(dlg.GetDlgItem(1070))->clicked(false);
    EXPECT_TRUE(comp_->Calls().empty());

    // Opening again enables Take photo, whatever the mode.
    Click(1070);
    Click(1001);
    OpenCamera();
    EXPECT_TRUE(dlg.IsChecked(1070));
    EXPECT_TRUE(dlg.IsItemEnabled(1003));
}

TEST_F(ConsoleCaptureTest, ShowAfterShotSettingsAndGrabSendTheirCall) {
    CCameraConsoleDlg& dlg = OpenShown();
    LiveView(1);
    Click(1053);
    Click(1057);
    Click(1058);
    const auto& calls = comp_->Calls();
    ASSERT_EQ(comp_->CallIds(),
              (std::vector<int>{dispid::SetShowAfterShot, dispid::ShowSettingsDialog, dispid::GrabFrame}));
    EXPECT_FALSE(calls[0].args[0].IsTrue());
    EXPECT_EQ(calls[2].Text(0), "/opt/quortovu/quortovu_grab.jpg");

    comp_->SetResult(dispid::TakePicture, Variant::Bool(true));
    Click(1003);
    EXPECT_EQ(dlg.GetItemText(1003), QStringLiteral("拍照"));
}

} // namespace
} // namespace quor::test
