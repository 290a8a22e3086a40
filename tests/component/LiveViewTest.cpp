// Live view end to end: the producer thread, the frame callback, the view, focus and exposure, stopping.
#include "ComponentFixture.h"

#include "component/host/QuorCtrlView.h"
#include "component/host/SettingsDialog.h"
#include "component/host/ViewGeometry.h"
#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <atomic>
#include <cmath>
#include <thread>

namespace quor::component::test {
namespace {

// What the frame callback saw, written on the producer thread.
struct CallbackLog {
    std::atomic<int> calls{0};
    std::atomic<bool> offWindowThread{true};
    std::atomic<bool> layoutOk{true};
    std::thread::id windowThread;
};

// Marks the top-left pixel magenta, so that the view can be seen to show the edited frame.
void MarkingCallback(unsigned char* buffer, std::uint32_t width, std::uint32_t height, std::intptr_t context) {
    auto* log = reinterpret_cast<CallbackLog*>(context);
    if (!buffer || width == 0 || height == 0)
        log->layoutOk = false;
    else {
        buffer[0] = 255;
        buffer[1] = 0;
        buffer[2] = 255;
    }
    if (std::this_thread::get_id() == log->windowThread)
        log->offWindowThread = false;
    log->calls.fetch_add(1);
}

// Sum of the differences between horizontal neighbours: higher when sharper.
double Sharpness(const QImage& img) {
    double sum = 0;
    for (int y = img.height() / 4; y < img.height() * 3 / 4; y += 2) {
        const uchar* line = img.constScanLine(y);
        for (int x = 0; x + 1 < img.width(); ++x)
            sum += std::abs(int(line[x * 3 + 1]) - int(line[(x + 1) * 3 + 1]));
    }
    return sum / img.width() / img.height();
}

double MeanGreen(const QImage& img) {
    double sum = 0;
    for (int y = 0; y < img.height(); y += 4)
        for (int x = 0; x < img.width(); x += 4)
            sum += img.constScanLine(y)[x * 3 + 1];
    return sum / ((img.height() / 4) * (img.width() / 4));
}

class LiveViewTest : public ComponentTest {
protected:
    void SetUp() override {
        Make(1);
        ASSERT_TRUE(OpenAndSettle());
        component->View()->resize(500, 330);
    }
    std::vector<std::int16_t> EvfStates() const {
        std::vector<std::int16_t> out;
        for (const Recorded& r : sink.events)
            if (r.id == kEventNotify && r.args[0].text == notify::UpdateEvfOutput)
                out.push_back(r.args[1].Low16());
        return out;
    }
    bool Start() {
        const bool ok = Call([&] { return ctrl.StartLiveView(); });
        return ok && WaitFor([&] { return component->View()->CurrentFrame() != nullptr; });
    }
    // The frame shown once the producer has caught up with a change.
    QImage FrameAfterChange() {
        const std::uint64_t from = component->View()->Stats().framesTaken;
        WaitFor([&] { return component->View()->Stats().framesTaken >= from + 3; });
        return component->View()->CurrentFrameImage();
    }
    QuorCtrlView* View() { return component->View(); }
};

TEST_F(ComponentTest, LiveViewNeedsAnOpenCamera) {
    Make(1);
    EXPECT_FALSE(ctrl.StartLiveView());
    EXPECT_FALSE(ctrl.GrabFrame("/tmp/x.jpg"));
    Pump();
    EXPECT_TRUE(sink.events.empty());
}

TEST_F(LiveViewTest, FramesReachTheCallbackOffTheWindowThreadAndTheView) {
    CallbackLog log;
    log.windowThread = std::this_thread::get_id();
    ctrl.SetFrameCallback(reinterpret_cast<std::intptr_t>(&MarkingCallback), reinterpret_cast<std::intptr_t>(&log));
    ASSERT_TRUE(Start());
    EXPECT_TRUE(std::none_of(sink.events.begin(), sink.events.end(), [](const Recorded& r) { return r.nested; }));
    EXPECT_EQ(EvfStates(), std::vector<std::int16_t>{-1});
    ASSERT_TRUE(WaitFor([&] { return log.calls >= 5 && View()->Stats().framesTaken >= 3; }));
    EXPECT_TRUE(log.offWindowThread);
    EXPECT_TRUE(log.layoutOk);

    const Frame* f = View()->CurrentFrame();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->width, 1024u);
    EXPECT_EQ(f->height, 680u);
    EXPECT_EQ(f->stride % 4, 0u);
    const QImage frame = View()->CurrentFrameImage();
    EXPECT_EQ(frame.pixel(0, 0), qRgb(255, 0, 255)) << "the view shows the frame as the callback left it";

    // The view paints it (compress mode by default for the console; fit here): not the placeholder.
    EXPECT_TRUE(View()->PlaceholderText().isEmpty());
    const QImage shown = View()->grab().toImage();
    EXPECT_NE(shown.pixel(250, 165), QColor(240, 240, 240).rgb());
    EXPECT_TRUE(View()->DebugLines().join('\n').contains(QStringLiteral("live view 1024x680 @30")));

    // Clearing the callback stops the calls.
    ctrl.SetFrameCallback(0, 0);
    const QImage later = FrameAfterChange();
    EXPECT_NE(later.pixel(0, 0), qRgb(255, 0, 255));
}

TEST_F(LiveViewTest, StopIsPromptAndReported) {
    ASSERT_TRUE(Start());
    EXPECT_EQ(ThreadsNamed("quor-liveview"), 1);
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(ctrl.StopLiveView());
    EXPECT_LT(t.elapsed(), 100 * kSlowdown);
    EXPECT_FALSE(ctrl.StopLiveView());
    Pump();
    EXPECT_EQ(EvfStates(), (std::vector<std::int16_t>{-1, 0}));
    EXPECT_EQ(View()->CurrentFrame(), nullptr);
    EXPECT_FALSE(View()->PlaceholderText().isEmpty());
    EXPECT_EQ(ThreadsNamed("quor-liveview"), 0) << "joined by the time StopLiveView returns";

    // Closing the camera stops it as well.
    ASSERT_TRUE(Start());
    t.restart();
    EXPECT_TRUE(ctrl.CloseCamera());
    EXPECT_LT(t.elapsed(), 100 * kSlowdown);
    Pump();
    EXPECT_EQ(EvfStates().back(), 0);
    EXPECT_FALSE(component->Live().Running());
    EXPECT_EQ(ThreadsNamed("quor-liveview"), 0);

    // And so does destroying the component.
    ASSERT_TRUE(OpenAndSettle());
    ASSERT_TRUE(Start());
    ASSERT_TRUE(ctrl.GrabFrame("/dev/null/x.jpg")); // keeps the capture thread busy too
    component.reset();
    EXPECT_EQ(ComponentThreads(), 0);
}

TEST_F(LiveViewTest, GrabFrameWritesTheCurrentFrame) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("grab.jpg"));
    EXPECT_FALSE(ctrl.GrabFrame(path.toStdString())) << "live view off";
    ASSERT_TRUE(Start());
    ASSERT_TRUE(ctrl.GrabFrame(path.toStdString()));
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(path); }));
    const QImage grabbed = DecodeImage(path);
    ASSERT_FALSE(grabbed.isNull());
    EXPECT_EQ(grabbed.size(), QSize(1024, 680));
}

TEST_F(LiveViewTest, LensStepsBlurAndAutofocusSharpens) {
    ASSERT_TRUE(Start());
    EXPECT_FALSE(ctrl.DriveLens(4));
    EXPECT_FALSE(ctrl.DriveLens(0x8004));
    ASSERT_TRUE(ctrl.DoAutoFocus());
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(WaitFor([&] { return component->LensState().InFocus(); }, 1000 * kSlowdown));
    EXPECT_LT(t.elapsed(), 1000 * kSlowdown);
    const double sharp = Sharpness(FrameAfterChange());

    ASSERT_TRUE(ctrl.DriveLens(0x8003)); // far, large
    const double far = Sharpness(FrameAfterChange());
    EXPECT_LT(far, sharp * 0.8);
    ASSERT_TRUE(ctrl.DriveLens(3)); // near, large: back where it was
    EXPECT_NEAR(Sharpness(FrameAfterChange()), sharp, sharp * 0.05);
    ASSERT_TRUE(ctrl.DriveLens(3));
    ASSERT_TRUE(ctrl.DriveLens(3));
    const double near = Sharpness(FrameAfterChange());
    EXPECT_LT(near, far) << "further out of focus blurs more";
    // Small steps move less than large ones.
    const double before = component->LensState().Position();
    ASSERT_TRUE(ctrl.DriveLens(0x8001));
    const double small = component->LensState().Position() - before;
    ASSERT_TRUE(ctrl.DriveLens(0x8002));
    EXPECT_GT(component->LensState().Position() - before - small, small);

    // The lens on MF: the body can neither step nor focus it.
    Engine().SetLensManualFocus(true);
    EXPECT_FALSE(ctrl.DriveLens(1));
    EXPECT_FALSE(ctrl.DoAutoFocus());
}

TEST_F(LiveViewTest, ExposureSettingsChangeBrightness) {
    ASSERT_TRUE(Start());
    const double normal = MeanGreen(FrameAfterChange());
    ASSERT_TRUE(ctrl.SetPropertyValue(prop::ShutterSpeed, sink.ValueOf(prop::ShutterSpeed, "1/4000")));
    Pump();
    const double dark = MeanGreen(FrameAfterChange());
    EXPECT_LT(dark, normal - 20);
}

TEST_F(LiveViewTest, ManualAfPointFollowsAClickInThePicture) {
    ctrl.SetDisplayMode(2); // stretch: the frame fills the view
    ASSERT_TRUE(Start());
    auto& lens = component->LensState();
    QTest::mouseClick(View(), Qt::LeftButton, {}, QPoint(125, 82));
    EXPECT_EQ(lens.AfPoint(), QPointF(0.5, 0.5)) << "automatic selection ignores clicks";
    ctrl.SetAfPointSelection(1);
    QTest::mouseClick(View(), Qt::LeftButton, {}, QPoint(125, 82));
    EXPECT_NEAR(lens.AfPoint().x(), 0.25, 0.01);
    EXPECT_NEAR(lens.AfPoint().y(), 0.25, 0.01);
    // With the picture turned a quarter, the same place on screen is another place in the frame.
    ctrl.SetRotation(90);
    QTest::mouseClick(View(), Qt::LeftButton, {}, QPoint(125, 82));
    EXPECT_NEAR(lens.AfPoint().x(), 0.25, 0.01);
    EXPECT_NEAR(lens.AfPoint().y(), 0.75, 0.01);
}

TEST_F(LiveViewTest, FrameSizeAndRateFromTheSettings) {
    ASSERT_TRUE(Start());
    SettingsDialog dialog(&component->Settings(), View());
    EXPECT_EQ(dialog.frameSize()->currentText(), QStringLiteral("1024 x 680"));
    EXPECT_EQ(dialog.frameRate()->currentText(), QStringLiteral("30 fps"));
    // As the user picks them: the running live view restarts at once.
    dialog.frameSize()->setCurrentIndex(dialog.frameSize()->findText(QStringLiteral("1920 x 1080")));
    emit dialog.frameSize()->activated(dialog.frameSize()->currentIndex());
    dialog.frameRate()->setCurrentIndex(dialog.frameRate()->findText(QStringLiteral("60 fps")));
    emit dialog.frameRate()->activated(dialog.frameRate()->currentIndex());
    EXPECT_EQ(component->Live().Fps(), 60);
    ASSERT_TRUE(WaitFor([&] { return View()->CurrentFrame() && View()->CurrentFrame()->width == 1920; }));
    EXPECT_EQ(View()->CurrentFrame()->height, 1080u);
    EXPECT_EQ(EvfStates(), std::vector<std::int16_t>{-1}) << "a restart is no stop for the host";
}

TEST(ViewGeometryTest, DisplayModesPlaceThePicture) {
    const QSize area(500, 330);
    // Fit: aspect kept, letterboxed, enlarged if need be.
    EXPECT_EQ(DisplayRect(QSize(1000, 330), area, DisplayMode::Fit), QRectF(0, 82.5, 500, 165));
    EXPECT_EQ(DisplayRect(QSize(250, 165), area, DisplayMode::Fit), QRectF(0, 0, 500, 330));
    // Compress: like fit, but never enlarged.
    EXPECT_EQ(DisplayRect(QSize(250, 165), area, DisplayMode::Compress), QRectF(125, 82.5, 250, 165));
    EXPECT_EQ(DisplayRect(QSize(1000, 330), area, DisplayMode::Compress), QRectF(0, 82.5, 500, 165));
    // Stretch: fills.
    EXPECT_EQ(DisplayRect(QSize(100, 1000), area, DisplayMode::Stretch), QRectF(0, 0, 500, 330));
    EXPECT_TRUE(DisplayRect(QSize(0, 10), area, DisplayMode::Fit).isEmpty());
}

TEST(ViewGeometryTest, RotationTurnsClockwise) {
    const QSize frame(200, 100);
    const QRectF display(0, 0, 100, 200); // the turned picture, unscaled
    const QTransform t = PictureToView(frame, 90, display);
    // The frame's top-left corner ends at the top right, its bottom-left at the top left.
    EXPECT_NEAR(t.map(QPointF(0, 0)).x(), 100, 1e-9);
    EXPECT_NEAR(t.map(QPointF(0, 0)).y(), 0, 1e-9);
    EXPECT_NEAR(t.map(QPointF(0, 100)).x(), 0, 1e-9);
    EXPECT_NEAR(t.map(QPointF(0, 100)).y(), 0, 1e-9);
    const QTransform half = PictureToView(frame, 180, QRectF(0, 0, 200, 100));
    EXPECT_NEAR(half.map(QPointF(0, 0)).x(), 200, 1e-9);
    EXPECT_NEAR(half.map(QPointF(0, 0)).y(), 100, 1e-9);
    EXPECT_EQ(RotatedSize(frame, 270), QSize(100, 200));
}

} // namespace
} // namespace quor::component::test
