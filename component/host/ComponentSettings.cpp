#include "component/host/ComponentSettings.h"

#include <QColor>

#include "component/host/CameraEngine.h"
#include "component/host/ShootingController.h"
#include "component/storage/PhotoFiler.h"
#include "component/storage/Preferences.h"

namespace quor::component {

QString ComponentSettings::SaveFolder() const { return filer_.SaveFolder(); }

QString ComponentSettings::FallbackFolder() const { return filer_.FallbackFolder(); }

void ComponentSettings::SetSaveFolder(const QString& folder) {
    filer_.SetSaveFolder(folder);
    prefs_.Update([&](storage::Preferences& p) { p.saveFolder = folder; });
}

int ComponentSettings::SimulatedCameraCount() const { return engine_.SimulatedCameraCount(); }

void ComponentSettings::SetSimulatedCameraCount(int count) { engine_.SetSimulatedCameraCount(count); }

int ComponentSettings::CameraCount() const { return engine_.CameraCount(); }

void ComponentSettings::PlugCamera() { engine_.PlugCamera(); }

void ComponentSettings::PullOutCamera(int index) { engine_.PullOutCamera(index); }

bool ComponentSettings::LensManualFocus() const { return engine_.LensManualFocus(); }

void ComponentSettings::SetLensManualFocus(bool manual) {
    engine_.SetLensManualFocus(manual);
    prefs_.Update([manual](storage::Preferences& p) { p.lensManualFocus = manual; });
}

std::int64_t ComponentSettings::CardFreeMegabytes() const { return engine_.CardFreeMegabytes(); }

void ComponentSettings::SetCardFreeMegabytes(std::int64_t megabytes) { engine_.SetCardFreeMegabytes(megabytes); }

QSize ComponentSettings::LiveViewSize() const {
    const Simulation& knobs = engine_.Sim().Knobs();
    return QSize(knobs.liveViewWidth, knobs.liveViewHeight);
}

int ComponentSettings::LiveViewFps() const { return engine_.Sim().Knobs().liveViewFps; }

void ComponentSettings::SetLiveViewFrames(QSize size, int fps) {
    engine_.Sim().SetLiveViewFrames(size.width(), size.height(), fps);
    prefs_.Update([&](storage::Preferences& p) {
        p.liveViewWidth = size.width();
        p.liveViewHeight = size.height();
        p.liveViewFps = fps;
    });
}

QStringList ComponentSettings::CameraLiveViewSizes() const {
    QStringList sizes;
    for (const std::string& s : engine_.CameraLiveViewSizes())
        sizes << QString::fromStdString(s);
    return sizes;
}

void ComponentSettings::SetCameraLiveViewSize(const QString& size) {
    engine_.SetCameraLiveViewSize(size.toStdString());
    prefs_.Update([&](storage::Preferences& p) { p.cameraLiveViewSize = size; });
}

Simulation ComponentSettings::Faults() const { return engine_.Sim().Knobs(); }

void ComponentSettings::SetFaults(const Simulation& faults) { engine_.Sim().SetFaults(faults); }

bool ComponentSettings::CanPressCameraShutter() const {
    return shooting_.Status().controlMode == 2 && engine_.IsOpen();
}

void ComponentSettings::PressCameraShutter() { shooting_.PressCameraShutter(); }

bool ComponentSettings::AddNetworkCamera(const gphoto::NetworkCamera& camera) {
    if (!engine_.AddNetworkCamera(camera))
        return false;
    prefs_.Update([&](storage::Preferences& p) {
        const QString text = QString::fromStdString(camera.host + ":" + std::to_string(camera.port));
        if (!p.networkCameras.contains(text))
            p.networkCameras << text;
    });
    return true;
}

storage::AidPreferences ComponentSettings::Aids() const { return prefs_.Get().aids; }

AidSettings AidsFrom(const storage::AidPreferences& p) {
    AidSettings a;
    a.histogram = p.histogram;
    a.zebra = p.zebra;
    a.peaking = p.peaking;
    a.zebraHigh = p.zebraHigh;
    a.zebraLow = p.zebraLow;
    a.peakSensitivity = p.peakSensitivity;
    const QColor colour(p.peakColour);
    if (colour.isValid()) {
        a.peakRed = std::uint8_t(colour.red());
        a.peakGreen = std::uint8_t(colour.green());
        a.peakBlue = std::uint8_t(colour.blue());
    }
    return a;
}

storage::AidPreferences AidPreferencesFrom(const AidSettings& a, int grid) {
    storage::AidPreferences p;
    p.histogram = a.histogram;
    p.zebra = a.zebra;
    p.peaking = a.peaking;
    p.zebraHigh = a.zebraHigh;
    p.zebraLow = a.zebraLow;
    p.peakSensitivity = a.peakSensitivity;
    p.peakColour = QColor(a.peakRed, a.peakGreen, a.peakBlue).name();
    p.grid = grid;
    return p;
}

} // namespace quor::component
