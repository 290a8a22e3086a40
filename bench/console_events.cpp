// The console's handling of a flood of component events: option additions for one property list, and value
// reports across the property panel. Time per event; the target is under 20 us per value report.
#include "bench/NoopComponent.h"
#include "console/CameraConsoleDlg.h"
#include "control/PropertyCodes.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace {

using quor::Variant;
using quor::bench::NoopComponent;

constexpr int kOptionEvents = 10'000;
constexpr int kValueReports = 100'000;

struct OpenConsole {
    NoopComponent* component = nullptr;
    std::unique_ptr<CCameraConsoleDlg> dlg;

    OpenConsole() {
        dlg = std::make_unique<CCameraConsoleDlg>("/opt/quortovu", quor::bench::NoopFactory(&component));
        dlg->ToggleCamera();
    }
};

// Events are built beforehand, so only their handling is timed.
std::vector<std::array<Variant, 4>> OptionEvents() {
    std::vector<std::array<Variant, 4>> events;
    events.reserve(kOptionEvents);
    for (int i = 0; i < kOptionEvents; ++i)
        events.push_back({Variant::Long(quor::prop::ShutterSpeed), Variant::String("1/" + std::to_string(i + 1)),
                          Variant::Long(0x10 + i), Variant::Bool(true)});
    return events;
}

void BM_PropertyOptionAdded(benchmark::State& state) {
    auto events = OptionEvents();
    for (auto _ : state) {
        state.PauseTiming();
        OpenConsole console;
        state.ResumeTiming();
        for (auto& args : events)
            console.component->Raise(quor::kEventPropertyOptionAdded, args);
        state.PauseTiming();
        if (qobject_cast<QComboBox*>(console.dlg->GetDlgItem(1006))->count() != kOptionEvents)
            state.SkipWithError("the list did not take every option");
        console.dlg.reset();
        state.ResumeTiming();
    }
    state.counters["per_event"] =
        benchmark::Counter(kOptionEvents, benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
}
BENCHMARK(BM_PropertyOptionAdded)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PropertyValueChanged(benchmark::State& state) {
    // Every bound property, with the keyword values that switch other controls among them.
    const std::vector<std::pair<std::int32_t, std::string>> reports = {
        {quor::prop::ShootingMode, "Av"},          {quor::prop::ShutterSpeed, "Bulb"},
        {quor::prop::ShutterSpeed, "1/250"},       {quor::prop::Aperture, "f/5.6"},
        {quor::prop::IsoSpeed, "ISO 400"},         {quor::prop::MeteringMode, "Evaluative"},
        {quor::prop::ExposureCompensation, "+1/3"}, {quor::prop::ImageQuality, "Large Fine"},
        {quor::prop::WhiteBalance, "Daylight"},    {quor::prop::DriveMode, "Continuous Shooting"},
        {quor::prop::DriveMode, "Single"},         {quor::prop::AfMode, "Manual Focus"},
        {quor::prop::AfMode, "One Shot AF"},       {quor::prop::LiveViewAfMode, "Quick mode"},
        {quor::prop::LiveViewAfMode, "Live mode"}, {quor::prop::SaveTo, "2"},
    };
    std::vector<std::array<Variant, 2>> events;
    for (const auto& [code, text] : reports)
        events.push_back({Variant::Long(code), Variant::String(text)});

    OpenConsole console;
    // The lists hold a realistic number of options while the values arrive.
    for (auto& args : OptionEvents())
        if (args[2].Int() < 0x10 + 60)
            console.component->Raise(quor::kEventPropertyOptionAdded, args);
    for (auto _ : state) {
        for (std::size_t i = 0; i < kValueReports; ++i)
            console.component->Raise(quor::kEventPropertyValueChanged, events[i % events.size()]);
    }
    state.counters["per_event"] =
        benchmark::Counter(kValueReports, benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
}
BENCHMARK(BM_PropertyValueChanged)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    quor::bench::PrepareApplication();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
