// What every camera session owes its host, checked once against both kinds: the simulated camera, and a real one
// driven through libgphoto2 on the stand-in body. Properties are published after the open has returned and end
// with "OpenSucceed"; an offered value is taken and reported back, one not offered is refused; a shot downloads to
// a decodable file with its reports in order; live view streams into the pipeline; and once the session has
// ended, nothing it still had on its way reaches the host.
#include "StandinFixture.h"
#include "tests/support/EventLoop.h"

#include "component/gphoto/GPhotoSession.h"
#include "component/liveview/LiveView.h"
#include "component/session/SessionOutlet.h"
#include "component/sim/Simulator.h"
#include "component/storage/PhotoFiler.h"
#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QTemporaryDir>

#include <map>
#include <string>
#include <vector>

namespace quor::standin::test {
namespace {

using namespace quor::component;

struct Option {
    std::string text;
    std::int32_t value;
    bool enable;
};

// The host's side: records every report, in order.
struct Host : ISessionEvents {
    void OptionAdded(std::int32_t code, std::string_view text, std::int32_t value, bool enable) override {
        options[code].push_back(Option{std::string(text), value, enable});
        log.push_back("option");
    }
    void ValueChanged(std::int32_t code, std::string_view text) override {
        values[code] = std::string(text);
        log.push_back("value");
    }
    void Notify(const char* name, Variant) override { log.push_back(name); }
    void Changed() override {}
    void Lost(const QString& reason) override { log.push_back("lost: " + reason.toStdString()); }
    void Message(const QString& text) override { log.push_back("message: " + text.toStdString()); }
    void DownloadStart(JobId job) override { transfers.push_back("start " + std::to_string(job)); }
    void DownloadProgress(JobId job, int percent) override {
        transfers.push_back("progress " + std::to_string(job) + " " + std::to_string(percent));
    }
    void DownloadComplete(JobId job, const QString& path, const QImage&) override {
        transfers.push_back("complete " + std::to_string(job));
        saved[job] = path;
    }
    void CaptureFailed(JobId job, const QString& reason) override {
        transfers.push_back("failed " + std::to_string(job) + " " + reason.toStdString());
    }

    std::map<std::int32_t, std::vector<Option>> options;
    std::map<std::int32_t, std::string> values;
    std::vector<std::string> log, transfers;
    std::map<JobId, QString> saved;
};

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr int kSlowdown = 6;
#else
constexpr int kSlowdown = 1;
#endif

enum class Kind { Simulated, Real };
void PrintTo(Kind kind, std::ostream* os) { *os << (kind == Kind::Simulated ? "simulated" : "real"); }

class SessionContract : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        UseThrowawayHome();
        ASSERT_TRUE(folder_.isValid());
        outlet_ = gate_.Open();
        if (GetParam() == Kind::Simulated) {
            session_ = sim_.Open(0, outlet_, services_);
            return;
        }
        StandinOptions options;
        options.photoBytes = 300 * 1024;
        options.frameWidth = 320;
        options.frameHeight = 212;
        body_ = std::make_unique<StandinBody>(Traced(options));
        ASSERT_TRUE(body_->Start());
        const component::gphoto::NetworkCamera address{"127.0.0.1", body_->Port()};
        GPhotoCamera::Timing timing;
        timing.idlePoll = 15ms;
        auto real = std::make_unique<GPhotoSession>(
            RealCameraInfo{address.DisplayName(), "PTP/IP Camera", address.PortPath(), true}, outlet_, services_, timing);
        std::string error;
        ASSERT_TRUE(real->WaitOpened(&error)) << error;
        session_ = std::move(real);
    }
    void TearDown() override {
        gate_.Close();
        if (session_)
            session_->End();
        session_.reset();
        if (body_)
            body_->Stop();
    }

    bool WaitUntil(const std::function<bool()>& done, int ms = 10000) {
        return quor::test::WaitUntil(done, ms * kSlowdown);
    }
    bool Has(const std::vector<std::string>& list, const std::string& entry) const {
        return std::find(list.begin(), list.end(), entry) != list.end();
    }

    Watchdog watchdog_{90s};
    QObject context_;
    Host host_;
    SessionGate gate_{&host_, [this](std::function<void()> task) {
                          QMetaObject::invokeMethod(&context_, std::move(task), Qt::QueuedConnection);
                      }};
    QTemporaryDir folder_;
    storage::PhotoFiler filer_{folder_.filePath(QStringLiteral("fallback"))};
    LiveView live_;
    SessionServices services_{&live_, &filer_};
    Simulator sim_{1, &filer_};
    std::unique_ptr<StandinBody> body_;
    SessionOutlet outlet_;
    std::unique_ptr<ICameraSession> session_;
};

TEST_P(SessionContract, PublishesSetsShootsStreamsAndFallsSilentOnceEnded) {
    ASSERT_NE(session_, nullptr);
    // Published once the open has returned: nothing yet, then every list, every value, and "OpenSucceed" last.
    EXPECT_TRUE(host_.log.empty());
    ASSERT_TRUE(WaitUntil([&] { return Has(host_.log, notify::OpenSucceed); }));
    EXPECT_EQ(host_.log.back(), notify::OpenSucceed);
    for (std::int32_t code : quor::prop::kListCodes)
        EXPECT_FALSE(host_.options[code].empty()) << "property " << code;
    EXPECT_FALSE(session_->PropertyText(quor::prop::ModelName).empty());
    EXPECT_GT(session_->AvailableShots(), 0);

    // An offered image quality is taken and comes back; a value nobody offered is refused. The last JPEG quality
    // on offer is the smallest: the shot below stays quick under a sanitizer too.
    const std::vector<Option>& qualities = host_.options[quor::prop::ImageQuality];
    const auto other = std::find_if(qualities.rbegin(), qualities.rend(), [&](const Option& o) {
        return o.enable && o.text != host_.values[quor::prop::ImageQuality] && o.text.find("RAW") == std::string::npos;
    });
    ASSERT_NE(other, qualities.rend());
    ASSERT_TRUE(session_->SetPropertyValue(quor::prop::ImageQuality, other->value));
    EXPECT_TRUE(WaitUntil([&] { return host_.values[quor::prop::ImageQuality] == other->text; })) << other->text;
    EXPECT_FALSE(session_->SetPropertyValue(quor::prop::ImageQuality, 0x7fff1234));

    // A shot: start, rising progress, then complete with a photo under the host's name.
    const QString path = QDir(folder_.path()).filePath(QStringLiteral("quortovu.jpg"));
    const storage::PhotoRequest newest{storage::PhotoRequest::Naming::Newest, path, {}, {}};
    ASSERT_TRUE(session_->Shoot(7, newest));
    ASSERT_TRUE(WaitUntil([&] { return host_.saved.count(7) == 1; })) << ::testing::PrintToString(host_.transfers);
    EXPECT_EQ(host_.transfers.front(), "start 7");
    EXPECT_EQ(host_.transfers.back(), "complete 7");
    EXPECT_EQ(host_.saved[7], path);
    EXPECT_FALSE(QImage(path).isNull());

    // Live view streams into the pipeline until stopped.
    ASSERT_TRUE(session_->StartLiveView());
    EXPECT_TRUE(session_->LiveViewRunning());
    ASSERT_TRUE(WaitUntil([&] { return live_.Pool().Published() >= 3; }));
    session_->StopLiveView();
    EXPECT_FALSE(session_->LiveViewRunning());
    EXPECT_FALSE(live_.Running());

    // Ended while a shot is on its way: the host hears nothing more of it.
    ASSERT_TRUE(session_->Shoot(8, newest));
    const std::size_t heard = host_.transfers.size();
    gate_.Close();
    session_->End();
    ASSERT_TRUE(WaitUntil([&] { return session_->Finished(); }));
    quor::test::Settle(300);
    EXPECT_EQ(host_.transfers.size(), heard) << ::testing::PrintToString(host_.transfers);
    EXPECT_FALSE(std::any_of(host_.log.begin(), host_.log.end(), [](const std::string& s) { return s.rfind("lost", 0) == 0; }));
}

INSTANTIATE_TEST_SUITE_P(BothCameras, SessionContract, ::testing::Values(Kind::Simulated, Kind::Real),
                         [](const ::testing::TestParamInfo<Kind>& info) {
                             return info.param == Kind::Simulated ? std::string("Simulated") : std::string("Real");
                         });

} // namespace
} // namespace quor::standin::test
