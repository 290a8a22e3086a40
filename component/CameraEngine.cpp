#include "component/CameraEngine.h"

#include "component/Messages.h"
#include "platform/DeviceChange.h"
#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"

#include <gphoto2/gphoto2.h>

#include <QByteArray>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <utility>

namespace quor::component {

int CameraEngine::CameraCountFromEnvironment() {
    if (!qEnvironmentVariableIsSet(kCameraCountVariable))
        return kDefaultCameras;
    const QByteArray raw = qgetenv(kCameraCountVariable);
    bool ok = false;
    const int n = raw.trimmed().toInt(&ok);
    if (!ok || n < 0 || n > kMaxCameras) {
        PrintToStderr(QStringLiteral("%1=\"%2\" is not a number from 0 to %3; simulating %4 camera(s)")
                          .arg(QLatin1String(kCameraCountVariable), QString::fromLocal8Bit(raw))
                          .arg(kMaxCameras)
                          .arg(kDefaultCameras));
        return kDefaultCameras;
    }
    return n;
}

CameraEngine::CameraEngine(IEngineOutlet* outlet, int simulatedCameras) : outlet_(outlet) {
    const int n = std::clamp(simulatedCameras, 0, kMaxCameras);
    for (int i = 0; i < n; ++i)
        cameras_.push_back(std::make_unique<SimulatedCamera>(plugged_++));
}

CameraEngine::~CameraEngine() {
    // Quietly: nobody listens any more.
    if (open_)
        open_->EndSession(SimulatedCamera::Clock::now());
    open_ = nullptr;
    real_.reset();
    retired_.clear();
    StopScanning();
}

std::string CameraEngine::CameraName(int index) const {
    if (const RealCameraInfo* r = RealCamera(index))
        return r->name;
    const SimulatedCamera* c = Camera(index);
    return c ? c->DisplayName() : std::string();
}

const SimulatedCamera* CameraEngine::Camera(int index) const {
    index -= RealCount();
    if (index < 0 || index >= SimulatedCount())
        return nullptr;
    return cameras_[static_cast<std::size_t>(index)].get();
}

const RealCameraInfo* CameraEngine::RealCamera(int index) const {
    if (index < 0 || index >= RealCount())
        return nullptr;
    return &realList_[static_cast<std::size_t>(index)];
}

int CameraEngine::OpenIndex() const {
    if (real_) {
        for (int i = 0; i < RealCount(); ++i)
            if (realList_[static_cast<std::size_t>(i)].port == realInfo_.port)
                return i;
        return -1;
    }
    for (int i = 0; i < SimulatedCount(); ++i)
        if (cameras_[static_cast<std::size_t>(i)].get() == open_)
            return RealCount() + i;
    return -1;
}

std::string CameraEngine::OpenDisplayName() const {
    if (real_)
        return realInfo_.name;
    return open_ ? open_->DisplayName() : std::string();
}

void CameraEngine::SetSimulatedCameraCount(int count) {
    count = std::clamp(count, 0, kMaxCameras);
    while (SimulatedCount() < count)
        PlugCamera();
    while (SimulatedCount() > count)
        PullOutCamera(CameraCount() - 1);
}

bool CameraEngine::PlugCamera() {
    if (SimulatedCount() >= kMaxCameras)
        return false;
    cameras_.push_back(std::make_unique<SimulatedCamera>(plugged_++));
    DeviceChangeNotifier::Broadcast(DeviceChangeNotifier::Origin::CameraList);
    emit stateChanged();
    return true;
}

bool CameraEngine::PullOutCamera(int index) {
    if (RealCamera(index) || (real_ && index < 0)) {
        // A real camera stays listed until detection no longer finds it; its session ends now.
        if (!real_ || index != OpenIndex())
            return false;
        Close();
        PostInSession([this] { outlet_->RaiseNotify(notify::ShutDown, Variant{}); });
        return true;
    }
    if (!Camera(index))
        return false;
    index -= RealCount();
    const bool wasOpen = cameras_[static_cast<std::size_t>(index)].get() == open_;
    if (wasOpen) {
        Close();
        // The host hears of it once the pull is over; a session opened meanwhile must not be shut down.
        PostInSession([this] { outlet_->RaiseNotify(notify::ShutDown, Variant{}); });
    }
    cameras_.erase(cameras_.begin() + index);
    DeviceChangeNotifier::Broadcast(DeviceChangeNotifier::Origin::CameraList);
    emit stateChanged();
    return true;
}

void CameraEngine::SetLensManualFocus(bool manual) {
    if (manual == lensManualFocus_)
        return;
    lensManualFocus_ = manual;
    if (open_) {
        PropertyChanges changes;
        open_->Properties().SetLensManualFocus(manual, changes);
        // A switch on the lens reaches the host through the camera's next event poll, not inside any call.
        PostInSession([this, changes] { Deliver(changes); });
    }
    emit stateChanged();
}

void CameraEngine::SetCardFreeMegabytes(std::int64_t megabytes) {
    cardFreeKilobytes_ = std::max<std::int64_t>(0, megabytes) * 1024;
    emit stateChanged();
}

void CameraEngine::ConsumeCard(std::int64_t kilobytes) {
    cardFreeKilobytes_ = std::max<std::int64_t>(0, cardFreeKilobytes_ - kilobytes);
    emit stateChanged();
}

bool CameraEngine::Open(int index) {
    if (const RealCameraInfo* info = RealCamera(index)) {
        const RealCameraInfo copy = *info;
        Close();
        return OpenReal(copy);
    }
    if (!Camera(index))
        return false;
    Close();
    open_ = cameras_[static_cast<std::size_t>(index - RealCount())].get();
    ++session_;
    open_->BeginSession(SimulatedCamera::Clock::now(), drainInterval_);
    // The lens may have been switched while the body was closed; it reports its state as it is now.
    PropertyChanges ignored;
    open_->Properties().SetLensManualFocus(lensManualFocus_, ignored);
    PostInSession([this] { PublishProperties(); });
    emit stateChanged();
    return true;
}

bool CameraEngine::Close() {
    if (!open_ && !real_)
        return false;
    if (open_)
        open_->EndSession(SimulatedCamera::Clock::now());
    open_ = nullptr;
    // The worker ends bulb, series and live view on the body and lets it go; the window does not wait for a
    // download it may be in the middle of (the worker is joined once it has finished, or with the engine).
    std::erase_if(retired_, [](const std::unique_ptr<GPhotoCamera>& c) { return c->Finished(); });
    if (real_) {
        real_->RequestStop();
        retired_.push_back(std::move(real_));
    }
    realProps_.clear();
    realValues_.clear();
    realPublished_ = false;
    ++session_;
    emit sessionEnded();
    emit stateChanged();
    return true;
}

void CameraEngine::PostInSession(std::function<void()> task) {
    outlet_->Post([this, session = session_, task = std::move(task)] {
        if (session == session_)
            task();
    });
}

void CameraEngine::RaiseOffer(std::int32_t code, std::uint64_t session) {
    const PropertyOffer offer = open_->Properties().Offer(code);
    for (const PropertyOption& option : offer.options) {
        outlet_->RaisePropertyOptionAdded(code, option.text, option.value, offer.enabled);
        if (session != session_) // the host closed the camera from inside its handler
            return;
    }
}

void CameraEngine::PublishProperties() {
    const std::uint64_t session = session_;
    for (std::int32_t code : PropertyModel::ListCodes()) {
        RaiseOffer(code, session);
        if (session != session_)
            return;
    }
    for (std::int32_t code : PropertyModel::ListCodes()) {
        outlet_->RaisePropertyValueChanged(code, open_->Properties().Current(code)->text);
        if (session != session_)
            return;
    }
    outlet_->RaiseNotify(notify::OpenSucceed, Variant{});
}

void CameraEngine::Deliver(const PropertyChanges& changes) {
    const std::uint64_t session = session_;
    for (std::int32_t code : changes.reoffered) {
        outlet_->RaiseNotify(notify::ResetPropertyDesc, Variant::Long(code));
        if (session != session_)
            return;
        RaiseOffer(code, session);
        if (session != session_)
            return;
    }
    for (std::int32_t code : changes.valueChanged) {
        // The value as it stands when reported: a later write may already have replaced the one that caused it.
        outlet_->RaisePropertyValueChanged(code, open_->Properties().Current(code)->text);
        if (session != session_)
            return;
    }
}

std::int32_t CameraEngine::AvailableShots() const {
    if (real_)
        return realShots_;
    if (!open_)
        return 0;
    const std::int64_t shots = cardFreeKilobytes_ / open_->Properties().ShotKilobytes();
    return static_cast<std::int32_t>(std::min<std::int64_t>(shots, std::numeric_limits<std::int32_t>::max()));
}

std::int32_t CameraEngine::PropertyValue(std::int32_t code) const {
    if (real_) {
        switch (code) {
        case prop::BatteryLevel: return realBattery_;
        case prop::SaveTo: return realSaveTo_;
        case prop::AvailableShots: return realShots_;
        default: {
            auto it = realProps_.find(code);
            return it == realProps_.end() ? 0 : it->second.value;
        }
        }
    }
    if (!open_)
        return 0;
    switch (code) {
    case prop::BatteryLevel: return open_->BatteryPercent(SimulatedCamera::Clock::now());
    case prop::SaveTo: return open_->SaveTo();
    case prop::AvailableShots: return AvailableShots();
    default: {
        const PropertyOption* current = open_->Properties().Current(code);
        return current ? current->value : 0;
    }
    }
}

std::string CameraEngine::PropertyText(std::int32_t code) const {
    if (real_) {
        switch (code) {
        case prop::ModelName: return realModel_.empty() ? realInfo_.name : realModel_;
        case prop::SerialNumber: return realSerial_;
        case prop::FirmwareVersion: return realFirmware_;
        case prop::BatteryLevel:
        case prop::SaveTo:
        case prop::AvailableShots: return std::to_string(PropertyValue(code));
        default: {
            auto it = realProps_.find(code);
            return it == realProps_.end() ? std::string() : it->second.text;
        }
        }
    }
    if (!open_)
        return {};
    switch (code) {
    case prop::ModelName: return open_->Model();
    case prop::SerialNumber: return open_->SerialNumber();
    case prop::FirmwareVersion: return open_->Firmware();
    case prop::BatteryLevel:
    case prop::SaveTo:
    case prop::AvailableShots: return std::to_string(PropertyValue(code));
    default: {
        const PropertyOption* current = open_->Properties().Current(code);
        return current ? current->text : std::string();
    }
    }
}

bool CameraEngine::SetPropertyValue(std::int32_t code, std::int32_t value) {
    if (real_) {
        // Queued: the body's answer comes back through its events and the widget read back after the write.
        if (code == prop::SaveTo) {
            if (value != prop::SaveToCamera && value != prop::SaveToComputer)
                return false;
            real_->SetWidget(gphoto::kCaptureTarget,
                             value == prop::SaveToCamera ? gphoto::kTargetCard : gphoto::kTargetRam);
            return true;
        }
        auto it = realProps_.find(code);
        const char* widget = gphoto::WidgetFor(code);
        if (it == realProps_.end() || !it->second.enabled || !widget)
            return false;
        for (const RealOption& option : it->second.options) {
            if (option.value == value) {
                real_->SetWidget(widget, option.gpText);
                return true;
            }
        }
        return false;
    }
    if (!open_)
        return false;
    if (code == prop::SaveTo) {
        if (value != prop::SaveToCamera && value != prop::SaveToComputer)
            return false;
        // A host-side setting: acknowledged with the write.
        open_->SetSaveTo(value);
        outlet_->RaisePropertyValueChanged(code, value == prop::SaveToCamera ? "Camera" : "Computer");
        emit stateChanged();
        return true;
    }
    PropertyChanges changes;
    if (!open_->Properties().Set(code, value, changes))
        return false;
    if (PropertyModel::ConfirmationOf(code) == Confirmation::WithTheWrite)
        Deliver(changes);
    else
        PostInSession([this, changes] { Deliver(changes); });
    emit stateChanged();
    return true;
}

// ---- Real cameras ----

namespace {

std::vector<RealCameraInfo> DetectUsbCameras() {
    std::vector<RealCameraInfo> found;
    std::lock_guard lock(GPhotoLibraryMutex());
    GPContext* context = gp_context_new();
    CameraList* list = nullptr;
    gp_list_new(&list);
    if (gp_camera_autodetect(list, context) >= GP_OK) {
        for (int i = 0; i < gp_list_count(list); ++i) {
            const char* model = nullptr;
            const char* port = nullptr;
            gp_list_get_name(list, i, &model);
            gp_list_get_value(list, i, &port);
            // Only USB: a network camera is listed because it was named, never by probing.
            if (model && port && std::string_view(port).substr(0, 4) == "usb:")
                found.push_back(RealCameraInfo{model, model, port, false});
        }
    }
    gp_list_free(list);
    gp_context_unref(context);
    return found;
}

} // namespace

void CameraEngine::SetRealCameraLinks(ICaptureListener* capture, LiveView* live, storage::PhotoFiler* filer) {
    captureLink_ = capture;
    liveLink_ = live;
    filerLink_ = filer;
}

void CameraEngine::EnableRealCameras(const RealCameraSources& sources) {
    for (const gphoto::NetworkCamera& c : sources.network)
        if (std::find(network_.begin(), network_.end(), c) == network_.end())
            network_.push_back(c);
    if (sources.networkFromEnvironment && qEnvironmentVariableIsSet(kNetworkCamerasVariable)) {
        const QByteArray raw = qgetenv(kNetworkCamerasVariable);
        std::vector<std::string> rejected;
        for (const gphoto::NetworkCamera& c : gphoto::ParseNetworkCameras(raw.toStdString(), &rejected))
            if (std::find(network_.begin(), network_.end(), c) == network_.end())
                network_.push_back(c);
        for (const std::string& r : rejected)
            PrintToStderr(QStringLiteral("%1: \"%2\" is not host[:port]; left out")
                              .arg(QLatin1String(kNetworkCamerasVariable), QString::fromStdString(r)));
    }
    RebuildRealList();
    if (sources.detectUsb && !detectUsb_) {
        detectUsb_ = true;
        // Only USB hardware changes start a detection: each one costs libgphoto2 2.5.30 about 150 kB it never
        // gives back (inside gp_abilities_list_detect), so the list's own changes must not trigger one.
        connect(&DeviceChangeNotifier::Instance(), &DeviceChangeNotifier::usbDevicesChanged, this,
                &CameraEngine::Rescan);
        Rescan();
    }
}

bool CameraEngine::AddNetworkCamera(const gphoto::NetworkCamera& camera) {
    if (std::find(network_.begin(), network_.end(), camera) != network_.end())
        return false;
    network_.push_back(camera);
    RebuildRealList();
    return true;
}

void CameraEngine::RebuildRealList() {
    std::vector<RealCameraInfo> list = usb_;
    for (const gphoto::NetworkCamera& c : network_)
        list.push_back(RealCameraInfo{c.DisplayName(), "PTP/IP Camera", c.PortPath(), true});
    if (list == realList_)
        return;
    realList_ = std::move(list);
    DeviceChangeNotifier::Broadcast(DeviceChangeNotifier::Origin::CameraList);
    emit stateChanged();
}

void CameraEngine::Rescan() {
    if (!detectUsb_)
        return;
    if (scanning_.load()) {
        rescanPending_ = true;
        return;
    }
    if (scanThread_.joinable())
        scanThread_.join(); // finished already
    scanning_.store(true);
    scanThread_ = std::thread([this] {
        std::vector<RealCameraInfo> found = DetectUsbCameras();
        outlet_->Post([this, found = std::move(found)]() mutable { OnScanDone(std::move(found)); });
        scanning_.store(false);
    });
}

void CameraEngine::StopScanning() {
    if (scanThread_.joinable())
        scanThread_.join();
    rescanPending_ = false;
}

void CameraEngine::OnScanDone(std::vector<RealCameraInfo> found) {
    usb_ = std::move(found);
    ++scansDone_;
    RebuildRealList();
    if (std::exchange(rescanPending_, false))
        Rescan();
}

bool CameraEngine::OpenReal(const RealCameraInfo& info) {
    if (!captureLink_ || !liveLink_ || !filerLink_) {
        lastOpenError_ = "Real cameras are not available here (nowhere to put photos and frames).";
        return false;
    }
    // Workers of earlier sessions may have finished by now. One still holding this camera gets the open's
    // time to let it go: a camera takes one connection at a time.
    std::erase_if(retired_, [](const std::unique_ptr<GPhotoCamera>& c) { return c->Finished(); });
    const auto deadline = std::chrono::steady_clock::now() + kOpenTimeout;
    for (const auto& old : retired_)
        while (old->Info().port == info.port && !old->Finished() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    lastOpenError_.clear();
    ++session_;
    GPhotoCamera::Links links;
    links.events = this;
    links.capture = captureLink_;
    links.live = liveLink_;
    links.filer = filerLink_;
    links.post = [outlet = outlet_](std::function<void()> task) { outlet->Post(std::move(task)); };
    links.session = session_;
    auto camera = std::make_unique<GPhotoCamera>(info, std::move(links), timing_);
    GPhotoCamera::OpenResult result = camera->WaitOpened(kOpenTimeout);
    if (!result.ok) {
        lastOpenError_ = result.error;
        if (result.timedOut)
            retired_.push_back(std::move(camera)); // not waited for here: the window stays responsive
        emit cameraMessage(QString::fromStdString(info.name + ": " + result.error));
        emit stateChanged();
        return false;
    }
    real_ = std::move(camera);
    realInfo_ = info;
    realProps_.clear();
    realValues_.clear();
    realModel_.clear();
    realSerial_.clear();
    realFirmware_.clear();
    realBattery_ = 0;
    realShots_ = 0;
    realSaveTo_ = prop::SaveToComputer;
    realPublished_ = false;
    for (const WidgetState& w : result.widgets)
        ApplyWidget(w, false);
    PostInSession([this] { PublishRealProperties(); });
    emit stateChanged();
    return true;
}

std::int32_t CameraEngine::RealValueFor(std::int32_t code, const std::string& gpText) {
    auto [it, added] = realValues_.try_emplace({code, gpText}, 0);
    if (added) {
        std::int32_t n = 0;
        for (const auto& [key, value] : realValues_)
            n += key.first == code ? 1 : 0;
        it->second = static_cast<std::int32_t>((code << 16) | (n & 0xFFFF));
    }
    return it->second;
}

void CameraEngine::ApplyWidget(const WidgetState& state, bool raise) {
    const gphoto::WidgetBinding* binding = gphoto::BindingFor(state.widget);
    const std::int32_t code =
        binding ? binding->code : (state.widget == gphoto::kSerialFallback ? prop::SerialNumber : 0);
    switch (code) {
    case prop::ModelName: realModel_ = state.value; return;
    case prop::SerialNumber:
        if (!state.value.empty())
            realSerial_ = state.value;
        return;
    case prop::FirmwareVersion: realFirmware_ = state.value; return;
    case prop::BatteryLevel:
        if (const int percent = gphoto::BatteryPercent(state.value); percent >= 0)
            realBattery_ = percent;
        return;
    case prop::AvailableShots: realShots_ = std::atoi(state.value.c_str()); return;
    case prop::SaveTo: {
        const std::int32_t to = state.value == gphoto::kTargetCard ? prop::SaveToCamera : prop::SaveToComputer;
        if (to == realSaveTo_)
            return;
        realSaveTo_ = to;
        if (raise)
            outlet_->RaisePropertyValueChanged(code, to == prop::SaveToCamera ? "Camera" : "Computer");
        return;
    }
    default:
        if (!PropertyModel::IsListProperty(code))
            return;
    }
    RealProperty next;
    for (const std::string& choice : state.choices)
        next.options.push_back(RealOption{gphoto::ToComponentText(code, choice), choice, RealValueFor(code, choice)});
    next.enabled = !state.readOnly && !next.options.empty();
    next.gpValue = state.value;
    next.text = gphoto::ToComponentText(code, state.value);
    next.value = state.value.empty() ? 0 : RealValueFor(code, state.value);
    RealProperty& current = realProps_[code];
    const bool reoffer = current.options != next.options || current.enabled != next.enabled;
    const bool changed = current.gpValue != next.gpValue;
    current = std::move(next);
    if (!raise)
        return;
    const std::uint64_t session = session_;
    if (reoffer) {
        outlet_->RaiseNotify(notify::ResetPropertyDesc, Variant::Long(code));
        if (session != session_)
            return;
        RaiseRealOffer(code, session);
        if (session != session_)
            return;
    }
    if (changed) {
        auto it = realProps_.find(code);
        if (it != realProps_.end() && !it->second.gpValue.empty())
            outlet_->RaisePropertyValueChanged(code, std::string(it->second.text));
    }
}

void CameraEngine::RaiseRealOffer(std::int32_t code, std::uint64_t session) {
    if (code == prop::LiveViewAfMode) {
        // The library has no widget for it: offered as the body knows it, but it cannot be chosen from here.
        for (const PropertyOption& option : PropertyModel::Table(code)) {
            outlet_->RaisePropertyOptionAdded(code, option.text, option.value, false);
            if (session != session_)
                return;
        }
        return;
    }
    auto it = realProps_.find(code);
    if (it == realProps_.end())
        return;
    // A copy: the host may close the camera from inside its handler, which clears the cache.
    const RealProperty property = it->second;
    for (const RealOption& option : property.options) {
        outlet_->RaisePropertyOptionAdded(code, option.text, option.value, property.enabled);
        if (session != session_)
            return;
    }
}

void CameraEngine::PublishRealProperties() {
    const std::uint64_t session = session_;
    realPublished_ = true;
    for (std::int32_t code : PropertyModel::ListCodes()) {
        RaiseRealOffer(code, session);
        if (session != session_)
            return;
    }
    for (std::int32_t code : PropertyModel::ListCodes()) {
        auto it = realProps_.find(code);
        if (it == realProps_.end() || it->second.gpValue.empty())
            continue;
        outlet_->RaisePropertyValueChanged(code, std::string(it->second.text));
        if (session != session_)
            return;
    }
    outlet_->RaiseNotify(notify::OpenSucceed, Variant{});
}

void CameraEngine::OnWidgetChanged(std::uint64_t session, const WidgetState& state) {
    if (session != session_ || !real_)
        return;
    ApplyWidget(state, realPublished_);
    emit stateChanged();
}

void CameraEngine::OnLiveViewSize(std::uint64_t session, int width, int height) {
    if (session == session_ && real_)
        emit liveViewSize(width, height);
}

void CameraEngine::OnCameraLost(std::uint64_t session, const std::string& reason) {
    if (session != session_ || !real_)
        return;
    emit cameraMessage(QString::fromStdString(realInfo_.name + ": " + reason));
    Close();
    PostInSession([this] { outlet_->RaiseNotify(notify::ShutDown, Variant{}); });
}

void CameraEngine::OnCameraMessage(std::uint64_t session, const std::string& text) {
    if (session == session_ && real_)
        emit cameraMessage(QString::fromStdString(text));
}

} // namespace quor::component
