#include "component/QuorCtrlView.h"

#include "component/CameraEngine.h"
#include "component/Lens.h"
#include "component/ViewGeometry.h"
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
                           const ComponentState* state, const CaptureStatus* status, const Simulation* sim,
                           const Lens* lens)
    : QWidget(parent), back_(props.backRed, props.backGreen, props.backBlue), engine_(engine), state_(state),
      status_(status), sim_(sim), lens_(lens) {
    setObjectName(QStringLiteral("QuorCtrlView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(kDefaultWidth, kDefaultHeight);
    messageTimer_.setSingleShot(true);
    connect(&messageTimer_, &QTimer::timeout, this, [this] {
        message_.clear();
        update();
    });
}

void QuorCtrlView::Refresh() {
    overlayDirty_ = true;
    update();
}

void QuorCtrlView::SetTransferProgress(int percent) {
    if (percent == progress_)
        return;
    progress_ = percent;
    update();
}

void QuorCtrlView::ShowMessage(const QString& text, int ms) {
    message_ = text;
    messageTimer_.start(ms);
    update();
}

void QuorCtrlView::AddPhoto(const QImage& preview, bool show) {
    if (preview.isNull())
        return;
    photos_.push_back(preview);
    while (photos_.size() > kMaxPhotos)
        photos_.pop_front();
    if (show)
        shownPhoto_ = preview;
    Refresh();
}

void QuorCtrlView::ClearShownPhoto() {
    if (shownPhoto_.isNull())
        return;
    shownPhoto_ = QImage();
    update();
}

QString QuorCtrlView::PlaceholderText() const {
    if (!shownPhoto_.isNull())
        return {};
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
    lines << QStringLiteral("shutter %1  control %2  series %3  bulb %4  shots taken %5")
                 .arg(status_->halfPressed ? QStringLiteral("half-pressed: metering, focusing")
                                           : QStringLiteral("released"))
                 .arg(status_->controlMode == 2 ? QStringLiteral("camera") : QStringLiteral("program"))
                 .arg(status_->seriesActive ? QStringLiteral("on") : QStringLiteral("off"))
                 .arg(status_->bulbOpen ? QStringLiteral("open") : QStringLiteral("closed"))
                 .arg(status_->shotsTaken);
    lines << QStringLiteral("display %1  rotation %2  border %3")
                 .arg(QString::fromLatin1(DisplayModeName(state_->displayMode)))
                 .arg(state_->rotation)
                 .arg(state_->borderStyle);
    lines << QStringLiteral("onion skin %1  layers %2  alpha %3")
                 .arg(state_->onionSkinEnabled ? QStringLiteral("on") : QStringLiteral("off"))
                 .arg(state_->onionSkinLayers)
                 .arg(state_->onionSkinAlpha);
    lines << QStringLiteral("lens %1  focus %2%3  crop %4  live view off")
                 .arg(engine_->LensManualFocus() ? QStringLiteral("MF") : QStringLiteral("AF"))
                 .arg(lens_->Position(), 0, 'f', 2)
                 .arg(lens_->Focusing() ? QStringLiteral(" (focusing)")
                                        : lens_->InFocus() ? QStringLiteral(" (in focus)") : QString())
                 .arg(state_->cropEnabled ? QStringLiteral("on") : QStringLiteral("off"));
    QStringList faults;
    if (sim_->nextCaptureFails)
        faults << QStringLiteral("next capture fails");
    if (sim_->writesFail)
        faults << QStringLiteral("writes fail");
    if (sim_->pullOutDuringDownload)
        faults << QStringLiteral("pull out during download");
    if (sim_->slowTransfer)
        faults << QStringLiteral("slow transfer");
    if (!faults.isEmpty())
        lines << QStringLiteral("faults: ") + faults.join(QStringLiteral(", "));
    if (!status_->lastSaved.isEmpty())
        lines << QStringLiteral("last saved: ") + status_->lastSaved;
    return lines;
}

void QuorCtrlView::PaintPicture(QPainter& painter, const QImage& picture) {
    const QRectF display = DisplayRect(RotatedSize(picture.size(), state_->rotation), size(), state_->displayMode);
    painter.save();
    painter.setTransform(PictureToView(picture.size(), state_->rotation, display));
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QPointF(0, 0), picture);
    painter.restore();
}

void QuorCtrlView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), back_);

    if (!shownPhoto_.isNull()) {
        PaintPicture(painter, shownPhoto_);
    } else {
        const QString placeholder = PlaceholderText();
        if (!placeholder.isEmpty()) {
            painter.setPen(QColor(128, 128, 128));
            painter.drawText(rect(), Qt::AlignCenter, placeholder);
        }
    }

    PaintStatus(painter);
    if (state_->showDebugInfo)
        PaintDebugOverlay(painter);

    if (state_->borderStyle == 1) {
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void QuorCtrlView::PaintStatus(QPainter& painter) {
    // The host's own bar moves only in whole hundreds, so the view shows the download itself: a thin bar
    // along the bottom edge.
    if (progress_ >= 0) {
        const int h = 4;
        const QRect track(0, height() - h, width(), h);
        painter.fillRect(track, QColor(0, 0, 0, 120));
        painter.fillRect(QRect(track.topLeft(), QSize(track.width() * std::clamp(progress_, 0, 100) / 100, h)),
                         QColor(60, 170, 255));
    }
    if (!message_.isEmpty()) {
        const QFontMetrics metrics(painter.font());
        const QRect box(0, height() - 10 - metrics.height() - 8, width(), metrics.height() + 8);
        painter.fillRect(box, QColor(150, 20, 20, 210));
        painter.setPen(Qt::white);
        painter.drawText(box, Qt::AlignCenter, message_);
    }
}

void QuorCtrlView::PaintDebugOverlay(QPainter& painter) {
    if (overlayDirty_ || overlayCache_.isNull()) {
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setStyleHint(QFont::Monospace);
        font.setPixelSize(11);
        const QFontMetrics metrics(font);
        const QStringList lines = DebugLines();
        int textWidth = 0;
        for (const QString& line : lines)
            textWidth = std::max(textWidth, metrics.horizontalAdvance(line));
        const int pad = 4;
        const QSize box(std::max(1, std::min(textWidth + 2 * pad, width() - 12)),
                        metrics.height() * int(lines.size()) + 2 * pad);
        overlayCache_ = QImage(box, QImage::Format_ARGB32_Premultiplied);
        overlayCache_.fill(QColor(0, 0, 0, 170));
        QPainter p(&overlayCache_);
        p.setFont(font);
        p.setPen(QColor(120, 255, 120));
        int y = pad + metrics.ascent();
        for (const QString& line : lines) {
            p.drawText(pad, y, line);
            y += metrics.height();
        }
        overlayDirty_ = false;
    }
    painter.drawImage(QPoint(6, 6), overlayCache_);
}

} // namespace quor::component
