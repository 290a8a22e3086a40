// What the component's settings dialog may change, and nothing more: where photos go, the simulated cameras
// and their knobs, and the network cameras. The component implements it (ComponentSettings).
#pragma once

#include "component/gphoto/GPhotoVocabulary.h"
#include "component/sim/Simulator.h"
#include "component/storage/Preferences.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace quor::component {

class ISettingsTarget {
public:
    virtual ~ISettingsTarget() = default;

    // Photos
    virtual QString SaveFolder() const = 0; // empty: next to the program
    virtual QString FallbackFolder() const = 0;
    virtual void SetSaveFolder(const QString& folder) = 0;

    // The simulated cameras
    virtual int SimulatedCameraCount() const = 0;
    virtual void SetSimulatedCameraCount(int count) = 0;
    virtual int CameraCount() const = 0;
    virtual void PlugCamera() = 0;
    virtual void PullOutCamera(int index) = 0;
    virtual bool LensManualFocus() const = 0;
    virtual void SetLensManualFocus(bool manual) = 0;
    virtual std::int64_t CardFreeMegabytes() const = 0;
    virtual void SetCardFreeMegabytes(std::int64_t megabytes) = 0;
    virtual QSize LiveViewSize() const = 0;
    virtual int LiveViewFps() const = 0;
    virtual void SetLiveViewFrames(QSize size, int fps) = 0;
    // The live-view frame size asked of a real camera (empty: as it has it), and the sizes the open one offers.
    virtual QString CameraLiveViewSize() const = 0;
    virtual QStringList CameraLiveViewSizes() const = 0;
    virtual void SetCameraLiveViewSize(const QString& size) = 0;
    // The faults to inject (one-shot ones read unset again once they have fired).
    virtual Simulation Faults() const = 0;
    virtual void SetFaults(const Simulation& faults) = 0;
    // The body's own shutter button, in camera control.
    virtual bool CanPressCameraShutter() const = 0;
    virtual void PressCameraShutter() = 0;

    // The live-view aids and grid.
    virtual storage::AidPreferences Aids() const = 0;
    virtual void SetAids(const storage::AidPreferences& aids) = 0;

    // Network cameras; false when listed already.
    virtual bool AddNetworkCamera(const gphoto::NetworkCamera& camera) = 0;
};

} // namespace quor::component
