// Faults injected into the stand-in body, as libgphoto2 sees them: busy answers, a connection dropped in the
// middle of a transfer, slow transfers, a pulled cable, and the body stopping under a running transfer.
#include "StandinFixture.h"

namespace quor::standin::test {
namespace {

class GphotoFaults : public StandinTest {
protected:
    StandinOptions Options() override {
        StandinOptions o;
        o.photoBytes = 2 * 1024 * 1024;
        o.frameWidth = 160;
        o.frameHeight = 120;
        return o;
    }
    static double Ms(std::chrono::steady_clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    }
};

class GphotoBusy : public GphotoFaults {
protected:
    void SetUp() override {
        GphotoFaults::SetUp();
        // The first use prepares the EOS session (remote mode, event mode, capture target); busy answers are
        // aimed at what comes after.
        ASSERT_TRUE(camera_->Get("iso"));
    }
};

TEST_F(GphotoBusy, BusySettingFailsAsCameraBusyAndTheNextOneLands) {
    body_->AnswerBusy(1, op::kEosSetDevicePropValueEx);
    EXPECT_EQ(camera_->Set("iso", "400"), GP_ERROR_CAMERA_BUSY);
    EXPECT_EQ(body_->PropertyValue(prop::kIso), 0x48u);
    auto busy = body_->Log().Find([](const OperationRecord& r) { return r.response == rc::kDeviceBusy; });
    ASSERT_EQ(busy.size(), 1u);
    EXPECT_EQ(busy[0].code, op::kEosSetDevicePropValueEx);

    EXPECT_EQ(camera_->Set("iso", "400"), GP_OK);
    EXPECT_EQ(body_->PropertyValue(prop::kIso), 0x58u);
}

TEST_F(GphotoBusy, BusyReleaseFailsTheCaptureWithoutLeavingAShotBehind) {
    body_->AnswerBusy(1, op::kEosRemoteReleaseOn);
    auto failed = camera_->CaptureAndDownload();
    EXPECT_NE(failed.result, GP_OK);
    EXPECT_EQ(body_->ShotsTaken(), 0u);
    auto retried = camera_->CaptureAndDownload();
    ASSERT_EQ(retried.result, GP_OK) << gp_result_as_string(retried.result);
    EXPECT_FALSE(DecodeJpeg(retried.bytes).isNull());
}

TEST_F(GphotoBusy, BusyForAnyOperationCountsDownAndThenServes) {
    const std::size_t mark = body_->Log().Size();
    body_->AnswerBusy(3);
    int attempts = 0;
    while (camera_->Set("aperture", "8") != GP_OK && attempts < 10)
        ++attempts;
    EXPECT_GE(attempts, 1);
    EXPECT_LT(attempts, 10);
    EXPECT_EQ(body_->PropertyValue(prop::kAperture), 0x38u);
    auto busy = body_->Log().Find([](const OperationRecord& r) { return r.response == rc::kDeviceBusy; }, mark);
    EXPECT_EQ(busy.size(), 3u);
}

TEST_F(GphotoFaults, DroppedInTheMiddleOfADownloadFailsPromptlyAndTheBodyCanBeReopened) {
    body_->DropNextTransfer(op::kGetPartialObject);
    const auto start = std::chrono::steady_clock::now();
    auto shot = camera_->CaptureAndDownload();
    EXPECT_NE(shot.result, GP_OK);
    EXPECT_LT(Ms(std::chrono::steady_clock::now() - start), 5000.0);
    auto parts = body_->Log().Find([](const OperationRecord& r) { return r.code == op::kGetPartialObject; });
    ASSERT_EQ(parts.size(), 1u); // the first chunk never completed

    camera_.reset();
    GpCamera again(PortPath(body_->Port()));
    ASSERT_EQ(again.InitResult(), GP_OK);
    auto next = again.CaptureAndDownload();
    ASSERT_EQ(next.result, GP_OK) << gp_result_as_string(next.result);
    EXPECT_EQ(next.bytes.size(), Options().photoBytes);
}

TEST_F(GphotoFaults, DroppedInTheMiddleOfAPreviewFrameFails) {
    ASSERT_EQ(camera_->Preview().result, GP_OK);
    body_->DropNextTransfer(op::kEosGetViewFinderData);
    EXPECT_NE(camera_->Preview().result, GP_OK);
    EXPECT_NE(camera_->Preview().result, GP_OK); // the connection stays gone
}

TEST_F(GphotoFaults, SlowTransfersStillDeliverTheWholeFile) {
    constexpr std::size_t kChunk = 128 * 1024;
    constexpr auto kDelay = 10ms;
    body_->SetSlowTransfers(kChunk, kDelay);
    const auto start = std::chrono::steady_clock::now();
    auto shot = camera_->CaptureAndDownload();
    const double took = Ms(std::chrono::steady_clock::now() - start);
    ASSERT_EQ(shot.result, GP_OK) << gp_result_as_string(shot.result);
    EXPECT_EQ(shot.bytes.size(), Options().photoBytes);
    EXPECT_FALSE(DecodeJpeg(shot.bytes).isNull());
    const double chunks = static_cast<double>(Options().photoBytes / kChunk);
    EXPECT_GE(took, chunks * 10.0 * 0.9);

    // Live-view frames are slowed the same way (one chunk each at this size).
    const auto frameStart = std::chrono::steady_clock::now();
    ASSERT_EQ(camera_->Preview().result, GP_OK);
    EXPECT_GE(Ms(std::chrono::steady_clock::now() - frameStart), 9.0);
}

TEST_F(GphotoFaults, PulledOutDuringLiveViewAndPluggedBackIn) {
    ASSERT_EQ(camera_->Preview().result, GP_OK);
    body_->PullOut(/*refuseReconnect=*/true);
    EXPECT_NE(camera_->Preview().result, GP_OK);
    camera_.reset();
    {
        GpCamera refused(PortPath(body_->Port()));
        EXPECT_NE(refused.InitResult(), GP_OK);
    }
    body_->AllowReconnect();
    GpCamera back(PortPath(body_->Port()));
    ASSERT_EQ(back.InitResult(), GP_OK);
    EXPECT_EQ(back.Preview().result, GP_OK);
}

TEST_F(GphotoFaults, StoppingTheBodyUnderASlowTransferEndsItPromptly) {
    body_->SetSlowTransfers(16 * 1024, 50ms); // the whole file would take over 6 s
    int result = GP_OK;
    std::thread shooter([&] { result = camera_->CaptureAndDownload().result; });
    ASSERT_TRUE(body_->Log().WaitForCode(op::kGetPartialObject, 5s));
    std::this_thread::sleep_for(100ms);
    const auto start = std::chrono::steady_clock::now();
    body_->Stop();
    EXPECT_LT(Ms(std::chrono::steady_clock::now() - start), 1000.0);
    shooter.join();
    EXPECT_NE(result, GP_OK);
    EXPECT_EQ(body_->CommandConnections(), 0); // Stop() joined every connection
}

} // namespace
} // namespace quor::standin::test
