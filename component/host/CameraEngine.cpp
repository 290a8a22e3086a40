#include "component/host/CameraEngine.h"

#include "component/gphoto/GPhotoSession.h"
#include "component/session/Messages.h"
#include "control/NotifyNames.h"
#include "platform/DeviceChange.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QtGlobal>

#include <algorithm>
#include <optional>
#include <thread>
#include <utility>

namespace quor::component {

int CameraEngine::CameraCountFromEnvironment() {
    if (!qEnvironmentVariableIsSet(kCameraCountVariable))
        return kDefaultCameras;
    const QByteArray raw = qgetenv(kCameraCountVariable);
    bool ok = false;
    const int n = raw.trimmed().toInt(&ok);
    if (!ok || n < 0 || n > kMaxCameras) {
        PrintToStderr(tr("%1=\"%2\" 不是 0 到 %3 之间的数字；模拟 %4 台相机")
                          .arg(QLatin1String(kCameraCountVariable), QString::fromLocal8Bit(raw))
                          .arg(kMaxCameras)
                          .arg(kDefaultCameras));
        return kDefaultCameras;
    }
    return n;
}

CameraEngine::CameraEngine(ISessionEvents* host, PostFn post, const SessionServices& services, int simulatedCameras)
    : host_(host), services_(services), gate_(host, std::move(post)), sim_(simulatedCameras, services.filer) {
    connect(&sim_, &Simulator::listChanged, this, &CameraEngine::OnListChanged);
    connect(&real_, &RealCameraList::changed, this, &CameraEngine::OnListChanged);
    connect(&sim_, &Simulator::changed, this, &CameraEngine::stateChanged);
}

CameraEngine::~CameraEngine() {
    // Quietly: nobody listens any more.
    gate_.Close();
    if (session_)
        session_->End();
    session_.reset();
    retired_.clear();
    real_.StopScanning();
}

void CameraEngine::OnListChanged() {
    DeviceChangeNotifier::Broadcast(DeviceChangeNotifier::Origin::CameraList);
    emit stateChanged();
}

int CameraEngine::CameraCount() const { return RealCount() + sim_.Count(); }

std::string CameraEngine::CameraName(int index) const {
    if (const RealCameraInfo* r = RealCamera(index))
        return r->name;
    const SimulatedCamera* c = Camera(index);
    return c ? c->DisplayName() : std::string();
}

const SimulatedCamera* CameraEngine::Camera(int index) const { return sim_.Camera(index - RealCount()); }

const RealCameraInfo* CameraEngine::RealCamera(int index) const {
    if (index < 0 || index >= RealCount())
        return nullptr;
    return &real_.Cameras()[static_cast<std::size_t>(index)];
}

// What a list entry is, as a device a session holds: a real camera's port, or a simulated body.
static std::string DeviceOf(const CameraEngine& engine, int index) {
    if (const RealCameraInfo* r = engine.RealCamera(index))
        return r->port;
    return "simulated:" + std::to_string(reinterpret_cast<std::uintptr_t>(engine.Camera(index)));
}

int CameraEngine::OpenIndex() const {
    if (!session_)
        return -1;
    for (int i = 0; i < CameraCount(); ++i)
        if (DeviceOf(*this, i) == sessionDevice_)
            return i;
    return -1;
}

std::string CameraEngine::OpenDisplayName() const { return session_ ? sessionName_ : std::string(); }

void CameraEngine::SetSimulatedCameraCount(int count) {
    count = std::clamp(count, 0, kMaxCameras);
    while (sim_.Count() < count)
        sim_.Plug();
    while (sim_.Count() > count)
        PullOutCamera(CameraCount() - 1);
}

bool CameraEngine::PullOutCamera(int index) {
    if (RealCamera(index)) {
        if (!session_ || index != OpenIndex())
            return false;
        Lose();
        return true;
    }
    // A session on the body hears of it first, and reports the camera lost.
    return sim_.PullOut(index - RealCount());
}

bool CameraEngine::WaitPainting(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        std::this_thread::sleep_for(GPhotoCamera::kOpenWaitSlice);
    }
    return true;
}

void CameraEngine::WaitForDevice(const std::string& device) {
    // Sessions of earlier opens may have finished by now. One still holding this camera gets the open's time to
    // let it go: a camera takes one connection at a time.
    std::erase_if(retired_, [](const Retired& r) { return r.session->Finished(); });
    WaitPainting(
        [this, &device] {
            return std::none_of(retired_.begin(), retired_.end(),
                                [&device](const Retired& r) { return r.device == device && !r.session->Finished(); });
        },
        GPhotoSession::kOpenTimeout);
}

std::unique_ptr<ICameraSession> CameraEngine::OpenReal(const RealCameraInfo& info, const SessionOutlet& outlet) {
    auto session = std::make_unique<GPhotoSession>(info, outlet, services_, timing_);
    // The one wait on a camera the window makes: bounded, with a busy cursor. The window goes on painting
    // meanwhile (a body that stopped answering takes libgphoto2 seconds to give up on); what the user does waits.
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    const bool opened = session->WaitOpened(
        &lastOpenError_, [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    QGuiApplication::restoreOverrideCursor();
    if (!opened) {
        gate_.Close();
        session->End();
        retired_.push_back(Retired{std::move(session), info.port}); // not waited for here
        return nullptr;
    }
    return session;
}

bool CameraEngine::Open(int index) {
    if (opening_ || ended_ || index < 0 || index >= CameraCount())
        return false;
    opening_ = true;
    const bool opened = OpenNow(index);
    opening_ = false;
    return opened;
}

bool CameraEngine::OpenNow(int index) {
    const std::string device = DeviceOf(*this, index);
    const std::string name = CameraName(index);
    const std::optional<RealCameraInfo> real =
        RealCamera(index) ? std::optional<RealCameraInfo>(*RealCamera(index)) : std::nullopt;
    Close();
    lastOpenError_.clear();
    if (real)
        WaitForDevice(device);
    const SessionOutlet outlet = gate_.Open();
    session_ = real ? OpenReal(*real, outlet) : sim_.Open(index - RealCount(), outlet, services_);
    if (!session_) {
        if (!lastOpenError_.empty())
            host_->Message(tr("%1：%2").arg(QString::fromStdString(name), QString::fromStdString(lastOpenError_)));
        emit stateChanged();
        return false;
    }
    sessionDevice_ = device;
    sessionName_ = name;
    if (!cameraLiveViewSize_.empty())
        session_->SetLiveViewSize(cameraLiveViewSize_);
    emit stateChanged();
    return true;
}

void CameraEngine::SetCameraLiveViewSize(const std::string& size) {
    cameraLiveViewSize_ = size;
    if (session_ && !size.empty())
        session_->SetLiveViewSize(size);
}

std::vector<std::string> CameraEngine::CameraLiveViewSizes() const {
    return session_ ? session_->LiveViewSizes() : std::vector<std::string>{};
}

bool CameraEngine::Close() {
    if (!session_)
        return false;
    // The session ends what runs on the camera and lets it go; the window does not wait for a download it may be
    // in the middle of (it is kept until it has finished, or until the engine goes).
    gate_.Close();
    session_->End();
    std::erase_if(retired_, [](const Retired& r) { return r.session->Finished(); });
    retired_.push_back(Retired{std::move(session_), sessionDevice_});
    sessionDevice_.clear();
    emit sessionEnded();
    emit stateChanged();
    return true;
}

void CameraEngine::EndAll() {
    ended_ = true;
    gate_.Close();
    Close();
    for (const Retired& r : retired_)
        r.session->End();
}

bool CameraEngine::AllFinished() const {
    return std::all_of(retired_.begin(), retired_.end(), [](const Retired& r) { return r.session->Finished(); });
}

void CameraEngine::LeaveBehind() {
    for (const Retired& r : retired_)
        r.session->LeaveBehind();
    real_.LeaveBehind();
    sim_.Capture().LeaveBehind();
}

void CameraEngine::Lose() {
    if (!session_)
        return;
    Close();
    gate_.PostUnlessReopened([host = host_] { host->Notify(notify::ShutDown, Variant{}); });
}

std::int32_t CameraEngine::PropertyValue(std::int32_t code) const { return session_ ? session_->PropertyValue(code) : 0; }

std::string CameraEngine::PropertyText(std::int32_t code) const {
    return session_ ? session_->PropertyText(code) : std::string();
}

bool CameraEngine::SetPropertyValue(std::int32_t code, std::int32_t value) {
    return session_ && session_->SetPropertyValue(code, value);
}

std::int32_t CameraEngine::AvailableShots() const { return session_ ? session_->AvailableShots() : 0; }

} // namespace quor::component
