#include "component/sim/Simulator.h"

#include "component/sim/SimulatedSession.h"

#include <algorithm>

namespace quor::component {

Simulator::Simulator(int cameras, storage::PhotoFiler* filer) : capture_(filer) {
    for (int i = 0; i < std::clamp(cameras, 0, kMaxCameras); ++i)
        bodies_.push_back(std::make_shared<SimulatedCamera>(plugged_++));
}

Simulator::~Simulator() {
    feed_.Stop();
    capture_.Stop();
}

const SimulatedCamera* Simulator::Camera(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return bodies_[static_cast<std::size_t>(index)].get();
}

bool Simulator::Plug() {
    if (Count() >= kMaxCameras)
        return false;
    bodies_.push_back(std::make_shared<SimulatedCamera>(plugged_++));
    emit listChanged();
    return true;
}

bool Simulator::PullOut(int index) {
    if (index < 0 || index >= Count())
        return false;
    const std::shared_ptr<SimulatedCamera> body = bodies_[static_cast<std::size_t>(index)];
    emit pullingOut(body.get());
    bodies_.erase(std::find(bodies_.begin(), bodies_.end(), body));
    emit listChanged();
    return true;
}

std::unique_ptr<ICameraSession> Simulator::Open(int index, const SessionOutlet& outlet,
                                                const SessionServices& services) {
    if (index < 0 || index >= Count())
        return nullptr;
    return std::make_unique<SimulatedSession>(*this, bodies_[static_cast<std::size_t>(index)], outlet, services);
}

void Simulator::SetLensManualFocus(bool manual) {
    if (manual == lensManualFocus_)
        return;
    lensManualFocus_ = manual;
    emit lensSwitched(manual);
    emit changed();
}

void Simulator::SetLiveViewFrames(int width, int height, int fps) {
    knobs_.liveViewWidth = width;
    knobs_.liveViewHeight = height;
    knobs_.liveViewFps = fps;
    emit framesChanged();
    emit changed();
}

void Simulator::SetFaults(const Simulation& faults) {
    knobs_.nextCaptureFails = faults.nextCaptureFails;
    knobs_.writesFail = faults.writesFail;
    knobs_.pullOutDuringDownload = faults.pullOutDuringDownload;
    knobs_.slowTransfer = faults.slowTransfer;
    emit changed();
}

void Simulator::SetCardFreeMegabytes(std::int64_t megabytes) {
    cardFreeKilobytes_ = std::max<std::int64_t>(0, megabytes) * 1024;
    emit changed();
}

void Simulator::ConsumeCard(std::int64_t kilobytes) {
    cardFreeKilobytes_ = std::max<std::int64_t>(0, cardFreeKilobytes_ - kilobytes);
    emit changed();
}

} // namespace quor::component
