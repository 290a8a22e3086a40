#include "component/gphoto/GPhotoSession.h"

#include "component/gphoto/GPhotoVocabulary.h"
#include "component/liveview/LiveView.h"
#include "control/PropertyCodes.h"

#include <QCoreApplication>

namespace quor::component {
namespace {

// Where a real camera's frames start out: the buffers are made for this, and a body's frames of another size
// reshape them as they come.
constexpr int kLiveWidth = 960, kLiveHeight = 640;

} // namespace

GPhotoSession::GPhotoSession(const RealCameraInfo& info, SessionOutlet outlet, const SessionServices& services,
                             const GPhotoCamera::Timing& timing)
    : out_(std::move(outlet)), services_(services), name_(info.name), saveTo_(prop::SaveToComputer) {
    GPhotoCamera::Links links;
    links.events = static_cast<IGPhotoEvents*>(this);
    links.outlet = out_;
    links.live = services.live;
    links.filer = services.filer;
    camera_ = std::make_unique<GPhotoCamera>(info, std::move(links), timing);
    // Photos taken with the body's own button land beside the program, whoever has control: nothing the body
    // delivers is thrown away.
    camera_->SetOwnShotFolder(QCoreApplication::applicationDirPath());
}

GPhotoSession::~GPhotoSession() {
    if (live_)
        services_.live->Stop();
    camera_.reset(); // joins the worker
}

bool GPhotoSession::WaitOpened(std::string* error) {
    GPhotoCamera::OpenResult result = camera_->WaitOpened(kOpenTimeout);
    if (!result.ok) {
        if (error)
            *error = result.error;
        return false;
    }
    for (const WidgetState& w : result.widgets)
        Apply(w, false);
    out_.PostTask([this] { Publish(); });
    return true;
}

bool GPhotoSession::SetPropertyValue(std::int32_t code, std::int32_t value) {
    // Queued: the body's answer comes back through its events and the widget read back after the write.
    if (code == prop::SaveTo) {
        if (value != prop::SaveToCamera && value != prop::SaveToComputer)
            return false;
        camera_->SetWidget(gphoto::kCaptureTarget, value == prop::SaveToCamera ? gphoto::kTargetCard : gphoto::kTargetRam);
        return true;
    }
    const auto it = props_.find(code);
    const char* widget = gphoto::WidgetFor(code);
    if (it == props_.end() || !it->second.enabled || !widget)
        return false;
    for (const Option& option : it->second.options) {
        if (option.value == value) {
            camera_->SetWidget(widget, option.gpText);
            return true;
        }
    }
    return false;
}

bool GPhotoSession::Shoot(JobId job, const storage::PhotoRequest& request) {
    camera_->Capture(job, request);
    return true;
}

bool GPhotoSession::StartSeries(JobId job, const storage::PhotoRequest& request) {
    // The body shoots the series by itself while the release is held down; its frames arrive as events.
    if (PropertyText(prop::DriveMode).find("Continuous") == std::string::npos)
        return false;
    camera_->StartSeries(job, request);
    return true;
}

bool GPhotoSession::StartBulb() {
    camera_->StartBulb();
    return true;
}

bool GPhotoSession::StopBulb(JobId job, const storage::PhotoRequest& request) {
    camera_->StopBulb(job, request);
    return true;
}

bool GPhotoSession::StartLiveView() {
    if (live_)
        return true;
    if (!services_.live->Start(kLiveWidth, kLiveHeight, 0))
        return false;
    live_ = true;
    camera_->StartLiveView();
    return true;
}

void GPhotoSession::StopLiveView() {
    if (!live_)
        return;
    live_ = false;
    // The pipeline refuses frames first, then the camera stops sending them.
    services_.live->Stop();
    camera_->StopLiveView();
}

bool GPhotoSession::ManualFocus() const { return PropertyText(prop::AfMode) == "Manual Focus"; }

bool GPhotoSession::DriveFocus(int code) {
    const char* step = gphoto::FocusStepChoice(code);
    // With the lens on MF the body cannot move it.
    if (!step || ManualFocus())
        return false;
    camera_->DriveFocus(step);
    return true;
}

bool GPhotoSession::AutoFocus() {
    if (ManualFocus())
        return false;
    camera_->AutoFocus();
    return true;
}

FocusState GPhotoSession::Focus() const {
    FocusState focus;
    focus.manual = ManualFocus();
    return focus;
}

QStringList GPhotoSession::DebugLines() const {
    return {QStringLiteral("live-view AF mode: not settable (this libgphoto2 has no widget for it)")};
}

} // namespace quor::component
