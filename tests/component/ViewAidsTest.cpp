// The view beyond the host's controls, as a user meets it: the aids over the simulated scene, the large view in
// a window of its own, series frames that never freeze live view, and a view that starts as the console does.
#include "ComponentFixture.h"

#include "component/host/PopOutView.h"
#include "component/host/QuorCtrlView.h"
#include "component/liveview/FramePool.h"
#include "console/CameraConsoleDlg.h"
#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QSettings>

namespace quor::component::test {
namespace {

class ViewAidsTest : public ComponentTest {
protected:
    // A component that remembers its preferences in this test's own file.
    void MakeRemembering() {
        ComponentPlaces places;
        places.picturesFolder = pictures.filePath(QStringLiteral("QuorTovu"));
        places.settingsFile = pictures.filePath(QStringLiteral("QuorCtrl.conf"));
        component.reset();
        component = std::make_unique<QuorCtrlComponent>(&parent, HostedProperties{}, 1, RealCameraSources(), places);
        component->Advise(&sink);
        ctrl.Attach(component.get());
    }
    void SetUp() override {
        MakeRemembering();
        ASSERT_TRUE(OpenAndSettle());
        View()->resize(500, 330);
        ASSERT_TRUE(ctrl.StartLiveView());
        ASSERT_TRUE(WaitFor([&] { return View()->CurrentFrame() != nullptr; }));
    }
    QuorCtrlView* View() { return component->View(); }
    // A frame produced after everything asked so far.
    const Frame* FreshFrame() {
        const std::uint64_t from = View()->Stats().framesTaken;
        WaitFor([&] { return View()->Stats().framesTaken >= from + 3; });
        return View()->CurrentFrame();
    }
    void Choose(std::int32_t code, const std::string& text) {
        ASSERT_TRUE(ctrl.SetPropertyValue(code, sink.ValueOf(code, text)));
        Pump();
    }
};

// Pixels of `frame` whose shown colour differs from the camera's, and of those, how many are `colour`.
struct Marks {
    int changed = 0, ofColour = 0;
};
Marks MarksIn(const Frame& f, QRect area, QRgb colour) {
    Marks m;
    area &= QRect(0, 0, int(f.width), int(f.height));
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const unsigned char* camera = f.bytes.data() + std::size_t(y) * f.stride;
        const unsigned char* shown = f.Shown() + std::size_t(y) * f.stride;
        for (int x = area.left(); x <= area.right(); ++x) {
            const unsigned char* a = camera + 3 * x;
            const unsigned char* b = shown + 3 * x;
            if (a[0] != b[0] || a[1] != b[1] || a[2] != b[2]) {
                ++m.changed;
                m.ofColour += qRgb(b[0], b[1], b[2]) == colour;
            }
        }
    }
    return m;
}

int Differing(const QImage& a, const QImage& b, QRect area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

TEST_F(ViewAidsTest, EveryAidOverTheSceneMarksWhatItShouldAndIsRemembered) {
    // Over-exposed by four stops: the chart's light patches and the floor blow out.
    Choose(prop::ShutterSpeed, "1/30");
    const QImage plain = View()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    View()->ToggleAid('h');
    View()->ToggleAid('z');
    View()->ToggleAid('p');
    View()->SetGrid(1);
    const Frame* f = FreshFrame();
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(f->hasMarks && f->hasHistogram);

    // The histogram counts every sample once, and the blown frame piles up in the top bin.
    std::uint64_t total = 0;
    for (std::uint32_t v : f->histogram.luma)
        total += v;
    EXPECT_EQ(total, f->histogram.samples);
    EXPECT_GT(f->histogram.luma[255], f->histogram.samples / 20);

    // Peaking on the focus star (in focus: the lens sits at its sharpest after opening), in the peak colour;
    // zebra over the blown area; the camera's own pixels untouched for grabs and the host.
    const int w = int(f->width), h = int(f->height);
    const QRect star(w / 2 - h / 5, h / 4, 2 * h / 5, 2 * h / 5);
    EXPECT_GT(MarksIn(*f, star, qRgb(255, 40, 40)).ofColour, 200);
    int blown = 0;
    for (int y = 0; y < h; y += 2)
        for (int x = 0; x < w; x += 2) {
            const unsigned char* p = f->bytes.data() + std::size_t(y) * f->stride + 3 * x;
            blown += Luma(p[0], p[1], p[2]) >= 250;
        }
    ASSERT_GT(blown, 1000);
    EXPECT_GT(MarksIn(*f, QRect(0, 0, w, h), 0).changed, blown); // zebra stripes half the blown pixels, at least

    // On screen: the histogram box in the bottom right corner, grid lines at the thirds.
    const QImage aided = View()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_GT(Differing(plain, aided, QRect(500 - 8 - 128, 330 - 16 - 55, 128, 55)), 2000);

    // The aids are remembered.
    component.reset();
    Pump();
    MakeRemembering();
    EXPECT_TRUE(component->State().aids.histogram && component->State().aids.zebra && component->State().aids.peaking);
    EXPECT_EQ(component->State().grid, 1);
}

TEST_F(ViewAidsTest, TheLargeViewFollowsItsSizeTakesItsKeysAndClosesWithEscape) {
    QTest::mouseDClick(View(), Qt::LeftButton, {}, QPoint(250, 165));
    PopOutView* big = View()->PopOut();
    ASSERT_NE(big, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(big));
    big->resize(900, 560);
    const int paints = big->Paints();
    ASSERT_TRUE(WaitFor([&] { return big->Paints() > paints + 5; })) << "the large view follows live view";
    const QImage shown = big->grab().toImage();
    EXPECT_EQ(shown.size(), QSize(900, 560));
    EXPECT_NE(shown.pixel(450, 280), shown.pixel(2, 2)) << "the picture fills the window, not only a corner";

    const std::uint64_t small = View()->Stats().framesTaken;
    QTest::keyClick(big, Qt::Key_H);
    EXPECT_TRUE(component->State().aids.histogram);
    QTest::keyClick(big, Qt::Key_Z);
    EXPECT_EQ(component->State().zoomFactor, 5);
    QTest::keyClick(big, Qt::Key_Z);
    QTest::keyClick(big, Qt::Key_Z);
    EXPECT_EQ(component->State().zoomFactor, 1);
    QTest::keyClick(big, Qt::Key_F);
    EXPECT_TRUE(big->windowState() & Qt::WindowFullScreen);
    QTest::keyClick(big, Qt::Key_Escape);
    ASSERT_TRUE(WaitFor([&] { return View()->PopOut() == nullptr; }));
    EXPECT_TRUE(WaitFor([&] { return View()->Stats().framesTaken > small + 3; })) << "the small view kept running";
}

TEST_F(ViewAidsTest, ASeriesShownAfterEachShotLeavesLiveViewMoving) {
    QTemporaryDir dir;
    Choose(prop::DriveMode, "Continuous Shooting");
    ctrl.SetShowAfterShot(true);
    ASSERT_TRUE(ctrl.StartContinuousShooting(dir.path().toStdString()));
    ASSERT_TRUE(WaitFor([&] { return sink.CountNotify(notify::DownloadComplete) >= 2; }, 10000 * kSlowdown));
    EXPECT_TRUE(ctrl.StopContinuousShooting());
    // The last frame shows briefly, then live view goes on by itself.
    ASSERT_TRUE(WaitFor([&] { return !View()->ShowingPhoto(); }, 3 * QuorCtrlView::kBriefPhotoMs + 2000));
    const std::uint64_t sequence = View()->CurrentFrame()->sequence;
    ASSERT_TRUE(WaitFor([&] { return View()->CurrentFrame()->sequence > sequence + 3; }));
    EXPECT_FALSE(View()->ShowingPhoto());
}

TEST(ConsoleAndView, TheViewStartsAsTheConsolesControlsSayAndItsDebugStripStaysSmall) {
    QTemporaryDir app, pictures;
    QuorCtrlComponent* component = nullptr;
    CCameraConsoleDlg dlg(app.path().toStdString(), [&](QWidget* parent, const HostedProperties& props) {
        ComponentPlaces places;
        places.picturesFolder = pictures.filePath(QStringLiteral("QuorTovu"));
        auto c = std::make_unique<QuorCtrlComponent>(parent, props, 1, RealCameraSources(), places);
        component = c.get();
        return c;
    });
    ASSERT_NE(component, nullptr);
    const ComponentState& s = component->State();
    auto ticked = [&](int id) { return qobject_cast<QAbstractButton*>(dlg.GetDlgItem(id))->isChecked(); };
    auto number = [&](int id) { return dlg.GetItemText(id).toInt(); };
    EXPECT_EQ(s.focusFrameShown, ticked(1052));
    EXPECT_EQ(s.showAfterShot, ticked(1053));
    EXPECT_EQ(s.movieVideo, ticked(1034));
    EXPECT_EQ(s.movieAudio, ticked(1035));
    const std::array<std::int32_t, 4> shown{number(1038), number(1039), number(1040), number(1041)};
    EXPECT_EQ(s.cropRect, shown);

    // Shown from the start, the debug text keeps to a strip of a sixth of the view, in pages, nothing cut off.
    QuorCtrlView* view = component->View();
    ASSERT_TRUE(s.showDebugInfo);
    view->resize(500, 330);
    const QImage strip = view->grab().toImage();
    const QFontMetrics metrics([] {
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPixelSize(10);
        return font;
    }());
    EXPECT_GE(view->DebugStripLines().size(), 1);
    EXPECT_LE(view->DebugStripLines().size() * metrics.lineSpacing(), 330 / 6);
    for (const QString& line : view->DebugStripLines())
        EXPECT_LT(metrics.horizontalAdvance(line), 500) << line.toStdString();
    EXPECT_FALSE(strip.isNull());
}

} // namespace
} // namespace quor::component::test
