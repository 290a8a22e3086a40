// Live view and focus: start and stop video, the live-view report, focus controls, display mode, the debug
// overlay with F11, and the frame callback.
#include "ConsoleFixture.h"

#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QWindow>

#include <array>

namespace quor::test {
namespace {

constexpr int kLiveViewControls[] = {1033, 1034, 1035, 1037, 1042, 1063, 1071, 1052, 1046, 1043, 1056,
                                     1062, 1064, 1047, 1048, 1049, 1050, 1059, 1060, 1061, 1058};
constexpr int kFocusControls[] = {1023, 1024, 1025, 1026, 1027, 1028, 1051};

class ConsoleLiveViewTest : public ConsoleTest {
protected:
    void LiveView(std::int32_t state) { comp_->RaiseNotify(notify::UpdateEvfOutput, Variant::Long(state)); }

    // Makes the stand-in keep ShowDebugInfo like a property: a get answers the last put.
    void KeepDebugInfoProperty() {
        comp_->OnCall(dispid::ShowDebugInfo, [](RecordingComponent& c, const RecordedCall& call) {
            if (call.kind == DispatchKind::PropertyPut)
                c.SetResult(dispid::ShowDebugInfo, Variant::Bool(call.args[0].IsTrue()));
        });
        comp_->SetResult(dispid::ShowDebugInfo, Variant::Bool(true));
    }
    std::vector<bool> DebugInfoPuts() const {
        std::vector<bool> puts;
        for (const RecordedCall& c : comp_->CallsOf(dispid::ShowDebugInfo))
            if (c.kind == DispatchKind::PropertyPut)
                puts.push_back(c.args[0].IsTrue());
        return puts;
    }
};

TEST_F(ConsoleLiveViewTest, StartVideoRegistersTheCallbackThenStartsAndStopVideoStops) {
    CCameraConsoleDlg& dlg = Make();
    dlg.EnableItem(1020, true);
    dlg.EnableItem(1021, true);
    comp_->ClearCalls();
    Click(1020); // no camera: nothing at all
    Click(1021);
    EXPECT_TRUE(comp_->Calls().empty());

    OpenCamera();
    comp_->ClearCalls();
    Click(1020); // 1056 unchecked: the callback is cleared
    dlg.CheckItem(1056, true);
    Click(1020); // pressed again while (as far as the console knows) live view may run: both again
    Click(1021);
    ASSERT_EQ(comp_->CallIds(), (std::vector<int>{dispid::SetFrameCallback, dispid::StartLiveView,
                                                  dispid::SetFrameCallback, dispid::StartLiveView,
                                                  dispid::StopLiveView}));
    const auto& calls = comp_->Calls();
    const auto self = reinterpret_cast<std::intptr_t>(&dlg);
    EXPECT_EQ(calls[0].args[0].type, VarType::Pointer);
    EXPECT_EQ(calls[0].args[0].pointer, 0);
    EXPECT_EQ(calls[0].args[1].pointer, self);
    EXPECT_EQ(calls[2].args[0].pointer, reinterpret_cast<std::intptr_t>(&CCameraConsoleDlg::MirrorFrameCallback));
    EXPECT_EQ(calls[2].args[1].pointer, self);
    // A request changes nothing until the component reports it.
    EXPECT_EQ(dlg.State().liveViewOn, 0);
    EXPECT_FALSE(dlg.IsItemEnabled(1052));
}

TEST_F(ConsoleLiveViewTest, TheRegisteredCallbackMirrorsFramesInPlace) {
    CCameraConsoleDlg& dlg = Make();
    OpenCamera();
    comp_->ClearCalls();
    Click(1056); // checks the box and registers at once
    ASSERT_TRUE(dlg.IsChecked(1056));
    ASSERT_EQ(comp_->CallIds(), std::vector<int>{dispid::SetFrameCallback});
    const auto callback = reinterpret_cast<FrameCallback>(comp_->Calls()[0].args[0].pointer);
    ASSERT_NE(callback, nullptr);

    // 4 x 2 pixels, 12-byte rows: A B C D / E F G H becomes A B B A / E F F E.
    std::array<unsigned char, 24> frame{};
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<unsigned char>(i);
    callback(frame.data(), 4, 2, 12345);
    const std::array<unsigned char, 24> mirrored = {0,  1,  2,  3,  4,  5,  3,  4,  5,  0,  1,  2,
                                                    12, 13, 14, 15, 16, 17, 15, 16, 17, 12, 13, 14};
    EXPECT_EQ(frame, mirrored);
    callback(nullptr, 4000, 3000, 0); // a null buffer is left alone

    Click(1056); // unchecked: cleared
    EXPECT_EQ(comp_->Calls().back().args[0].pointer, 0);
}

TEST_F(ConsoleLiveViewTest, LiveViewReportSetsTheControlsFromTheLow16BitsWithoutCalls) {
    CCameraConsoleDlg& dlg = Make(); // no camera open: the report applies all the same
    comp_->RaiseValueChanged(prop::AfMode, "One Shot AF");
    dlg.CheckItem(1064, true);
    comp_->ClearCalls();
    const std::pair<std::int32_t, bool> cases[] = {{1, true}, {0, false}, {-1, true}, {65536, false}};
    for (const auto& [reported, on] : cases) {
        LiveView(reported);
        EXPECT_EQ(dlg.State().liveViewOn != 0, on) << reported;
        for (int id : kLiveViewControls)
            EXPECT_EQ(dlg.IsItemEnabled(id), on) << reported << " " << id;
        for (int id : kFocusControls)
            EXPECT_EQ(dlg.IsItemEnabled(id), on) << reported << " " << id;
        EXPECT_EQ(dlg.IsItemEnabled(1065), on);
        EXPECT_EQ(dlg.IsItemEnabled(1066), on);
    }
    EXPECT_TRUE(comp_->Calls().empty());

    // Manual focus: live view controls on, focus controls off.
    comp_->RaiseValueChanged(prop::AfMode, "Manual Focus");
    LiveView(1);
    for (int id : kLiveViewControls)
        EXPECT_TRUE(dlg.IsItemEnabled(id)) << id;
    for (int id : kFocusControls)
        EXPECT_FALSE(dlg.IsItemEnabled(id)) << id;
}

TEST_F(ConsoleLiveViewTest, FocusStepsSendTheirCodesOnlyWithACamera) {
    CCameraConsoleDlg& dlg = Make();
    for (int id : kFocusControls)
        dlg.EnableItem(id, true);
    comp_->ClearCalls();
    for (int id : {1023, 1024, 1025, 1026, 1027, 1028})
        Click(id);
    EXPECT_TRUE(comp_->Calls().empty());
    Click(1051); // autofocus does not look at the camera state
    EXPECT_EQ(comp_->CallIds(), std::vector<int>{dispid::DoAutoFocus});

    OpenCamera();
    comp_->RaiseValueChanged(prop::AfMode, "One Shot AF");
    LiveView(1);
    comp_->ClearCalls();
    for (int id : {1023, 1024, 1025, 1026, 1027, 1028})
        Click(id);
    std::vector<std::int32_t> codes;
    for (const RecordedCall& c : comp_->CallsOf(dispid::DriveLens)) {
        EXPECT_EQ(c.args[0].type, VarType::Long);
        codes.push_back(c.Int(0));
    }
    EXPECT_EQ(codes, (std::vector<std::int32_t>{3, 2, 1, 32769, 32770, 32771}));
    EXPECT_EQ(comp_->Calls().size(), 6u);
}

TEST_F(ConsoleLiveViewTest, FocusFrameAfPointDisplayModeAndDebugBoxSendTheirState) {
    CCameraConsoleDlg& dlg = Make();
    OpenCamera();
    LiveView(1);
    comp_->RaiseValueChanged(prop::LiveViewAfMode, "Quick mode");
    comp_->ClearCalls();
    Click(1052); // starts checked
    Click(1055);
    Click(1054);
    Click(1061);
    Click(1059);
    Click(1060);
    Click(1062); // starts checked
    ASSERT_EQ(comp_->CallIds(), (std::vector<int>{dispid::ShowFocusFrame, dispid::SetAfPointSelection,
                                                  dispid::SetAfPointSelection, dispid::SetDisplayMode,
                                                  dispid::SetDisplayMode, dispid::SetDisplayMode,
                                                  dispid::ShowDebugInfo}));
    const auto& c = comp_->Calls();
    EXPECT_FALSE(c[0].args[0].IsTrue());
    EXPECT_EQ(c[1].Int(0), 1);
    EXPECT_EQ(c[2].Int(0), 0);
    EXPECT_EQ(c[3].Int(0), 2);
    EXPECT_EQ(c[4].Int(0), 0);
    EXPECT_EQ(c[5].Int(0), 1);
    EXPECT_EQ(c[6].kind, DispatchKind::PropertyPut);
    EXPECT_FALSE(c[6].args[0].IsTrue());

    // The AF-point handler with neither radio checked sends nothing.
    dlg.CheckRadioButton(1054, 1055, 0);
    comp_->ClearCalls();
    emit qobject_cast<QAbstractButton*>(dlg.GetDlgItem(1055))->clicked(false);
    EXPECT_TRUE(comp_->Calls().empty());
}

TEST_F(ConsoleLiveViewTest, F11TogglesTheComponentsOverlayWithoutTouchingTheBoxOrConsumingTheKey) {
    CCameraConsoleDlg& dlg = Make(); // no camera open
    ShowActive();
    KeepDebugInfoProperty();
    comp_->ClearCalls();
    QTest::keyClick(dlg.windowHandle(), Qt::Key_F11);
    QTest::keyClick(dlg.windowHandle(), Qt::Key_F11);
    EXPECT_EQ(DebugInfoPuts(), (std::vector<bool>{false, true}));
    EXPECT_EQ(comp_->CallsOf(dispid::ShowDebugInfo).front().kind, DispatchKind::PropertyGet);
    EXPECT_TRUE(dlg.IsChecked(1062));

    // With the focus in an edit field and in a list, and with a modifier held, the key still toggles and still
    // reaches the focused control.
    struct KeyCounter : QObject {
        int f11 = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_F11)
                ++f11;
            return false;
        }
    };
    KeyCounter edit, list, editableList;
    comp_->RaiseOptionAdded(prop::ShootingMode, "Av", 3, true); // enables the editable list 1004
    dlg.GetDlgItem(1038)->installEventFilter(&edit);
    dlg.GetDlgItem(1014)->installEventFilter(&list);
    Combo(1004)->installEventFilter(&editableList);
    dlg.GetDlgItem(1038)->setFocus();
    QTest::keyClick(dlg.windowHandle(), Qt::Key_F11);
    dlg.GetDlgItem(1014)->setFocus();
    QTest::keyClick(dlg.windowHandle(), Qt::Key_F11, Qt::ShiftModifier);
    Combo(1004)->setFocus();
    QTest::keyClick(dlg.windowHandle(), Qt::Key_F11);
    QTest::keyClick(dlg.windowHandle(), Qt::Key_F10);
    EXPECT_EQ(edit.f11, 1);
    EXPECT_EQ(list.f11, 1);
    EXPECT_EQ(editableList.f11, 1);
    EXPECT_EQ(DebugInfoPuts(), (std::vector<bool>{false, true, false, true, false}));

    // Holding the key: every key-down toggles, auto-repeats included.
    QTest::simulateEvent(dlg.windowHandle(), true, Qt::Key_F11, Qt::NoModifier, QString(), false);
    QTest::simulateEvent(dlg.windowHandle(), true, Qt::Key_F11, Qt::NoModifier, QString(), true);
    QTest::simulateEvent(dlg.windowHandle(), true, Qt::Key_F11, Qt::NoModifier, QString(), true);
    QTest::simulateEvent(dlg.windowHandle(), false, Qt::Key_F11, Qt::NoModifier, QString(), false);
    EXPECT_EQ(DebugInfoPuts().size(), 8u);
    EXPECT_TRUE(DebugInfoPuts().back());
    EXPECT_EQ(qobject_cast<QLineEdit*>(dlg.GetDlgItem(1038))->text(), QStringLiteral("10"));
}

} // namespace
} // namespace quor::test
