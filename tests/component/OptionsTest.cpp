// The live-view options drawn by the view: crop (drag, ratio, shape), crop frame, rotation, onion skin, and
// what grabbed frames keep of them.
#include "ComponentFixture.h"

#include "component/host/CropControl.h"
#include "component/host/QuorCtrlView.h"
#include "component/host/ViewGeometry.h"
#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdint>

namespace quor::component::test {
namespace {

// Paints a 32 x 32 magenta block into the frame's top-left corner, to tell orientation after rotation.
void MarkCorner(unsigned char* buffer, std::uint32_t width, std::uint32_t height, std::intptr_t) {
    const std::size_t stride = ((std::size_t(width) * 24 + 31) / 32) * 4;
    for (std::uint32_t y = 0; y < 32 && y < height; ++y)
        for (std::uint32_t x = 0; x < 32 && x < width; ++x) {
            unsigned char* p = buffer + y * stride + x * 3;
            p[0] = 255;
            p[1] = 0;
            p[2] = 255;
        }
}

bool IsMagenta(QRgb c) { return qRed(c) > 200 && qGreen(c) < 80 && qBlue(c) > 200; }

// The yellow of the shipped crop frame's corner marks.
bool IsFrameYellow(QRgb c) { return qRed(c) > 200 && qGreen(c) > 150 && qBlue(c) < 90; }

double MeanGray(const QImage& img, const QRect& area) {
    double sum = 0;
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); y += 3)
        for (int x = area.left(); x <= area.right(); x += 3, ++n)
            sum += qGray(img.pixel(x, y));
    return n ? sum / n : 0;
}

class OptionsTest : public ComponentTest {
protected:
    void SetUp() override {
        Make(1);
        ASSERT_TRUE(OpenAndSettle());
        View()->resize(500, 330);
        ctrl.SetDisplayMode(2); // stretch: screen = frame x (500/1024, 330/680)
    }
    void StartLive() {
        ASSERT_TRUE(ctrl.StartLiveView());
        ASSERT_TRUE(WaitFor([&] { return View()->CurrentFrame() != nullptr; }));
    }
    void Mouse(QEvent::Type type, QPointF pos) {
        QMouseEvent e(type, pos, View()->mapToGlobal(pos), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(View(), &e);
    }
    void Drag(QPointF from, QPointF to) {
        Mouse(QEvent::MouseButtonPress, from);
        Mouse(QEvent::MouseMove, (from + to) / 2);
        Mouse(QEvent::MouseMove, to);
        Mouse(QEvent::MouseButtonRelease, to);
    }
    QPointF OnScreen(double x, double y) const { return {x * 500.0 / 1024.0, y * 330.0 / 680.0}; }
    std::vector<std::array<int, 4>> CropEvents() const {
        std::vector<std::array<int, 4>> out;
        for (const Recorded& r : sink.events)
            if (r.id == kEventCropRectChanged)
                out.push_back({r.args[0].Int(), r.args[1].Int(), r.args[2].Int(), r.args[3].Int()});
        return out;
    }
    QuorCtrlView* View() { return component->View(); }
};

TEST_F(OptionsTest, DraggingTheCropRectangleAndItsCornersRaisesCropRectChanged) {
    StartLive();
    ctrl.EnableCrop(true, true, true);
    ctrl.SetCropRect(100, 100, 400, 300);
    Pump();
    EXPECT_TRUE(CropEvents().empty()) << "a usable rectangle is taken as given";
    EXPECT_EQ(View()->CropRect(), QRect(100, 100, 400, 300));

    // Move: grab the inside, 100 frame pixels right and 68 down.
    Drag(OnScreen(300, 250), OnScreen(400, 318));
    auto events = CropEvents();
    ASSERT_GE(events.size(), 1u);
    EXPECT_NEAR(events.back()[0], 200, 2);
    EXPECT_NEAR(events.back()[1], 168, 2);
    EXPECT_EQ(events.back()[2], 400);
    EXPECT_EQ(events.back()[3], 300);
    const auto& s = component->State().cropRect;
    EXPECT_EQ((std::array<int, 4>{s[0], s[1], s[2], s[3]}), events.back());

    // Moving past the frame's edge stops at the edge.
    Drag(OnScreen(400, 318), OnScreen(1000, 318));
    EXPECT_EQ(CropEvents().back()[0], 1024 - 400);

    // Resize from the bottom-right corner; with a locked 1:1 ratio the height follows the width.
    ctrl.SetCropRect(100, 100, 400, 300);
    ctrl.SetCropRatio(true, 1, 1);
    Pump();
    EXPECT_EQ(CropEvents().back(), (std::array<int, 4>{100, 100, 400, 400})) << "the ratio lock adjusts at once";
    sink.events.clear();
    Drag(OnScreen(500, 500), OnScreen(560, 520));
    ASSERT_FALSE(CropEvents().empty());
    EXPECT_EQ(CropEvents().back()[0], 100);
    EXPECT_EQ(CropEvents().back()[1], 100);
    EXPECT_NEAR(CropEvents().back()[2], 460, 3);
    EXPECT_EQ(CropEvents().back()[2], CropEvents().back()[3]);

    // A press outside the rectangle drags nothing.
    sink.events.clear();
    Drag(OnScreen(900, 650), OnScreen(950, 660));
    EXPECT_TRUE(CropEvents().empty());
}

TEST_F(OptionsTest, RatioNumbersAndFreeRatio) {
    ctrl.SetCropRect(0, 0, 400, 400);
    ctrl.SetCropRatio(true, 16, 9);
    Pump();
    ASSERT_FALSE(CropEvents().empty());
    EXPECT_EQ(CropEvents().back(), (std::array<int, 4>{0, 0, 400, 225}));
    sink.events.clear();
    ctrl.SetCropRatio(false, -1, -1);
    ctrl.SetCropRatio(true, -1, -1); // -1, -1: free, even when locked
    ctrl.SetCropRect(10, 10, 100, 300);
    Pump();
    EXPECT_TRUE(CropEvents().empty());
    // Outside the frame: kept inside it.
    ctrl.SetCropRect(2000, -5, 100, 100);
    Pump();
    EXPECT_EQ(CropEvents().back(), (std::array<int, 4>{924, 0, 100, 100}));
}

TEST_F(OptionsTest, GrabbedFramesAreCroppedAndRotated) {
    QTemporaryDir dir;
    ctrl.SetFrameCallback(reinterpret_cast<std::intptr_t>(&MarkCorner), 0);
    StartLive();
    ctrl.EnableCrop(true, true, true);
    ctrl.SetCropRect(0, 0, 300, 200);
    ctrl.SetRotation(90);
    const QString path = dir.filePath(QStringLiteral("grab.jpg"));
    ASSERT_TRUE(ctrl.GrabFrame(path.toStdString()));
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(path); }));
    const QImage grabbed = DecodeImage(path);
    ASSERT_EQ(grabbed.size(), QSize(200, 300));
    // Turned clockwise: the frame's top-left corner is now at the top right.
    EXPECT_TRUE(IsMagenta(grabbed.pixel(200 - 10, 10)));
    EXPECT_FALSE(IsMagenta(grabbed.pixel(10, 10)));

    ctrl.SetRotation(180);
    ctrl.EnableCrop(false, true, true);
    const QString whole = dir.filePath(QStringLiteral("whole.jpg"));
    ASSERT_TRUE(ctrl.GrabFrame(whole.toStdString()));
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(whole); }));
    const QImage turned = DecodeImage(whole);
    ASSERT_EQ(turned.size(), QSize(1024, 680));
    EXPECT_TRUE(IsMagenta(turned.pixel(1024 - 10, 680 - 10)));
}

TEST_F(OptionsTest, RotationTurnsWhatTheViewShows) {
    ctrl.SetDisplayMode(0); // fit
    StartLive();
    const QRgb back = QColor(240, 240, 240).rgb();
    EXPECT_NE(View()->grab().toImage().pixel(20, 165), back);
    ctrl.SetRotation(90);
    const QImage turned = View()->grab().toImage();
    // A 680 x 1024 picture fitted into 500 x 330 is 219 wide: the sides are letterbox.
    EXPECT_EQ(turned.pixel(20, 165), back);
    EXPECT_NE(turned.pixel(250, 165), back);
}

TEST_F(OptionsTest, CropFrameImageOverTheCropAreaOrTheShippedFrameAndAReasonWhenUnusable) {
    QTemporaryDir dir;
    StartLive();
    ctrl.EnableCrop(true, true, true);
    ctrl.SetCropRect(100, 100, 400, 300);
    // The file is read off the window's thread; the view shows it once the read is back.
    auto show = [&](const QString& path) {
        ctrl.ShowCropFrame(true, path.toStdString());
        component->DrainFileWork();
        Pump();
    };
    // The fewest frame-yellow pixels in a corner of the crop area on screen: the shipped frame marks all four.
    auto yellowInCorners = [&] {
        const QImage shown = View()->grab().toImage();
        const QRect crop = QRectF(OnScreen(100, 100), OnScreen(500, 400)).toAlignedRect();
        int fewest = 1 << 30;
        for (const QPoint corner : {crop.topLeft(), crop.topRight() - QPoint(15, 0), crop.bottomLeft() - QPoint(0, 15),
                                    crop.bottomRight() - QPoint(15, 15)}) {
            int yellow = 0;
            for (int y = corner.y(); y < corner.y() + 16; ++y)
                for (int x = corner.x(); x < corner.x() + 16; ++x)
                    yellow += IsFrameYellow(shown.pixel(x, y)) ? 1 : 0;
            fewest = std::min(fewest, yellow);
        }
        return fewest;
    };
    EXPECT_EQ(yellowInCorners(), 0) << "no frame shown yet";

    const QString missing = dir.filePath(QStringLiteral("CropImg.png"));
    // Nothing there at all: the frame that ships with the program shows, and that is no failure.
    show(missing);
    EXPECT_TRUE(View()->HasCropFrameImage());
    EXPECT_TRUE(View()->CropFrameError().isEmpty());
    EXPECT_TRUE(View()->Message().isEmpty());
    const int shipped = yellowInCorners();
    EXPECT_GE(shipped, 10);

    // A file there that is no picture: the view says so (on red, not only in the debug overlay) and the shipped
    // frame stands in.
    QFile junk(missing);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a png");
    junk.close();
    ctrl.ShowCropFrame(false, missing.toStdString());
    ASSERT_EQ(yellowInCorners(), 0);
    show(missing);
    EXPECT_TRUE(View()->HasCropFrameImage());
    EXPECT_TRUE(View()->Message().startsWith(QStringLiteral("The crop frame picture %1 cannot be used (").arg(missing)))
        << View()->Message().toStdString();
    EXPECT_TRUE(View()->Message().endsWith(QStringLiteral("the frame that ships with the program is shown instead")));
    EXPECT_EQ(View()->MessageKinds(), QList<QuorCtrlView::MessageKind>{QuorCtrlView::MessageKind::Failure});
    EXPECT_NEAR(yellowInCorners(), shipped, shipped / 4);
    EXPECT_EQ(View()->CropFrameError(), View()->Message());
    EXPECT_TRUE(View()->DebugLines().join('\n').contains(missing));

    // A picture in a small file, far too large to draw as a frame.
    ASSERT_TRUE(QImage(9000, 8, QImage::Format_Mono).save(missing, "PNG"));
    ASSERT_LT(QFileInfo(missing).size(), CropControl::kImageLimit);
    show(missing);
    EXPECT_TRUE(View()->Message().contains(QStringLiteral("(the picture is too large (9000 × 8 pixels));")))
        << View()->Message().toStdString();
    EXPECT_NEAR(yellowInCorners(), shipped, shipped / 4);

    // A frame with a thick pure-blue border.
    QImage png(64, 64, QImage::Format_ARGB32);
    png.fill(Qt::transparent);
    QPainter p(&png);
    p.setPen(QPen(QColor(0, 0, 255), 16));
    p.drawRect(png.rect());
    p.end();
    ASSERT_TRUE(png.save(missing, "PNG"));
    show(missing);
    EXPECT_TRUE(View()->HasCropFrameImage());
    EXPECT_TRUE(View()->CropFrameError().isEmpty());
    const QImage shown = View()->grab().toImage();
    const QPointF edge = OnScreen(300, 385); // inside the bottom border
    EXPECT_EQ(shown.pixel(edge.toPoint()), QColor(0, 0, 255).rgb());

    ctrl.ShowCropFrame(false, missing.toStdString());
    EXPECT_FALSE(View()->HasCropFrameImage());
}

TEST_F(OptionsTest, OnionSkinBlendsTheLastPhotosWithTheTransparency) {
    QTemporaryDir dir;
    ASSERT_TRUE(ctrl.SetPropertyValue(prop::ImageQuality, sink.ValueOf(prop::ImageQuality, "Small 3")));
    ASSERT_TRUE(ctrl.SetPropertyValue(prop::ShutterSpeed, sink.ValueOf(prop::ShutterSpeed, "1/8000")));
    Pump();
    ASSERT_TRUE(ctrl.TakePicture(dir.filePath(QStringLiteral("dark.jpg")).toStdString()));
    ASSERT_TRUE(WaitFor([&] { return sink.CountNotify(notify::DownloadComplete) == 1; }));
    ASSERT_TRUE(ctrl.SetPropertyValue(prop::ShutterSpeed, sink.ValueOf(prop::ShutterSpeed, "1/250")));
    Pump();
    StartLive();
    const QRect middle(100, 60, 300, 210);
    const double live = MeanGray(View()->grab().toImage(), middle);

    ctrl.EnableOnionSkin(true);
    ctrl.SetOnionSkinLayers(5);
    ctrl.SetOnionSkinAlpha(255); // opaque: the dark photo covers live view
    const double opaque = MeanGray(View()->grab().toImage(), middle);
    EXPECT_LT(opaque, live - 40);
    ctrl.SetOnionSkinAlpha(0); // transparent: live view as it is
    EXPECT_NEAR(MeanGray(View()->grab().toImage(), middle), live, 10);
    ctrl.SetOnionSkinAlpha(128);
    const double half = MeanGray(View()->grab().toImage(), middle);
    EXPECT_GT(half, opaque + 10);
    EXPECT_LT(half, live - 10);

    // Layer counts outside 1..16 are bounded, not refused.
    for (int layers : {0, -3, 100}) {
        ctrl.SetOnionSkinLayers(layers);
        ctrl.SetOnionSkinAlpha(255);
        EXPECT_NEAR(MeanGray(View()->grab().toImage(), middle), opaque, 10) << layers;
    }
    ctrl.EnableOnionSkin(false);
    EXPECT_NEAR(MeanGray(View()->grab().toImage(), middle), live, 10);
}

TEST_F(OptionsTest, WithOnionSkinOnAShotJoinsTheLayersAndLiveViewGoesOn) {
    QTemporaryDir dir;
    ASSERT_TRUE(ctrl.SetPropertyValue(prop::ImageQuality, sink.ValueOf(prop::ImageQuality, "Small 3")));
    Pump();
    ctrl.SetShowAfterShot(true);
    StartLive();
    ctrl.EnableOnionSkin(true);
    ctrl.SetOnionSkinLayers(3);
    ASSERT_TRUE(ctrl.TakePicture(dir.filePath(QStringLiteral("a.jpg")).toStdString()));
    ASSERT_TRUE(WaitFor([&] { return sink.CountNotify(notify::DownloadComplete) == 1; }));
    EXPECT_FALSE(View()->ShowingPhoto()) << "the photo froze live view under the onion skin";
    const std::uint64_t before = component->Live().Pool().Published();
    EXPECT_TRUE(WaitFor([&] { return component->Live().Pool().Published() > before + 2; }));

    // Without onion skin the photo is shown after the shot, as asked.
    ctrl.EnableOnionSkin(false);
    ASSERT_TRUE(ctrl.TakePicture(dir.filePath(QStringLiteral("b.jpg")).toStdString()));
    ASSERT_TRUE(WaitFor([&] { return sink.CountNotify(notify::DownloadComplete) == 2; }));
    EXPECT_TRUE(View()->ShowingPhoto());
}

TEST_F(OptionsTest, RoundCropDimsTheCornersOfItsRectangle) {
    ctrl.SetFrameCallback(0, 0);
    StartLive();
    ctrl.EnableCrop(true, true, true);
    ctrl.SetCropRect(200, 100, 600, 500);
    // Just inside the rectangle's top-left corner, and its centre.
    const QPoint corner = OnScreen(215, 115).toPoint(), centre = OnScreen(500, 350).toPoint();
    const QImage plain = View()->grab().toImage();
    ctrl.EnableCrop(false, true, true);
    const QImage off = View()->grab().toImage();
    ctrl.EnableCrop(true, true, true);
    ctrl.SetCropShape(1);
    const QImage round = View()->grab().toImage();
    auto gray = [](const QImage& img, QPoint p) { return qGray(img.pixel(p)); };
    EXPECT_NEAR(gray(plain, corner), gray(off, corner), 12) << "square: the corner is inside";
    EXPECT_LT(gray(round, corner), gray(off, corner) * 0.6) << "round: the corner is outside the ellipse";
    EXPECT_NEAR(gray(round, centre), gray(off, centre), 25);
    EXPECT_LT(gray(plain, OnScreen(100, 600).toPoint()), gray(off, OnScreen(100, 600).toPoint()) * 0.6);
}

TEST(CropGeometryTest, TheRectangleInUse) {
    const QSize frame(1024, 680);
    const std::array<std::int32_t, 2> free{-1, -1};
    EXPECT_EQ(EffectiveCrop({10, 10, 100, 100}, frame, false, free), QRect(10, 10, 100, 100));
    // Empty or negative sizes: the whole frame.
    EXPECT_EQ(EffectiveCrop({10, 10, 0, 100}, frame, false, free), QRect(0, 0, 1024, 680));
    EXPECT_EQ(EffectiveCrop({10, 10, 100, -5}, frame, false, free), QRect(0, 0, 1024, 680));
    // Too small, too large, outside.
    EXPECT_EQ(EffectiveCrop({10, 10, 1, 2}, frame, false, free), QRect(10, 10, kMinCrop, kMinCrop));
    EXPECT_EQ(EffectiveCrop({-50, 600, 2000, 200}, frame, false, free), QRect(0, 480, 1024, 200));
    EXPECT_EQ(EffectiveCrop({INT32_MAX, INT32_MIN, INT32_MAX, INT32_MAX}, frame, false, free),
              QRect(0, 0, 1024, 680));
    // Locked ratios: height from width, or width from the frame's height when that does not fit.
    EXPECT_EQ(EffectiveCrop({0, 0, 400, 400}, frame, true, {4, 3}), QRect(0, 0, 400, 300));
    EXPECT_EQ(EffectiveCrop({0, 0, 1000, 100}, frame, true, {1, 1}), QRect(0, 0, 680, 680));
    EXPECT_EQ(EffectiveCrop({0, 0, 400, 400}, frame, true, {0, 3}), QRect(0, 0, 400, 400)) << "not a ratio";
    EXPECT_TRUE(EffectiveCrop({0, 0, 10, 10}, QSize(), false, free).isEmpty());
}

TEST_F(OptionsTest, MovieOptionsAreKeptAndShown) {
    ctrl.SetMovieOptions(false, true);
    const QString lines = View()->DebugLines().join('\n');
    EXPECT_TRUE(lines.contains(QStringLiteral("movie: video off  audio on")));
    EXPECT_FALSE(component->State().movieVideo);
    EXPECT_TRUE(component->State().movieAudio);
}

} // namespace
} // namespace quor::component::test
