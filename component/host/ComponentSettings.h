// The component's side of its settings dialog: each change applies at once and, except the faults, is
// remembered.
#pragma once

#include "component/host/SettingsTarget.h"
#include "component/liveview/Aids.h"

#include <functional>

namespace quor::component {

class CameraEngine;
class ShootingController;
namespace storage {
class PhotoFiler;
class PreferencesStore;
} // namespace storage

// The aids between what is remembered and what the live-view thread uses.
AidSettings AidsFrom(const storage::AidPreferences& prefs);
storage::AidPreferences AidPreferencesFrom(const AidSettings& aids, int grid);

class ComponentSettings final : public ISettingsTarget {
public:
    using AidsHandler = std::function<void(const storage::AidPreferences&)>;
    ComponentSettings(CameraEngine& engine, storage::PhotoFiler& filer, storage::PreferencesStore& prefs,
                      ShootingController& shooting, AidsHandler onAids)
        : engine_(engine), filer_(filer), prefs_(prefs), shooting_(shooting), onAids_(std::move(onAids)) {}

    QString SaveFolder() const override;
    QString FallbackFolder() const override;
    void SetSaveFolder(const QString& folder) override;

    int SimulatedCameraCount() const override;
    void SetSimulatedCameraCount(int count) override;
    int CameraCount() const override;
    void PlugCamera() override;
    void PullOutCamera(int index) override;
    bool LensManualFocus() const override;
    void SetLensManualFocus(bool manual) override;
    std::int64_t CardFreeMegabytes() const override;
    void SetCardFreeMegabytes(std::int64_t megabytes) override;
    QSize LiveViewSize() const override;
    int LiveViewFps() const override;
    void SetLiveViewFrames(QSize size, int fps) override;
    Simulation Faults() const override;
    void SetFaults(const Simulation& faults) override;
    bool CanPressCameraShutter() const override;
    void PressCameraShutter() override;

    QString CameraLiveViewSize() const override { return prefs_.Get().cameraLiveViewSize; }
    QStringList CameraLiveViewSizes() const override;
    void SetCameraLiveViewSize(const QString& size) override;
    storage::AidPreferences Aids() const override;
    void SetAids(const storage::AidPreferences& aids) override { onAids_(aids); }

    bool AddNetworkCamera(const gphoto::NetworkCamera& camera) override;

private:
    CameraEngine& engine_;
    storage::PhotoFiler& filer_;
    storage::PreferencesStore& prefs_;
    ShootingController& shooting_;
    AidsHandler onAids_;
};

} // namespace quor::component
