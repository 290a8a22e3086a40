// The simulated camera's view of the world: a still studio scene (colour chart, focus star, text) that the
// camera sees through its exposure, white balance and focus, with one moving marker so that successive frames
// differ. Used for live-view frames and for photos.
#pragma once

#include <QImage>
#include <QRectF>

#include <array>
#include <cstddef>
#include <cstdint>

namespace quor::component {

struct SceneParams {
    double exposureEv = 0.0; // brightness against a correct exposure: +1 is twice as bright
    float redGain = 1.0f, greenGain = 1.0f, blueGain = 1.0f; // white balance
    double blur = 0.0;       // 0 sharp .. 1 as far out of focus as the lens goes
    double seconds = 0.0;    // scene time; moves the marker
    // The part of the scene the picture shows, as fractions of it: all of it, or the square of a magnified live
    // view (see LiveZoom.h), drawn again at the picture's size.
    QRectF region{0, 0, 1, 1};
};

class SceneRenderer {
public:
    static constexpr int kBlurLevels = 6;

    // Renders a width x height frame into rows of `stride` bytes, 3 bytes a pixel (R, G, B), leaving any bytes
    // past 3 * width in a row untouched. Allocates only when the size or the region changes (the scene is drawn
    // once for each).
    void Render(unsigned char* dst, int width, int height, std::size_t stride, const SceneParams& params);
    // A whole picture (for photos).
    QImage RenderImage(int width, int height, const SceneParams& params);

private:
    void Prepare(int width, int height, const QRectF& region);
    const QImage& Level(int level);

    int width_ = 0, height_ = 0;
    QRectF region_;
    std::array<QImage, kBlurLevels> levels_;
    std::array<std::uint8_t, 256> lutR_{}, lutG_{}, lutB_{};
};

} // namespace quor::component
