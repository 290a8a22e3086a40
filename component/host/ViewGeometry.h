// Where the picture goes in the view: the display modes, the quarter-turn rotation, and the crop rectangle's
// rules. Pure functions, shared by painting, mouse handling and frame grabs.
#pragma once

#include "component/host/ComponentState.h"

#include <QRect>
#include <QRectF>
#include <QSize>
#include <QTransform>

#include <array>
#include <cstdint>

namespace quor::component {

// The picture's size once turned by `rotation` degrees.
QSize RotatedSize(QSize picture, int rotation);

// The rectangle of `area` a picture of `picture` size (already rotated) fills: fit keeps the aspect and
// letterboxes, compress keeps the aspect and never enlarges, stretch fills the area.
QRectF DisplayRect(QSize picture, QSize area, DisplayMode mode);

// Maps picture pixels (unrotated, origin top-left) onto the view: turned by `rotation` degrees clockwise and
// scaled into `display` (from DisplayRect of the rotated size).
QTransform PictureToView(QSize picture, int rotation, const QRectF& display);

// The crop rectangle as used: the host's (left, top, width, height) in live-view frame pixels, kept inside the
// frame, at least kMinCrop pixels each way, and with a locked ratio (both numbers positive) holding its
// width:height, shrinking the height or, where that is not enough, the width. An empty or absent rectangle
// means the whole frame.
inline constexpr int kMinCrop = 8;
QRect EffectiveCrop(const std::array<std::int32_t, 4>& rect, QSize frame, bool ratioLocked,
                    const std::array<std::int32_t, 2>& ratio);

} // namespace quor::component
