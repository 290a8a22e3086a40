#include "component/CameraEngine.h"

#include "control/DeviceChange.h"
#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"

#include <QByteArray>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace quor::component {

int CameraEngine::CameraCountFromEnvironment() {
    if (!qEnvironmentVariableIsSet(kCameraCountVariable))
        return kDefaultCameras;
    const QByteArray raw = qgetenv(kCameraCountVariable);
    bool ok = false;
    const int n = raw.trimmed().toInt(&ok);
    if (!ok || n < 0 || n > kMaxCameras) {
        std::fprintf(stderr, "QuorCtrl: %s=\"%s\" is not a number from 0 to %d; simulating %d camera(s)\n",
                     kCameraCountVariable, raw.constData(), kMaxCameras, kDefaultCameras);
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
}

std::string CameraEngine::CameraName(int index) const {
    const SimulatedCamera* c = Camera(index);
    return c ? c->DisplayName() : std::string();
}

const SimulatedCamera* CameraEngine::Camera(int index) const {
    if (index < 0 || index >= CameraCount())
        return nullptr;
    return cameras_[static_cast<std::size_t>(index)].get();
}

int CameraEngine::OpenIndex() const {
    for (int i = 0; i < CameraCount(); ++i)
        if (cameras_[static_cast<std::size_t>(i)].get() == open_)
            return i;
    return -1;
}

void CameraEngine::SetSimulatedCameraCount(int count) {
    count = std::clamp(count, 0, kMaxCameras);
    while (CameraCount() < count)
        PlugCamera();
    while (CameraCount() > count)
        PullOutCamera(CameraCount() - 1);
}

bool CameraEngine::PlugCamera() {
    if (CameraCount() >= kMaxCameras)
        return false;
    cameras_.push_back(std::make_unique<SimulatedCamera>(plugged_++));
    DeviceChangeNotifier::Broadcast();
    emit stateChanged();
    return true;
}

bool CameraEngine::PullOutCamera(int index) {
    if (!Camera(index))
        return false;
    const bool wasOpen = cameras_[static_cast<std::size_t>(index)].get() == open_;
    if (wasOpen) {
        Close();
        // The host hears of it once the pull is over; a session opened meanwhile must not be shut down.
        PostInSession([this] { outlet_->RaiseNotify(notify::ShutDown, Variant{}); });
    }
    cameras_.erase(cameras_.begin() + index);
    DeviceChangeNotifier::Broadcast();
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
    if (!Camera(index))
        return false;
    Close();
    open_ = cameras_[static_cast<std::size_t>(index)].get();
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
    if (!open_)
        return false;
    open_->EndSession(SimulatedCamera::Clock::now());
    open_ = nullptr;
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
    if (!open_)
        return 0;
    const std::int64_t shots = cardFreeKilobytes_ / open_->Properties().ShotKilobytes();
    return static_cast<std::int32_t>(std::min<std::int64_t>(shots, std::numeric_limits<std::int32_t>::max()));
}

std::int32_t CameraEngine::PropertyValue(std::int32_t code) const {
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

} // namespace quor::component
