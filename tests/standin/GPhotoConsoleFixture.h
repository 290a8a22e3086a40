// The console with the real component driving the stand-in body through libgphoto2 on 127.0.0.1: the whole way
// from the console's widgets to the body's operation log. A timer on the window's thread measures how long the
// window ever went without running its event loop.
#pragma once

#include "StandinFixture.h"
#include "tests/support/EventLoop.h"

#include "component/host/QuorCtrlComponent.h"
#include "console/CameraConsoleDlg.h"
#include "control/NotifyNames.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quor::standin::test {

// The console, recording the download events it is told about.
class RecordingConsole : public CCameraConsoleDlg {
public:
    using CCameraConsoleDlg::CCameraConsoleDlg;
    std::vector<std::string> notes;
    std::vector<int> progress;

protected:
    void OnShutDown() override {
        notes.push_back(notify::ShutDown);
        CCameraConsoleDlg::OnShutDown();
    }
    void OnOpenSucceed() override {
        notes.push_back(notify::OpenSucceed);
        CCameraConsoleDlg::OnOpenSucceed();
    }
    void OnDownloadStart() override {
        notes.push_back(notify::DownloadStart);
        CCameraConsoleDlg::OnDownloadStart();
    }
    void OnProgressReport(std::int32_t percent) override {
        progress.push_back(percent);
        CCameraConsoleDlg::OnProgressReport(percent);
    }
    void OnDownloadComplete() override {
        notes.push_back(notify::DownloadComplete);
        CCameraConsoleDlg::OnDownloadComplete();
    }
};

class GPhotoConsoleTest : public ::testing::Test {
protected:
    virtual StandinOptions Options() {
        StandinOptions o;
        o.photoBytes = 1536 * 1024 + 77; // two partial transfers
        o.frameWidth = 320;
        o.frameHeight = 212;
        o.seriesInterval = 60ms;
        return o;
    }

    void SetUp() override {
        UseThrowawayHome();
        body_ = std::make_unique<StandinBody>(Traced(Options()));
        std::string error;
        ASSERT_TRUE(body_->Start(&error)) << error;
        ASSERT_TRUE(dir_.isValid());
        const component::gphoto::NetworkCamera address{"127.0.0.1", body_->Port()};
        dlg_ = std::make_unique<RecordingConsole>(
            dir_.path().toStdString(), [this, address](QWidget* parent, const HostedProperties& props) {
                component::RealCameraSources real;
                real.network.push_back(address);
                auto c = std::make_unique<component::QuorCtrlComponent>(parent, props, 0, real);
                component::GPhotoCamera::Timing timing;
                timing.idlePoll = 15ms;
                c->Engine().SetRealCameraTiming(timing);
                comp_ = c.get();
                return c;
            });
        ticker_.setInterval(5);
        QObject::connect(&ticker_, &QTimer::timeout, [this] {
            if (sinceTick_.isValid())
                longestGapMs_ = std::max<qint64>(longestGapMs_, sinceTick_.elapsed());
            sinceTick_.restart();
        });
        ticker_.start();
    }

    void TearDown() override {
        ticker_.stop();
        dlg_.reset();
        body_->Stop();
    }

    // Runs the window's event loop until `done` or `ms` pass; whether it was done.
    bool WaitUntil(const std::function<bool()>& done, int ms = kWaitMs) { return quor::test::WaitUntil(done, ms); }
    void Settle(int ms) { quor::test::Settle(ms); }

    void Click(int id) {
        auto* button = qobject_cast<QAbstractButton*>(dlg_->GetDlgItem(id));
        ASSERT_NE(button, nullptr) << id;
        button->click();
    }
    QComboBox* Combo(int id) { return qobject_cast<QComboBox*>(dlg_->GetDlgItem(id)); }
    // Picks the item with `text` in combo `id` as the user would.
    bool Choose(int id, const QString& text) {
        QComboBox* combo = Combo(id);
        const int index = combo ? combo->findText(text) : -1;
        if (index < 0)
            return false;
        combo->setCurrentIndex(index);
        emit combo->activated(index);
        return true;
    }
    bool Noted(const char* name) const {
        return std::find(dlg_->notes.begin(), dlg_->notes.end(), name) != dlg_->notes.end();
    }
    std::size_t CountNoted(const char* name) const {
        return static_cast<std::size_t>(std::count(dlg_->notes.begin(), dlg_->notes.end(), name));
    }

    // Opens the first camera of the list with the console's button and waits for the information fields.
    void Open() {
        ASSERT_GE(Combo(1014)->count(), 1);
        Combo(1014)->setCurrentIndex(0);
        Click(1001);
        ASSERT_EQ(dlg_->State().cameraOpen, 1);
        ASSERT_TRUE(WaitUntil([this] { return Noted(notify::OpenSucceed); }));
        longestGapMs_ = 0; // opening is the one wait the window makes
    }

    // SetDevicePropValueEx records for `code` from log position `from` on.
    std::vector<PropWrite> WritesOf(std::uint16_t code, std::size_t from = 0) const {
        return PropertyWrites(*body_, code, from);
    }
    // Waits until the body took a write of `value` to `code` (refused attempts do not count).
    bool BodyGets(std::uint16_t code, std::uint32_t value, std::size_t from) {
        return WaitUntil([&] {
            auto w = PropertyWrites(*body_, code, from, true);
            return !w.empty() && w.back().value == value;
        });
    }
    // Ticks the console's save-to-card box and waits until the body keeps its shots on its card.
    bool SaveToCard() {
        const std::size_t mark = body_->Log().Size();
        Click(1036);
        if (!dlg_->IsChecked(1036))
            Click(1036);
        return BodyGets(prop::kCaptureDestination, kDestinationCard, mark);
    }
    // Files in the console's folder, by name.
    QStringList Files() const { return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    // The photos kept under names of their own: <stem>_<date>-<time>_<number>.<suffix>.
    QStringList Kept(const QString& stem = QStringLiteral("quortovu")) const {
        const QRegularExpression kept(QStringLiteral("^%1_\\d{8}-\\d{6}_\\d{4}\\.[a-z0-9]+$").arg(stem));
        return Files().filter(kept);
    }

    Watchdog watchdog_{90s};
    std::unique_ptr<StandinBody> body_;
    QTemporaryDir dir_;
    std::unique_ptr<RecordingConsole> dlg_;
    component::QuorCtrlComponent* comp_ = nullptr;
    QTimer ticker_;
    QElapsedTimer sinceTick_;
    qint64 longestGapMs_ = 0;
    // Longest the window's thread may go without running its timer. A frozen window stalls for seconds; under a
    // sanitizer on a busy machine, ordinary work already takes a few hundred milliseconds.
// The same while the console itself is busy with the camera's information (opening, settings, shots).
// kWaitMs: how long a step may take to show its effect; a photo through libgphoto2 and the filer runs about ten
// times slower under ThreadSanitizer, and slower again on a busy machine.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    static constexpr qint64 kResponsiveMs = 1500;
    static constexpr qint64 kResponsiveBusyMs = 2000;
    static constexpr int kWaitMs = 15000;
#else
    static constexpr qint64 kResponsiveMs = 300;
    static constexpr qint64 kResponsiveBusyMs = 500;
    static constexpr int kWaitMs = 5000;
#endif
};

} // namespace quor::standin::test
