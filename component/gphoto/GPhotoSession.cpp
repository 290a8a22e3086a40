#include "component/gphoto/GPhotoSession.h"

#include "component/liveview/LiveView.h"
#include "component/session/LiveZoom.h"
#include "control/PropertyCodes.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace quor::component {
namespace {

// Where a real camera's frames start out: the buffers are made for this, and a body's frames of another size
// reshape them as they come.
constexpr int kLiveWidth = 960, kLiveHeight = 640;

// The magnifier's coordinates on a body that gives no focus information: a 24-megapixel picture. Only where the
// frame lands depends on it; the body keeps the frame inside its picture.
constexpr gphoto::PictureSize kAssumedZoomSpace{6000, 4000};

// What the user is told when a step needs an action widget (%1) the body lacks.
constexpr const char* kNoSeries =
    QT_TRANSLATE_NOOP("quor::gphoto", "这台相机无法在此连拍：libgphoto2 没有为它提供“%1”");
constexpr const char* kNoBulb =
    QT_TRANSLATE_NOOP("quor::gphoto", "这台相机无法在此打开快门进行 B 门曝光：libgphoto2 没有为它提供“%1”");
constexpr const char* kNoFocusDrive =
    QT_TRANSLATE_NOOP("quor::gphoto", "这台相机无法在此移动对焦：libgphoto2 没有为它提供“%1”");
constexpr const char* kNoAutoFocus =
    QT_TRANSLATE_NOOP("quor::gphoto", "这台相机无法在此对焦：libgphoto2 没有为它提供“%1”");

double Fraction(double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.5; }

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

bool GPhotoSession::WaitOpened(std::string* error, const std::function<void()>& meanwhile) {
    GPhotoCamera::OpenResult result = camera_->WaitOpened(kOpenTimeout, meanwhile);
    if (!result.ok) {
        if (error)
            *error = result.error;
        return false;
    }
    actions_ = std::move(result.actions);
    liveViewSizes_ = std::move(result.liveViewSizes);
    for (const WidgetState& w : result.widgets) {
        if (const gphoto::WidgetBinding* b = gphoto::BindingFor(w.widget))
            bound_[b->code] = w.widget;
        Apply(w, false);
    }
    out_.PostTask([this] { Publish(); });
    return true;
}

bool GPhotoSession::SetPropertyValue(std::int32_t code, std::int32_t value) {
    // Queued: the body's answer comes back through its events and the widget read back after the write.
    const auto widget = bound_.find(code);
    if (widget == bound_.end())
        return false; // not on this body
    if (code == prop::SaveTo) {
        if (value != prop::SaveToCamera && value != prop::SaveToComputer)
            return false;
        camera_->SetWidget(widget->second, value == prop::SaveToCamera ? gphoto::kTargetCard : gphoto::kTargetRam);
        return true;
    }
    const auto it = props_.find(code);
    if (it == props_.end() || !it->second.enabled)
        return false;
    for (const Option& option : it->second.options) {
        if (option.value == value) {
            camera_->SetWidget(widget->second, option.gpText);
            return true;
        }
    }
    return false;
}

bool GPhotoSession::HasAction(const char* name) const {
    return std::find(actions_.begin(), actions_.end(), name) != actions_.end();
}

bool GPhotoSession::Lacks(const char* name, const char* message) {
    if (HasAction(name))
        return false;
    const QString text = QCoreApplication::translate("quor::gphoto", message).arg(QLatin1String(name));
    out_.Tell([&](ISessionEvents& e) { e.Message(text); });
    return true;
}

bool GPhotoSession::Shoot(JobId job, const storage::PhotoRequest& request) {
    camera_->Capture(job, request);
    return true;
}

bool GPhotoSession::StartSeries(JobId job, const storage::PhotoRequest& request) {
    // The body shoots the series by itself while the release is held down; its frames arrive as events.
    if (PropertyText(prop::DriveMode).find("Continuous") == std::string::npos ||
        Lacks(gphoto::kRemoteRelease, kNoSeries))
        return false;
    camera_->StartSeries(job, request);
    return true;
}

bool GPhotoSession::StartBulb() {
    if (Lacks(gphoto::kBulb, kNoBulb))
        return false;
    camera_->StartBulb();
    return true;
}

bool GPhotoSession::StopBulb(JobId job, const storage::PhotoRequest& request) {
    camera_->StopBulb(job, request);
    return true;
}

void GPhotoSession::HalfPress(bool on) {
    // Only an EOS body's release can be held halfway; elsewhere a shot meters and focuses by itself.
    if (HasAction(gphoto::kRemoteRelease))
        camera_->HalfPress(on);
}

bool GPhotoSession::StartLiveView() {
    if (live_)
        return true;
    if (noLiveView_) {
        out_.Tell(
            [](ISessionEvents& e) { e.Message(QCoreApplication::translate("quor::gphoto", "这台相机不提供实时取景")); });
        return false;
    }
    if (!services_.live->Start(kLiveWidth, kLiveHeight, 0))
        return false;
    live_ = true;
    if (!liveViewSize_.empty())
        camera_->SetWidget(gphoto::kLiveViewSize, liveViewSize_);
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
    // The body ends its magnifier with live view; the frame goes back on the AF point when live view starts again.
    zoomFactor_ = 1;
    if (HasAction(gphoto::kZoomPosition))
        PlaceZoomFrame();
}

void GPhotoSession::OnLiveViewRefused() {
    noLiveView_ = true;
    zoomFactor_ = 1;
    if (live_) {
        live_ = false;
        services_.live->Stop();
    }
    out_.Tell([](ISessionEvents& e) {
        e.Message(QCoreApplication::translate("quor::gphoto", "这台相机不提供实时取景"));
        e.Changed();
    });
}

bool GPhotoSession::ManualFocus() const { return PropertyText(prop::AfMode) == "Manual Focus"; }

bool GPhotoSession::DriveFocus(int code) {
    const char* step = gphoto::FocusStepChoice(code);
    // With the lens on MF the body cannot move it.
    if (!step || ManualFocus() || Lacks(gphoto::kManualFocusDrive, kNoFocusDrive))
        return false;
    camera_->DriveFocus(step);
    return true;
}

bool GPhotoSession::AutoFocus() {
    if (ManualFocus() || Lacks(gphoto::kAutofocusDrive, kNoAutoFocus))
        return false;
    camera_->AutoFocus();
    return true;
}

bool GPhotoSession::SetLiveZoom(int factor, QPointF centre) {
    if (!IsZoomFactor(factor) || !HasAction(gphoto::kZoom) || !HasAction(gphoto::kZoomPosition))
        return false;
    zoomFactor_ = factor;
    zoomCentre_ = QPointF(Fraction(centre.x()), Fraction(centre.y()));
    PlaceZoomFrame();
    return true;
}

void GPhotoSession::SetLiveViewSize(const std::string& size) {
    // Asked for as live view starts (the body turns its live view on with it) and at once while it runs; the
    // body's own size comes back with the next live view.
    if (size.empty()) {
        liveViewSize_.clear();
        return;
    }
    if (std::find(liveViewSizes_.begin(), liveViewSizes_.end(), size) == liveViewSizes_.end())
        return;
    liveViewSize_ = size;
    if (live_)
        camera_->SetWidget(gphoto::kLiveViewSize, size); // waits its turn while the body is busy
}

void GPhotoSession::SetAfPoint(QPointF point) {
    // The AF frame of live view is the magnifier frame; a body without one keeps its AF points to itself.
    afPoint_ = QPointF(Fraction(point.x()), Fraction(point.y()));
    if (HasAction(gphoto::kZoomPosition) && zoomFactor_ == 1)
        PlaceZoomFrame();
}

void GPhotoSession::PlaceZoomFrame() {
    const gphoto::PictureSize space = zoomSpace_.value_or(kAssumedZoomSpace);
    const QPointF frame = zoomFactor_ > 1 ? zoomCentre_ : afPoint_;
    camera_->SetLiveZoom(zoomFactor_, gphoto::ZoomFramePosition(frame.x(), frame.y(), space));
}

FocusState GPhotoSession::Focus() const {
    FocusState focus;
    focus.manual = ManualFocus();
    return focus;
}

QStringList GPhotoSession::DebugLines() const {
    QStringList bound;
    for (const auto& [code, widget] : bound_)
        bound << QString::fromStdString(widget);
    QStringList actions, missing;
    for (const char* action : gphoto::ActionWidgets())
        (HasAction(action) ? actions : missing) << QLatin1String(action);
    const QString comma = QStringLiteral(", ");
    const QString have = actions.isEmpty() ? QCoreApplication::translate("quor::gphoto", "无") : actions.join(comma);
    const QString actionLine =
        missing.isEmpty()
            ? QCoreApplication::translate("quor::gphoto", "操作：%1").arg(have)
            : QCoreApplication::translate("quor::gphoto", "操作：%1；缺少 %2").arg(have, missing.join(comma));
    QStringList lines{QCoreApplication::translate("quor::gphoto", "机身上的控件：%1").arg(bound.join(comma)),
                      actionLine};
    if (!bound_.count(prop::LiveViewAfMode) && HasAction(gphoto::kRemoteRelease))
        lines << QCoreApplication::translate("quor::gphoto",
                                             "实时取景对焦模式：无法设置（此版本 libgphoto2 没有对应的控件）");
    if (HasAction(gphoto::kZoomPosition)) {
        const gphoto::PictureSize space = zoomSpace_.value_or(kAssumedZoomSpace);
        const QString basis = zoomSpace_ ? QCoreApplication::translate("quor::gphoto", "依据机身的对焦信息")
                                         : QCoreApplication::translate("quor::gphoto", "假定值：机身未提供对焦信息");
        lines << QCoreApplication::translate("quor::gphoto", "放大框按 %1x%2 定位（%3）")
                     .arg(space.width)
                     .arg(space.height)
                     .arg(basis);
    }
    return lines;
}

} // namespace quor::component
