#include "component/host/ViewGeometry.h"

#include <algorithm>
#include <cstdint>

namespace quor::component {

QSize RotatedSize(QSize picture, int rotation) {
    return (rotation == 90 || rotation == 270) ? picture.transposed() : picture;
}

QRectF DisplayRect(QSize picture, QSize area, DisplayMode mode) {
    if (picture.isEmpty() || area.isEmpty())
        return {};
    if (mode == DisplayMode::Stretch)
        return QRectF(QPointF(0, 0), QSizeF(area));
    double scale = std::min(double(area.width()) / picture.width(), double(area.height()) / picture.height());
    if (mode == DisplayMode::Compress)
        scale = std::min(scale, 1.0);
    const QSizeF size(picture.width() * scale, picture.height() * scale);
    return QRectF(QPointF((area.width() - size.width()) / 2.0, (area.height() - size.height()) / 2.0), size);
}

QTransform PictureToView(QSize picture, int rotation, const QRectF& display) {
    const QSize turned = RotatedSize(picture, rotation);
    if (turned.isEmpty() || display.isEmpty())
        return {};
    QTransform t;
    t.translate(display.center().x(), display.center().y());
    t.scale(display.width() / turned.width(), display.height() / turned.height());
    t.rotate(rotation);
    t.translate(-picture.width() / 2.0, -picture.height() / 2.0);
    return t;
}

QRect EffectiveCrop(const std::array<std::int32_t, 4>& rect, QSize frame, bool ratioLocked,
                    const std::array<std::int32_t, 2>& ratio) {
    if (frame.isEmpty())
        return {};
    const std::int64_t fw = frame.width(), fh = frame.height();
    std::int64_t w = rect[2], h = rect[3];
    if (w <= 0 || h <= 0)
        return QRect(QPoint(0, 0), frame);
    const std::int64_t minW = std::min<std::int64_t>(kMinCrop, fw), minH = std::min<std::int64_t>(kMinCrop, fh);
    w = std::clamp(w, minW, fw);
    h = std::clamp(h, minH, fh);
    if (ratioLocked && ratio[0] > 0 && ratio[1] > 0) {
        const std::int64_t rw = ratio[0], rh = ratio[1];
        // Height from width; if that does not fit, width from the largest height that does.
        std::int64_t wantH = std::max<std::int64_t>(1, w * rh / rw);
        if (wantH > fh) {
            h = fh;
            w = std::max<std::int64_t>(1, h * rw / rh);
        } else {
            h = wantH;
        }
    }
    const std::int64_t x = std::clamp<std::int64_t>(rect[0], 0, fw - w);
    const std::int64_t y = std::clamp<std::int64_t>(rect[1], 0, fh - h);
    return QRect(int(x), int(y), int(w), int(h));
}

} // namespace quor::component
