// Draws the console's camera icon in the six sizes it ships in (res/icons/quortovu-N.png).
// Build and run by hand when the artwork changes:
//   g++ -std=c++20 -fPIC make_icons.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/make_icons && \
//   QT_QPA_PLATFORM=offscreen /tmp/make_icons icons
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

static QImage Draw(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    p.setPen(Qt::NoPen);
    // Prism housing and strap lug
    QPainterPath prism;
    prism.moveTo(84, 56);
    prism.lineTo(102, 26);
    prism.lineTo(154, 26);
    prism.lineTo(172, 56);
    prism.closeSubpath();
    p.fillPath(prism, QColor(0x2b, 0x32, 0x3b));
    p.setBrush(QColor(0x2b, 0x32, 0x3b));
    p.drawRoundedRect(QRectF(28, 40, 40, 20), 5, 5);
    // Body
    QLinearGradient body(0, 52, 0, 210);
    body.setColorAt(0, QColor(0x56, 0x61, 0x70));
    body.setColorAt(1, QColor(0x1c, 0x22, 0x29));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(12, 52, 232, 160), 28, 28);
    // Grip stripe and shutter button
    p.setBrush(QColor(0xc0, 0x39, 0x2b));
    p.drawRect(QRectF(12, 186, 232, 12));
    p.setBrush(QColor(0xe0, 0xa8, 0x3c));
    p.drawRoundedRect(QRectF(186, 66, 38, 20), 6, 6);
    // Lens
    p.setBrush(QColor(0x10, 0x14, 0x1a));
    p.drawEllipse(QPointF(128, 134), 70, 70);
    p.setBrush(QColor(0x3c, 0x44, 0x4e));
    p.drawEllipse(QPointF(128, 134), 57, 57);
    QRadialGradient glass(QPointF(112, 116), 60);
    glass.setColorAt(0, QColor(0x8c, 0xc0, 0xff));
    glass.setColorAt(0.5, QColor(0x1d, 0x4f, 0x91));
    glass.setColorAt(1, QColor(0x08, 0x16, 0x2c));
    p.setBrush(glass);
    p.drawEllipse(QPointF(128, 134), 44, 44);
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawEllipse(QPointF(110, 116), 12, 12);
    p.end();
    return img;
}

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    for (int size : {256, 64, 48, 32, 24, 16}) {
        if (!Draw(size).save(QStringLiteral("%1/quortovu-%2.png").arg(dir).arg(size)))
            return 1;
    }
    return 0;
}
