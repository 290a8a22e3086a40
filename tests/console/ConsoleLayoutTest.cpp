// The console as initialisation leaves it: every control of the template, where it sits, what it shows.
#include "ConsoleFixture.h"

#include "console/ControlTable.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <set>

namespace quor::test {
namespace {

using console::ControlDef;
using console::ControlKind;

// Dialog units to pixels with base units 6 x 12, rounding halves up.
QRect Px(int x, int y, int cx, int cy) { return QRect((x * 6 + 2) / 4, (y * 12 + 4) / 8, (cx * 6 + 2) / 4, (cy * 12 + 4) / 8); }

bool IsKind(const QWidget* w, ControlKind kind) {
    switch (kind) {
    case ControlKind::GroupBox:
        return qobject_cast<const QGroupBox*>(w);
    case ControlKind::Label:
        return qobject_cast<const QLabel*>(w);
    case ControlKind::PushButton:
        return qobject_cast<const QPushButton*>(w);
    case ControlKind::CheckBox:
        return qobject_cast<const QCheckBox*>(w);
    case ControlKind::RadioButton:
        return qobject_cast<const QRadioButton*>(w);
    case ControlKind::ComboBox:
        return qobject_cast<const QComboBox*>(w);
    case ControlKind::Edit:
        return qobject_cast<const QLineEdit*>(w);
    case ControlKind::Trackbar:
        return qobject_cast<const QSlider*>(w);
    case ControlKind::ProgressBar:
        return qobject_cast<const QProgressBar*>(w);
    case ControlKind::HostedView:
        return w->objectName() == QStringLiteral("RecordingCameraView");
    }
    return false;
}

TEST_F(ConsoleTest, WindowHasTheTemplateSizeFontAndCaption) {
    CCameraConsoleDlg& dlg = Make();
    EXPECT_EQ(dlg.DialogBaseUnits().x, 6);
    EXPECT_EQ(dlg.DialogBaseUnits().y, 12);
    EXPECT_EQ(dlg.size(), QSize(794, 531));
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
    EXPECT_EQ(dlg.windowTitle(),
              QString::fromUtf8("QuorTovu 佳能单反数码相机控件(QuorCtrl)演示程序,详情访问https://quortovu.example.com"));
    EXPECT_FALSE(dlg.windowIcon().isNull());
    EXPECT_EQ(dlg.TakePhotoRect(), QRect(575, 56, 62, 18));
}

TEST_F(ConsoleTest, EveryTemplateControlExistsWithItsKindCaptionPlaceAndVisibility) {
    CCameraConsoleDlg& dlg = Make();
    std::set<int> seen;
    for (const ControlDef& def : console::ControlTable()) {
        SCOPED_TRACE(def.id ? std::to_string(def.id) : std::string(def.caption));
        QRect expected = Px(def.x, def.y, def.cx, def.cy);
        if (def.kind == ControlKind::ComboBox)
            expected.setHeight(18); // the closed list; the template height includes the dropped list
        if (def.id == 1000)
            expected = QRect(22, 100, 500, 330);

        if (def.id == 0) {
            // Labels and group boxes without identifier: found by caption and place.
            bool found = false;
            for (QWidget* w : dlg.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                const QString text = qobject_cast<QLabel*>(w)      ? static_cast<QLabel*>(w)->text()
                                     : qobject_cast<QGroupBox*>(w) ? static_cast<QGroupBox*>(w)->title()
                                                                   : QString();
                if (text == QString::fromUtf8(def.caption) && w->geometry() == expected && IsKind(w, def.kind)) {
                    found = true;
                    EXPECT_EQ(w->isHidden(), def.hidden);
                    EXPECT_TRUE(w->testAttribute(Qt::WA_TransparentForMouseEvents));
                }
            }
            EXPECT_TRUE(found);
            continue;
        }

        EXPECT_TRUE(seen.insert(def.id).second);
        QWidget* w = dlg.GetDlgItem(def.id);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(dlg.DlgItemId(w), def.id);
        EXPECT_EQ(w->parentWidget(), &dlg);
        EXPECT_TRUE(IsKind(w, def.kind));
        EXPECT_EQ(w->geometry(), expected);
        EXPECT_EQ(w->isHidden(), def.hidden);
        if (def.kind == ControlKind::PushButton || def.kind == ControlKind::CheckBox ||
            def.kind == ControlKind::RadioButton) {
            EXPECT_EQ(dlg.GetItemText(def.id), QString::fromUtf8(def.caption));
        }
        if (def.kind == ControlKind::Edit) {
            EXPECT_EQ(static_cast<QLineEdit*>(w)->isReadOnly(), (def.style & console::kReadOnly) != 0);
        }
        if (def.kind == ControlKind::ComboBox) {
            EXPECT_EQ(static_cast<QComboBox*>(w)->isEditable(), (def.style & console::kEditable) != 0);
        }
    }
    EXPECT_EQ(seen.size(), 69u);
    EXPECT_EQ(dlg.GetDlgItem(999), nullptr);
    EXPECT_EQ(dlg.GetDlgItem(1068), nullptr);
    EXPECT_EQ(dlg.GetDlgItem(1075), nullptr);
}

TEST_F(ConsoleTest, TabOrderFollowsTheTemplate) {
    CCameraConsoleDlg& dlg = Make();
    std::vector<int> expected;
    for (const ControlDef& def : console::ControlTable())
        if (def.id != 0)
            expected.push_back(def.id);
    std::vector<int> chain;
    for (QWidget* w = dlg.nextInFocusChain(); w != &dlg; w = w->nextInFocusChain())
        if (w->parentWidget() == &dlg && dlg.DlgItemId(w) != 0)
            chain.push_back(dlg.DlgItemId(w));
    EXPECT_EQ(chain, expected);
}

TEST_F(ConsoleTest, CameraViewIsCreatedWithItsPropertiesAndRaisedAboveItsSiblings) {
    CCameraConsoleDlg& dlg = Make();
    ASSERT_NE(comp_, nullptr);
    EXPECT_EQ(comp_->Properties().backRed, 240);
    EXPECT_EQ(comp_->Properties().backGreen, 240);
    EXPECT_EQ(comp_->Properties().backBlue, 240);
    EXPECT_EQ(comp_->Properties().borderStyle, 0);
    EXPECT_EQ(comp_->AdviseCount(), 1);
    EXPECT_NE(comp_->Sink(), nullptr);
    QWidget* top = nullptr;
    for (QObject* child : dlg.children())
        if (auto* w = qobject_cast<QWidget*>(child))
            top = w;
    EXPECT_EQ(top, dlg.GetDlgItem(1000));
    // Group boxes lie beneath the controls they frame.
    QWidget* button = dlg.GetDlgItem(1003);
    EXPECT_EQ(dlg.childAt(button->geometry().center()), button);
}

TEST_F(ConsoleTest, InitialEnabledStatesFollowAClosedCamera) {
    Make();
    const std::set<int> disabled = {
        1003, 1020, 1021, 1053, 1056, 1057, 1069, 1070,                         // open-camera controls
        1004, 1005, 1006, 1007, 1008, 1009, 1010, 1015, 1017, 1018, 1022,       // property combos
        1023, 1024, 1025, 1026, 1027, 1028, 1051,                               // focus
        1029, 1032, 1033, 1034, 1035, 1037, 1042, 1071, 1052, 1046, 1043, 1062, // live-view and capture
        1063, 1064, 1047, 1048, 1049, 1050, 1054, 1055, 1058, 1059, 1060, 1061,
        1065, 1066, // onion skin
    };
    for (const auto& [id, enabled] : EnabledStates())
        EXPECT_EQ(enabled, !disabled.contains(id)) << id;
}

TEST_F(ConsoleTest, InitialValuesChecksRadiosAndLists) {
    CCameraConsoleDlg& dlg = Make();
    for (int id : {1034, 1035, 1052, 1053, 1062})
        EXPECT_TRUE(dlg.IsChecked(id)) << id;
    for (int id : {1036, 1037, 1043, 1056, 1063, 1064})
        EXPECT_FALSE(dlg.IsChecked(id)) << id;
    const std::map<int, bool> radios = {{1047, true},  {1048, false}, {1049, false}, {1050, false},
                                        {1054, false}, {1055, false}, {1059, false}, {1060, true},
                                        {1061, false}, {1069, true},  {1070, false}};
    for (const auto& [id, checked] : radios)
        EXPECT_EQ(dlg.IsChecked(id), checked) << id;

    const std::map<int, const char*> texts = {{1038, "10"}, {1039, "10"}, {1040, "100"}, {1041, "100"},
                                              {1044, "-1"}, {1045, "-1"}, {1065, "5"},   {1067, "150"},
                                              {1011, ""},   {1012, ""},   {1013, ""},    {1016, ""},
                                              {1019, ""},   {1001, "打开相机"}};
    for (const auto& [id, text] : texts)
        EXPECT_EQ(dlg.GetItemText(id), QString::fromUtf8(text)) << id;

    auto* bar = qobject_cast<QProgressBar*>(dlg.GetDlgItem(1074));
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->value(), 0);
    auto* slider = qobject_cast<QSlider*>(dlg.GetDlgItem(1066));
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 255);
    EXPECT_EQ(slider->value(), 150);
    EXPECT_EQ(slider->tickPosition(), QSlider::NoTicks);

    // The sorted crop-shape list puts square (fang) before round (yuan); each item keeps its value.
    QComboBox* shapes = Combo(1071);
    ASSERT_EQ(shapes->count(), 2);
    EXPECT_EQ(shapes->itemText(0), QStringLiteral("方形"));
    EXPECT_EQ(shapes->itemData(0).toInt(), 0);
    EXPECT_EQ(shapes->itemText(1), QStringLiteral("圆形"));
    EXPECT_EQ(shapes->itemData(1).toInt(), 1);
    EXPECT_EQ(shapes->currentIndex(), 0);

    for (int id : {1004, 1005, 1006, 1007, 1008, 1009, 1010, 1015, 1017, 1018, 1022}) {
        EXPECT_EQ(Combo(id)->count(), 0) << id;
        EXPECT_EQ(Combo(id)->currentText(), QString()) << id;
    }
    const ConsoleState& s = dlg.State();
    EXPECT_EQ(s.cameraOpen | s.liveViewOn | s.afPossible | s.photoShown | s.captureBusy | s.halfPressed |
                  s.continuousActive | s.bulbActive,
              0);
}

TEST_F(ConsoleTest, RadioSetsAreExclusiveOnlyWithinThemselves) {
    CCameraConsoleDlg& dlg = Make();
    dlg.CheckItem(1049, true);
    EXPECT_TRUE(dlg.IsChecked(1049));
    EXPECT_FALSE(dlg.IsChecked(1047));
    EXPECT_TRUE(dlg.IsChecked(1060));
    EXPECT_TRUE(dlg.IsChecked(1069));

    dlg.CheckRadioButton(1054, 1055, 1055);
    EXPECT_TRUE(dlg.IsChecked(1055));
    EXPECT_TRUE(dlg.IsChecked(1049));

    // A set can return to having nothing checked.
    dlg.CheckRadioButton(1059, 1061, 0);
    for (int id : {1059, 1060, 1061})
        EXPECT_FALSE(dlg.IsChecked(id)) << id;
    dlg.CheckItem(1055, false);
    EXPECT_FALSE(dlg.IsChecked(1054));
    EXPECT_FALSE(dlg.IsChecked(1055));
}

} // namespace
} // namespace quor::test
