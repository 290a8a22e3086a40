// libgphoto2 against the stand-in body: capture and download, live view, continuous series, bulb, focus.
#include "StandinFixture.h"

#include <set>

namespace quor::standin::test {
namespace {

class GphotoShooting : public StandinTest {
protected:
    StandinOptions Options() override {
        StandinOptions o;
        o.photoBytes = 3 * 1024 * 1024 + 12345; // spans several partial transfers, and not a round number
        o.frameWidth = 320;
        o.frameHeight = 212;
        o.seriesInterval = 40ms;
        return o;
    }

    // Polls events until `want` files were added or `timeout` passes, fetching each file as it is announced:
    // libgphoto2 holds only the last two downloaded images (its "cached-images" setting), so a file fetched
    // later than that is gone.
    std::vector<GpCamera::Download> WaitForFiles(std::size_t want, std::chrono::milliseconds timeout) {
        std::vector<GpCamera::Download> files;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (files.size() < want && std::chrono::steady_clock::now() < deadline) {
            CameraEventType type;
            void* data = nullptr;
            if (gp_camera_wait_for_event(camera_->Raw(), 100, &type, &data, camera_->Context()) != GP_OK)
                break;
            if (type == GP_EVENT_FILE_ADDED && data) {
                auto* path = static_cast<CameraFilePath*>(data);
                files.push_back(camera_->Fetch(path->folder, path->name));
            }
            free(data);
        }
        return files;
    }
};

TEST_F(GphotoShooting, CaptureDownloadsADecodableJpegThroughRemoteRelease) {
    auto shot = camera_->CaptureAndDownload();
    ASSERT_EQ(shot.result, GP_OK) << gp_result_as_string(shot.result);
    EXPECT_EQ(shot.bytes.size(), Options().photoBytes);
    QImage image = DecodeJpeg(shot.bytes);
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(image.width(), 0);

    // Half press, full press, full release, half release.
    auto releases = body_->Log().Find([](const OperationRecord& r) {
        return r.code == op::kEosRemoteReleaseOn || r.code == op::kEosRemoteReleaseOff;
    });
    ASSERT_EQ(releases.size(), 4u);
    EXPECT_EQ(releases[0].code, op::kEosRemoteReleaseOn);
    EXPECT_EQ(releases[0].Param(0), 1u);
    EXPECT_EQ(releases[1].code, op::kEosRemoteReleaseOn);
    EXPECT_EQ(releases[1].Param(0), 2u);
    EXPECT_EQ(releases[2].code, op::kEosRemoteReleaseOff);
    EXPECT_EQ(releases[2].Param(0), 2u);
    EXPECT_EQ(releases[3].code, op::kEosRemoteReleaseOff);
    EXPECT_EQ(releases[3].Param(0), 1u);

    // Partial transfers that cover the file exactly, then the body is told it may drop it.
    auto parts = body_->Log().Find([](const OperationRecord& r) { return r.code == op::kGetPartialObject; });
    ASSERT_GE(parts.size(), 2u);
    std::uint64_t covered = 0;
    for (const auto& p : parts) {
        EXPECT_EQ(p.Param(1), covered);
        covered += std::min<std::uint64_t>(p.Param(2), Options().photoBytes - covered);
    }
    EXPECT_EQ(covered, Options().photoBytes);
    EXPECT_EQ(body_->Log().Count(op::kEosTransferComplete), 1u);
    EXPECT_EQ(body_->HeldShots(), 0u);
}

TEST_F(GphotoShooting, ShotsInARowAreDistinctFiles) {
    auto first = camera_->CaptureAndDownload();
    auto second = camera_->CaptureAndDownload();
    ASSERT_EQ(first.result, GP_OK);
    ASSERT_EQ(second.result, GP_OK);
    EXPECT_NE(first.bytes, second.bytes);
    EXPECT_EQ(body_->ShotsTaken(), 2u);
}

TEST_F(GphotoShooting, RawPlusJpegDeliversBothFilesOfOneExposure) {
    ASSERT_EQ(camera_->Set("imageformat", "RAW + Large Fine JPEG"), GP_OK);
    auto first = camera_->CaptureAndDownload();
    ASSERT_EQ(first.result, GP_OK) << gp_result_as_string(first.result);
    auto rest = WaitForFiles(1, 5s); // the second file of the exposure comes as an event
    ASSERT_EQ(rest.size(), 1u);
    ASSERT_EQ(rest[0].result, GP_OK);
    EXPECT_EQ(body_->ShotsTaken(), 1u);
    EXPECT_EQ(body_->HeldShots(), 0u);

    const GpCamera::Download* raw = first.name.ends_with(".cr2") ? &first : &rest[0];
    const GpCamera::Download* jpeg = raw == &first ? &rest[0] : &first;
    ASSERT_TRUE(raw->name.ends_with(".cr2")) << first.name << " " << rest[0].name;
    ASSERT_GE(raw->bytes.size(), 4u);
    EXPECT_EQ(std::string(raw->bytes.begin(), raw->bytes.begin() + 3), "II*");
    EXPECT_FALSE(DecodeJpeg(jpeg->bytes).isNull()) << jpeg->name;
}

TEST_F(GphotoShooting, AvailableShotsStaysAboveZeroSoTheRamTargetNeverWaitsForever) {
    body_->SetPropertyOnBody(prop::kAvailableShots, 2);
    ASSERT_EQ(camera_->CaptureAndDownload().result, GP_OK);
    ASSERT_EQ(camera_->CaptureAndDownload().result, GP_OK);
    EXPECT_EQ(body_->PropertyValue(prop::kAvailableShots), 1u);
    EXPECT_EQ(camera_->Get("availableshots"), "1");
    // Switching to the RAM target waits until the body reports room for a shot.
    ASSERT_EQ(camera_->Set("capturetarget", "Memory card"), GP_OK);
    ASSERT_EQ(camera_->Set("capturetarget", "Internal RAM"), GP_OK);
}

TEST_F(GphotoShooting, PreviewFramesAreDecodableAndMove) {
    auto a = camera_->Preview();
    ASSERT_EQ(a.result, GP_OK) << gp_result_as_string(a.result);
    auto b = camera_->Preview();
    ASSERT_EQ(b.result, GP_OK);
    QImage first = DecodeJpeg(a.bytes);
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first.width(), 320);
    EXPECT_EQ(first.height(), 212);
    EXPECT_NE(a.bytes, b.bytes);
    // Before the first frame the host turns the EVF on and sends it to the PC.
    EXPECT_EQ(body_->PropertyValue(prop::kEvfMode), 1u);
    EXPECT_EQ(body_->PropertyValue(prop::kEvfOutputDevice).value_or(0) & kEvfOutputPc, kEvfOutputPc);
    EXPECT_GE(body_->FramesServed(), 2u);
}

TEST_F(GphotoShooting, ViewfinderWidgetSwitchesTheEvfOutput) {
    ASSERT_EQ(camera_->SetToggle("viewfinder", 1), GP_OK);
    EXPECT_EQ(body_->PropertyValue(prop::kEvfOutputDevice).value_or(0) & kEvfOutputPc, kEvfOutputPc);
    ASSERT_EQ(camera_->SetToggle("viewfinder", 0), GP_OK);
    EXPECT_EQ(body_->PropertyValue(prop::kEvfOutputDevice).value_or(0) & kEvfOutputPc, 0u);
}

TEST_F(GphotoShooting, ContinuousSeriesArrivesThroughWaitForEvent) {
    ASSERT_EQ(camera_->Set("drivemode", "Continuous"), GP_OK);
    ASSERT_EQ(camera_->Set("eosremoterelease", "Press Full"), GP_OK);
    EXPECT_TRUE(body_->SeriesRunning());
    std::this_thread::sleep_for(150ms);
    ASSERT_EQ(camera_->Set("eosremoterelease", "Release Full"), GP_OK);
    EXPECT_FALSE(body_->SeriesRunning());
    const std::uint32_t taken = body_->ShotsTaken();
    EXPECT_GE(taken, 3u);

    // A slow host (a sanitizer on a busy machine) lets the body take up to its RAM's worth before the release
    // reaches it: a second for each 3 MB file.
    auto files = WaitForFiles(taken, 5s + taken * 1s);
    ASSERT_EQ(files.size(), taken);
    std::set<std::string> names;
    for (const auto& f : files) {
        ASSERT_EQ(f.result, GP_OK) << f.name;
        EXPECT_FALSE(DecodeJpeg(f.bytes).isNull()) << f.name;
        names.insert(f.name);
    }
    EXPECT_EQ(names.size(), files.size());
    EXPECT_EQ(body_->HeldShots(), 0u);
}

TEST_F(GphotoShooting, BulbOpensAndClosesAndDeliversTheExposure) {
    ASSERT_EQ(camera_->Set("autoexposuremode", "Bulb"), GP_OK);
    ASSERT_EQ(camera_->Set("shutterspeed", "bulb"), GP_OK);
    ASSERT_EQ(camera_->SetToggle("bulb", 1), GP_OK);
    EXPECT_TRUE(body_->BulbOpen());
    ASSERT_EQ(camera_->SetToggle("bulb", 0), GP_OK);
    EXPECT_FALSE(body_->BulbOpen());
    EXPECT_EQ(body_->Log().Count(op::kEosBulbStart), 1u);
    EXPECT_EQ(body_->Log().Count(op::kEosBulbEnd), 1u);

    auto files = WaitForFiles(1, 5s);
    ASSERT_EQ(files.size(), 1u);
    ASSERT_EQ(files[0].result, GP_OK);
    EXPECT_FALSE(DecodeJpeg(files[0].bytes).isNull());
}

TEST_F(GphotoShooting, HostLettingGoInTheMiddleOfABulbLeavesItOpenOnTheBody) {
    // What a host that is destroyed mid-exposure must do itself: libgphoto2's exit does not end the bulb.
    ASSERT_EQ(camera_->Set("shutterspeed", "bulb"), GP_OK);
    ASSERT_EQ(camera_->SetToggle("bulb", 1), GP_OK);
    camera_.reset();
    ASSERT_TRUE(body_->WaitUntilReleased(2s));
    EXPECT_TRUE(body_->BulbOpen());
    EXPECT_EQ(body_->Log().Count(op::kEosBulbEnd), 0u);
}

TEST_F(GphotoShooting, BulbIsRefusedOutsideBulbShutterSpeed) {
    EXPECT_NE(camera_->SetToggle("bulb", 1), GP_OK);
    EXPECT_FALSE(body_->BulbOpen());
    auto starts = body_->Log().Find([](const OperationRecord& r) { return r.code == op::kEosBulbStart; });
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].response, rc::kGeneralError);
}

TEST_F(GphotoShooting, ManualFocusStepsArriveAsDriveLensParameters) {
    const std::pair<const char*, std::uint32_t> steps[] = {
        {"Near 1", 0x0001}, {"Near 2", 0x0002}, {"Near 3", 0x0003},
        {"Far 1", 0x8001},  {"Far 2", 0x8002},  {"Far 3", 0x8003},
    };
    for (const auto& [label, wire] : steps) {
        SCOPED_TRACE(label);
        const std::size_t mark = body_->Log().Size();
        ASSERT_EQ(camera_->Set("manualfocusdrive", label), GP_OK);
        auto drives = body_->Log().Find([](const OperationRecord& r) { return r.code == op::kEosDriveLens; }, mark);
        ASSERT_EQ(drives.size(), 1u);
        EXPECT_EQ(drives[0].Param(0), wire);
    }
}

TEST_F(GphotoShooting, AutofocusDrivesDoAfAndCancels) {
    const std::size_t mark = body_->Log().Size();
    ASSERT_EQ(camera_->SetToggle("autofocusdrive", 1), GP_OK);
    EXPECT_EQ(body_->Log().Count(op::kEosDoAf, mark), 1u);
    ASSERT_EQ(camera_->SetToggle("cancelautofocus", 1), GP_OK);
    EXPECT_GE(body_->Log().Count(op::kEosAfCancel, mark), 1u);
}

} // namespace
} // namespace quor::standin::test
