// The camera list, opening and closing, plugging and pulling, and the component going away.
#include "ComponentFixture.h"

#include "component/host/SettingsDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/DeviceChange.h"
#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"

#include <QDir>
#include <QPointer>
#include <QSignalSpy>

#include <algorithm>
#include <thread>

namespace quor::component::test {
namespace {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name), had_(qEnvironmentVariableIsSet(name)) {
        old_ = qgetenv(name);
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

int CountFromEnv(const char* value) {
    ScopedEnv env(CameraEngine::kCameraCountVariable, value);
    QWidget parent;
    QuorCtrlComponent component(&parent, HostedProperties{});
    return CQuorCtrl(&component).GetCameraCount();
}

int ThreadCount() { return static_cast<int>(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size()); }

TEST(CameraListTest, EnvironmentSetsTheNumberOfSimulatedCameras) {
    EXPECT_EQ(CountFromEnv("0"), 0);
    EXPECT_EQ(CountFromEnv("2"), 2);
    EXPECT_EQ(CountFromEnv("8"), 8);
    // Anything else falls back to the single default camera.
    EXPECT_EQ(CountFromEnv("9"), 1);
    EXPECT_EQ(CountFromEnv("-1"), 1);
    EXPECT_EQ(CountFromEnv("two"), 1);
}

TEST_F(ComponentTest, CameraListAndOpeningOutsideIt) {
    Make(2);
    ASSERT_EQ(ctrl.GetCameraCount(), 2);
    const std::string first = ctrl.GetCameraName(0);
    const std::string second = ctrl.GetCameraName(1);
    EXPECT_NE(first.find("Canon EOS"), std::string::npos);
    EXPECT_NE(first.find("(sim.)"), std::string::npos); // as short as the mark in Chinese
    EXPECT_NE(first, second);
    EXPECT_EQ(ctrl.GetCameraName(2), "");
    EXPECT_EQ(ctrl.GetCameraName(-1), "");

    EXPECT_FALSE(ctrl.OpenCamera(2));
    EXPECT_FALSE(ctrl.OpenCamera(-1));
    Pump();
    EXPECT_FALSE(Engine().IsOpen());
    EXPECT_TRUE(sink.events.empty());

    Make(0);
    EXPECT_EQ(ctrl.GetCameraCount(), 0);
    EXPECT_FALSE(ctrl.OpenCamera(0));
}

TEST_F(ComponentTest, OpenReportsAfterReturningAndAnswersInformation) {
    Make(2);
    ASSERT_TRUE(Call([&] { return ctrl.OpenCamera(1); }));
    EXPECT_TRUE(sink.events.empty()) << "nothing is raised inside OpenCamera";
    Pump();
    ASSERT_FALSE(sink.events.empty());
    EXPECT_TRUE(std::none_of(sink.events.begin(), sink.events.end(), [](const Recorded& r) { return r.nested; }));
    EXPECT_EQ(sink.NotifyNames(), std::vector<std::string>{notify::OpenSucceed});
    EXPECT_EQ(sink.events.back().id, kEventNotify);

    const std::string model = ctrl.GetPropertyText(prop::ModelName);
    EXPECT_EQ(ctrl.GetCameraName(1).rfind(model, 0), 0u) << "the list name starts with the model";
    const std::string serial = ctrl.GetPropertyText(prop::SerialNumber);
    EXPECT_EQ(serial.size(), 12u);
    EXPECT_TRUE(std::all_of(serial.begin(), serial.end(), [](char c) { return c >= '0' && c <= '9'; }));
    EXPECT_FALSE(ctrl.GetPropertyText(prop::FirmwareVersion).empty());
    const int battery = ctrl.GetPropertyValue(prop::BatteryLevel);
    EXPECT_GT(battery, 0);
    EXPECT_LE(battery, 100);

    // Opening the other camera replaces the session.
    ASSERT_TRUE(ctrl.OpenCamera(0));
    EXPECT_EQ(Engine().OpenIndex(), 0);
    EXPECT_NE(ctrl.GetPropertyText(prop::SerialNumber), serial);

    EXPECT_TRUE(ctrl.CloseCamera());
    EXPECT_FALSE(Engine().IsOpen());
    EXPECT_EQ(ctrl.GetPropertyText(prop::ModelName), "");
    EXPECT_EQ(ctrl.GetPropertyValue(prop::BatteryLevel), 0);
    EXPECT_FALSE(ctrl.CloseCamera());
}

TEST_F(ComponentTest, CloseBeforeTheReportsArriveDropsThem) {
    Make(1);
    ASSERT_TRUE(ctrl.OpenCamera(0));
    ctrl.CloseCamera();
    Pump();
    EXPECT_TRUE(sink.events.empty());

    // The host closing the camera from inside a handler stops the rest of the reports.
    int seen = 0;
    sink.react = [&](int, std::span<Variant>) {
        if (++seen == 3)
            ctrl.CloseCamera();
    };
    ASSERT_TRUE(ctrl.OpenCamera(0));
    Pump();
    EXPECT_EQ(seen, 3);
    EXPECT_TRUE(sink.NotifyNames().empty());
}

TEST_F(ComponentTest, BatteryDrainsWhileOpenAndKeepsItsLevel) {
    Make(1);
    Engine().SetBatteryDrainInterval(std::chrono::milliseconds(5));
    ASSERT_TRUE(OpenAndSettle());
    const int start = ctrl.GetPropertyValue(prop::BatteryLevel);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    const int later = ctrl.GetPropertyValue(prop::BatteryLevel);
    EXPECT_LT(later, start);
    ctrl.CloseCamera();
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    ASSERT_TRUE(OpenAndSettle());
    const int reopened = ctrl.GetPropertyValue(prop::BatteryLevel);
    EXPECT_LE(reopened, later);
    EXPECT_GE(reopened, later - 3) << "a closed camera does not drain";
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(ctrl.GetPropertyValue(prop::BatteryLevel), 0) << "never below empty";
}

TEST_F(ComponentTest, PlugAndPullDeliverDeviceChangesAndShutDown) {
    Make(1);
    std::vector<std::string> log;
    auto conn = QObject::connect(&DeviceChangeNotifier::Instance(), &DeviceChangeNotifier::deviceChanged,
                                 [&] { log.push_back("deviceChanged"); });
    sink.react = [&](int id, std::span<Variant> a) {
        if (id == kEventNotify)
            log.push_back(a[0].text);
    };
    ASSERT_TRUE(OpenAndSettle(0));
    log.clear();

    ASSERT_TRUE(Engine().PlugCamera());
    Pump();
    EXPECT_EQ(log, std::vector<std::string>{"deviceChanged"});
    EXPECT_EQ(ctrl.GetCameraCount(), 2);
    EXPECT_TRUE(Engine().IsOpen()) << "plugging does not disturb the open camera";

    // Pulling a camera that is not open: only the device change.
    log.clear();
    ASSERT_TRUE(Engine().PullOutCamera(1));
    Pump();
    EXPECT_EQ(log, std::vector<std::string>{"deviceChanged"});
    EXPECT_TRUE(Engine().IsOpen());

    // Pulling the open camera: shutDown, then the device change.
    log.clear();
    ASSERT_TRUE(Engine().PullOutCamera(0));
    EXPECT_FALSE(Engine().IsOpen());
    Pump();
    EXPECT_EQ(log, (std::vector<std::string>{notify::ShutDown, "deviceChanged"}));
    EXPECT_EQ(ctrl.GetCameraCount(), 0);
    EXPECT_FALSE(Engine().PullOutCamera(0));

    // The list never grows past eight.
    Engine().SetSimulatedCameraCount(20);
    EXPECT_EQ(ctrl.GetCameraCount(), CameraEngine::kMaxCameras);
    EXPECT_FALSE(Engine().PlugCamera());
    QObject::disconnect(conn);
}

TEST_F(ComponentTest, ShutDownOfAPulledCameraNeverReachesALaterSession) {
    Make(2);
    ASSERT_TRUE(OpenAndSettle(0));
    sink.events.clear();
    ASSERT_TRUE(Engine().PullOutCamera(0));
    ASSERT_TRUE(ctrl.OpenCamera(0)); // the camera that moved up to position 0, before the host heard anything
    Pump();
    const auto names = sink.NotifyNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), notify::ShutDown), 0);
    EXPECT_TRUE(Engine().IsOpen());
}

TEST_F(ComponentTest, DestroyingWithACameraOpenLeavesNothingBehind) {
    const int threadsBefore = ThreadCount();
    Make(1);
    QPointer<QWidget> view = component->Widget();
    ASSERT_TRUE(view);
    EXPECT_EQ(view->parentWidget(), &parent);
    ASSERT_TRUE(ctrl.OpenCamera(0)); // its reports are still queued
    component.reset();
    Pump();
    EXPECT_TRUE(sink.events.empty()) << "nothing is raised by a component that is gone";
    EXPECT_TRUE(view.isNull());
    EXPECT_TRUE(parent.findChildren<QObject*>().isEmpty());
    EXPECT_EQ(ThreadCount(), threadsBefore);

    // The host's window may go first, taking the view with it.
    auto window = std::make_unique<QWidget>();
    auto orphan = std::make_unique<QuorCtrlComponent>(window.get(), HostedProperties{}, 1);
    orphan->Advise(&sink);
    ASSERT_TRUE(CQuorCtrl(orphan.get()).OpenCamera(0));
    window.reset();
    EXPECT_EQ(orphan->Widget(), nullptr);
    orphan.reset();
    Pump();
    EXPECT_TRUE(sink.events.empty());
}

TEST_F(ComponentTest, SettingsDialogAddsNetworkCamerasAheadOfTheSimulatedOnes) {
    Make(1);
    SettingsDialog dialog(&component->Settings(), &parent);
    dialog.networkAddress()->setText(QStringLiteral("not an address!"));
    dialog.addNetworkCamera()->click();
    EXPECT_EQ(component->Engine().CameraCount(), 1);
    EXPECT_FALSE(dialog.networkStatus()->text().isEmpty());

    dialog.networkAddress()->setText(QStringLiteral("192.168.7.9:15740"));
    dialog.addNetworkCamera()->click();
    ASSERT_EQ(component->Engine().CameraCount(), 2);
    EXPECT_EQ(component->Engine().CameraName(0), "Network camera 192.168.7.9:15740");
    EXPECT_NE(component->Engine().RealCamera(0), nullptr);
    EXPECT_EQ(component->Engine().Camera(0), nullptr);
    EXPECT_NE(component->Engine().Camera(1), nullptr); // the simulated camera follows
    EXPECT_EQ(ctrl.GetCameraCount(), 2);
    EXPECT_EQ(ctrl.GetCameraName(0), "Network camera 192.168.7.9:15740");
    // Listed once.
    dialog.networkAddress()->setText(QStringLiteral("192.168.7.9"));
    dialog.addNetworkCamera()->click();
    EXPECT_EQ(component->Engine().CameraCount(), 2);
    // The simulated camera still opens at its new position.
    EXPECT_TRUE(ctrl.OpenCamera(1));
    EXPECT_EQ(component->Engine().OpenIndex(), 1);
}

} // namespace
} // namespace quor::component::test
