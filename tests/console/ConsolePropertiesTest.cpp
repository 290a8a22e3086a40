// The camera property panel: what the camera's reports do to the eleven lists and the controls they gate,
// and what a user's selection sends.
#include "ConsoleFixture.h"

#include "console/PropertyBindings.h"
#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"

#include <QLineEdit>

namespace quor::test {
namespace {

const std::vector<int> kFocusControls = {1023, 1024, 1025, 1026, 1027, 1028, 1051};

std::vector<std::pair<QString, int>> Items(QComboBox* combo) {
    std::vector<std::pair<QString, int>> items;
    for (int i = 0; i < combo->count(); ++i)
        items.push_back({combo->itemText(i), combo->itemData(i).toInt()});
    return items;
}

class PropertyPanelTest : public ConsoleTest {
protected:
    void SetUp() override {
        Make();
        OpenCamera();
        comp_->ClearCalls();
    }
    bool FocusControlsEnabled(bool expected) {
        bool all = true;
        for (int id : kFocusControls)
            all = all && dlg_->IsItemEnabled(id) == expected;
        return all;
    }
};

TEST_F(PropertyPanelTest, EveryBoundListFillsShowsAndSendsItsOwnProperty) {
    for (const console::PropertyBinding& row : console::kPropertyBindings) {
        SCOPED_TRACE(row.comboId);
        QComboBox* combo = Combo(row.comboId);
        comp_->RaiseOptionAdded(row.code, "first", 100 + row.code, true);
        comp_->RaiseOptionAdded(row.code, "second", 200 + row.code, true);
        EXPECT_TRUE(dlg_->IsItemEnabled(row.comboId));
        EXPECT_EQ(Items(combo), (std::vector<std::pair<QString, int>>{{"first", 100 + row.code}, {"second", 200 + row.code}}));
        comp_->RaiseValueChanged(row.code, "second");
        EXPECT_EQ(dlg_->GetItemText(row.comboId), QStringLiteral("second"));
        EXPECT_EQ(combo->currentIndex(), -1); // shown, not selected

        comp_->ClearCalls();
        QTest::keyClick(combo, Qt::Key_Down); // a selection made by the user
        ASSERT_EQ(comp_->Calls().size(), 1u);
        EXPECT_EQ(comp_->Calls()[0].dispid, dispid::SetPropertyValue);
        EXPECT_EQ(comp_->Calls()[0].Int(0), row.code);
        EXPECT_EQ(comp_->Calls()[0].Int(1), 100 + row.code);
        QTest::keyClick(combo, Qt::Key_Down);
        ASSERT_EQ(comp_->Calls().size(), 2u);
        EXPECT_EQ(comp_->Calls()[1].Int(1), 200 + row.code);
        EXPECT_EQ(dlg_->GetItemText(row.comboId), QStringLiteral("second"));
        comp_->ClearCalls();
    }
}

// Text typed into a list's field is never sent; leaving the field puts the camera's value back and tells the
// user once what the camera offers. A choice from the list waiting for the camera's answer stays.
TEST_F(PropertyPanelTest, TypedTextGoesBackToTheCameraValueWhenTheFieldIsLeftAChoiceStays) {
    QComboBox* shutter = Combo(1006);
    for (const char* speed : {"1/4000", "1/2000", "1/1000", "1/500", "1/250", "1/125", "1/60", "1/30", "1/15"})
        comp_->RaiseOptionAdded(prop::ShutterSpeed, speed, 1, true);
    comp_->RaiseValueChanged(prop::ShutterSpeed, "1/125");
    auto leave = [&](Qt::FocusReason reason) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QApplication::sendEvent(shutter, &out);
    };
    comp_->ClearCalls();
    shutter->lineEdit()->setText(QStringLiteral("1/3333"));
    leave(Qt::PopupFocusReason); // the list's own popup: still in the field
    EXPECT_EQ(dlg_->GetItemText(1006), QStringLiteral("1/3333"));
    leave(Qt::TabFocusReason);
    EXPECT_EQ(dlg_->GetItemText(1006), QStringLiteral("1/125"));
    ASSERT_EQ(comp_->Calls().size(), 1u) << "nothing but the notice";
    EXPECT_EQ(comp_->Calls()[0].dispid, dispid::ShowNotice);
    const QString notice = QString::fromStdString(comp_->Calls()[0].Text(0));
    EXPECT_TRUE(notice.contains(QStringLiteral("1/3333")) && notice.contains(QStringLiteral("1/4000")) &&
                notice.contains(QStringLiteral("1/15")) && notice.contains(QStringLiteral("9")))
        << notice.toStdString();

    // Chosen from the list and not answered yet: kept; answered otherwise: the answer shows and stays.
    comp_->ClearCalls();
    QTest::keyClick(shutter, Qt::Key_Down);
    const QString chosen = dlg_->GetItemText(1006);
    leave(Qt::MouseFocusReason);
    EXPECT_EQ(dlg_->GetItemText(1006), chosen);
    comp_->RaiseValueChanged(prop::ShutterSpeed, "1/250");
    leave(Qt::MouseFocusReason);
    EXPECT_EQ(dlg_->GetItemText(1006), QStringLiteral("1/250"));
    // A closed camera empties the lists; a report-less list goes back to empty.
    dlg_->SetOpenState(false);
    shutter->lineEdit()->setText(QStringLiteral("1/8"));
    leave(Qt::TabFocusReason);
    EXPECT_EQ(dlg_->GetItemText(1006), QString());
    int sent = 0;
    for (const RecordedCall& call : comp_->Calls())
        sent += call.dispid == dispid::SetPropertyValue;
    EXPECT_EQ(sent, 1) << "only the choice from the list goes to the camera";
}

TEST_F(PropertyPanelTest, AValueBeforeAnyOptionIsShownInADisabledEmptyList) {
    comp_->RaiseValueChanged(prop::DriveMode, "Continuous Shooting");
    EXPECT_EQ(dlg_->GetItemText(1017), QStringLiteral("Continuous Shooting"));
    EXPECT_FALSE(dlg_->IsItemEnabled(1017));
    EXPECT_EQ(Combo(1017)->count(), 0);
    EXPECT_TRUE(dlg_->IsItemEnabled(1029)); // the rule still applies
    // The same report again, and an empty text.
    comp_->RaiseValueChanged(prop::DriveMode, "Continuous Shooting");
    EXPECT_TRUE(dlg_->IsItemEnabled(1029));
    comp_->RaiseValueChanged(prop::DriveMode, "");
    EXPECT_EQ(dlg_->GetItemText(1017), QString());
    EXPECT_FALSE(dlg_->IsItemEnabled(1029));
    EXPECT_TRUE(comp_->Calls().empty());
}

TEST_F(PropertyPanelTest, OptionsKeepArrivalOrderDuplicatesAndLeaveTextAndSelectionAlone) {
    comp_->RaiseValueChanged(prop::IsoSpeed, "Auto");
    comp_->RaiseOptionAdded(prop::IsoSpeed, "ISO 800", 0x58, true);
    EXPECT_EQ(Combo(1005)->currentIndex(), -1);
    EXPECT_EQ(dlg_->GetItemText(1005), QStringLiteral("Auto"));
    comp_->RaiseOptionAdded(prop::IsoSpeed, "ISO 100", 0x48, true);
    comp_->RaiseOptionAdded(prop::IsoSpeed, "ISO 100", 0x49, true);
    comp_->RaiseOptionAdded(prop::IsoSpeed, "Auto", 0, true);
    EXPECT_EQ(Items(Combo(1005)),
              (std::vector<std::pair<QString, int>>{{"ISO 800", 0x58}, {"ISO 100", 0x48}, {"ISO 100", 0x49}, {"Auto", 0}}));
    EXPECT_EQ(Combo(1005)->currentIndex(), -1);
    EXPECT_EQ(dlg_->GetItemText(1005), QStringLiteral("Auto"));

    // With an item selected by the user, a new option leaves the selection where it is.
    QTest::keyClick(Combo(1005), Qt::Key_Down);
    QTest::keyClick(Combo(1005), Qt::Key_Down);
    comp_->RaiseOptionAdded(prop::IsoSpeed, "ISO 6400", 0x78, true);
    EXPECT_EQ(Combo(1005)->currentIndex(), 1);
    EXPECT_EQ(dlg_->GetItemText(1005), QStringLiteral("ISO 100"));
    EXPECT_EQ(comp_->CountOf(dispid::SetPropertyValue), 2u);
}

TEST_F(PropertyPanelTest, AnOptionWithTheFlagOffDisablesTheListAndAddsNothing) {
    comp_->RaiseOptionAdded(prop::Aperture, "f/2.8", 0x20, true);
    comp_->RaiseOptionAdded(prop::Aperture, "f/4", 0x28, true);
    comp_->RaiseValueChanged(prop::Aperture, "f/4");
    comp_->RaiseOptionAdded(prop::Aperture, "f/5.6", 0x30, false);
    EXPECT_FALSE(dlg_->IsItemEnabled(1007));
    EXPECT_EQ(Items(Combo(1007)), (std::vector<std::pair<QString, int>>{{"f/2.8", 0x20}, {"f/4", 0x28}}));
    EXPECT_EQ(dlg_->GetItemText(1007), QStringLiteral("f/4"));
    comp_->RaiseOptionAdded(prop::Aperture, "f/8", 0x38, true);
    EXPECT_TRUE(dlg_->IsItemEnabled(1007));
    EXPECT_EQ(Combo(1007)->count(), 3);
}

TEST_F(PropertyPanelTest, KeywordsMatchOnlyTheWholeExactText) {
    for (const char* text : {"manual focus", "Manual Focus ", " Manual Focus", "Manual", "", "MANUAL FOCUS"}) {
        comp_->RaiseValueChanged(prop::AfMode, "Manual Focus");
        ASSERT_EQ(dlg_->State().afPossible, 0);
        comp_->RaiseValueChanged(prop::AfMode, text);
        EXPECT_EQ(dlg_->State().afPossible, 1) << '"' << text << '"';
    }
    comp_->RaiseValueChanged(prop::ShutterSpeed, "Bulb");
    EXPECT_TRUE(dlg_->IsItemEnabled(1032));
    comp_->RaiseValueChanged(prop::ShutterSpeed, "bulb");
    EXPECT_FALSE(dlg_->IsItemEnabled(1032));
    comp_->RaiseValueChanged(prop::ShutterSpeed, "Bulb");
    comp_->RaiseValueChanged(prop::ShutterSpeed, "1/125");
    EXPECT_FALSE(dlg_->IsItemEnabled(1032));

    comp_->RaiseValueChanged(prop::LiveViewAfMode, "Quick mode");
    EXPECT_TRUE(dlg_->IsItemEnabled(1054));
    EXPECT_TRUE(dlg_->IsItemEnabled(1055));
    comp_->RaiseValueChanged(prop::LiveViewAfMode, "Quick Mode");
    EXPECT_FALSE(dlg_->IsItemEnabled(1054));
    EXPECT_FALSE(dlg_->IsItemEnabled(1055));

    comp_->RaiseValueChanged(prop::DriveMode, "Continuous Shooting");
    EXPECT_TRUE(dlg_->IsItemEnabled(1029));
    comp_->RaiseValueChanged(prop::DriveMode, "Continuous Shooting\xE3\x80\x80"); // ideographic space
    EXPECT_FALSE(dlg_->IsItemEnabled(1029));
    EXPECT_TRUE(comp_->Calls().empty());
}

TEST_F(PropertyPanelTest, ManualFocusGatesTheFocusControlsWhileLiveViewRuns) {
    // Live view off: the AF mode alone enables nothing.
    comp_->RaiseValueChanged(prop::AfMode, "One Shot AF");
    EXPECT_EQ(dlg_->State().afPossible, 1);
    EXPECT_TRUE(FocusControlsEnabled(false));

    comp_->RaiseNotify(notify::UpdateEvfOutput, Variant::Bool(true));
    EXPECT_TRUE(FocusControlsEnabled(true));
    comp_->RaiseValueChanged(prop::AfMode, "Manual Focus");
    EXPECT_EQ(dlg_->State().afPossible, 0);
    EXPECT_TRUE(FocusControlsEnabled(false));
    comp_->RaiseValueChanged(prop::AfMode, "AI Servo AF");
    EXPECT_TRUE(FocusControlsEnabled(true));

    // Live view starting while the lens is on manual focus leaves them off.
    comp_->RaiseValueChanged(prop::AfMode, "Manual Focus");
    comp_->RaiseNotify(notify::UpdateEvfOutput, Variant::Long(0));
    comp_->RaiseNotify(notify::UpdateEvfOutput, Variant::Long(1));
    EXPECT_TRUE(FocusControlsEnabled(false));
    EXPECT_TRUE(dlg_->IsItemEnabled(1052));
}

TEST_F(PropertyPanelTest, ASelectionWithNothingSelectedSendsMinusOne) {
    comp_->RaiseOptionAdded(prop::WhiteBalance, "Daylight", 1, true);
    ASSERT_EQ(Combo(1015)->currentIndex(), -1);
    emit Combo(1015)->activated(-1);
    ASSERT_EQ(comp_->Calls().size(), 1u);
    EXPECT_EQ(comp_->Calls()[0].Int(0), prop::WhiteBalance);
    EXPECT_EQ(comp_->Calls()[0].Int(1), -1);
}

TEST_F(PropertyPanelTest, ChoosingBulbWaitsForTheCameraToReportIt) {
    comp_->RaiseOptionAdded(prop::ShutterSpeed, "1/125", 0x6D, true);
    comp_->RaiseOptionAdded(prop::ShutterSpeed, "Bulb", 0x0C, true);
    comp_->SetResult(dispid::SetPropertyValue, Variant::Bool(true));
    QTest::keyClick(Combo(1006), Qt::Key_Down);
    QTest::keyClick(Combo(1006), Qt::Key_Down);
    EXPECT_EQ(dlg_->GetItemText(1006), QStringLiteral("Bulb"));
    EXPECT_FALSE(dlg_->IsItemEnabled(1032));
    // A report raised while the call is still running is applied at once.
    comp_->OnCall(dispid::SetPropertyValue, [](RecordingComponent& c, const RecordedCall& call) {
        c.RaiseValueChanged(prop::ShutterSpeed, call.Int(1) == 0x0C ? "Bulb" : "1/125");
    });
    QTest::keyClick(Combo(1006), Qt::Key_Up);
    EXPECT_EQ(dlg_->GetItemText(1006), QStringLiteral("1/125"));
    QTest::keyClick(Combo(1006), Qt::Key_Down);
    EXPECT_EQ(dlg_->GetItemText(1006), QStringLiteral("Bulb"));
    EXPECT_TRUE(dlg_->IsItemEnabled(1032));
    EXPECT_EQ(comp_->CountOf(dispid::SetPropertyValue), 4u);
}

TEST_F(PropertyPanelTest, TypingInAListsFieldSendsNothing) {
    ShowActive();
    comp_->RaiseOptionAdded(prop::ExposureCompensation, "+1", 0x08, true);
    comp_->RaiseOptionAdded(prop::ExposureCompensation, "0", 0x00, true);
    comp_->RaiseValueChanged(prop::ExposureCompensation, "+1");
    QComboBox* combo = Combo(1009);
    combo->setFocus();
    combo->lineEdit()->clear();
    QTest::keyClicks(combo->lineEdit(), "0");
    QTest::keyClick(combo, Qt::Key_Return);
    EXPECT_EQ(dlg_->GetItemText(1009), QStringLiteral("0"));
    dlg_->GetDlgItem(1038)->setFocus(); // leaving the field: the camera's value is back
    EXPECT_EQ(dlg_->GetItemText(1009), QStringLiteral("+1"));
    EXPECT_EQ(combo->currentIndex(), -1);
    EXPECT_EQ(comp_->CountOf(dispid::SetPropertyValue), 0u);
    EXPECT_EQ(comp_->CountOf(dispid::ShowNotice), 1u);
    EXPECT_EQ(combo->count(), 2);
}

TEST_F(PropertyPanelTest, WithdrawingOptionsKeepsTheTextAndTheGatedControls) {
    comp_->RaiseOptionAdded(prop::ShutterSpeed, "1/125", 0x6D, true);
    comp_->RaiseOptionAdded(prop::ShutterSpeed, "Bulb", 0x0C, true);
    comp_->RaiseValueChanged(prop::ShutterSpeed, "Bulb");
    ASSERT_TRUE(dlg_->IsItemEnabled(1032));
    const auto before = EnabledStates();

    comp_->RaiseNotify(notify::ResetPropertyDesc, Variant::Long(0x999)); // no list for this code
    EXPECT_EQ(EnabledStates(), before);
    EXPECT_EQ(Combo(1006)->count(), 2);

    Variant code = Variant::String("not an integer");
    code.value = prop::ShutterSpeed;
    comp_->RaiseNotify(notify::ResetPropertyDesc, code);
    EXPECT_EQ(Combo(1006)->count(), 0);
    EXPECT_EQ(dlg_->GetItemText(1006), QStringLiteral("Bulb"));
    EXPECT_FALSE(dlg_->IsItemEnabled(1006));
    EXPECT_TRUE(dlg_->IsItemEnabled(1032));
    EXPECT_TRUE(comp_->Calls().empty());
}

TEST_F(PropertyPanelTest, SaveToCameraIsSentOnlyWhenClicked) {
    comp_->RaiseValueChanged(prop::SaveTo, "1");
    comp_->RaiseOptionAdded(prop::SaveTo, "Camera", 1, true);
    comp_->RaiseNotify(notify::ResetPropertyDesc, Variant::Long(prop::SaveTo));
    EXPECT_FALSE(dlg_->IsChecked(1036));
    EXPECT_TRUE(dlg_->IsItemEnabled(1036));
    EXPECT_TRUE(comp_->Calls().empty());

    Click(1036);
    Click(1036);
    const auto calls = comp_->CallsOf(dispid::SetPropertyValue);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].Int(0), prop::SaveTo);
    EXPECT_EQ(calls[0].Int(1), prop::SaveToCamera);
    EXPECT_EQ(calls[1].Int(1), prop::SaveToComputer);
}

TEST_F(PropertyPanelTest, ClosingEmptiesTheListsAndLaterEventsStillFillThem) {
    for (const console::PropertyBinding& row : console::kPropertyBindings) {
        comp_->RaiseOptionAdded(row.code, "a", 1, true);
        comp_->RaiseValueChanged(row.code, "a");
    }
    comp_->RaiseValueChanged(prop::AfMode, "One Shot AF");
    Click(1001); // close
    for (const console::PropertyBinding& row : console::kPropertyBindings) {
        EXPECT_EQ(Combo(row.comboId)->count(), 0) << row.comboId;
        EXPECT_EQ(dlg_->GetItemText(row.comboId), QString()) << row.comboId;
        EXPECT_FALSE(dlg_->IsItemEnabled(row.comboId)) << row.comboId;
    }
    for (int id : {1029, 1032, 1054, 1055})
        EXPECT_FALSE(dlg_->IsItemEnabled(id)) << id;
    EXPECT_EQ(dlg_->State().afPossible, 1); // kept across the close

    comp_->RaiseOptionAdded(prop::MeteringMode, "Evaluative", 3, true);
    comp_->RaiseValueChanged(prop::MeteringMode, "Evaluative");
    comp_->RaiseValueChanged(prop::DriveMode, "Continuous Shooting");
    EXPECT_TRUE(dlg_->IsItemEnabled(1008));
    EXPECT_EQ(dlg_->GetItemText(1008), QStringLiteral("Evaluative"));
    EXPECT_TRUE(dlg_->IsItemEnabled(1029));
}

} // namespace
} // namespace quor::test
