// Live-view magnification: the part of the whole frame a zoomed live view shows.
#pragma once

#include <QPointF>
#include <QRectF>

#include <algorithm>

namespace quor::component {

// The zoom factors offered, as a body's live-view magnifier does.
constexpr int kZoomFactors[] = {1, 5, 10};

constexpr bool IsZoomFactor(int factor) { return factor == 1 || factor == 5 || factor == 10; }

// The region shown at `factor` around `centre`, both as fractions of the whole frame: 1/factor of each side,
// moved inside the frame where the centre lies near an edge.
inline QRectF ZoomRegion(int factor, QPointF centre) {
    if (factor <= 1)
        return QRectF(0, 0, 1, 1);
    const double side = 1.0 / factor;
    const double x = std::clamp(centre.x() - side / 2, 0.0, 1.0 - side);
    const double y = std::clamp(centre.y() - side / 2, 0.0, 1.0 - side);
    return QRectF(x, y, side, side);
}

} // namespace quor::component
