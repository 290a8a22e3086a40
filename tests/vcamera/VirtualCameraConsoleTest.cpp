// The console on libgphoto2's own virtual USB camera (a Nikon D750 that serves the JPEGs of $VCAMERADIR),
// through the real component and an unmodified libgphoto2 built with it: USB detection lists the body, the
// console opens it, fills the lists the body has and no others, sets the aperture, and a shot arrives on disk
// byte for byte as the body sent it. The body has none of the Canon EOS widgets, so every step goes the generic
// way.
#include "tests/support/EventLoop.h"

#include "component/host/QuorCtrlComponent.h"
#include "component/host/QuorCtrlView.h"
#include "console/CameraConsoleDlg.h"
#include "control/DispatchIds.h"
#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"

#include <gphoto2/gphoto2.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <array>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace quor::vcamera::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class RecordingConsole : public CCameraConsoleDlg {
public:
    using CCameraConsoleDlg::CCameraConsoleDlg;
    std::vector<std::string> notes;

protected:
    void OnOpenSucceed() override {
        notes.push_back(notify::OpenSucceed);
        CCameraConsoleDlg::OnOpenSucceed();
    }
    void OnDownloadComplete() override {
        notes.push_back(notify::DownloadComplete);
        CCameraConsoleDlg::OnDownloadComplete();
    }
};

// The one folder below `parent` (libgphoto2 keeps its drivers in a folder named after its version).
std::string OnlyFolderIn(const fs::path& parent) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(parent, ec))
        if (entry.is_directory())
            return entry.path().string();
    return {};
}

// Whether a module from `folder` is mapped into this process.
bool Mapped(const std::string& folder) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find(folder + "/") != std::string::npos)
            return true;
    return false;
}

QStringList Items(QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

class VirtualCamera : public ::testing::Test {
protected:
    void SetUp() override {
        const char* prefix = std::getenv("QUOR_VCAMERA_PREFIX");
        ASSERT_TRUE(prefix && fs::exists(fs::path(prefix) / "lib"))
            << "libgphoto2 with its virtual camera is missing (" << (prefix ? prefix : "QUOR_VCAMERA_PREFIX unset")
            << "): build it with tests/vcamera/build_vcamera_libgphoto2.sh (scripts/test.sh does)";
        // The library in use must be the private build, not the system's: LD_LIBRARY_PATH put it first.
        Dl_info where{};
        ASSERT_NE(::dladdr(reinterpret_cast<void*>(&gp_camera_new), &where), 0);
        ASSERT_EQ(std::string(where.dli_fname).rfind(std::string(prefix) + "/lib/", 0), 0u)
            << "libgphoto2 was loaded from " << where.dli_fname << ", not from " << prefix
            << "/lib: run the test through CTest (it sets LD_LIBRARY_PATH)";
        // Its own drivers only, named the way libgphoto2 itself reads them.
        camlibs_ = OnlyFolderIn(fs::path(prefix) / "lib" / "libgphoto2");
        iolibs_ = OnlyFolderIn(fs::path(prefix) / "lib" / "libgphoto2_port");
        ASSERT_TRUE(fs::exists(fs::path(iolibs_) / "vusb.so")) << iolibs_;
        ::setenv("CAMLIBS", camlibs_.c_str(), 1);
        ::setenv("IOLIBS", iolibs_.c_str(), 1);

        // libgphoto2 keeps settings under $HOME/.gphoto; the body serves the photos in its folder's DCIM.
        ASSERT_TRUE(home_.isValid() && body_.isValid() && dir_.isValid());
        ::setenv("HOME", QFile::encodeName(home_.path()).constData(), 1);
        ::setenv("VCAMERADIR", QFile::encodeName(body_.path()).constData(), 1);
        ASSERT_TRUE(QDir(body_.path()).mkpath(QStringLiteral("DCIM/100NIKON")));
        QImage photo(640, 480, QImage::Format_RGB32);
        photo.fill(QColor(30, 160, 220));
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x)
                photo.setPixelColor(x, y, QColor(230, 40, 30));
        const QString photoPath = QDir(body_.path()).filePath(QStringLiteral("DCIM/100NIKON/DSC_0001.JPG"));
        ASSERT_TRUE(photo.save(photoPath, "JPG", 90));
        QFile source(photoPath);
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        photoBytes_ = source.readAll();

        dlg_ = std::make_unique<RecordingConsole>(
            dir_.path().toStdString(), [this](QWidget* parent, const HostedProperties& props) {
                component::RealCameraSources real;
                real.detectUsb = true;
                auto c = std::make_unique<component::QuorCtrlComponent>(parent, props, 0, real);
                component::GPhotoCamera::Timing timing;
                timing.idlePoll = 15ms;
                c->Engine().SetRealCameraTiming(timing);
                comp_ = c.get();
                return c;
            });
    }

    void TearDown() override {
        dlg_.reset();
        // Not one of the system's drivers came in beside the private library's.
        EXPECT_FALSE(Mapped(QUOR_GPHOTO2_CAMLIBS));
        EXPECT_FALSE(Mapped(QUOR_GPHOTO2_IOLIBS));
    }

    bool WaitUntil(const std::function<bool()>& done, int ms = 10000) { return quor::test::WaitUntil(done, ms); }
    QComboBox* Combo(int id) { return qobject_cast<QComboBox*>(dlg_->GetDlgItem(id)); }
    void Click(int id) {
        auto* button = qobject_cast<QAbstractButton*>(dlg_->GetDlgItem(id));
        ASSERT_NE(button, nullptr) << id;
        button->click();
    }
    bool Noted(const char* name) const {
        return std::find(dlg_->notes.begin(), dlg_->notes.end(), name) != dlg_->notes.end();
    }
    QString DebugText() const { return comp_->View()->DebugLines().join('\n'); }

    std::string camlibs_, iolibs_;
    QTemporaryDir home_, body_, dir_;
    QByteArray photoBytes_;
    std::unique_ptr<RecordingConsole> dlg_;
    component::QuorCtrlComponent* comp_ = nullptr;
};

TEST_F(VirtualCamera, ConsoleFindsOpensSetsAndShootsTheVirtualBody) {
    // USB detection finds the body; nothing else is listed (no simulated cameras).
    ASSERT_TRUE(WaitUntil([this] { return Combo(1014)->count() == 1; }));
    EXPECT_EQ(Combo(1014)->itemText(0), QStringLiteral("Nikon DSC D750"));
    Click(1001);
    ASSERT_EQ(dlg_->State().cameraOpen, 1) << comp_->Engine().LastOpenError();
    ASSERT_TRUE(WaitUntil([this] { return Noted(notify::OpenSucceed); }));

    // The information fields come from the generic widgets (the body has no eosserialnumber).
    EXPECT_EQ(dlg_->GetItemText(1011), QStringLiteral("VC"));
    EXPECT_EQ(dlg_->GetItemText(1012), QStringLiteral("0.1"));
    EXPECT_EQ(dlg_->GetItemText(1013), QStringLiteral("2.5.11"));
    EXPECT_EQ(dlg_->GetItemText(1016), QStringLiteral("50%"));

    // The lists the body has, in the component's words: f-number, exposure time, exposure bias.
    const QStringList apertures = Items(Combo(1007));
    ASSERT_EQ(apertures.size(), 18) << apertures.join(' ').toStdString();
    EXPECT_EQ(apertures.front(), QStringLiteral("F2.8"));
    EXPECT_EQ(apertures.back(), QStringLiteral("F22"));
    EXPECT_EQ(Combo(1007)->currentText(), QStringLiteral("F2.8"));
    EXPECT_TRUE(dlg_->IsItemEnabled(1007));
    EXPECT_EQ(Items(Combo(1006)), (QStringList{QStringLiteral("1\""), "1/10", "1/20", "1/50", "1/100", "1/200",
                                               "1/400", "1/800", "1/10000"}));
    EXPECT_EQ(Combo(1006)->currentText(), QStringLiteral("1/100"));
    const QStringList compensation = Items(Combo(1009));
    ASSERT_EQ(compensation.size(), 13);
    EXPECT_EQ(compensation.front(), QStringLiteral("-3"));
    EXPECT_TRUE(compensation.contains(QStringLiteral("-1/2")));
    EXPECT_TRUE(compensation.contains(QStringLiteral("+2 1/2")));
    EXPECT_EQ(Combo(1009)->currentText(), QStringLiteral("0"));
    // Nothing is offered for what the body lacks: no stale Canon EOS lists.
    for (int id : {1004, 1005, 1008, 1010, 1015, 1017, 1018, 1022}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(Combo(id)->count(), 0) << Items(Combo(id)).join(',').toStdString();
    }
    const QString debug = DebugText();
    EXPECT_TRUE(debug.contains(QStringLiteral("widgets on this body: ")));
    for (const char* widget : {"f-number", "shutterspeed", "exposurecompensation", "serialnumber", "capturetarget"})
        EXPECT_TRUE(debug.contains(QLatin1String(widget))) << widget << "\n" << debug.toStdString();
    EXPECT_TRUE(debug.contains(QStringLiteral("lacks eosremoterelease, viewfinder, manualfocusdrive, autofocusdrive")))
        << debug.toStdString();
    EXPECT_FALSE(debug.contains(QStringLiteral("live-view AF mode")));

    // A choice reaches the body through the generic widget, and the body's answer comes back into the list.
    const int f56 = Combo(1007)->findText(QStringLiteral("F5.6"));
    ASSERT_GE(f56, 0);
    Combo(1007)->setCurrentIndex(f56);
    emit Combo(1007)->activated(f56);
    ASSERT_TRUE(WaitUntil([this] { return comp_->Engine().PropertyText(quor::prop::Aperture) == "F5.6"; }));
    EXPECT_EQ(Combo(1007)->currentText(), QStringLiteral("F5.6"));

    // A shot: the generic capture, downloaded into the console's folder as the body sent it.
    Click(1003);
    ASSERT_TRUE(WaitUntil([this] { return Noted(notify::DownloadComplete); }))
        << comp_->View()->Message().toStdString();
    QFile shot(QDir(dir_.path()).filePath(QStringLiteral("quortovu.jpg")));
    ASSERT_TRUE(shot.open(QIODevice::ReadOnly));
    const QByteArray bytes = shot.readAll();
    EXPECT_EQ(bytes, photoBytes_);
    const QImage decoded = QImage::fromData(bytes, "JPG");
    ASSERT_EQ(decoded.size(), QSize(640, 480));
    EXPECT_GT(QColor(decoded.pixel(100, 100)).red(), 180);
    EXPECT_GT(QColor(decoded.pixel(500, 400)).blue(), 180);

    // No lens drive without the EOS widget: refused at once, and the user is told why.
    const std::array<Variant, 1> step{Variant::Long(1)};
    EXPECT_FALSE(comp_->Invoke(dispid::DriveLens, DispatchKind::Method, step).IsTrue());
    EXPECT_TRUE(comp_->View()->Message().contains(QStringLiteral("manualfocusdrive")));
    // The body has no live view: asked once, it says so, and the component stops asking.
    EXPECT_TRUE(comp_->Invoke(dispid::StartLiveView, DispatchKind::Method, {}).IsTrue());
    ASSERT_TRUE(WaitUntil([this] { return comp_->View()->Message().contains(QStringLiteral("no live view")); }));
    EXPECT_FALSE(comp_->Live().Running());
    comp_->Invoke(dispid::StopLiveView, DispatchKind::Method, {});
    EXPECT_FALSE(comp_->Invoke(dispid::StartLiveView, DispatchKind::Method, {}).IsTrue());
    // The camera still answers after all that.
    Click(1003);
    ASSERT_TRUE(WaitUntil([this] {
        return std::count(dlg_->notes.begin(), dlg_->notes.end(), std::string(notify::DownloadComplete)) == 2;
    }));
    // Each shot once under a name of its own, the newest under the console's name; nothing else came down.
    const QStringList files = QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    ASSERT_EQ(files.size(), 3) << files.join(' ').toStdString();
    EXPECT_EQ(files.filter(QRegularExpression(QStringLiteral("^quortovu_\\d{8}-\\d{6}_\\d{4}\\.jpg$"))).size(), 2);
}

} // namespace
} // namespace quor::vcamera::test
