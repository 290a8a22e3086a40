// The live-view magnifier of a real EOS body, from the component through libgphoto2 to the stand-in body: the body
// gets the frame's place and the magnification, its frames then show that part of the picture, 1x shows all of it
// again with the frame back on the AF point, a click on the AF point moves the body's frame at 1x and waits while
// magnified, and live view stopped while magnified leaves the body at 1x and starts again at 1x with the frame on
// the AF point. A body without a magnifier says no and streams on.
#include "GPhotoConsoleFixture.h"

#include "component/host/QuorCtrlView.h"
#include "component/host/SettingsDialog.h"

#include <QComboBox>
#include <QRectF>

namespace quor::standin::test {
namespace {

using Zoom = StandinBody::Zoom;

// Whether the frame the view shows is `part` of the stand-in's picture (fractions of it). The stand-in's red grows
// from left to right across its whole picture and its green from top to bottom: the ends of the middle row and
// of the middle column tell which part a frame shows. Its moving bar spoils some frames; the caller waits past.
bool Shows(const component::Frame* frame, const QRectF& part) {
    if (!frame || frame->width < 8 || frame->height < 8)
        return false;
    const int w = int(frame->width), h = int(frame->height);
    auto at = [&](int x, int y, int channel) {
        return frame->bytes[std::size_t(y) * frame->stride + std::size_t(x) * 3 + std::size_t(channel)] / 255.0;
    };
    auto near = [](double seen, double expected) { return std::abs(seen - expected) < 0.03; };
    return near(at(2, h / 2, 0), part.left()) && near(at(w - 3, h / 2, 0), part.right()) &&
           near(at(w / 2, 2, 1), part.top()) && near(at(w / 2, h - 3, 1), part.bottom());
}

using GPhotoZoomStandin = GPhotoConsoleTest;

TEST_F(GPhotoZoomStandin, TheBodyMagnifiesWhereAskedItsFramesShowThatPartAndTheAfPointMovesItsFrame) {
    Open();
    component::ICameraSession* session = comp_->Engine().Session();
    ASSERT_NE(session, nullptr);
    Click(1020);
    auto view = [this] { return comp_->View()->CurrentFrame(); };
    ASSERT_TRUE(WaitUntil([&] { return Shows(view(), QRectF(0, 0, 1, 1)); }));

    // 5x around (0.3, 0.6): the frame (a fifth of the body's 6000x4000 each way) goes to 1200,2000 first, then the
    // magnification, taken on a later try while the body answers busy.
    std::size_t mark = body_->Log().Size();
    body_->AnswerBusy(2, op::kEosZoom);
    ASSERT_TRUE(session->SetLiveZoom(5, QPointF(0.3, 0.6)));
    ASSERT_TRUE(WaitUntil([&] { return body_->LiveViewZoom() == Zoom{5, 1200, 2000}; }));
    const auto taken = body_->Log().Find(
        [](const OperationRecord& r) {
            return (r.code == op::kEosZoom || r.code == op::kEosZoomPosition) && r.response == rc::kOk;
        },
        mark);
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[0].code, op::kEosZoomPosition);
    EXPECT_EQ(taken[0].params, (std::vector<std::uint32_t>{1200, 2000}));
    EXPECT_EQ(taken[1].code, op::kEosZoom);
    EXPECT_EQ(taken[1].params, std::vector<std::uint32_t>{5});
    EXPECT_EQ(body_->Log().Count(op::kEosZoom, mark), 3u) << "two busy answers, then taken";
    EXPECT_TRUE(WaitUntil([&] { return Shows(view(), QRectF(0.2, 0.5, 0.2, 0.2)); }));

    // Back to 1x: the whole picture, the frame back on the AF point (in the middle: 2400,1600).
    ASSERT_TRUE(session->SetLiveZoom(1, QPointF(0.3, 0.6)));
    ASSERT_TRUE(WaitUntil([&] { return body_->LiveViewZoom() == Zoom{1, 2400, 1600}; }));
    EXPECT_TRUE(WaitUntil([&] { return Shows(view(), QRectF(0, 0, 1, 1)); }));

    // A click on the AF point at 1x moves the body's frame there.
    emit comp_->View()->afPointClicked(QPointF(0.8, 0.25));
    ASSERT_TRUE(WaitUntil([&] { return body_->LiveViewZoom() == Zoom{1, 4200, 600}; }));

    // 10x then opens around the AF point.
    ASSERT_TRUE(session->SetLiveZoom(10, QPointF(0.8, 0.25)));
    ASSERT_TRUE(WaitUntil([&] { return Shows(view(), QRectF(0.75, 0.2, 0.1, 0.1)); }));
    EXPECT_LT(longestGapMs_, kResponsiveBusyMs);

    // A click on the AF point while magnified leaves the magnified part as it is.
    mark = body_->Log().Size();
    emit comp_->View()->afPointClicked(QPointF(0.2, 0.7));
    Settle(200);
    EXPECT_EQ(body_->Log().Count(op::kEosZoomPosition, mark), 0u);
    EXPECT_EQ(body_->LiveViewZoom(), (Zoom{10, 4200, 600}));

    // Live view stopped while magnified: the body is set back to 1x before its live view ends. Started again, it
    // stays at 1x, the frame on the AF point (600,2400).
    mark = body_->Log().Size();
    Click(1021);
    ASSERT_TRUE(body_->Log().WaitFor(
        [](const OperationRecord& r) { return r.code == op::kEosZoom && r.Param(0) == 1 && r.response == rc::kOk; },
        5s, mark));
    mark = body_->Log().Size();
    Click(1020);
    ASSERT_TRUE(body_->Log().WaitForCode(op::kEosZoomPosition, 5s, mark));
    EXPECT_TRUE(WaitUntil([&] { return Shows(view(), QRectF(0, 0, 1, 1)); }));
    EXPECT_EQ(body_->LiveViewZoom(), (Zoom{1, 600, 2400}));
    EXPECT_EQ(body_->Log().Count(op::kEosZoom, mark), 0u);
    EXPECT_TRUE(comp_->View()->DebugLines().join('\n').contains(
        QStringLiteral("magnifier frame placed in 6000x4000 (the body's focus information)")));
}

// A body that offers smaller live-view frames: the size chosen in the settings dialog is asked for as live view
// starts, the frames come at that size, and the choice holds for the next session too.
TEST_F(GPhotoZoomStandin, TheLiveViewSizeChosenInTheSettingsIsWhatTheBodySendsAlsoInTheNextSession) {
    Open();
    {
        component::SettingsDialog dialog(&comp_->Settings(), comp_->View());
        QComboBox* size = dialog.cameraLiveSize();
        ASSERT_TRUE(size->isEnabled());
        EXPECT_GE(size->findText(QStringLiteral("Medium")), 0);
        const int small = size->findText(QStringLiteral("Small"));
        ASSERT_GE(small, 0);
        size->setCurrentIndex(small);
        emit size->activated(small);
    }
    auto halfSize = [this] {
        const component::Frame* f = comp_->View()->CurrentFrame();
        return f && f->width == Options().frameWidth / 2u && f->height == Options().frameHeight / 2u;
    };
    Click(1020);
    ASSERT_TRUE(WaitUntil(halfSize));
    EXPECT_TRUE(body_->PropertyValue(prop::kEvfOutputDevice).value_or(0) & kEvfOutputPcSmall);

    Click(1001); // closed, then the next session
    ASSERT_EQ(dlg_->State().cameraOpen, 0);
    dlg_->notes.clear();
    Open();
    Click(1020);
    ASSERT_TRUE(WaitUntil([this] { return comp_->View()->CurrentFrame() != nullptr; }));
    EXPECT_TRUE(WaitUntil(halfSize));
}

class GPhotoNoZoomStandin : public GPhotoConsoleTest {
protected:
    StandinOptions Options() override {
        StandinOptions o = GPhotoConsoleTest::Options();
        o.liveViewZoom = false;
        return o;
    }
};

TEST_F(GPhotoNoZoomStandin, ABodyWithoutAMagnifierSaysNoAndStreamsOn) {
    Open();
    Click(1020);
    ASSERT_TRUE(WaitUntil([this] { return comp_->View()->CurrentFrame() != nullptr; }));
    const std::size_t mark = body_->Log().Size();
    EXPECT_FALSE(comp_->Engine().Session()->SetLiveZoom(5, QPointF(0.3, 0.6)));
    emit comp_->View()->afPointClicked(QPointF(0.8, 0.25));
    const auto served = body_->FramesServed();
    ASSERT_TRUE(WaitUntil([&] { return body_->FramesServed() > served + 5; }));
    EXPECT_EQ(body_->Log().Count(op::kEosZoom, mark) + body_->Log().Count(op::kEosZoomPosition, mark), 0u);
    EXPECT_TRUE(WaitUntil([this] { return Shows(comp_->View()->CurrentFrame(), QRectF(0, 0, 1, 1)); }));
    EXPECT_TRUE(comp_->View()->DebugLines().join('\n').contains(QStringLiteral("eoszoom")));
}

} // namespace
} // namespace quor::standin::test
