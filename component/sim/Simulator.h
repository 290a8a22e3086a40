// The simulated cameras' world, which outlives any one session: the bodies plugged in (each keeps its settings
// while it stays plugged in), the one lens they share, the memory card, and the knobs the settings dialog and
// the tests turn (live-view frames, faults to inject). Lives on the window's thread.
#pragma once

#include "component/sim/CaptureWorker.h"
#include "component/sim/Lens.h"
#include "component/sim/SimulatedCamera.h"
#include "component/sim/SimulatedLiveFeed.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

namespace quor::component {

class ICameraSession;
class SessionOutlet;
struct SessionServices;

// The knobs of the simulated cameras.
struct Simulation {
    // Live-view frames
    int liveViewWidth = 1024;
    int liveViewHeight = 680;
    int liveViewFps = 30;

    // Faults
    bool nextCaptureFails = false;      // the next TakePicture (or series shot, bulb) is refused; clears itself
    bool writesFail = false;            // every photo write fails until switched off
    bool pullOutDuringDownload = false; // the next download loses the camera halfway; clears itself
    bool slowTransfer = false;          // downloads take about a second and a half
};

class Simulator : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxCameras = 8;
    static constexpr std::int64_t kCardKilobytes = 29812LL * 1024; // a 32 GB card with a few hundred shots on it

    // Photos are saved through `filer`, which outlives the simulator.
    Simulator(int cameras, storage::PhotoFiler* filer);
    ~Simulator() override;

    int Count() const { return static_cast<int>(bodies_.size()); }
    const SimulatedCamera* Camera(int index) const;
    // Plugs in one more body at the end of the list; false when kMaxCameras are plugged in.
    bool Plug();
    // Pulls body `index` out of the list. A session on it reports the camera lost first.
    bool PullOut(int index);

    // Opens a session on body `index`; nullptr for an index outside the list.
    std::unique_ptr<ICameraSession> Open(int index, const SessionOutlet& outlet, const SessionServices& services);

    // The lens's AF/MF switch, for every body.
    void SetLensManualFocus(bool manual);
    bool LensManualFocus() const { return lensManualFocus_; }
    Lens& SharedLens() { return lens_; }
    const Lens& SharedLens() const { return lens_; }

    // Free space on the memory card, which sets the available shots.
    void SetCardFreeMegabytes(std::int64_t megabytes);
    std::int64_t CardFreeMegabytes() const { return cardFreeKilobytes_ / 1024; }
    std::int64_t CardFreeKilobytes() const { return cardFreeKilobytes_; }
    // A photo of `kilobytes` written to the card.
    void ConsumeCard(std::int64_t kilobytes);

    // Time for the battery of an open body to drop by one percent.
    void SetBatteryDrainInterval(std::chrono::milliseconds perPercent) { drainInterval_ = perPercent; }
    std::chrono::milliseconds BatteryDrainInterval() const { return drainInterval_; }

    // What every session shares: one capture worker and one live feed (one session is open at a time), so that
    // their threads and the scene each keeps drawn at its size are made once.
    CaptureWorker& Capture() { return capture_; }
    SimulatedLiveFeed& Feed() { return feed_; }

    Simulation& Knobs() { return knobs_; }
    const Simulation& Knobs() const { return knobs_; }
    // The live-view frames of the simulated bodies: a running live view restarts with them.
    void SetLiveViewFrames(int width, int height, int fps);
    // The faults to inject (the frame knobs of `faults` are not looked at).
    void SetFaults(const Simulation& faults);

signals:
    // A body was plugged in or pulled out.
    void listChanged();
    // Something the view shows (the card, the lens switch, a knob) has changed.
    void changed();
    // The lens switch moved; an open session reports what that does to its properties.
    void lensSwitched(bool manual);
    // Body `body` is about to be pulled out.
    void pullingOut(const SimulatedCamera* body);
    // The live-view frame size or rate changed.
    void framesChanged();

private:
    std::vector<std::shared_ptr<SimulatedCamera>> bodies_;
    int plugged_ = 0; // bodies plugged in so far; picks the next body from the catalogue
    Lens lens_;
    bool lensManualFocus_ = false;
    std::int64_t cardFreeKilobytes_ = kCardKilobytes;
    std::chrono::milliseconds drainInterval_{std::chrono::minutes(2)};
    Simulation knobs_;
    CaptureWorker capture_;
    SimulatedLiveFeed feed_;
};

} // namespace quor::component
