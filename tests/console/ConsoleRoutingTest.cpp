// Routing of the component's events to the console's handlers.
#include "ConsoleFixture.h"

#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"

namespace quor::test {
namespace {

// Records which handler each event reached, with the integer it was handed.
class SpyConsole : public CCameraConsoleDlg {
public:
    using CCameraConsoleDlg::CCameraConsoleDlg;
    std::vector<std::pair<std::string, std::int64_t>> seen;

protected:
    void OnPropertyValueChanged(std::int32_t code, const std::string& text) override {
        seen.push_back({"PropertyValueChanged:" + text, code});
    }
    void OnPropertyOptionAdded(std::int32_t code, const std::string& text, std::int32_t value, bool enable) override {
        seen.push_back({"PropertyOptionAdded:" + text + (enable ? ":on" : ":off"), std::int64_t{code} * 1000 + value});
    }
    void OnCropRectChanged(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) override {
        seen.push_back({"CropRectChanged", a * 1000 + b * 100 + c * 10 + d});
    }
    void OnShutDown() override { seen.push_back({"shutDown", 0}); }
    void OnOpenSucceed() override { seen.push_back({"OpenSucceed", 0}); }
    void OnDownloadStart() override { seen.push_back({"DownloadStart", 0}); }
    void OnProgressReport(std::int32_t v) override { seen.push_back({"ProgressReport", v}); }
    void OnDownloadMovieComplete() override { seen.push_back({"DownloadMovieComplete", 0}); }
    void OnUpdateEvfOutput(std::int16_t v) override { seen.push_back({"updateEvfOutput", v}); }
    void OnDownloadComplete() override { seen.push_back({"DownloadComplete", 0}); }
    void OnResetPropertyDesc(std::int32_t v) override { seen.push_back({"resetPropertyDesc", v}); }
};

using RoutingTest = BasicConsoleTest<SpyConsole>;

// A variant whose tag is not an integer type but whose value field holds `value`.
Variant Tagged(VarType type, std::int32_t value) {
    Variant v;
    v.type = type;
    v.value = value;
    return v;
}

TEST_F(RoutingTest, EveryNotifyNameReachesItsOwnHandler) {
    SpyConsole& dlg = Make();
    const std::vector<std::string> names = {notify::ShutDown,        notify::OpenSucceed,
                                            notify::DownloadStart,   notify::ProgressReport,
                                            notify::DownloadMovieComplete, notify::UpdateEvfOutput,
                                            notify::DownloadComplete, notify::ResetPropertyDesc};
    for (const std::string& name : names)
        comp_->RaiseNotify(name, Variant::Long(7));
    ASSERT_EQ(dlg.seen.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(dlg.seen[i].first, names[i]);
    EXPECT_EQ(dlg.seen[3].second, 7);
    EXPECT_EQ(dlg.seen[5].second, 7);
    EXPECT_EQ(dlg.seen[7].second, 7);
}

TEST_F(RoutingTest, NamesMustMatchExactly) {
    SpyConsole& dlg = Make();
    comp_->ClearCalls();
    for (const char* name : {"shutdown", "ShutDown", "shutDown ", " shutDown", "OpenSucceed\t", "openSucceed",
                             "UpdateEvfOutput", "DOWNLOADCOMPLETE", "", "Notify", "resetPropertyDes"})
        comp_->RaiseNotify(name, Variant::Long(1));
    EXPECT_TRUE(dlg.seen.empty());
    EXPECT_TRUE(comp_->Calls().empty());
}

TEST_F(RoutingTest, IntegersAreReadFromTheValueFieldWhateverTheTag) {
    SpyConsole& dlg = Make();
    comp_->RaiseNotify(notify::ProgressReport, Tagged(VarType::String, 250));
    comp_->RaiseNotify(notify::ResetPropertyDesc, Tagged(VarType::Empty, prop::ShutterSpeed));
    comp_->RaiseNotify(notify::ResetPropertyDesc, Tagged(VarType::Bool, prop::AfMode));
    ASSERT_EQ(dlg.seen.size(), 3u);
    EXPECT_EQ(dlg.seen[0].second, 250);
    EXPECT_EQ(dlg.seen[1].second, prop::ShutterSpeed);
    EXPECT_EQ(dlg.seen[2].second, prop::AfMode);
}

TEST_F(RoutingTest, LiveViewStateIsTheLow16BitsSignExtended) {
    SpyConsole& dlg = Make();
    comp_->RaiseNotify(notify::UpdateEvfOutput, Variant::Long(65536));
    comp_->RaiseNotify(notify::UpdateEvfOutput, Variant::Long(-1));
    comp_->RaiseNotify(notify::UpdateEvfOutput, Variant::Bool(true));
    comp_->RaiseNotify(notify::UpdateEvfOutput, Variant::Long(0x10001));
    comp_->RaiseNotify(notify::UpdateEvfOutput, Tagged(VarType::String, 0x8000));
    ASSERT_EQ(dlg.seen.size(), 5u);
    EXPECT_EQ(dlg.seen[0].second, 0);
    EXPECT_EQ(dlg.seen[1].second, -1);
    EXPECT_EQ(dlg.seen[2].second, -1);
    EXPECT_EQ(dlg.seen[3].second, 1);
    EXPECT_EQ(dlg.seen[4].second, -32768);
}

TEST_F(RoutingTest, TypedEventsReachTheirHandlersAndOnlyFromTheCameraView) {
    SpyConsole& dlg = Make();
    comp_->RaiseValueChanged(prop::DriveMode, "Single");
    comp_->RaiseOptionAdded(prop::IsoSpeed, "ISO 100", 72, false);
    comp_->RaiseCropRect(1, 2, 3, 4);
    ASSERT_EQ(dlg.seen.size(), 3u);
    EXPECT_EQ(dlg.seen[0], (std::pair<std::string, std::int64_t>{"PropertyValueChanged:Single", prop::DriveMode}));
    EXPECT_EQ(dlg.seen[1],
              (std::pair<std::string, std::int64_t>{"PropertyOptionAdded:ISO 100:off", prop::IsoSpeed * 1000 + 72}));
    EXPECT_EQ(dlg.seen[2], (std::pair<std::string, std::int64_t>{"CropRectChanged", 1234}));

    // The same events from another control, or with arguments missing, reach nothing.
    std::vector<Variant> notifyArgs = {Variant::String(notify::ShutDown), Variant::Long(0)};
    EXPECT_FALSE(dlg.EventRoutes().Dispatch(1001, kEventNotify, notifyArgs));
    std::vector<Variant> valueArgs = {Variant::Long(prop::DriveMode), Variant::String("Single")};
    EXPECT_FALSE(dlg.EventRoutes().Dispatch(1014, kEventPropertyValueChanged, valueArgs));
    comp_->RaiseEvent(kEventPropertyValueChanged, {Variant::Long(prop::DriveMode)});
    comp_->RaiseEvent(kEventCropRectChanged, {Variant::Long(1), Variant::Long(2), Variant::Long(3)});
    comp_->RaiseEvent(kEventNotify, {Variant::String(notify::ShutDown)});
    comp_->RaiseEvent(99, {Variant::Long(1)});
    EXPECT_EQ(dlg.seen.size(), 3u);
}

TEST_F(ConsoleTest, LiveViewReportSwitchesTheLiveViewControls) {
    CCameraConsoleDlg& dlg = Make();
    const std::vector<int> live = {1033, 1034, 1035, 1037, 1042, 1063, 1071, 1052, 1046, 1043, 1056,
                                   1062, 1064, 1047, 1048, 1049, 1050, 1059, 1060, 1061, 1058};
    comp_->ClearCalls();
    comp_->RaiseNotify(notify::UpdateEvfOutput, Variant::Long(-1));
    EXPECT_EQ(dlg.State().liveViewOn, -1);
    for (int id : live)
        EXPECT_TRUE(dlg.IsItemEnabled(id)) << id;
    comp_->RaiseNotify(notify::UpdateEvfOutput, Variant::Long(65536));
    EXPECT_EQ(dlg.State().liveViewOn, 0);
    for (int id : live)
        EXPECT_FALSE(dlg.IsItemEnabled(id)) << id;
    EXPECT_TRUE(comp_->Calls().empty());
}

TEST_F(ConsoleTest, EventsRaisedInsideACallAreHandledAtOnce) {
    CCameraConsoleDlg& dlg = Make();
    comp_->SetResultFor(dispid::GetPropertyText, 2, Variant::String("Canon EOS 7D"));
    comp_->SetResultFor(dispid::GetPropertyValue, 8, Variant::Long(75));
    comp_->OnCall(dispid::OpenCamera, [](RecordingComponent& c, const RecordedCall&) {
        c.RaiseNotify(notify::ShutDown, Variant{}); // not open yet: nothing to close
        c.RaiseNotify(notify::OpenSucceed, Variant{});
        c.RaiseOptionAdded(prop::DriveMode, "Single", 0, true);
        c.RaiseValueChanged(prop::DriveMode, "Single");
    });
    OpenCamera();
    EXPECT_EQ(comp_->CountOf(dispid::CloseCamera), 0u);
    EXPECT_EQ(dlg.GetItemText(1011), QStringLiteral("Canon EOS 7D"));
    EXPECT_EQ(dlg.GetItemText(1016), QStringLiteral("75%"));
    EXPECT_EQ(dlg.GetItemText(1017), QStringLiteral("Single"));
    EXPECT_EQ(Combo(1017)->count(), 1);
    EXPECT_EQ(dlg.GetItemText(1001), QStringLiteral("关闭相机"));
    // The calls made from inside OpenCamera are recorded inside it, in order.
    const std::vector<int> ids = comp_->CallIds();
    const std::vector<int> tail(ids.end() - 5, ids.end());
    EXPECT_EQ(tail, (std::vector<int>{dispid::OpenCamera, dispid::GetPropertyText, dispid::GetPropertyText,
                                      dispid::GetPropertyText, dispid::GetPropertyValue}));
}

} // namespace
} // namespace quor::test
