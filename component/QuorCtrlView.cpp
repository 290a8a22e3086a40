#include "component/QuorCtrlView.h"

#include "component/CameraEngine.h"
#include "component/ComponentState.h"
#include "control/PropertyCodes.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace quor::component {

const char* DisplayModeName(DisplayMode mode) {
    switch (mode) {
    case DisplayMode::Fit: return "fit";
    case DisplayMode::Compress: return "compress";
    case DisplayMode::Stretch: return "stretch";
    }
    return "?";
}

QuorCtrlView::QuorCtrlView(QWidget* parent, const HostedProperties& props, const CameraEngine* engine,
                           const ComponentState* state)
    : QWidget(parent), back_(props.backRed, props.backGreen, props.backBlue), engine_(engine), state_(state) {
    setObjectName(QStringLiteral("QuorCtrlView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(kDefaultWidth, kDefaultHeight);
}

QString QuorCtrlView::PlaceholderText() const {
    if (!engine_->IsOpen())
        return QStringLiteral("No camera open");
    return QString::fromStdString(engine_->OpenCamera()->DisplayName()) + QStringLiteral(" \u2014 live view off");
}

QStringList QuorCtrlView::DebugLines() const {
    QStringList lines;
    lines << QStringLiteral("QuorCtrl debug");
    const int count = engine_->CameraCount();
    if (engine_->IsOpen()) {
        const SimulatedCamera* cam = engine_->OpenCamera();
        lines << QStringLiteral("camera %1/%2: %3")
                     .arg(engine_->OpenIndex() + 1)
                     .arg(count)
                     .arg(QString::fromStdString(cam->DisplayName()));
        lines << QStringLiteral("state: open  battery %1%  shots %2  save to %3")
                     .arg(engine_->PropertyValue(prop::BatteryLevel))
                     .arg(engine_->AvailableShots())
                     .arg(cam->SaveTo() == prop::SaveToCamera ? QStringLiteral("card") : QStringLiteral("computer"));
        auto text = [this](std::int32_t code) { return QString::fromStdString(engine_->PropertyText(code)); };
        lines << QStringLiteral("%1  %2  %3  ISO %4")
                     .arg(text(prop::ShootingMode), text(prop::ShutterSpeed), text(prop::Aperture),
                          text(prop::IsoSpeed));
        lines << QStringLiteral("%1  %2").arg(text(prop::AfMode), text(prop::DriveMode));
    } else {
        lines << QStringLiteral("camera: none open (%1 connected)").arg(count);
        lines << QStringLiteral("state: closed");
    }
    lines << QStringLiteral("display %1  rotation %2  border %3")
                 .arg(QString::fromLatin1(DisplayModeName(state_->displayMode)))
                 .arg(state_->rotation)
                 .arg(state_->borderStyle);
    lines << QStringLiteral("onion skin %1  layers %2  alpha %3")
                 .arg(state_->onionSkinEnabled ? QStringLiteral("on") : QStringLiteral("off"))
                 .arg(state_->onionSkinLayers)
                 .arg(state_->onionSkinAlpha);
    lines << QStringLiteral("lens %1  crop %2  live view off")
                 .arg(engine_->LensManualFocus() ? QStringLiteral("MF") : QStringLiteral("AF"))
                 .arg(state_->cropEnabled ? QStringLiteral("on") : QStringLiteral("off"));
    return lines;
}

void QuorCtrlView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), back_);

    const QString placeholder = PlaceholderText();
    if (!placeholder.isEmpty()) {
        painter.setPen(QColor(128, 128, 128));
        painter.drawText(rect(), Qt::AlignCenter, placeholder);
    }

    if (state_->showDebugInfo)
        PaintDebugOverlay(painter);

    if (state_->borderStyle == 1) {
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void QuorCtrlView::PaintDebugOverlay(QPainter& painter) {
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(11);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const QStringList lines = DebugLines();
    int width = 0;
    for (const QString& line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    const int pad = 4;
    const QRect box(6, 6, std::min(width + 2 * pad, this->width() - 12), metrics.height() * int(lines.size()) + 2 * pad);
    painter.fillRect(box, QColor(0, 0, 0, 170));
    painter.setPen(QColor(120, 255, 120));
    int y = box.top() + pad + metrics.ascent();
    for (const QString& line : lines) {
        painter.drawText(box.left() + pad, y, line);
        y += metrics.height();
    }
}

} // namespace quor::component
