// One simulated EOS body: its identity, its battery and its shooting properties. It keeps its settings while
// it stays plugged in, as a real body does between sessions.
#pragma once

#include "component/sim/PropertyModel.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace quor::component {

class SimulatedCamera {
public:
    using Clock = std::chrono::steady_clock;

    // The `ordinal`-th body plugged into this component (0 for the first): picks the model from a small
    // catalogue and gives the body a serial number of its own.
    explicit SimulatedCamera(int ordinal);

    const std::string& Model() const { return model_; }
    // The name a camera list shows, marked as simulated.
    std::string DisplayName() const;
    const std::string& SerialNumber() const { return serial_; }
    const std::string& Firmware() const { return firmware_; }

    // Battery level in percent; it drains by one percent every `drainInterval` while a session is open.
    int BatteryPercent(Clock::time_point now) const;
    void BeginSession(Clock::time_point now, std::chrono::milliseconds drainInterval);
    void EndSession(Clock::time_point now);

    PropertyModel& Properties() { return properties_; }
    const PropertyModel& Properties() const { return properties_; }

    // Save-to destination (1 the card, 2 the computer).
    std::int32_t SaveTo() const { return saveTo_; }
    void SetSaveTo(std::int32_t destination) { saveTo_ = destination; }

private:
    std::string model_;
    std::string serial_;
    std::string firmware_;
    int batteryAtSessionStart_;
    bool inSession_ = false;
    Clock::time_point sessionStart_{};
    std::chrono::milliseconds drainInterval_{1};
    std::int32_t saveTo_ = 1;
    PropertyModel properties_;
};

} // namespace quor::component
