// The console driving the stand-in body through the component and libgphoto2: the list, opening, every property
// list, shots, live view and focus, bulb and series.
#include "GPhotoConsoleFixture.h"

#include "component/host/QuorCtrlView.h"
#include "control/DispatchIds.h"
#include "platform/DeviceChange.h"
#include "control/PropertyCodes.h"

#include <QFile>
#include <QImage>

#include <atomic>

#include <sys/stat.h>

namespace quor::standin::test {
namespace {

using GPhotoConsoleStandin = GPhotoConsoleTest;

TEST_F(GPhotoConsoleStandin, ListShowsTheNetworkCameraAndOpenFillsInformationAndLists) {
    QComboBox* cameras = Combo(1014);
    ASSERT_EQ(cameras->count(), 1);
    EXPECT_EQ(cameras->itemText(0), QStringLiteral("Network camera 127.0.0.1:%1").arg(body_->Port()));

    Open();
    EXPECT_EQ(dlg_->GetItemText(1011), QStringLiteral("Canon EOS Stand-in"));
    EXPECT_EQ(dlg_->GetItemText(1012), QStringLiteral("QT0215004711"));
    EXPECT_EQ(dlg_->GetItemText(1013), QStringLiteral("3-1.2.0"));
    EXPECT_EQ(dlg_->GetItemText(1016), QStringLiteral("100%"));
    EXPECT_EQ(comp_->Engine().PropertyValue(quor::prop::AvailableShots), 999);

    // Every list the library offers is filled, in the component's words, with the body's value shown.
    for (int id : {1004, 1006, 1007, 1005, 1008, 1009, 1010, 1015, 1017, 1018}) {
        SCOPED_TRACE(id);
        EXPECT_GT(Combo(id)->count(), 1);
        EXPECT_TRUE(dlg_->IsItemEnabled(id));
    }
    EXPECT_EQ(Combo(1004)->currentText(), QStringLiteral("Manual exposure"));
    EXPECT_EQ(Combo(1006)->currentText(), QStringLiteral("1/125"));
    EXPECT_EQ(Combo(1007)->currentText(), QStringLiteral("F5.6"));
    EXPECT_EQ(Combo(1010)->currentText(), QStringLiteral("Large Fine"));
    EXPECT_EQ(Combo(1018)->currentText(), QStringLiteral("One-Shot AF"));
    EXPECT_GE(Combo(1006)->findText(QStringLiteral("Bulb")), 0);
    EXPECT_GE(Combo(1017)->findText(QStringLiteral("Continuous Shooting")), 0);
    EXPECT_GE(Combo(1018)->findText(QStringLiteral("Manual Focus")), 0);
    EXPECT_GE(Combo(1009)->findText(QStringLiteral("-1/2")), 0);
    // The live-view AF mode has no widget in this libgphoto2: offered, not settable, and said so.
    EXPECT_FALSE(dlg_->IsItemEnabled(1022));
    EXPECT_TRUE(comp_->View()->DebugLines().join('\n').contains(QStringLiteral("live-view AF mode: not settable")));
}

struct ListChoice {
    int combo;
    const char* text;
    std::uint16_t property;
    std::uint32_t wire;
};

TEST_F(GPhotoConsoleStandin, AChoiceInEachListReachesTheBodyAsItsPropertyAndValue) {
    Open();
    // The exposure mode last: leaving Manual changes what the others offer.
    const ListChoice choices[] = {
        {1006, "1/250", prop::kShutterSpeed, 0x78},
        {1007, "F8", prop::kAperture, 0x38},
        {1005, "400", prop::kIso, 0x58},
        {1008, "Spot metering", prop::kMeteringMode, 1},
        {1009, "-1/2", prop::kExposureCompensation, 0xFC},
        {1010, "RAW + Large Fine", prop::kImageFormat, 0x0C03},
        {1015, "Daylight", prop::kWhiteBalance, 1},
        {1017, "Continuous Shooting", prop::kDriveMode, 0x01},
        {1018, "AI Servo AF", prop::kFocusMode, 1},
        {1004, "Aperture-priority AE", prop::kAutoExposureMode, 2},
    };
    for (const ListChoice& c : choices) {
        SCOPED_TRACE(c.text);
        const std::size_t mark = body_->Log().Size();
        ASSERT_TRUE(Choose(c.combo, QString::fromLatin1(c.text)));
        EXPECT_TRUE(BodyGets(c.property, c.wire, mark));
        // The body's confirmation comes back into the list.
        EXPECT_TRUE(WaitUntil([&] { return Combo(c.combo)->currentText() == QLatin1String(c.text); }));
    }
    // Save to: the card, then the computer (the body's RAM).
    std::size_t mark = body_->Log().Size();
    dlg_->CheckItem(1036, true);
    Click(1036);
    if (!dlg_->IsChecked(1036))
        Click(1036);
    EXPECT_TRUE(BodyGets(prop::kCaptureDestination, 1, mark));
    EXPECT_TRUE(WaitUntil([&] { return comp_->Engine().PropertyValue(quor::prop::SaveTo) == quor::prop::SaveToCamera; }));
    mark = body_->Log().Size();
    Click(1036);
    EXPECT_TRUE(BodyGets(prop::kCaptureDestination, 4, mark));
    EXPECT_LT(longestGapMs_, kResponsiveBusyMs);
}

TEST_F(GPhotoConsoleStandin, AShotLandsAsADecodableFileWithProgress) {
    Open();
    Click(1003);
    ASSERT_TRUE(WaitUntil([this] { return Noted(notify::DownloadComplete); }));
    const QString path = QDir(dir_.path()).filePath(QStringLiteral("quortovu.jpg"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(static_cast<std::size_t>(bytes.size()), Options().photoBytes);
    EXPECT_FALSE(QImage::fromData(bytes, "JPG").isNull());
    // The newest under the console's name, the same photo kept under its own; no temporary file left behind.
    const QStringList kept = Kept();
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(Files(), (QStringList{QStringLiteral("quortovu.jpg"), kept[0]}));
    struct stat newest {}, own {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &newest), 0);
    ASSERT_EQ(::stat(QFile::encodeName(QDir(dir_.path()).filePath(kept[0])).constData(), &own), 0);
    EXPECT_EQ(newest.st_ino, own.st_ino) << "one file under two names, not a copy";
    // Start, rising progress ending at 100, complete.
    EXPECT_EQ(dlg_->notes.back(), notify::DownloadComplete);
    ASSERT_GE(dlg_->progress.size(), 2u);
    EXPECT_TRUE(std::is_sorted(dlg_->progress.begin(), dlg_->progress.end()));
    EXPECT_LT(dlg_->progress.front(), 100);
    EXPECT_EQ(dlg_->progress.back(), 100);
    // One full press (the body focuses on its own first) and its release.
    EXPECT_EQ(body_->Log().Count(op::kEosRemoteReleaseOn), 1u);
    EXPECT_EQ(body_->Log().Count(op::kEosRemoteReleaseOff), 1u);
    EXPECT_EQ(body_->HeldShots(), 0u);
    EXPECT_LT(longestGapMs_, kResponsiveBusyMs);
}

TEST_F(GPhotoConsoleStandin, ShotsToTheCardAreFetchedFromItAndStayThere) {
    Open();
    ASSERT_TRUE(SaveToCard());
    ASSERT_TRUE(WaitUntil([&] { return comp_->Engine().PropertyValue(quor::prop::SaveTo) == quor::prop::SaveToCamera; }));
    Click(1003);
    ASSERT_TRUE(WaitUntil([this] { return Noted(notify::DownloadComplete); }));
    ASSERT_EQ(Kept().size(), 1);
    EXPECT_FALSE(QImage(QDir(dir_.path()).filePath(Kept()[0])).isNull());
    // The photo stays on the card and nothing waits in the body's RAM; the copy came through the card's objects.
    EXPECT_EQ(body_->CardFiles(), std::vector<std::string>{"IMG_0001.JPG"});
    EXPECT_EQ(body_->HeldShots(), 0u);
    EXPECT_GE(body_->Log().Count(op::kGetObjectInfo), 1u);
    EXPECT_EQ(body_->Log().Count(op::kEosTransferComplete), 0u);
    EXPECT_LT(longestGapMs_, kResponsiveBusyMs);
}

// Files in `dir` whose names match `pattern`.
QStringList FilesLike(const QString& dir, const QString& pattern) {
    return QDir(dir).entryList({pattern}, QDir::Files, QDir::Name);
}

// RAW + JPEG makes two files of one exposure, which the library names apart (capt0000.cr2, capt0001.jpg) when the
// body holds them in its RAM. Both are kept under one name, the console hears of the shot once, with the JPEG; the
// body's own button is followed into the console's folder, from RAM and from the card.
TEST_F(GPhotoConsoleStandin, BothFilesOfAnExposureShareOneNameAlsoFromTheBodysOwnButton) {
    const QString programDir = QCoreApplication::applicationDirPath();
    const QStringList programFiles = QDir(programDir).entryList(QDir::Files);
    Open();
    std::size_t mark = body_->Log().Size();
    ASSERT_TRUE(Choose(1010, QStringLiteral("RAW + Large Fine")));
    ASSERT_TRUE(BodyGets(prop::kImageFormat, imageformat::kRawAndLargeFineJpeg, mark));
    Click(1003);
    ASSERT_TRUE(WaitUntil([this] { return Noted(notify::DownloadComplete); }));
    ASSERT_TRUE(WaitUntil([this] { return Kept().size() == 2; }));
    const QStringList shot = Kept();
    EXPECT_TRUE(shot[0].endsWith(QStringLiteral(".cr2")) && shot[1].endsWith(QStringLiteral(".jpg"))) << shot.join(' ').toStdString();
    EXPECT_EQ(shot[0].chopped(4), shot[1].chopped(4));
    EXPECT_FALSE(QImage(QDir(dir_.path()).filePath(QStringLiteral("quortovu.jpg"))).isNull()) << "the newest is the JPEG";

    // The body's own button, the files held in its RAM.
    body_->ReleaseOnBody();
    ASSERT_TRUE(WaitUntil([&] { return FilesLike(dir_.path(), QStringLiteral("capt*")).size() == 2; }));
    const QStringList fromRam = FilesLike(dir_.path(), QStringLiteral("capt*"));
    EXPECT_EQ(fromRam[0].chopped(4), fromRam[1].chopped(4)) << fromRam.join(' ').toStdString();
    EXPECT_FALSE(QImage(QDir(dir_.path()).filePath(fromRam[1])).isNull());

    // The body's own button with the card as destination: the body's names, kept on the card too.
    ASSERT_TRUE(SaveToCard());
    body_->ReleaseOnBody();
    ASSERT_TRUE(WaitUntil([&] { return FilesLike(dir_.path(), QStringLiteral("IMG_*")).size() == 2; }));
    EXPECT_EQ(FilesLike(dir_.path(), QStringLiteral("IMG_*")),
              (QStringList{QStringLiteral("IMG_0003_0001.cr2"), QStringLiteral("IMG_0003_0001.jpg")}));
    EXPECT_EQ(body_->CardFiles(), (std::vector<std::string>{"IMG_0003.CR2", "IMG_0003.JPG"}));

    Settle(300);
    EXPECT_EQ(CountNoted(notify::DownloadComplete), 1u) << "photos of the body's own button are not the console's";
    EXPECT_EQ(QDir(programDir).entryList(QDir::Files), programFiles) << "nothing lands beside the program";
    EXPECT_EQ(body_->HeldShots(), 0u);
    EXPECT_LT(longestGapMs_, kResponsiveBusyMs);
}

std::atomic<int> gFrames{0};
void CountFrame(unsigned char*, std::uint32_t width, std::uint32_t height, std::intptr_t context) {
    if (width == 320 && height == 212 && context == 42)
        gFrames.fetch_add(1);
}

TEST_F(GPhotoConsoleStandin, LiveViewFeedsTheCallbackAndTheViewAndTheFocusCodesReachTheLens) {
    Open();
    Click(1020);
    ASSERT_TRUE(WaitUntil([this] { return comp_->Live().Running() && comp_->View()->CurrentFrame() != nullptr; }));
    const component::Frame* frame = comp_->View()->CurrentFrame();
    EXPECT_EQ(frame->width, 320u);
    EXPECT_EQ(frame->height, 212u);
    // The stand-in's frames are not flat: something was decoded into the buffer.
    EXPECT_NE(std::count(frame->bytes.begin(), frame->bytes.end(), frame->bytes[0]),
              static_cast<std::ptrdiff_t>(frame->bytes.size()));

    gFrames = 0;
    const std::array<Variant, 2> callback{Variant::Pointer(reinterpret_cast<std::intptr_t>(&CountFrame)),
                                          Variant::Long(42)};
    comp_->Invoke(dispid::SetFrameCallback, DispatchKind::Method, callback);
    ASSERT_TRUE(WaitUntil([] { return gFrames.load() >= 5; }));
    const auto taken = comp_->View()->Stats().framesTaken;
    ASSERT_TRUE(WaitUntil([&] { return comp_->View()->Stats().framesTaken > taken + 2; }));

    // The shutter held halfway and let go: once each on the body, however often the host repeats the press.
    std::size_t halfMark = body_->Log().Size();
    const std::array<Variant, 1> press{Variant::Long(1)}, release{Variant::Long(0)};
    comp_->Invoke(dispid::PressShutterHalfway, DispatchKind::Method, press);
    comp_->Invoke(dispid::PressShutterHalfway, DispatchKind::Method, press);
    comp_->Invoke(dispid::PressShutterHalfway, DispatchKind::Method, release);
    ASSERT_TRUE(WaitUntil([&] { return body_->Log().Count(op::kEosRemoteReleaseOff, halfMark) >= 1; }));
    auto half = body_->Log().Find(
        [](const OperationRecord& r) { return r.code == op::kEosRemoteReleaseOn || r.code == op::kEosRemoteReleaseOff; },
        halfMark);
    ASSERT_EQ(half.size(), 2u);
    EXPECT_EQ(half[0].code, op::kEosRemoteReleaseOn);
    EXPECT_EQ(half[0].Param(0), 1u);
    EXPECT_EQ(half[1].code, op::kEosRemoteReleaseOff);
    EXPECT_EQ(half[1].Param(0), 1u);

    // <<< << < > >> >>> then autofocus.
    const std::size_t mark = body_->Log().Size();
    ASSERT_TRUE(dlg_->IsItemEnabled(1023));
    for (int id : {1023, 1024, 1025, 1026, 1027, 1028})
        Click(id);
    Click(1051);
    ASSERT_TRUE(WaitUntil([&] { return body_->Log().Count(op::kEosDoAf, mark) >= 1; }));
    std::vector<std::uint32_t> steps;
    for (const auto& r : body_->Log().Find([](const OperationRecord& r) { return r.code == op::kEosDriveLens; }, mark))
        steps.push_back(r.Param(0));
    EXPECT_EQ(steps, (std::vector<std::uint32_t>{3, 2, 1, 0x8001, 0x8002, 0x8003}));
    EXPECT_LT(longestGapMs_, kResponsiveBusyMs);

    // GrabFrame writes the frame shown.
    const QString grab = QDir(dir_.path()).filePath(QStringLiteral("grab.jpg"));
    const std::array<Variant, 1> grabArgs{Variant::String(grab.toStdString())};
    EXPECT_TRUE(comp_->Invoke(dispid::GrabFrame, DispatchKind::Method, grabArgs).IsTrue());
    EXPECT_TRUE(WaitUntil([&] { return !QImage(grab).isNull(); }));

    // Stop: the body's live view is switched off and it sends nothing more. The worker may still be fetching a
    // frame when the stop is queued, so the count is taken once the body has left live view.
    Click(1021);
    EXPECT_FALSE(comp_->Live().Running());
    ASSERT_TRUE(WaitUntil([&] { return !(body_->PropertyValue(prop::kEvfOutputDevice).value_or(0) & kEvfOutputHost); }));
    const auto served = body_->FramesServed();
    Settle(200);
    EXPECT_EQ(body_->FramesServed(), served);
}

TEST_F(GPhotoConsoleStandin, BulbOpensAndClosesAndASeriesNamesFilesWithoutOverwriting) {
    Open();
    // Bulb: the shutter speed first, then open and close.
    std::size_t mark = body_->Log().Size();
    ASSERT_TRUE(Choose(1006, QStringLiteral("Bulb")));
    ASSERT_TRUE(BodyGets(prop::kShutterSpeed, kShutterBulb, mark));
    const QString bulbPath = QDir(dir_.path()).filePath(QStringLiteral("bulb.jpg"));
    const std::array<Variant, 1> bulbArgs{Variant::String(bulbPath.toStdString())};
    ASSERT_TRUE(comp_->Invoke(dispid::StartBulb, DispatchKind::Method, bulbArgs).IsTrue());
    ASSERT_TRUE(WaitUntil([&] { return body_->BulbOpen(); }));
    Settle(100);
    ASSERT_TRUE(comp_->Invoke(dispid::StopBulb, DispatchKind::Method, {}).IsTrue());
    ASSERT_TRUE(WaitUntil([&] { return !body_->BulbOpen() && QFile::exists(bulbPath); }));
    EXPECT_FALSE(QImage(bulbPath).isNull());
    EXPECT_TRUE(WaitUntil([&] { return Noted(notify::DownloadComplete); }));

    // A series into a folder that already holds the first name: nothing is replaced.
    mark = body_->Log().Size();
    ASSERT_TRUE(Choose(1006, QStringLiteral("1/250")));
    ASSERT_TRUE(Choose(1017, QStringLiteral("Continuous Shooting")));
    ASSERT_TRUE(BodyGets(prop::kDriveMode, 0x01, mark));
    ASSERT_TRUE(WaitUntil([&] { return dlg_->IsItemEnabled(1029); }));
    {
        QFile existing(QDir(dir_.path()).filePath(QStringLiteral("quortovu_0001.jpg")));
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write("keep me");
    }
    // Three exposures, then the end of the series. The body's exposures are counted, not the files: where the
    // downloads are slow (a sanitizer on a busy machine) the body goes on shooting meanwhile, and the frames left
    // to fetch after the end stay few however slowly they come.
    const std::uint32_t before = body_->ShotsTaken();
    Click(1029);
    ASSERT_TRUE(WaitUntil([&] { return body_->SeriesRunning(); }));
    ASSERT_TRUE(WaitUntil([&] { return body_->ShotsTaken() >= before + 3; }));
    Click(1029);
    ASSERT_TRUE(WaitUntil([&] { return !body_->SeriesRunning(); }));
    // Every frame the body took is fetched and written, also those it still held when the series ended.
    EXPECT_TRUE(WaitUntil([&] { return body_->HeldShots() == 0 && body_->ShotsInProgress() == 0; }, 20000));
    EXPECT_TRUE(WaitUntil([&] { return static_cast<std::uint32_t>(Kept().size()) == body_->ShotsTaken() - before; },
                          20000));
    QFile kept(QDir(dir_.path()).filePath(QStringLiteral("quortovu_0001.jpg")));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("keep me"));
    // Every exposure of the series is a file of its own, numbered from the first, under the series' start.
    const QStringList series = Kept();
    EXPECT_EQ(static_cast<std::uint32_t>(series.size()), body_->ShotsTaken() - before); // less the bulb shot
    ASSERT_GE(series.size(), 3);
    EXPECT_TRUE(series.first().endsWith(QStringLiteral("_0001.jpg")));
    for (const QString& name : series) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(name.left(25), series.first().left(25));
        EXPECT_FALSE(QImage(QDir(dir_.path()).filePath(name)).isNull());
    }
    EXPECT_EQ(Kept(QStringLiteral("bulb")).size(), 1);
    EXPECT_EQ(body_->HeldShots(), 0u);
    EXPECT_LT(longestGapMs_, kResponsiveBusyMs);
}

TEST_F(GPhotoConsoleStandin, ChangesMadeOnTheBodyReachTheConsole) {
    Open();
    Click(1020);
    ASSERT_TRUE(WaitUntil([this] { return comp_->View()->CurrentFrame() != nullptr; }));
    ASSERT_TRUE(dlg_->IsItemEnabled(1023));
    // The lens switched to MF on the body: the AF mode follows and the focus buttons go.
    body_->SetPropertyOnBody(prop::kFocusMode, kFocusManual);
    ASSERT_TRUE(WaitUntil([this] { return Combo(1018)->currentText() == QStringLiteral("Manual Focus"); }));
    EXPECT_EQ(comp_->Engine().PropertyText(quor::prop::AfMode), "Manual Focus");
    EXPECT_FALSE(dlg_->IsItemEnabled(1023));
    // The body no longer drives the lens, so the component does not ask it to.
    const std::array<Variant, 1> step{Variant::Long(1)};
    EXPECT_FALSE(comp_->Invoke(dispid::DriveLens, DispatchKind::Method, step).IsTrue());
    // A dial turned on the body.
    body_->SetPropertyOnBody(prop::kShutterSpeed, 0x78);
    EXPECT_TRUE(WaitUntil([this] { return Combo(1006)->currentText() == QStringLiteral("1/250"); }));
    EXPECT_LT(longestGapMs_, kResponsiveBusyMs);
}

TEST(GPhotoDetectionStandin, TheListIsKeptOffTheWindowThreadAndNetworkCamerasComeFromTheEnvironment) {
    UseThrowawayHome();
    qputenv(component::CameraEngine::kNetworkCamerasVariable, "127.0.0.1:15999, not a host ,10.1.2.3");
    QWidget parent;
    QElapsedTimer t;
    t.start();
    component::RealCameraSources sources;
    sources.detectUsb = true;
    sources.networkFromEnvironment = true;
    component::QuorCtrlComponent comp(&parent, HostedProperties{}, 1, sources);
    EXPECT_LT(t.elapsed(), 1000); // detection does not hold up the window
    qunsetenv(component::CameraEngine::kNetworkCamerasVariable);
    component::CameraEngine& engine = comp.Engine();
    // Network cameras, then the simulated one (this machine has no USB camera).
    ASSERT_EQ(engine.CameraCount(), 3);
    EXPECT_EQ(engine.CameraName(0), "Network camera 127.0.0.1:15999");
    EXPECT_EQ(engine.CameraName(1), "Network camera 10.1.2.3:15740");
    EXPECT_NE(engine.Camera(2), nullptr);

    auto waitScans = [&](int n) {
        QElapsedTimer w;
        w.start();
        while (engine.ScansDone() < n && w.elapsed() < 20000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            std::this_thread::sleep_for(2ms);
        }
        return engine.ScansDone() >= n;
    };
    ASSERT_TRUE(waitScans(1));
    // A device plugged in or pulled out somewhere: detection runs again.
    DeviceChangeNotifier::Broadcast();
    EXPECT_TRUE(waitScans(2));
    EXPECT_EQ(engine.CameraCount(), 3);
    // The list's own changes (a simulated camera plugged in) start none: each detection costs the library
    // memory it never gives back.
    ASSERT_TRUE(engine.PlugCamera());
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_FALSE(engine.Scanning());
    EXPECT_EQ(engine.ScansDone(), 2);
    ASSERT_TRUE(engine.PullOutCamera(engine.CameraCount() - 1));

    // A camera opened while detection runs: both load drivers, one at a time.
    StandinBody body(Traced({}));
    ASSERT_TRUE(body.Start());
    ASSERT_TRUE(engine.AddNetworkCamera({"127.0.0.1", body.Port()}));
    DeviceChangeNotifier::Broadcast();
    QCoreApplication::processEvents();
    const int index = engine.CameraCount() - 2; // the network camera just added, ahead of the simulated one
    EXPECT_TRUE(engine.Open(index)) << engine.LastOpenError();
    EXPECT_NE(engine.RealCamera(engine.OpenIndex()), nullptr);
    EXPECT_TRUE(waitScans(3));
    engine.Close();
    engine.FinishClosedCameras();
    EXPECT_TRUE(body.WaitUntilReleased(2000ms));
    body.Stop();
}

} // namespace
} // namespace quor::standin::test
