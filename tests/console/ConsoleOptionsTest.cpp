// Crop, rotation, movie and onion-skin options.
#include "ConsoleFixture.h"

#include "control/NotifyNames.h"

#include <QLineEdit>
#include <QSlider>

namespace quor::test {
namespace {

class ConsoleOptionsTest : public ConsoleTest {
protected:
    // A console whose camera is open with live view running, so that every option control is enabled.
    CCameraConsoleDlg& LiveConsole() {
        CCameraConsoleDlg& dlg = Make();
        OpenCamera();
        LiveView(-1);
        comp_->ClearCalls();
        return dlg;
    }
    void LiveView(std::int32_t state) { comp_->RaiseNotify(notify::UpdateEvfOutput, Variant::Long(state)); }
    std::vector<std::int32_t> Ints(const RecordedCall& c) const {
        std::vector<std::int32_t> v;
        for (const Variant& a : c.args)
            v.push_back(a.type == VarType::Bool ? (a.IsTrue() ? 1 : 0) : a.Int());
        return v;
    }
    std::vector<std::int32_t> LastArgs(int dispid) const {
        const auto calls = comp_->CallsOf(dispid);
        return calls.empty() ? std::vector<std::int32_t>{} : Ints(calls.back());
    }
    QSlider* Slider() { return qobject_cast<QSlider*>(dlg_->GetDlgItem(1066)); }
};

TEST_F(ConsoleOptionsTest, TheButtonsSendTheInitialCropAndRatioAndTheLockBoxSendsAtOnce) {
    CCameraConsoleDlg& dlg = LiveConsole();
    Click(1042);
    EXPECT_EQ(LastArgs(dispid::SetCropRect), (std::vector<std::int32_t>{10, 10, 100, 100}));
    Click(1046);
    EXPECT_EQ(LastArgs(dispid::SetCropRatio), (std::vector<std::int32_t>{0, -1, -1}));
    Click(1043);
    EXPECT_EQ(LastArgs(dispid::SetCropRatio), (std::vector<std::int32_t>{1, -1, -1}));
    dlg.SetItemText(1044, QStringLiteral("16"));
    dlg.SetItemText(1045, QStringLiteral("9"));
    Click(1043);
    EXPECT_EQ(LastArgs(dispid::SetCropRatio), (std::vector<std::int32_t>{0, 16, 9}));
    EXPECT_EQ(comp_->CallIds(), (std::vector<int>{dispid::SetCropRect, dispid::SetCropRatio, dispid::SetCropRatio,
                                                  dispid::SetCropRatio}));
    Click(1037);
    Click(1037);
    const auto enables = comp_->CallsOf(dispid::EnableCrop);
    ASSERT_EQ(enables.size(), 2u);
    EXPECT_EQ(Ints(enables[0]), (std::vector<std::int32_t>{1, 1, 1}));
    EXPECT_EQ(Ints(enables[1]), (std::vector<std::int32_t>{0, 1, 1}));
}

TEST_F(ConsoleOptionsTest, CropFieldsAreReadAsSignedIntegersAndSentUnchecked) {
    CCameraConsoleDlg& dlg = LiveConsole();
    dlg.SetItemText(1038, QStringLiteral("-5"));
    dlg.SetItemText(1039, QString());
    dlg.SetItemText(1040, QStringLiteral("-"));
    dlg.SetItemText(1041, QStringLiteral("abc"));
    Click(1042);
    EXPECT_EQ(LastArgs(dispid::SetCropRect), (std::vector<std::int32_t>{-5, 0, 0, 0}));
}

TEST_F(ConsoleOptionsTest, CropRectReportsFillTheFieldsWithoutAnyCall) {
    CCameraConsoleDlg& dlg = Make(); // no camera open
    comp_->ClearCalls();
    comp_->RaiseCropRect(1, 2, -3, 2147483647);
    EXPECT_EQ(dlg.GetItemText(1038), QStringLiteral("1"));
    EXPECT_EQ(dlg.GetItemText(1039), QStringLiteral("2"));
    EXPECT_EQ(dlg.GetItemText(1040), QStringLiteral("-3"));
    EXPECT_EQ(dlg.GetItemText(1041), QStringLiteral("2147483647"));
    EXPECT_TRUE(comp_->Calls().empty());
    // The fields stay editable without a camera and without live view.
    for (int id : {1038, 1039, 1040, 1041, 1044, 1045})
        EXPECT_TRUE(dlg.IsItemEnabled(id)) << id;

    OpenCamera();
    LiveView(1);
    comp_->RaiseCropRect(1, 2, 3, 4);
    // A report raised from inside SetCropRect rewrites the fields; the call keeps what it read.
    comp_->OnCall(dispid::SetCropRect,
                  [](RecordingComponent& c, const RecordedCall&) { c.RaiseCropRect(5, 6, 7, 8); });
    Click(1042);
    EXPECT_EQ(LastArgs(dispid::SetCropRect), (std::vector<std::int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(dlg.GetItemText(1041), QStringLiteral("8"));
    EXPECT_EQ(comp_->CountOf(dispid::SetCropRect), 1u);
}

TEST_F(ConsoleOptionsTest, CropShapeSendsTheItemValueWhateverTheOrder) {
    LiveConsole();
    QComboBox* shapes = Combo(1071);
    ASSERT_EQ(shapes->count(), 2);
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) { // the other order: the value, not the position, must follow the text
            const QString text = shapes->itemText(0);
            const QVariant value = shapes->itemData(0);
            shapes->removeItem(0);
            shapes->addItem(text, value);
            shapes->setCurrentIndex(0);
        }
        comp_->ClearCalls();
        QTest::keyClick(shapes, Qt::Key_End);
        QTest::keyClick(shapes, Qt::Key_Home);
        const auto calls = comp_->CallsOf(dispid::SetCropShape);
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[0].Int(0), shapes->itemText(1) == QStringLiteral("圆形") ? 1 : 0);
        EXPECT_EQ(calls[1].Int(0), shapes->itemText(0) == QStringLiteral("圆形") ? 1 : 0);
        EXPECT_NE(calls[0].Int(0), calls[1].Int(0));
        EXPECT_EQ(calls[0].args[0].type, VarType::Short);
    }
}

TEST_F(ConsoleOptionsTest, CropFrameRotationMovieAndRecordButtons) {
    CCameraConsoleDlg& dlg = LiveConsole();
    Click(1063);
    ASSERT_EQ(comp_->CallsOf(dispid::ShowCropFrame).size(), 1u);
    EXPECT_TRUE(comp_->CallsOf(dispid::ShowCropFrame)[0].args[0].IsTrue());
    EXPECT_EQ(comp_->CallsOf(dispid::ShowCropFrame)[0].Text(1), "/opt/quortovu/CropImg.png");

    comp_->ClearCalls();
    for (int id : {1050, 1047, 1047, 1048, 1049})
        Click(id);
    std::vector<std::int32_t> angles;
    for (const RecordedCall& c : comp_->CallsOf(dispid::SetRotation))
        angles.push_back(c.Int(0));
    EXPECT_EQ(angles, (std::vector<std::int32_t>{270, 0, 0, 90, 180}));

    Click(1034);
    EXPECT_EQ(LastArgs(dispid::SetMovieOptions), (std::vector<std::int32_t>{0, 1}));
    Click(1035);
    EXPECT_EQ(LastArgs(dispid::SetMovieOptions), (std::vector<std::int32_t>{0, 0}));

    const auto enabled = EnabledStates();
    comp_->ClearCalls();
    Click(1033);
    EXPECT_TRUE(comp_->Calls().empty());
    EXPECT_EQ(EnabledStates(), enabled);
    EXPECT_EQ(dlg.GetItemText(1033), QStringLiteral("录像"));
}

TEST_F(ConsoleOptionsTest, OnionSkinEnableCallsFirstAndFollowsLiveView) {
    CCameraConsoleDlg& dlg = LiveConsole();
    bool layersEnabledAtCall = true;
    comp_->OnCall(dispid::EnableOnionSkin, [&](RecordingComponent&, const RecordedCall&) {
        layersEnabledAtCall = dlg.IsItemEnabled(1065);
    });
    Click(1064);
    EXPECT_EQ(LastArgs(dispid::EnableOnionSkin), std::vector<std::int32_t>{1});
    EXPECT_FALSE(layersEnabledAtCall);
    EXPECT_TRUE(dlg.IsItemEnabled(1065));
    EXPECT_TRUE(dlg.IsItemEnabled(1066));

    // Live view stops and starts again: the controls follow, nothing is sent.
    comp_->ClearCalls();
    LiveView(0);
    for (int id : {1064, 1065, 1066})
        EXPECT_FALSE(dlg.IsItemEnabled(id)) << id;
    LiveView(1);
    for (int id : {1064, 1065, 1066})
        EXPECT_TRUE(dlg.IsItemEnabled(id)) << id;
    EXPECT_TRUE(comp_->Calls().empty());

    Click(1064);
    EXPECT_EQ(LastArgs(dispid::EnableOnionSkin), std::vector<std::int32_t>{0});
    EXPECT_FALSE(dlg.IsItemEnabled(1065));
    EXPECT_FALSE(dlg.IsItemEnabled(1066));
}

TEST_F(ConsoleOptionsTest, EveryLayerTextChangeSendsItsLow16Bits) {
    CCameraConsoleDlg& dlg = LiveConsole();
    Click(1064);
    auto* layers = qobject_cast<QLineEdit*>(dlg.GetDlgItem(1065));
    layers->selectAll();
    comp_->ClearCalls();
    QTest::keyClick(layers, Qt::Key_Backspace);
    QTest::keyClicks(layers, QStringLiteral("70000"));
    std::vector<std::int32_t> sent;
    for (const RecordedCall& c : comp_->CallsOf(dispid::SetOnionSkinLayers))
        sent.push_back(c.Int(0));
    // 70000 does not fit in 16 bits: 70000 - 65536.
    EXPECT_EQ(sent, (std::vector<std::int32_t>{0, 7, 70, 700, 7000, 4464}));
    layers->setText(QStringLiteral("40000")); // fits 16 bits, not signed 16 bits
    EXPECT_EQ(LastArgs(dispid::SetOnionSkinLayers), std::vector<std::int32_t>{-25536});
}

TEST_F(ConsoleOptionsTest, TransparencyWritesTheLabelFirstAtEveryStep) {
    CCameraConsoleDlg& dlg = LiveConsole();
    Click(1064);
    std::vector<std::pair<QString, std::int32_t>> seen; // label at the call, and the value sent
    comp_->OnCall(dispid::SetOnionSkinAlpha, [&](RecordingComponent&, const RecordedCall& c) {
        seen.emplace_back(dlg.GetItemText(1067), c.Int(0));
    });
    QSlider* slider = Slider();
    QTest::keyClick(slider, Qt::Key_End);
    QTest::keyClick(slider, Qt::Key_Home);
    QTest::keyClick(slider, Qt::Key_Right);
    // A drag: every position, then the release repeats the last one.
    slider->setSliderDown(true);
    slider->setSliderPosition(100);
    slider->setSliderPosition(120);
    slider->setSliderDown(false);
    slider->setValue(7); // the program's own changes send nothing
    const std::vector<std::pair<QString, std::int32_t>> expected = {
        {QStringLiteral("255"), 255}, {QStringLiteral("0"), 0},     {QStringLiteral("1"), 1},
        {QStringLiteral("100"), 100}, {QStringLiteral("120"), 120}, {QStringLiteral("120"), 120},
    };
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(comp_->CallsOf(dispid::SetOnionSkinAlpha)[0].args[0].type, VarType::Short);
}

} // namespace
} // namespace quor::test
