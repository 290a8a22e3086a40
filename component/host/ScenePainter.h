// Draws what a surface of the component shows of the camera: the picture (live view or a photo just taken) and
// everything over live view (onion skin, crop, focus frame, grid, histogram, the magnifier's navigator), at
// whatever size the surface has. The view and its pop-out window each have one; what is drawn is theirs to share,
// the caches (built only when their inputs change, never per frame) are each painter's own.
#pragma once

#include "component/host/ComponentState.h"

#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <QRect>
#include <QSize>
#include <QTransform>

#include <cstdint>
#include <deque>

namespace quor::component {

class CameraEngine;
struct Frame;

// Photos kept for the onion skin, at most.
inline constexpr int kOnionPhotos = 16;

// What every surface draws from; owned by the view.
struct SceneSources {
    const ComponentState* state = nullptr;
    const CameraEngine* engine = nullptr;
    const std::deque<QImage>* photos = nullptr; // newest last, for the onion skin
    const std::uint64_t* photosGeneration = nullptr;
    const QImage* cropFrame = nullptr;
};

// The crop rectangle as drawn, in whole-frame pixels (empty while crop is off or there is no frame).
QRect CropRectFor(const ComponentState& state, QSize frame);

// Maps whole-frame pixels onto the pixels of a frame the magnifier shows (identity at 1x).
QTransform WholeToZoomed(const ComponentState& state, QSize frame);

class ScenePainter {
public:
    explicit ScenePainter(const SceneSources& sources) : src_(sources) {}

    // Paints into a surface of `area`; `frame` may be null, `photo` null when none is shown.
    void Paint(QPainter& painter, QSize area, const Frame* frame, const QImage& photo);
    // Where the frame's pixels (unrotated) land on a surface of `area`.
    QTransform FrameToView(const Frame& frame, QSize area) const;
    // The crop-frame image changed.
    void DropCropFrameCache() { cropFrameCache_ = QImage(); }

private:
    void PaintPicture(QPainter& painter, QSize area, const QImage& picture);
    void PaintOnionSkin(QPainter& painter, const QRectF& display);
    void PaintCrop(QPainter& painter, const QTransform& wholeToView, QSize frame);
    void PaintFocusFrame(QPainter& painter, const QTransform& wholeToView, QSize frame);
    void PaintGrid(QPainter& painter, const QRectF& display);
    void PaintHistogram(QPainter& painter, QSize area, const Frame& frame);
    void PaintNavigator(QPainter& painter, QSize area);

    SceneSources src_;
    QPolygonF curve_; // reused for the histogram, so painting it allocates nothing once grown
    QImage onionCache_;
    QSize onionCacheSize_;
    int onionCacheRotation_ = -1;
    int onionCacheLayers_ = 0;
    std::uint64_t onionCacheGeneration_ = ~0ull;
    QImage cropFrameCache_;
    QSize cropFrameCacheSize_;
    int cropFrameCacheRotation_ = -1;
};

} // namespace quor::component
