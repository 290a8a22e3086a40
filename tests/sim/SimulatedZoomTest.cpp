// A magnified simulated live view is the scene drawn again at the magnified scale: its frames hold the detail of a
// picture five times the size, not an enlargement of the whole frame. Photos taken meanwhile show the whole scene,
// and live view started again starts at 1x.
#include "component/liveview/LiveView.h"
#include "component/session/LiveZoom.h"
#include "component/session/SessionOutlet.h"
#include "component/sim/ShotSettings.h"
#include "component/sim/Simulator.h"
#include "component/storage/PhotoFiler.h"
#include "tests/support/EventLoop.h"

#include <QDir>
#include <QMetaObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace quor::component;

// Hears only where the photos went.
struct PhotoHost : ISessionEvents {
    void OptionAdded(std::int32_t, std::string_view, std::int32_t, bool) override {}
    void ValueChanged(std::int32_t, std::string_view) override {}
    void Notify(const char*, quor::Variant) override {}
    void Changed() override {}
    void Lost(const QString&) override {}
    void Message(const QString&) override {}
    void DownloadStart(JobId) override {}
    void DownloadProgress(JobId, int) override {}
    void DownloadComplete(JobId, const QString& path, const QImage&) override { photo = path; }
    void CaptureFailed(JobId, const QString&) override {}
    QString photo;
};

// Mean difference per channel over the pictures' inside (`margin` pixels in from every edge).
double MeanDifference(const QImage& a, const QImage& b, int margin) {
    double sum = 0;
    int n = 0;
    for (int y = margin; y < a.height() - margin; ++y) {
        const uchar* p = a.constScanLine(y);
        const uchar* q = b.constScanLine(y);
        for (int x = margin * 3; x < (a.width() - margin) * 3; ++x, ++n)
            sum += std::abs(int(p[x]) - int(q[x]));
    }
    return sum / n;
}

// Sum of absolute differences between neighbours: high for a picture with fine detail.
double Detail(const QImage& img) {
    double sum = 0;
    for (int y = 1; y < img.height(); ++y) {
        const uchar* p = img.constScanLine(y);
        const uchar* above = img.constScanLine(y - 1);
        for (int x = 3; x < img.width() * 3; ++x)
            sum += std::abs(int(p[x]) - int(p[x - 3])) + std::abs(int(p[x]) - int(above[x]));
    }
    return sum;
}

class SimulatedZoom : public ::testing::Test {
protected:
    static constexpr int kWidth = 320, kHeight = 212;

    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        sim_.SetLiveViewFrames(kWidth, kHeight, 60);
        session_ = sim_.Open(0, gate_.Open(), SessionServices{&live_, &filer_});
        ASSERT_NE(session_, nullptr);
    }
    void TearDown() override {
        gate_.Close();
        if (!session_)
            return;
        session_->End();
        quor::test::WaitUntil([this] { return session_->Finished(); }, 10000);
    }

    // A frame rendered after everything asked so far (the one being drawn may still be of before).
    QImage NextFrame() {
        const std::uint64_t after = live_.Pool().Published() + 2;
        const Frame* frame = nullptr;
        EXPECT_TRUE(quor::test::WaitUntil(
            [&] {
                const Frame* f = live_.Pool().TakeNewest();
                if (f && f->sequence >= after)
                    frame = f;
                return frame != nullptr;
            },
            10000));
        if (!frame)
            return {};
        return QImage(frame->bytes.data(), int(frame->width), int(frame->height), int(frame->stride),
                      QImage::Format_RGB888)
            .copy();
    }

    QTemporaryDir folder_;
    QObject context_;
    PhotoHost host_;
    SessionGate gate_{&host_, [this](std::function<void()> task) {
                          QMetaObject::invokeMethod(&context_, std::move(task), Qt::QueuedConnection);
                      }};
    storage::PhotoFiler filer_{folder_.filePath(QStringLiteral("fallback"))};
    LiveView live_;
    Simulator sim_{1, &filer_};
    std::unique_ptr<ICameraSession> session_;
};

TEST_F(SimulatedZoom, MagnifiedFramesAreTheSceneDrawnAtThatScaleAndPhotosStayWhole) {
    ASSERT_TRUE(session_->StartLiveView());
    const QImage whole = NextFrame();
    ASSERT_FALSE(whole.isNull());

    // 5x on the middle of the focus star, its corner on whole pixels of a picture five times the size.
    const QPoint corner(1024, 382);
    const QPointF centre((corner.x() + kWidth / 2.0) / (5 * kWidth), (corner.y() + kHeight / 2.0) / (5 * kHeight));
    EXPECT_FALSE(session_->SetLiveZoom(3, centre)) << "a body magnifies 5x or 10x";
    ASSERT_TRUE(session_->SetLiveZoom(5, centre));
    const QImage zoomed = NextFrame();
    ASSERT_EQ(zoomed.size(), whole.size());

    // The same part of the scene rendered five times the size, as the lens sees it now.
    SceneRenderer renderer;
    const SceneParams scene = LiveViewScene(sim_.Camera(0)->Properties(), sim_.SharedLens().Blur());
    const QImage large = renderer.RenderImage(5 * kWidth, 5 * kHeight, scene);
    const QImage part = large.copy(QRect(corner, QSize(kWidth, kHeight)));
    // Inside the blur's reach of the edges, where the large picture blurs in what lies beyond the part.
    EXPECT_LT(MeanDifference(zoomed, part, 20), 2.0);

    // Enlarging the whole frame's fifth instead loses the spokes' detail.
    const QRectF region = ZoomRegion(5, centre);
    const QImage enlarged = whole.copy(QRectF(region.x() * kWidth, region.y() * kHeight, kWidth / 5.0, kHeight / 5.0)
                                           .toRect())
                                .scaled(kWidth, kHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_GT(Detail(zoomed), 2 * Detail(enlarged));

    // A photo taken while magnified shows the whole scene (at its own proportions and blur radii, so only close to
    // the frame).
    const QString path = QDir(folder_.path()).filePath(QStringLiteral("quortovu.jpg"));
    ASSERT_TRUE(session_->Shoot(1, {storage::PhotoRequest::Naming::Newest, path, {}, {}}));
    ASSERT_TRUE(quor::test::WaitUntil([this] { return !host_.photo.isEmpty(); }, 60000));
    const QImage photo = QImage(host_.photo)
                             .scaled(kWidth, kHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_RGB888);
    EXPECT_LT(MeanDifference(photo, whole, 4), 15.0);
    EXPECT_GT(MeanDifference(photo, zoomed, 4), 3 * MeanDifference(photo, whole, 4));

    // Back to 1x: the whole scene again.
    ASSERT_TRUE(session_->SetLiveZoom(1, centre));
    EXPECT_LT(MeanDifference(NextFrame(), whole, 0), 2.0);

    // The magnifier ends with live view: started again, it shows the whole scene.
    ASSERT_TRUE(session_->SetLiveZoom(5, centre));
    EXPECT_GT(MeanDifference(NextFrame(), whole, 0), 20.0);
    session_->StopLiveView();
    ASSERT_TRUE(session_->StartLiveView());
    EXPECT_LT(MeanDifference(NextFrame(), whole, 0), 2.0);
}

} // namespace
