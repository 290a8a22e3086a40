// The hosted view as a screenshot shows it.
#include "ComponentFixture.h"

#include "component/host/QuorCtrlView.h"

#include <QImage>
#include <QPixmap>

namespace quor::component::test {
namespace {

QImage Grab(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

int PixelsDiffering(const QImage& a, const QImage& b, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

int PixelsNotOf(const QImage& img, QRgb colour, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += img.pixel(x, y) != colour;
    return n;
}

TEST_F(ComponentTest, ViewIsAChildWithTheHostsBackColourAndBorder) {
    HostedProperties props; // 240, 240, 240
    Make(1, props);
    QWidget* view = component->Widget();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->parentWidget(), &parent);
    view->setGeometry(22, 100, 500, 330);

    const QRgb back = qRgb(240, 240, 240);
    QImage plain = Grab(view);
    ASSERT_EQ(plain.size(), QSize(500, 330));
    EXPECT_EQ(plain.pixel(3, 3), back);
    EXPECT_EQ(plain.pixel(0, 0), back);

    ctrl.SetBorderStyle(1);
    QImage bordered = Grab(view);
    EXPECT_EQ(bordered.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(bordered.pixel(499, 329), qRgb(0, 0, 0));
    EXPECT_EQ(bordered.pixel(250, 0), qRgb(0, 0, 0));
    EXPECT_EQ(bordered.pixel(3, 3), back);
}

TEST_F(ComponentTest, PlaceholderAndDebugOverlayAreDrawn) {
    Make(2);
    auto* view = static_cast<QuorCtrlView*>(component->Widget());
    view->resize(500, 330);
    const QRgb back = qRgb(240, 240, 240);

    // No camera open: a quiet line in the middle, nothing at the corners.
    EXPECT_EQ(view->PlaceholderText(), QStringLiteral("No camera open"));
    const QImage closed = Grab(view);
    EXPECT_GT(PixelsNotOf(closed, back, QRect(150, 140, 200, 50)), 20);
    EXPECT_EQ(PixelsNotOf(closed, back, QRect(5, 5, 120, 60)), 0);

    // Debug overlay: a legible box in the top-left corner telling what the component knows.
    ctrl.SetShowDebugInfo(true);
    ctrl.SetDisplayMode(2);
    ctrl.SetOnionSkinLayers(7);
    const QImage overlay = Grab(view);
    EXPECT_GT(PixelsDiffering(closed, overlay, QRect(5, 5, 120, 60)), 500);
    const QStringList closedLines = view->DebugLines();
    EXPECT_TRUE(closedLines.join('\n').contains(QStringLiteral("none open (2 connected)")));
    EXPECT_TRUE(closedLines.join('\n').contains(QStringLiteral("display stretch")));
    EXPECT_TRUE(closedLines.join('\n').contains(QStringLiteral("layers 7")));

    ASSERT_TRUE(OpenAndSettle(1));
    const QString open = view->DebugLines().join('\n');
    EXPECT_TRUE(open.contains(QString::fromStdString(ctrl.GetCameraName(1))));
    EXPECT_TRUE(open.contains(QStringLiteral("state: open")));
    EXPECT_NE(view->PlaceholderText(), QStringLiteral("No camera open"));

    ctrl.SetShowDebugInfo(false);
    const QImage hidden = Grab(view);
    EXPECT_EQ(PixelsNotOf(hidden, back, QRect(5, 5, 120, 60)), 0);
}

} // namespace
} // namespace quor::component::test
