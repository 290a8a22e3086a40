// The shooting side of the component: single shots, series, bulb exposures, the half-pressed shutter, frame
// grabs and who controls the release. It gives each request a job, hands it to the open session, and turns the
// session's transfer reports into the host's notifications and what the view shows.
#pragma once

#include "component/host/ComponentState.h"
#include "component/host/MemoryReturn.h"
#include "component/session/CameraSession.h"
#include "control/Variant.h"

#include <QPointer>

#include <atomic>
#include <functional>
#include <set>
#include <string>

namespace quor::component {

class CameraEngine;
class QuorCtrlView;
namespace storage {
class IoQueue;
class PhotoFiler;
} // namespace storage

class ShootingController {
public:
    struct Links {
        CameraEngine* engine = nullptr;
        QPointer<QuorCtrlView> view;
        const ComponentState* state = nullptr;
        storage::IoQueue* io = nullptr;       // grabs are encoded and written there
        storage::PhotoFiler* filer = nullptr;
        std::function<void(const char*, Variant)> notify; // a "Notify" event to the host
        std::function<void(const QString&)> tell;         // a message for the user
        std::function<void(std::function<void()>)> post;  // runs on the window's thread later
    };

    explicit ShootingController(Links links);

    const CaptureStatus& Status() const { return status_; }
    // Transfers and grabs queued or running.
    int Pending() const;

    // The dispatch interface's shooting calls; paths as the host gives them (a bare name goes beside the program).
    bool TakePicture(const std::string& path);
    bool StartSeries(const std::string& folder);
    bool StopSeries();
    bool StartBulb(const std::string& name);
    bool StopBulb();
    void PressShutterHalfway(bool on);
    bool GrabFrame(const std::string& path);
    bool SetControlMode(int mode);
    // The body's own shutter button, in camera control: the photo lands beside the program.
    bool PressCameraShutter();

    // The open session has ended: whatever ran on the camera is over.
    // The camera was lost (not closed by the host): a series running ends by itself.
    void OnSessionLost();
    void OnSessionEnded();

    // The session's transfer reports.
    void DownloadStart(JobId job);
    void DownloadProgress(JobId job, int percent);
    void DownloadComplete(JobId job, const QString& path, const QImage& preview);
    void CaptureFailed(JobId job, const QString& reason);

private:
    // Tells the host, once the current call has returned, that the series ended without its asking.
    void SeriesEndedByItself();
    ICameraSession* Session() const;
    void Repaint();
    // A shot the camera took (`taken`) is counted, and the next one gets a job of its own.
    bool Counted(bool taken);

    Links links_;
    CaptureStatus status_;
    JobId nextJob_ = 1;
    JobId seriesJob_ = 0;     // the running series
    JobId lastSeriesJob_ = 0; // the latest series, whose frames may still come after it ended
    storage::PhotoRequest bulbRequest_;
    std::shared_ptr<std::atomic<int>> grabs_ = std::make_shared<std::atomic<int>>(0); // grabs being written
    MemoryReturn memory_;
};

// A host's path made absolute: a bare name goes into the application directory.
QString HostPath(const std::string& text);
// The directory of the running executable, where bare file names go.
QString ApplicationDirectory();

} // namespace quor::component
