#include "component/host/QuorCtrlView.h"

#include "component/host/CameraEngine.h"
#include "component/liveview/LiveView.h"
#include "component/host/ViewGeometry.h"
#include "control/PropertyCodes.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <unistd.h>

namespace quor::component {

const char* DisplayModeName(DisplayMode mode) {
    static constexpr const char* kNames[] = {"fit", "compress", "stretch"};
    const int i = static_cast<int>(mode);
    return i >= 0 && i < 3 ? kNames[i] : "?";
}

QuorCtrlView::QuorCtrlView(QWidget* parent, const HostedProperties& props, const CameraEngine* engine,
                           const ComponentState* state)
    : QWidget(parent), back_(props.backRed, props.backGreen, props.backBlue), engine_(engine), state_(state) {
    setObjectName(QStringLiteral("QuorCtrlView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(kDefaultWidth, kDefaultHeight);
    // Messages stay until the user does something; the program-wide filter sees every click and key.
    qApp->installEventFilter(this);
    statsTimer_.setInterval(500);
    connect(&statsTimer_, &QTimer::timeout, this, &QuorCtrlView::UpdateStats);
}

namespace {
std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

void QuorCtrlView::AttachLiveView(LiveView* live) {
    delete frameNotifier_;
    frameNotifier_ = nullptr;
    live_ = live;
    if (live_) {
        frameNotifier_ = new QSocketNotifier(live_->NotifyFd(), QSocketNotifier::Read, this);
        connect(frameNotifier_, &QSocketNotifier::activated, this, &QuorCtrlView::TakeFrame);
    }
}

void QuorCtrlView::LiveViewStarted() {
    shownPhoto_ = QImage();
    stats_ = ViewStats{};
    statsTaken_ = statsPublished_ = 0;
    statsClock_.start();
    statsTimer_.start();
    Refresh();
}

void QuorCtrlView::LiveViewStopped() {
    statsTimer_.stop();
    Refresh();
}

void QuorCtrlView::TakeFrame() {
    const std::int64_t t0 = NowNs();
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(live_->NotifyFd(), &count, sizeof count);
    if (live_->Running() && live_->Pool().TakeNewest()) {
        ++stats_.framesTaken;
        if (shownPhoto_.isNull())
            update();
    }
    stats_.frameSlotNs += NowNs() - t0;
}

void QuorCtrlView::UpdateStats() {
    if (!live_)
        return;
    const double seconds = std::max(1e-3, statsClock_.restart() / 1000.0);
    const std::uint64_t published = live_->Pool().Published();
    stats_.shownFps = double(stats_.framesTaken - statsTaken_) / seconds;
    stats_.producedFps = double(published - statsPublished_) / seconds;
    statsTaken_ = stats_.framesTaken;
    statsPublished_ = published;
    Refresh();
}

const Frame* QuorCtrlView::CurrentFrame() const {
    return live_ && live_->Running() ? live_->Pool().Current() : nullptr;
}

QImage QuorCtrlView::CurrentFrameImage() const {
    const Frame* f = CurrentFrame();
    if (!f)
        return {};
    return QImage(f->bytes.data(), int(f->width), int(f->height), qsizetype(f->stride), QImage::Format_RGB888).copy();
}

QTransform QuorCtrlView::FrameToView() const {
    const Frame* f = CurrentFrame();
    if (!f)
        return {};
    const QSize frame(int(f->width), int(f->height));
    return PictureToView(frame, state_->rotation,
                         DisplayRect(RotatedSize(frame, state_->rotation), size(), state_->displayMode));
}

void QuorCtrlView::resizeEvent(QResizeEvent*) { overlayDirty_ = true; }

QSize QuorCtrlView::FrameSize() const {
    const Frame* f = CurrentFrame();
    return f ? QSize(int(f->width), int(f->height)) : QSize();
}

QRect QuorCtrlView::CropRect() const {
    if (!state_->cropEnabled)
        return {};
    return EffectiveCrop(state_->cropRect, FrameSize(), state_->cropRatioLocked, state_->cropRatio);
}

void QuorCtrlView::SetCropFrameImage(const QImage& image, const QString& error) {
    cropFrameCache_ = QImage();
    cropFrameCacheSize_ = QSize();
    cropFrame_ = image;
    cropFrameError_ = image.isNull() ? error : QString();
    Refresh();
}

void QuorCtrlView::ClearCropFrameImage() {
    cropFrame_ = QImage();
    cropFrameCache_ = QImage();
    cropFrameCacheSize_ = QSize();
    cropFrameError_.clear();
    Refresh();
}

void QuorCtrlView::mousePressEvent(QMouseEvent* event) {
    const Frame* f = CurrentFrame();
    if (!f || event->button() != Qt::LeftButton || !shownPhoto_.isNull())
        return;
    bool invertible = false;
    const QTransform toView = FrameToView();
    const QPointF p = toView.inverted(&invertible).map(event->position());
    if (!invertible)
        return;

    // The crop rectangle takes the press first: a corner resizes it, the inside moves it.
    const QRect crop = CropRect();
    if (!crop.isEmpty()) {
        const QRectF r(crop);
        constexpr double kGrip = 8.0; // pixels on screen
        const QPointF corners[4] = {r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()};
        for (int i = 0; i < 4; ++i) {
            if (QLineF(toView.map(corners[i]), event->position()).length() <= kGrip) {
                drag_ = Drag::Corner;
                dragAnchor_ = corners[(i + 2) % 4];
                dragStart_ = crop;
                return;
            }
        }
        if (r.contains(p)) {
            drag_ = Drag::Move;
            dragAnchor_ = p - r.topLeft();
            dragStart_ = crop;
            return;
        }
    }

    if (state_->afPointSelection != 1)
        return;
    if (p.x() < 0 || p.y() < 0 || p.x() >= f->width || p.y() >= f->height)
        return;
    emit afPointClicked(QPointF(p.x() / f->width, p.y() / f->height));
}

void QuorCtrlView::mouseMoveEvent(QMouseEvent* event) {
    if (drag_ == Drag::None || !CurrentFrame())
        return;
    bool invertible = false;
    const QPointF p = FrameToView().inverted(&invertible).map(event->position());
    if (!invertible)
        return;
    std::array<std::int32_t, 4> wanted{};
    if (drag_ == Drag::Move) {
        const QPointF topLeft = p - dragAnchor_;
        wanted = {std::int32_t(std::lround(topLeft.x())), std::int32_t(std::lround(topLeft.y())), dragStart_.width(),
                  dragStart_.height()};
    } else {
        double w = std::abs(p.x() - dragAnchor_.x()), h = std::abs(p.y() - dragAnchor_.y());
        const bool locked = state_->cropRatioLocked && state_->cropRatio[0] > 0 && state_->cropRatio[1] > 0;
        if (locked)
            h = w * state_->cropRatio[1] / state_->cropRatio[0];
        w = std::max<double>(w, kMinCrop);
        h = std::max<double>(h, kMinCrop);
        // The rectangle grows from the fixed corner towards the pointer.
        const double left = p.x() < dragAnchor_.x() ? dragAnchor_.x() - w : dragAnchor_.x();
        const double top = p.y() < dragAnchor_.y() ? dragAnchor_.y() - h : dragAnchor_.y();
        wanted = {std::int32_t(std::lround(left)), std::int32_t(std::lround(top)), std::int32_t(std::lround(w)),
                  std::int32_t(std::lround(h))};
    }
    const QRect next = EffectiveCrop(wanted, FrameSize(), state_->cropRatioLocked, state_->cropRatio);
    if (next != CropRect())
        emit cropRectDragged(next);
}

void QuorCtrlView::mouseReleaseEvent(QMouseEvent*) { drag_ = Drag::None; }

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

void QuorCtrlView::ShowMessage(const QString& text) {
    messages_.removeAll(text);
    messages_ << text;
    while (messages_.size() > kMessageLines)
        messages_.removeFirst();
    messageCache_ = QImage();
    update();
}

void QuorCtrlView::ClearMessages() {
    if (messages_.isEmpty())
        return;
    messages_.clear();
    messageCache_ = QImage();
    update();
}

bool QuorCtrlView::eventFilter(QObject* watched, QEvent* event) {
    if (!messages_.isEmpty() && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress))
        ClearMessages();
    return QWidget::eventFilter(watched, event);
}

void QuorCtrlView::AddPhoto(const QImage& preview, bool show) {
    if (preview.isNull())
        return;
    photos_.push_back(preview);
    while (photos_.size() > kMaxPhotos)
        photos_.pop_front();
    ++photosGeneration_;
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
    if (CurrentFrame())
        return {};
    return QString::fromStdString(engine_->OpenDisplayName()) + QStringLiteral(" \u2014 live view off");
}

void QuorCtrlView::PaintPicture(QPainter& painter, const QImage& picture) {
    const QRectF display = DisplayRect(RotatedSize(picture.size(), state_->rotation), size(), state_->displayMode);
    painter.save();
    painter.setTransform(PictureToView(picture.size(), state_->rotation, display));
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QPointF(0, 0), picture);
    painter.restore();
}

void QuorCtrlView::PaintOnionSkin(QPainter& painter, const QRectF& display) {
    if (!state_->onionSkinEnabled || photos_.empty())
        return;
    const int layers = std::clamp(state_->onionSkinLayers, 1, kMaxPhotos);
    const QSize size = display.toAlignedRect().size();
    if (size.isEmpty())
        return;
    if (onionCache_.isNull() || onionCacheSize_ != size || onionCacheRotation_ != state_->rotation ||
        onionCacheLayers_ != layers || onionCacheGeneration_ != photosGeneration_) {
        onionCache_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
        onionCache_.fill(Qt::transparent);
        QPainter p(&onionCache_);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        const int n = std::min<int>(layers, int(photos_.size()));
        // Each photo weighs the same: the k-th drawn covers 1/k of what is there.
        for (int k = 1; k <= n; ++k) {
            const QImage& photo = photos_[photos_.size() - std::size_t(n) + std::size_t(k) - 1];
            p.setOpacity(1.0 / k);
            p.setTransform(PictureToView(photo.size(), state_->rotation, QRectF(QPointF(0, 0), QSizeF(size))));
            p.drawImage(QPointF(0, 0), photo);
        }
        onionCacheSize_ = size;
        onionCacheRotation_ = state_->rotation;
        onionCacheLayers_ = layers;
        onionCacheGeneration_ = photosGeneration_;
    }
    // 255 is fully opaque: the photos hide live view; 0 shows none of them.
    painter.save();
    painter.setOpacity(std::clamp(state_->onionSkinAlpha, 0, 255) / 255.0);
    painter.drawImage(display.toAlignedRect().topLeft(), onionCache_);
    painter.restore();
}

void QuorCtrlView::PaintCrop(QPainter& painter, const QTransform& toView, QSize frame) {
    const QRect crop = CropRect();
    const bool frameShown = state_->cropFrameShown && !cropFrame_.isNull();
    if (crop.isEmpty() && !frameShown)
        return;
    const QRect area = crop.isEmpty() ? QRect(QPoint(0, 0), frame) : crop;
    const QRect onScreen = toView.mapRect(QRectF(area)).toAlignedRect();

    if (!crop.isEmpty()) {
        // Dim everything outside the crop shape.
        QPainterPath outside;
        outside.setFillRule(Qt::OddEvenFill);
        outside.addRect(QRectF(QPointF(0, 0), QSizeF(frame)));
        if (state_->cropShape == 1)
            outside.addEllipse(QRectF(crop));
        else
            outside.addRect(QRectF(crop));
        painter.save();
        painter.setTransform(toView);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 150));
        painter.drawPath(outside);
        painter.restore();
    }

    if (frameShown) {
        if (cropFrameCache_.isNull() || cropFrameCacheSize_ != onScreen.size() ||
            cropFrameCacheRotation_ != state_->rotation) {
            cropFrameCache_ = cropFrame_.transformed(QTransform().rotate(state_->rotation))
                                  .scaled(onScreen.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            cropFrameCacheSize_ = onScreen.size();
            cropFrameCacheRotation_ = state_->rotation;
        }
        painter.drawImage(onScreen.topLeft(), cropFrameCache_);
    }

    if (!crop.isEmpty()) {
        painter.setPen(QPen(QColor(255, 255, 255, 220), 1));
        painter.setBrush(Qt::NoBrush);
        if (state_->cropShape == 1)
            painter.drawEllipse(onScreen);
        painter.drawRect(onScreen.adjusted(0, 0, -1, -1));
        painter.setBrush(Qt::white);
        for (const QPoint& c : {onScreen.topLeft(), onScreen.topRight(), onScreen.bottomLeft(), onScreen.bottomRight()})
            painter.drawRect(QRect(c - QPoint(3, 3), QSize(6, 6)));
    }
}

void QuorCtrlView::PaintLiveOverlays(QPainter& painter, const QTransform& toView) {
    const Frame* f = CurrentFrame();
    PaintCrop(painter, toView, QSize(int(f->width), int(f->height)));
    if (state_->focusFrameShown) {
        const double side = std::min(f->width, f->height) / 6.0;
        const QPointF centre(state_->afPoint.x() * f->width, state_->afPoint.y() * f->height);
        const FocusState focus = engine_->Session() ? engine_->Session()->Focus() : FocusState{};
        const QColor colour = focus.focusing ? QColor(255, 160, 0)
                              : focus.inFocus ? QColor(60, 220, 60)
                                              : QColor(255, 255, 255);
        painter.setPen(QPen(colour, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(toView.mapRect(QRectF(centre.x() - side / 2, centre.y() - side / 2, side, side)));
    }
}

void QuorCtrlView::paintEvent(QPaintEvent*) {
    const std::int64_t t0 = NowNs();
    QPainter painter(this);
    painter.fillRect(rect(), back_);

    const Frame* frame = CurrentFrame();
    if (!shownPhoto_.isNull()) {
        PaintPicture(painter, shownPhoto_);
    } else if (frame) {
        // Wraps the pool's buffer: nothing is copied, and the producer does not write it until the next take.
        const QImage picture(frame->bytes.data(), int(frame->width), int(frame->height), qsizetype(frame->stride),
                             QImage::Format_RGB888);
        PaintPicture(painter, picture);
        PaintOnionSkin(painter, DisplayRect(RotatedSize(picture.size(), state_->rotation), size(),
                                            state_->displayMode));
        PaintLiveOverlays(painter, FrameToView());
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
    ++stats_.paints;
    stats_.paintNs += NowNs() - t0;
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
    if (messages_.isEmpty())
        return;
    // Drawn into an image only when the messages change: live view repaints many times a second.
    if (messageCache_.isNull() || messageCache_.width() != width())
        messageCache_ = MessageBox(painter.font());
    painter.drawImage(QPoint(0, height() - 10 - messageCache_.height()), messageCache_);
}

QImage QuorCtrlView::MessageBox(const QFont& font) const {
    // Newest at the bottom; a long line (a path) wraps, up to three lines a message.
    const QFontMetrics metrics(font);
    const int textWidth = std::max(1, width() - 12);
    constexpr int kFlags = Qt::AlignHCenter | Qt::TextWrapAnywhere;
    QList<int> heights;
    int total = 4;
    for (const QString& m : messages_) {
        heights << std::min(metrics.boundingRect(QRect(0, 0, textWidth, 10000), kFlags, m).height(),
                            3 * metrics.lineSpacing()) + 4;
        total += heights.last();
    }
    QImage box(std::max(1, width()), total, QImage::Format_ARGB32_Premultiplied);
    box.fill(QColor(150, 20, 20, 210));
    QPainter p(&box);
    p.setFont(font);
    p.setPen(Qt::white);
    int y = 2;
    for (int i = 0; i < messages_.size(); ++i) {
        p.drawText(QRect(6, y + 2, textWidth, heights[i] - 4), kFlags, messages_[i]);
        y += heights[i];
    }
    return box;
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
