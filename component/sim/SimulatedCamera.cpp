#include "component/sim/SimulatedCamera.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <cstdio>

namespace quor::component {
namespace {

struct Body {
    const char* model;
    const char* firmware;
    int battery;
    unsigned serialBase;
};

// Bodies of one generation that share the property model of PropertyModel (22 MP class, Quick mode AF).
constexpr std::array<Body, 8> kCatalogue = {{
    {"Canon EOS 5D Mark III", "1.3.5", 87, 23021000u},
    {"Canon EOS 6D", "1.1.8", 64, 32051000u},
    {"Canon EOS 7D Mark II", "1.1.2", 92, 41072000u},
    {"Canon EOS 5D Mark III", "1.3.5", 71, 23021500u},
    {"Canon EOS 6D", "1.1.8", 100, 32053000u},
    {"Canon EOS 7D Mark II", "1.1.2", 58, 41074000u},
    {"Canon EOS 5D Mark III", "1.3.5", 45, 23027000u},
    {"Canon EOS 6D", "1.1.8", 80, 32058000u},
}};

} // namespace

SimulatedCamera::SimulatedCamera(int ordinal) {
    const Body& body = kCatalogue[static_cast<std::size_t>(ordinal) % kCatalogue.size()];
    model_ = body.model;
    firmware_ = body.firmware;
    batteryAtSessionStart_ = body.battery;
    char serial[32];
    std::snprintf(serial, sizeof serial, "%04u%08u", 100u + static_cast<unsigned>(ordinal) % 9000u,
                  body.serialBase + static_cast<unsigned>(ordinal) * 37u);
    serial_ = serial;
}

std::string SimulatedCamera::DisplayName() const {
    return QCoreApplication::translate("quor::sim", "%1（模拟）").arg(QString::fromStdString(model_)).toStdString();
}

int SimulatedCamera::BatteryPercent(Clock::time_point now) const {
    if (!inSession_)
        return batteryAtSessionStart_;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - sessionStart_);
    const auto drained = drainInterval_.count() > 0 ? elapsed.count() / drainInterval_.count() : 0;
    return static_cast<int>(std::max<long long>(0, batteryAtSessionStart_ - drained));
}

void SimulatedCamera::BeginSession(Clock::time_point now, std::chrono::milliseconds drainInterval) {
    if (inSession_)
        EndSession(now);
    drainInterval_ = drainInterval;
    sessionStart_ = now;
    inSession_ = true;
}

void SimulatedCamera::EndSession(Clock::time_point now) {
    if (!inSession_)
        return;
    batteryAtSessionStart_ = BatteryPercent(now);
    inSession_ = false;
}

} // namespace quor::component
