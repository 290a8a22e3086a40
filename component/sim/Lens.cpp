#include "component/sim/Lens.h"

#include <algorithm>
#include <cmath>

namespace quor::component {

Lens::Lens() {
    timer_.setInterval(kAfTickMs);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &Lens::Step);
    SetPosition(position_);
}

void Lens::SetPosition(double position) {
    position_ = std::clamp(position, 0.0, 1.0);
    blur_.store(std::clamp(std::abs(position_ - kSubject) * kBlurPerError, 0.0, 1.0), std::memory_order_relaxed);
    emit changed();
}

bool Lens::Drive(int code) {
    static constexpr double kSteps[] = {0.0, 0.01, 0.04, 0.16};
    const int size = code & 0x7FFF;
    if (size < 1 || size > 3 || (code & ~0x8003) != 0)
        return false;
    StopAutoFocus();
    inFocus_ = false;
    const double step = kSteps[size];
    SetPosition(position_ + ((code & 0x8000) ? step : -step));
    return true;
}

void Lens::StartAutoFocus() {
    inFocus_ = false;
    if (!timer_.isActive())
        timer_.start();
    emit changed();
}

void Lens::StopAutoFocus() {
    if (timer_.isActive()) {
        timer_.stop();
        emit changed();
    }
}

void Lens::Step() {
    // Closes a quarter of the remaining distance each tick, and at least a small constant step, so that it
    // lands on the subject from anywhere on the scale in about twenty ticks.
    const double error = kSubject - position_;
    if (std::abs(error) <= 0.003) {
        timer_.stop();
        inFocus_ = true;
        SetPosition(kSubject);
        return;
    }
    const double move = std::copysign(std::max(std::abs(error) * 0.25, 0.003), error);
    SetPosition(position_ + move);
}

void Lens::SetAfPoint(QPointF point) {
    afPoint_ = QPointF(std::clamp(point.x(), 0.0, 1.0), std::clamp(point.y(), 0.0, 1.0));
    emit changed();
}

} // namespace quor::component
