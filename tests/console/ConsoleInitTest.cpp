// What the console tells the component while it initialises, the camera list it builds, reading integers
// from edit fields, and a failing component call inside a handler.
#include "ConsoleFixture.h"

#include "console/EditInt.h"
#include "platform/DeviceChange.h"
#include "control/NotifyNames.h"

#include <QCoreApplication>

#include <algorithm>
#include <limits>

namespace quor::test {
namespace {

struct Expected {
    int dispid;
    DispatchKind kind;
    std::vector<std::int32_t> args;
};

void ExpectCalls(const RecordingComponent& comp, const std::vector<Expected>& expected) {
    const auto& calls = comp.Calls();
    ASSERT_EQ(calls.size(), expected.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE("call " + std::to_string(i));
        EXPECT_EQ(calls[i].dispid, expected[i].dispid);
        EXPECT_EQ(calls[i].kind, expected[i].kind);
        ASSERT_EQ(calls[i].args.size(), expected[i].args.size());
        for (std::size_t a = 0; a < calls[i].args.size(); ++a)
            EXPECT_EQ(calls[i].Int(a), expected[i].args[a]);
    }
}

std::vector<Expected> InitCalls(int cameras) {
    std::vector<Expected> calls = {
        {dispid::SetDisplayMode, DispatchKind::Method, {1}},
        {dispid::SetOnionSkinLayers, DispatchKind::Method, {5}},
        {dispid::ShowDebugInfo, DispatchKind::PropertyPut, {-1}},
        {dispid::BorderStyle, DispatchKind::PropertyPut, {1}},
        {dispid::GetCameraCount, DispatchKind::Method, {}},
    };
    for (int i = 0; i < cameras; ++i)
        calls.push_back({dispid::GetCameraName, DispatchKind::Method, {i}});
    return calls;
}

TEST_F(ConsoleTest, InitialisationWithoutCamerasDisablesTheListAndOpenButton) {
    CCameraConsoleDlg& dlg = Make({});
    ExpectCalls(*comp_, InitCalls(0));
    EXPECT_EQ(Combo(1014)->count(), 0);
    EXPECT_FALSE(dlg.IsItemEnabled(1014));
    EXPECT_FALSE(dlg.IsItemEnabled(1001));
}

TEST_F(ConsoleTest, InitialisationWithOneCameraListsAndSelectsIt) {
    CCameraConsoleDlg& dlg = Make({"Canon EOS 5D Mark III"});
    ExpectCalls(*comp_, InitCalls(1));
    EXPECT_EQ(comp_->Calls()[1].args[0].type, VarType::Short);
    ASSERT_EQ(Combo(1014)->count(), 1);
    EXPECT_EQ(Combo(1014)->itemText(0), QStringLiteral("Canon EOS 5D Mark III"));
    EXPECT_EQ(Combo(1014)->currentIndex(), 0);
    EXPECT_TRUE(dlg.IsItemEnabled(1014));
    EXPECT_TRUE(dlg.IsItemEnabled(1001));
}

TEST_F(ConsoleTest, InitialisationWithTwoCamerasKeepsTheComponentsOrder) {
    CCameraConsoleDlg& dlg = Make({"Canon EOS 7D", "Canon EOS 60D 佳能"});
    ExpectCalls(*comp_, InitCalls(2));
    ASSERT_EQ(Combo(1014)->count(), 2);
    EXPECT_EQ(Combo(1014)->itemText(0), QStringLiteral("Canon EOS 7D"));
    EXPECT_EQ(Combo(1014)->itemText(1), QStringLiteral("Canon EOS 60D 佳能"));
    EXPECT_EQ(Combo(1014)->currentIndex(), 0);
    EXPECT_TRUE(dlg.IsItemEnabled(1014));
    EXPECT_TRUE(dlg.IsItemEnabled(1001));
}

TEST_F(ConsoleTest, ANegativeCameraCountListsNothing) {
    // The count is a 16-bit number: 65535 cameras read as -1.
    CCameraConsoleDlg& dlg = Make({}, [](RecordingComponent& c) { c.SetResult(dispid::GetCameraCount, Variant::Long(65535)); });
    EXPECT_EQ(comp_->CountOf(dispid::GetCameraName), 0u);
    EXPECT_FALSE(dlg.IsItemEnabled(1014));
    EXPECT_FALSE(dlg.IsItemEnabled(1001));
}

TEST(EditIntTest, ReadsSignedDecimalsByTheFieldRules) {
    using console::ReadEditInt;
    EXPECT_EQ(ReadEditInt("42"), 42);
    EXPECT_EQ(ReadEditInt("   42"), 42);
    EXPECT_EQ(ReadEditInt("\t 7"), 7);
    EXPECT_EQ(ReadEditInt("-5"), -5);
    EXPECT_EQ(ReadEditInt("  -5x"), -5);
    EXPECT_EQ(ReadEditInt("12abc34"), 12);
    EXPECT_EQ(ReadEditInt("007"), 7);
    EXPECT_EQ(ReadEditInt("00000000000000000000123"), 123);
    EXPECT_EQ(ReadEditInt("-0"), 0);
    // No number at all.
    EXPECT_EQ(ReadEditInt(""), 0);
    EXPECT_EQ(ReadEditInt("   "), 0);
    EXPECT_EQ(ReadEditInt("-"), 0);
    EXPECT_EQ(ReadEditInt("abc"), 0);
    EXPECT_EQ(ReadEditInt("+5"), 0);
    EXPECT_EQ(ReadEditInt("- 5"), 0);
    EXPECT_EQ(ReadEditInt("--5"), 0);
    EXPECT_EQ(ReadEditInt("5 "), 5);
    EXPECT_EQ(ReadEditInt(" 5 6"), 5);
    // The signed 32-bit range and just outside it.
    EXPECT_EQ(ReadEditInt("2147483647"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ReadEditInt("-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(ReadEditInt("2147483648"), 0);
    EXPECT_EQ(ReadEditInt("-2147483649"), 0);
    EXPECT_EQ(ReadEditInt("99999999999999999999999"), 0);
    EXPECT_EQ(ReadEditInt("4294967301"), 0);
    // Digits elsewhere in Unicode are not decimal digits here.
    EXPECT_EQ(ReadEditInt("\xEF\xBC\x95"), 0); // fullwidth five
}

TEST_F(ConsoleTest, EditFieldsReadAndWriteSignedIntegers) {
    CCameraConsoleDlg& dlg = Make();
    dlg.SetItemText(1038, QStringLiteral("  -17 apples"));
    EXPECT_EQ(dlg.GetItemInt(1038), -17);
    dlg.SetItemText(1038, QStringLiteral("x"));
    EXPECT_EQ(dlg.GetItemInt(1038), 0);
    dlg.SetItemInt(1038, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(dlg.GetItemText(1038), QStringLiteral("-2147483648"));
    EXPECT_EQ(dlg.GetItemInt(1038), std::numeric_limits<std::int32_t>::min());
}

TEST_F(ConsoleTest, WritingTheLayerFieldIsAChangeEvenWithTheSameTextAndNarrowsTo16Bits) {
    CCameraConsoleDlg& dlg = Make();
    comp_->ClearCalls();
    dlg.SetItemInt(1065, 5); // unchanged text
    dlg.SetItemInt(1065, 65541);
    dlg.SetItemInt(1065, 32768);
    dlg.SetItemText(1065, QString());
    const auto calls = comp_->CallsOf(dispid::SetOnionSkinLayers);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].Int(0), 5);
    EXPECT_EQ(calls[1].Int(0), 5); // low 16 bits of 65541
    EXPECT_EQ(calls[1].args[0].type, VarType::Short);
    EXPECT_EQ(calls[2].Int(0), -32768);
    EXPECT_EQ(calls[3].Int(0), 0);
    EXPECT_EQ(comp_->Calls().size(), 4u);
}

TEST_F(ConsoleTest, AFailingCallEndsOnlyItsHandlerAndIsReportedOnce) {
    CCameraConsoleDlg& dlg = Make();
    OpenCamera();
    comp_->SetResultFor(dispid::GetPropertyText, 3, Variant::String("083021001234"));
    comp_->SetResultFor(dispid::GetPropertyText, 2, Variant::String("Canon EOS 7D"));
    bool linkLost = true;
    comp_->OnCall(dispid::GetPropertyText, [&linkLost](RecordingComponent&, const RecordedCall& c) {
        if (linkLost && c.Int(0) == 2)
            throw DispatchError(c.dispid, "link lost");
    });
    comp_->ClearCalls();

    ::testing::internal::CaptureStderr();
    comp_->RaiseNotify(notify::OpenSucceed, Variant{});
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(dlg.GetItemText(1012), QStringLiteral("083021001234"));
    EXPECT_EQ(dlg.GetItemText(1011), QString()); // the handler ended at the model name
    EXPECT_EQ(dlg.GetItemText(1013), QString());
    EXPECT_EQ(dlg.GetItemText(1016), QString());
    EXPECT_EQ(comp_->CountOf(dispid::GetPropertyValue), 0u);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("OpenSucceed"), std::string::npos) << err;
    EXPECT_EQ(dlg.State().cameraOpen, 1);

    // The console goes on: the next notification runs in full.
    linkLost = false;
    comp_->RaiseNotify(notify::OpenSucceed, Variant{});
    EXPECT_EQ(dlg.GetItemText(1011), QStringLiteral("Canon EOS 7D"));
    EXPECT_EQ(dlg.GetItemText(1016), QStringLiteral("0%"));
}

TEST_F(ConsoleTest, AFailingOpenLeavesTheConsoleClosed) {
    CCameraConsoleDlg& dlg = Make();
    const auto before = EnabledStates();
    comp_->FailCall(dispid::OpenCamera);
    ::testing::internal::CaptureStderr();
    Click(1001);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(dlg.State().cameraOpen, 0);
    EXPECT_EQ(dlg.GetItemText(1001), QStringLiteral("打开相机"));
    EXPECT_EQ(EnabledStates(), before);
}

TEST_F(ConsoleTest, AFailingCallDuringInitialisationLeavesAUsableConsole) {
    ::testing::internal::CaptureStderr();
    CCameraConsoleDlg& dlg = Make({"Canon EOS 7D"}, [](RecordingComponent& c) { c.FailCall(dispid::GetCameraCount, 1); });
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("initialisation"), std::string::npos) << err;
    EXPECT_EQ(Combo(1014)->count(), 0);
    // A later device change lists the camera.
    emit DeviceChangeNotifier::Instance().deviceChanged();
    EXPECT_EQ(Combo(1014)->count(), 1);
    EXPECT_TRUE(dlg.IsItemEnabled(1001));
}

TEST(ConsoleWithoutComponentTest, StartsAndReportsInsteadOfCrashing) {
    ::testing::internal::CaptureStderr();
    CCameraConsoleDlg dlg("/opt/quortovu", [](QWidget*, const HostedProperties&) -> std::unique_ptr<IHostedComponent> {
        throw DispatchError(0, "no camera component registered");
    });
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(dlg.GetDlgItem(1000), nullptr);
    ASSERT_NE(dlg.GetDlgItem(1001), nullptr);
    ::testing::internal::CaptureStderr();
    emit DeviceChangeNotifier::Instance().deviceChanged();
    EXPECT_FALSE(::testing::internal::GetCapturedStderr().empty());
}

} // namespace
} // namespace quor::test
