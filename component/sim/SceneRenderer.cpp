#include "component/sim/SceneRenderer.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace quor::component {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Colour chart patches (sRGB), six columns by four rows.
constexpr std::uint8_t kChart[24][3] = {
    {115, 82, 68},  {194, 150, 130}, {98, 122, 157}, {87, 108, 67},   {133, 128, 177}, {103, 189, 170},
    {214, 126, 44}, {80, 91, 166},   {193, 90, 99},  {94, 60, 108},   {157, 188, 64},  {224, 163, 46},
    {56, 61, 150},  {70, 148, 73},   {175, 54, 60},  {231, 199, 31},  {187, 86, 149},  {8, 133, 161},
    {243, 243, 242}, {200, 200, 200}, {160, 160, 160}, {122, 122, 121}, {85, 85, 85},   {52, 52, 52},
};

// The scene is laid out on a w x h canvas; the picture shows `region` of it (fractions of the canvas) at w x h,
// drawn through the painter's transform so that a magnified part has all the detail of its scale.
QImage DrawScene(int w, int h, const QRectF& region) {
    QImage img(w, h, QImage::Format_RGB888);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(1.0 / region.width(), 1.0 / region.height());
    p.translate(-region.x() * w, -region.y() * h);
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0.0, QColor(96, 140, 196));
    sky.setColorAt(0.55, QColor(196, 212, 226));
    sky.setColorAt(0.56, QColor(120, 104, 86));
    sky.setColorAt(1.0, QColor(70, 58, 46));
    p.fillRect(QRectF(0, 0, w, h), sky);

    // Colour chart on the left.
    const double unit = std::min(w / 16.0, h / 9.0);
    const QPointF chartOrigin(w * 0.06, h * 0.28);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 20, 20));
    p.drawRect(QRectF(chartOrigin.x() - unit * 0.2, chartOrigin.y() - unit * 0.2, unit * 6 * 1.1 + unit * 0.3,
                      unit * 4 * 1.1 + unit * 0.3));
    for (int i = 0; i < 24; ++i) {
        const int col = i % 6, row = i / 6;
        p.setBrush(QColor(kChart[i][0], kChart[i][1], kChart[i][2]));
        p.drawRect(QRectF(chartOrigin.x() + col * unit * 1.1, chartOrigin.y() + row * unit * 1.1, unit, unit));
    }

    // Focus star on the right: alternating wedges show at once whether the lens is sharp.
    const QPointF centre(w * 0.74, h * 0.46);
    const double radius = std::min(w, h) * 0.3;
    p.setBrush(Qt::white);
    p.drawEllipse(centre, radius, radius);
    p.setBrush(Qt::black);
    constexpr int kSpokes = 36;
    for (int i = 0; i < kSpokes; ++i) {
        const double a0 = 2 * kPi * i / kSpokes;
        const double a1 = a0 + kPi / kSpokes;
        QPainterPath wedge(centre);
        wedge.lineTo(centre + QPointF(std::cos(a0), std::sin(a0)) * radius);
        wedge.lineTo(centre + QPointF(std::cos(a1), std::sin(a1)) * radius);
        wedge.closeSubpath();
        p.drawPath(wedge);
    }

    // Title, for reading orientation and crops.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(std::max(8, h / 14));
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(250, 250, 250));
    p.drawText(QRectF(w * 0.05, h * 0.04, w * 0.9, h * 0.16), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("QuorTovu  \u25B6 R"));
    p.end();
    return img;
}

// Division by the window size 2r + 1 as a multiply and shift (exact to within one level for 8-bit sums).
struct Divider {
    explicit Divider(int n) : scale(static_cast<std::uint32_t>((65536 + n / 2) / n)) {}
    std::uint8_t operator()(int sum) const {
        return static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (static_cast<std::uint32_t>(sum) * scale + 32768) >> 16));
    }
    std::uint32_t scale;
};

// One pass of a horizontal box blur of radius r over an RGB888 image, in place through a row buffer padded with
// the edge pixels, so that the inner loop needs no clamping.
void BoxBlurRows(QImage& img, int r, std::vector<std::uint8_t>& row) {
    const int w = img.width();
    const std::size_t padded = static_cast<std::size_t>(w + 2 * r + 1) * 3;
    row.resize(padded);
    const Divider divide(2 * r + 1);
    for (int y = 0; y < img.height(); ++y) {
        std::uint8_t* line = img.scanLine(y);
        for (int x = -r; x <= w + r; ++x)
            std::memcpy(row.data() + static_cast<std::size_t>(x + r) * 3,
                        line + static_cast<std::size_t>(std::clamp(x, 0, w - 1)) * 3, 3);
        int sum[3] = {0, 0, 0};
        for (int x = 0; x < 2 * r + 1; ++x)
            for (int c = 0; c < 3; ++c)
                sum[c] += row[static_cast<std::size_t>(x) * 3 + static_cast<std::size_t>(c)];
        const std::uint8_t* drop = row.data();
        const std::uint8_t* add = row.data() + static_cast<std::size_t>(2 * r + 1) * 3;
        for (int x = 0; x < w; ++x, line += 3, drop += 3, add += 3) {
            for (int c = 0; c < 3; ++c) {
                line[c] = divide(sum[c]);
                sum[c] += add[c] - drop[c];
            }
        }
    }
}

// One pass of a vertical box blur of radius r, through running sums of whole rows: no transposing, and the
// memory is walked row by row. `src` is a copy of the picture as it was before the pass.
void BoxBlurColumns(QImage& img, int r, std::vector<std::uint8_t>& src, std::vector<int>& sums) {
    const int h = img.height();
    const std::size_t rowBytes = static_cast<std::size_t>(img.width()) * 3;
    const std::size_t stride = static_cast<std::size_t>(img.bytesPerLine());
    src.resize(rowBytes * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y)
        std::memcpy(src.data() + rowBytes * static_cast<std::size_t>(y), img.constScanLine(y), rowBytes);
    auto row = [&](int y) { return src.data() + rowBytes * static_cast<std::size_t>(std::clamp(y, 0, h - 1)); };
    sums.assign(rowBytes, 0);
    for (int y = -r; y <= r; ++y) {
        const std::uint8_t* in = row(y);
        for (std::size_t i = 0; i < rowBytes; ++i)
            sums[i] += in[i];
    }
    const Divider divide(2 * r + 1);
    std::uint8_t* out = img.bits();
    for (int y = 0; y < h; ++y, out += stride) {
        const std::uint8_t* add = row(y + r + 1);
        const std::uint8_t* drop = row(y - r);
        for (std::size_t i = 0; i < rowBytes; ++i) {
            out[i] = divide(sums[i]);
            sums[i] += add[i] - drop[i];
        }
    }
}

QImage Blurred(const QImage& sharp, int radius) {
    if (radius <= 0)
        return sharp;
    std::vector<std::uint8_t> row;
    std::vector<int> sums;
    QImage img = sharp.copy();
    // Two box passes each way come close to a Gaussian.
    for (int pass = 0; pass < 2; ++pass) {
        BoxBlurRows(img, radius, row);
        BoxBlurColumns(img, radius, row, sums);
    }
    return img;
}

void FillLut(std::array<std::uint8_t, 256>& lut, double gain) {
    for (int i = 0; i < 256; ++i)
        lut[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(std::clamp(std::lround(i * gain), 0L, 255L));
}

} // namespace

void SceneRenderer::Prepare(int width, int height, const QRectF& region) {
    if (width == width_ && height == height_ && region == region_)
        return;
    width_ = width;
    height_ = height;
    region_ = region;
    for (auto& l : levels_)
        l = QImage();
    levels_[0] = DrawScene(width, height, region);
}

const QImage& SceneRenderer::Level(int level) {
    level = std::clamp(level, 0, kBlurLevels - 1);
    if (levels_[static_cast<std::size_t>(level)].isNull()) {
        // Blur radii grow with the picture so that a step looks the same at every size, and with the
        // magnification: the lens blurs the scene, not the picture.
        const double scale = std::max(width_, height_) / region_.width();
        const int radius = std::max(1, static_cast<int>(std::lround(level * level * scale / 1600.0)));
        levels_[static_cast<std::size_t>(level)] = Blurred(levels_[0], radius);
    }
    return levels_[static_cast<std::size_t>(level)];
}

void SceneRenderer::Render(unsigned char* dst, int width, int height, std::size_t stride, const SceneParams& params) {
    if (!dst || width <= 0 || height <= 0)
        return;
    const QRectF whole(0, 0, 1, 1);
    const QRectF region = params.region.isValid() ? params.region & whole : whole;
    Prepare(width, height, region.isEmpty() ? whole : region);
    const int level = static_cast<int>(std::lround(std::clamp(params.blur, 0.0, 1.0) * (kBlurLevels - 1)));
    const QImage& src = Level(level);

    const double gain = std::pow(2.0, std::clamp(params.exposureEv, -10.0, 10.0));
    FillLut(lutR_, gain * params.redGain);
    FillLut(lutG_, gain * params.greenGain);
    FillLut(lutB_, gain * params.blueGain);

    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = src.constScanLine(y);
        unsigned char* out = dst + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            out[0] = lutR_[in[0]];
            out[1] = lutG_[in[1]];
            out[2] = lutB_[in[2]];
            in += 3;
            out += 3;
        }
    }

    // The moving marker: a small disc circling the focus star once every four seconds, placed on the scene's
    // canvas and seen through the region.
    const double zoom = 1.0 / region_.width();
    const double r = std::max(2.0, std::min(width, height) / 40.0) * zoom;
    const double angle = params.seconds * kPi / 2.0;
    const double cx = (width * 0.74 + std::cos(angle) * std::min(width, height) * 0.36 - region_.x() * width) * zoom;
    const double cy = (height * 0.46 + std::sin(angle) * std::min(width, height) * 0.36 - region_.y() * height) * zoom;
    const int y0 = std::max(0, static_cast<int>(cy - r)), y1 = std::min(height - 1, static_cast<int>(cy + r));
    const int x0 = std::max(0, static_cast<int>(cx - r)), x1 = std::min(width - 1, static_cast<int>(cx + r));
    for (int y = y0; y <= y1; ++y) {
        unsigned char* out = dst + static_cast<std::size_t>(y) * stride;
        for (int x = x0; x <= x1; ++x) {
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) > r * r)
                continue;
            out[x * 3 + 0] = lutR_[255];
            out[x * 3 + 1] = lutG_[200];
            out[x * 3 + 2] = lutB_[40];
        }
    }
}

QImage SceneRenderer::RenderImage(int width, int height, const SceneParams& params) {
    QImage img(width, height, QImage::Format_RGB888);
    Render(img.bits(), width, height, static_cast<std::size_t>(img.bytesPerLine()), params);
    return img;
}

} // namespace quor::component
