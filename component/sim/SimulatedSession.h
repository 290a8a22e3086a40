// A session on a simulated body: its property model answers and confirms settings like a body does, its capture
// worker renders, encodes and saves photos, its live feed renders frames, and the shared lens focuses. The body
// shoots a series by itself at its drive mode's rate, and measures a bulb exposure itself.
#pragma once

#include "component/session/SessionOutlet.h"
#include "component/sim/CaptureWorker.h"
#include "component/sim/SimulatedLiveFeed.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <map>
#include <memory>

namespace quor::component {

class Simulator;
class SimulatedCamera;
struct PropertyChanges;

class SimulatedSession final : public QObject, public ICameraSession, private ICaptureListener {
    Q_OBJECT
public:
    SimulatedSession(Simulator& sim, std::shared_ptr<SimulatedCamera> body, SessionOutlet outlet,
                     const SessionServices& services);
    ~SimulatedSession() override;

    void End() override;
    bool Finished() const override { return capture_.Pending() == 0; }

    std::int32_t PropertyValue(std::int32_t code) const override;
    std::string PropertyText(std::int32_t code) const override;
    bool SetPropertyValue(std::int32_t code, std::int32_t value) override;
    std::int32_t AvailableShots() const override;

    bool Shoot(JobId job, const storage::PhotoRequest& request) override;
    bool StartSeries(JobId job, const storage::PhotoRequest& request) override;
    void StopSeries() override;
    bool StartBulb() override;
    bool StopBulb(JobId job, const storage::PhotoRequest& request) override;
    void HalfPress(bool on) override;
    bool PressBodyShutter(JobId job, const storage::PhotoRequest& request) override;
    int Pending() const override { return capture_.Pending(); }

    bool StartLiveView() override;
    void StopLiveView() override;
    bool LiveViewRunning() const override { return feed_.Running(); }
    bool DriveFocus(int code) override;
    bool AutoFocus() override;
    void SetAfPoint(QPointF point) override;
    FocusState Focus() const override;
    // The magnified part is drawn again at full detail; photos always show the whole scene.
    bool SetLiveZoom(int factor, QPointF centre) override;

    QStringList DebugLines() const override;

private:
    // A shot on its way to the card and the computer.
    struct Shot {
        JobId job = 0;
        int kilobytes = 0;
    };

    // ICaptureListener: the capture worker's reports, on the window's thread while the session is open.
    void OnDownloadStart(std::uint64_t shot) override;
    void OnDownloadProgress(std::uint64_t shot, int percent) override;
    void OnDownloadComplete(std::uint64_t shot, const QString& path, const QImage& preview) override;
    void OnCaptureFailed(std::uint64_t shot, const QString& reason) override;
    void OnPulledOut(std::uint64_t shot, const QString& reason) override;

    void Publish();
    void Offer(std::int32_t code);
    void Deliver(const PropertyChanges& changes);
    void OnLensSwitched(bool manual);
    void OnFramesChanged();
    void UpdateScene();
    bool TakeShot(JobId job, const storage::PhotoRequest& request, double bulbSeconds);
    void SeriesTick();
    JobId Finish(std::uint64_t shot);

    Simulator& sim_;
    std::shared_ptr<SimulatedCamera> body_;
    SessionOutlet out_;
    SessionServices services_;
    CaptureWorker& capture_;   // the simulator's, shared by its sessions
    SimulatedLiveFeed& feed_;
    std::map<std::uint64_t, Shot> shots_; // by the capture worker's job id
    std::uint64_t nextShot_ = 1;
    QTimer seriesTimer_;
    JobId seriesJob_ = 0;
    storage::PhotoRequest seriesRequest_;
    std::uint64_t seriesUnsaved_ = 0; // the series' last shot, until it is saved or lost
    bool bulbOpen_ = false;
    bool ended_ = false;
    QRectF zoom_{0, 0, 1, 1}; // the part of the scene live view shows
    std::chrono::steady_clock::time_point bulbStart_{};
    const std::chrono::steady_clock::time_point created_ = std::chrono::steady_clock::now();
};

} // namespace quor::component
