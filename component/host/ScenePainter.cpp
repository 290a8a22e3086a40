#include "component/host/ScenePainter.h"

#include "component/host/CameraEngine.h"
#include "component/host/ViewGeometry.h"
#include "component/liveview/FramePool.h"
#include "component/session/LiveZoom.h"

#include <QCoreApplication>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace quor::component {

QString GridName(GridKind kind) {
    static constexpr const char* kNames[] = {QT_TRANSLATE_NOOP("quor::component::Grid", "无"),
                                             QT_TRANSLATE_NOOP("quor::component::Grid", "三分法"),
                                             QT_TRANSLATE_NOOP("quor::component::Grid", "黄金分割"),
                                             QT_TRANSLATE_NOOP("quor::component::Grid", "中心十字")};
    const int i = static_cast<int>(kind);
    return i >= 0 && i < kGridKinds ? QCoreApplication::translate("quor::component::Grid", kNames[i])
                                    : QStringLiteral("?");
}

QRect CropRectFor(const ComponentState& state, QSize frame) {
    if (!state.cropEnabled || frame.isEmpty())
        return {};
    return EffectiveCrop(state.cropRect, frame, state.cropRatioLocked, state.cropRatio);
}

QTransform WholeToZoomed(const ComponentState& state, QSize frame) {
    if (state.zoomFactor <= 1)
        return {};
    const QRectF region = ZoomRegion(state.zoomFactor, state.zoomCentre);
    return QTransform()
        .translate(-region.x() * frame.width(), -region.y() * frame.height())
        * QTransform::fromScale(1.0 / region.width(), 1.0 / region.height());
}

QTransform ScenePainter::FrameToView(const Frame& f, QSize area) const {
    const QSize frame(int(f.width), int(f.height));
    const int rotation = src_.state->rotation;
    return PictureToView(frame, rotation, DisplayRect(RotatedSize(frame, rotation), area, src_.state->displayMode));
}

void ScenePainter::Paint(QPainter& painter, QSize area, const Frame* frame, const QImage& photo) {
    if (!photo.isNull()) {
        PaintPicture(painter, area, photo);
        return;
    }
    if (!frame)
        return;
    const ComponentState& state = *src_.state;
    const QSize size(int(frame->width), int(frame->height));
    // Wraps the pool's buffer (with the aids' marks when it has them): nothing is copied, and the producer does
    // not write it until the next take.
    const QImage picture(frame->Shown(), size.width(), size.height(), qsizetype(frame->stride),
                         QImage::Format_RGB888);
    PaintPicture(painter, area, picture);
    const QRectF display = DisplayRect(RotatedSize(size, state.rotation), area, state.displayMode);
    PaintOnionSkin(painter, display);
    const QTransform wholeToView = WholeToZoomed(state, size) * FrameToView(*frame, area);
    painter.save();
    painter.setClipRect(display);
    PaintCrop(painter, wholeToView, size);
    PaintFocusFrame(painter, wholeToView, size);
    painter.restore();
    PaintGrid(painter, display);
    if (state.aids.histogram && frame->hasHistogram)
        PaintHistogram(painter, area, *frame);
    if (state.zoomFactor > 1)
        PaintNavigator(painter, area);
}

void ScenePainter::PaintPicture(QPainter& painter, QSize area, const QImage& picture) {
    const int rotation = src_.state->rotation;
    const QRectF display = DisplayRect(RotatedSize(picture.size(), rotation), area, src_.state->displayMode);
    painter.save();
    painter.setTransform(PictureToView(picture.size(), rotation, display));
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QPointF(0, 0), picture);
    painter.restore();
}

void ScenePainter::PaintOnionSkin(QPainter& painter, const QRectF& display) {
    const ComponentState& state = *src_.state;
    const std::deque<QImage>& photos = *src_.photos;
    if (!state.onionSkinEnabled || photos.empty())
        return;
    const int layers = std::clamp(state.onionSkinLayers, 1, kOnionPhotos);
    const QSize size = display.toAlignedRect().size();
    if (size.isEmpty())
        return;
    if (onionCache_.isNull() || onionCacheSize_ != size || onionCacheRotation_ != state.rotation ||
        onionCacheLayers_ != layers || onionCacheGeneration_ != *src_.photosGeneration) {
        onionCache_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
        onionCache_.fill(Qt::transparent);
        QPainter p(&onionCache_);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        const int n = std::min<int>(layers, int(photos.size()));
        // Each photo weighs the same: the k-th drawn covers 1/k of what is there.
        for (int k = 1; k <= n; ++k) {
            const QImage& photo = photos[photos.size() - std::size_t(n) + std::size_t(k) - 1];
            p.setOpacity(1.0 / k);
            p.setTransform(PictureToView(photo.size(), state.rotation, QRectF(QPointF(0, 0), QSizeF(size))));
            p.drawImage(QPointF(0, 0), photo);
        }
        onionCacheSize_ = size;
        onionCacheRotation_ = state.rotation;
        onionCacheLayers_ = layers;
        onionCacheGeneration_ = *src_.photosGeneration;
    }
    // 255 is fully opaque: the photos hide live view; 0 shows none of them.
    painter.save();
    painter.setOpacity(std::clamp(state.onionSkinAlpha, 0, 255) / 255.0);
    painter.drawImage(display.toAlignedRect().topLeft(), onionCache_);
    painter.restore();
}

void ScenePainter::PaintCrop(QPainter& painter, const QTransform& toView, QSize frame) {
    const ComponentState& state = *src_.state;
    const QRect crop = CropRectFor(state, frame);
    const QImage& image = *src_.cropFrame;
    const bool frameShown = state.cropFrameShown && !image.isNull();
    if (crop.isEmpty() && !frameShown)
        return;
    const QRect area = crop.isEmpty() ? QRect(QPoint(0, 0), frame) : crop;
    const QRect onScreen = toView.mapRect(QRectF(area)).toAlignedRect();

    if (!crop.isEmpty()) {
        // Dim everything outside the crop shape.
        QPainterPath outside;
        outside.setFillRule(Qt::OddEvenFill);
        outside.addRect(QRectF(QPointF(0, 0), QSizeF(frame)));
        if (state.cropShape == 1)
            outside.addEllipse(QRectF(crop));
        else
            outside.addRect(QRectF(crop));
        painter.save();
        painter.setTransform(toView, true);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 150));
        painter.drawPath(outside);
        painter.restore();
    }

    if (frameShown) {
        if (cropFrameCache_.isNull() || cropFrameCacheSize_ != onScreen.size() ||
            cropFrameCacheRotation_ != state.rotation) {
            cropFrameCache_ = image.transformed(QTransform().rotate(state.rotation))
                                  .scaled(onScreen.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            cropFrameCacheSize_ = onScreen.size();
            cropFrameCacheRotation_ = state.rotation;
        }
        painter.drawImage(onScreen.topLeft(), cropFrameCache_);
    }

    if (!crop.isEmpty()) {
        painter.setPen(QPen(QColor(255, 255, 255, 220), 1));
        painter.setBrush(Qt::NoBrush);
        if (state.cropShape == 1)
            painter.drawEllipse(onScreen);
        painter.drawRect(onScreen.adjusted(0, 0, -1, -1));
        painter.setBrush(Qt::white);
        for (const QPoint& c : {onScreen.topLeft(), onScreen.topRight(), onScreen.bottomLeft(), onScreen.bottomRight()})
            painter.drawRect(QRect(c - QPoint(3, 3), QSize(6, 6)));
    }
}

void ScenePainter::PaintFocusFrame(QPainter& painter, const QTransform& toView, QSize frame) {
    const ComponentState& state = *src_.state;
    if (!state.focusFrameShown)
        return;
    const double side = std::min(frame.width(), frame.height()) / 6.0;
    const QPointF centre(state.afPoint.x() * frame.width(), state.afPoint.y() * frame.height());
    const ICameraSession* session = src_.engine->Session();
    const FocusState focus = session ? session->Focus() : FocusState{};
    const QColor colour = focus.focusing ? QColor(255, 160, 0)
                          : focus.inFocus ? QColor(60, 220, 60)
                                          : QColor(255, 255, 255);
    painter.setPen(QPen(colour, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(toView.mapRect(QRectF(centre.x() - side / 2, centre.y() - side / 2, side, side)));
}

void ScenePainter::PaintGrid(QPainter& painter, const QRectF& d) {
    const auto kind = static_cast<GridKind>(src_.state->grid);
    if (kind == GridKind::None)
        return;
    painter.save();
    painter.setPen(QPen(QColor(255, 255, 255, 150), 1));
    auto lines = [&](double a, double b) {
        for (double f : {a, b}) {
            painter.drawLine(QPointF(d.left() + f * d.width(), d.top()), QPointF(d.left() + f * d.width(), d.bottom()));
            painter.drawLine(QPointF(d.left(), d.top() + f * d.height()), QPointF(d.right(), d.top() + f * d.height()));
        }
    };
    if (kind == GridKind::Thirds) {
        lines(1.0 / 3, 2.0 / 3);
    } else if (kind == GridKind::Golden) {
        const double phi = (std::sqrt(5.0) - 1) / 2; // 0.618
        lines(1 - phi, phi);
    } else {
        const QPointF c = d.center();
        const double arm = std::min(d.width(), d.height()) / 12;
        painter.drawLine(c - QPointF(arm, 0), c + QPointF(arm, 0));
        painter.drawLine(c - QPointF(0, arm), c + QPointF(0, arm));
    }
    painter.restore();
}

void ScenePainter::PaintHistogram(QPainter& painter, QSize area, const Frame& frame) {
    const Histogram& h = frame.histogram;
    // A box in the bottom right corner, a fifth of the surface wide: luma filled, R, G, B as lines.
    const int w = std::max(128, area.width() / 5), hgt = std::max(48, area.height() / 6);
    const QRectF box(area.width() - w - 8, area.height() - hgt - 16, w, hgt);
    painter.save();
    painter.fillRect(box, QColor(0, 0, 0, 150));
    const double peak = std::max<double>(1.0, double(h.Peak()));
    auto curve = [&](const std::array<std::uint32_t, 256>& bins, bool closed) {
        curve_.resize(closed ? 258 : 256);
        for (int i = 0; i < 256; ++i)
            curve_[i] = QPointF(box.left() + box.width() * i / 255.0,
                                box.bottom() - box.height() * std::min(1.0, bins[std::size_t(i)] / peak));
        if (closed) {
            curve_[256] = box.bottomRight();
            curve_[257] = box.bottomLeft();
        }
    };
    painter.setRenderHint(QPainter::Antialiasing);
    curve(h.luma, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(220, 220, 220, 140));
    painter.drawPolygon(curve_);
    painter.setBrush(Qt::NoBrush);
    const QColor colours[] = {QColor(255, 70, 70), QColor(70, 230, 70), QColor(90, 140, 255)};
    const std::array<std::uint32_t, 256>* channels[] = {&h.red, &h.green, &h.blue};
    for (int c = 0; c < 3; ++c) {
        curve(*channels[c], false);
        painter.setPen(QPen(colours[c], 1));
        painter.drawPolyline(curve_);
    }
    painter.restore();
}

void ScenePainter::PaintNavigator(QPainter& painter, QSize area) {
    // The whole frame as a small outline in the top right corner, the magnified part filled in.
    const ComponentState& state = *src_.state;
    const QRectF whole(area.width() - 8 - 72, 8, 72, 48);
    const QRectF region = ZoomRegion(state.zoomFactor, state.zoomCentre);
    const QRectF part(whole.left() + region.x() * whole.width(), whole.top() + region.y() * whole.height(),
                      std::max(3.0, region.width() * whole.width()), std::max(3.0, region.height() * whole.height()));
    painter.save();
    painter.fillRect(whole, QColor(0, 0, 0, 140));
    painter.setPen(QPen(QColor(255, 255, 255, 200), 1));
    painter.drawRect(whole);
    painter.fillRect(part, QColor(255, 200, 0, 200));
    painter.drawText(whole.adjusted(2, 0, -2, -1), Qt::AlignLeft | Qt::AlignBottom,
                     QStringLiteral("%1x").arg(state.zoomFactor));
    painter.restore();
}

} // namespace quor::component
