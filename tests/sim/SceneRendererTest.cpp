// The simulated scene responds to the camera settings the way a photographer expects.
#include "component/sim/SceneRenderer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using quor::component::SceneParams;
using quor::component::SceneRenderer;

double MeanLuma(const QImage& img) {
    double sum = 0;
    for (int y = 0; y < img.height(); ++y) {
        const uchar* p = img.constScanLine(y);
        for (int x = 0; x < img.width(); ++x, p += 3)
            sum += 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
    }
    return sum / (img.width() * img.height());
}

// Sum of absolute horizontal differences: high for a sharp picture.
double Detail(const QImage& img) {
    double sum = 0;
    for (int y = 0; y < img.height(); ++y) {
        const uchar* p = img.constScanLine(y);
        for (int x = 3; x < img.width() * 3; ++x)
            sum += std::abs(int(p[x]) - int(p[x - 3]));
    }
    return sum;
}

TEST(SceneRenderer, ExposureWhiteBalanceAndFocusShowInThePicture) {
    SceneRenderer r;
    SceneParams p;
    const QImage normal = r.RenderImage(320, 212, p);
    p.exposureEv = 1;
    const QImage bright = r.RenderImage(320, 212, p);
    p.exposureEv = -2;
    const QImage dark = r.RenderImage(320, 212, p);
    EXPECT_GT(MeanLuma(bright), MeanLuma(normal) * 1.3);
    EXPECT_LT(MeanLuma(dark), MeanLuma(normal) * 0.4);

    p = SceneParams();
    p.blueGain = 1.4f;
    p.redGain = 0.8f;
    const QImage cool = r.RenderImage(320, 212, p);
    const QRgb n = normal.pixel(160, 190), c = cool.pixel(160, 190);
    EXPECT_GT(qBlue(c), qBlue(n));
    EXPECT_LT(qRed(c), qRed(n));

    p = SceneParams();
    p.blur = 1.0;
    const QImage soft = r.RenderImage(320, 212, p);
    EXPECT_LT(Detail(soft), Detail(normal) * 0.6);
}

TEST(SceneRenderer, FramesMoveAndLeaveRowPaddingAlone) {
    SceneRenderer r;
    const int w = 101, h = 40;
    const std::size_t stride = 304; // 3 * 101 = 303 bytes of pixels, one fill byte
    std::vector<unsigned char> a(stride * h, 0xAB), b(stride * h, 0xAB);
    SceneParams p;
    r.Render(a.data(), w, h, stride, p);
    p.seconds = 1.0;
    r.Render(b.data(), w, h, stride, p);
    EXPECT_NE(a, b) << "the marker moves with time";
    for (int y = 0; y < h; ++y) {
        EXPECT_EQ(a[y * stride + 303], 0xAB);
        EXPECT_EQ(b[y * stride + 303], 0xAB);
    }
    r.Render(nullptr, w, h, stride, p); // ignored
    r.Render(a.data(), 0, h, stride, p);
}

} // namespace
