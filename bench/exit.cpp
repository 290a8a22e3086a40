// The end of the console's process after its window closes, as quortovu ends (the scripted console,
// quortovu-scripted, a process of its own each time): idle, with live view running on the simulated camera and
// on the stand-in body through libgphoto2, and with the body stalled (connections open, nothing answered) while
// live view runs. Each figure is the time from the window closing to the process's end, against a limit of
// 300 ms. Also the longest the window goes without its event loop while an open waits for a stalled body.
#include "tools/scripted/ConsoleProcess.h"
#include "tools/standin/StandinBody.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using quor::scripted::ConsoleProcess;
using quor::scripted::Numbers;
using quor::standin::StandinBody;

enum Case : int { kIdle, kLiveSimulated, kLiveStandin, kStalled };

// A throwaway home for one console: its settings, libgphoto2's, and where photos would go.
struct Home {
    Home() {
        char pattern[] = "/tmp/quor-bench-exit-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        path = made ? made : "";
    }
    ~Home() {
        std::error_code ec;
        if (!path.empty())
            std::filesystem::remove_all(path, ec);
    }
    std::vector<std::string> Env(int simulated, const StandinBody* body) const {
        std::vector<std::string> env{"HOME=" + path, "XDG_CONFIG_HOME=" + path + "/config",
                                     "QUORCTRL_SIMULATED_CAMERAS=" + std::to_string(simulated)};
        if (body)
            env.push_back("QUORCTRL_NETWORK_CAMERAS=127.0.0.1:" + std::to_string(body->Port()));
        return env;
    }
    std::string path;
};

quor::standin::StandinOptions BodyOptions() {
    quor::standin::StandinOptions o;
    o.frameWidth = 960;
    o.frameHeight = 640;
    return o;
}

bool Fail(benchmark::State& state, const char* why) {
    state.SkipWithError(why);
    return false;
}

// Brings the console to the case's state; false (and the benchmark told why) when it could not.
bool Prepare(benchmark::State& state, Case c, ConsoleProcess& console, StandinBody* body) {
    if (console.ReadLine(30s).value_or("").rfind("ready", 0) != 0)
        return Fail(state, "the console did not start");
    if (c == kIdle)
        return true;
    const auto open = console.Ask("open", "open", 30s);
    if (!open || Numbers(*open).empty() || Numbers(*open)[0] != 1)
        return Fail(state, "the camera did not open");
    if (console.Ask("live", "live", 30s) != "live 1")
        return Fail(state, "live view did not start");
    std::this_thread::sleep_for(500ms); // frames flowing
    if (c != kStalled)
        return true;
    body->Stall(true);
    // The worker is inside a call the body does not answer.
    for (int i = 0; i < 500 && body->WaitingOperations() == 0; ++i)
        std::this_thread::sleep_for(10ms);
    if (body->WaitingOperations() == 0)
        return Fail(state, "the stalled body was never asked anything");
    return true;
}

void BM_ExitAfterWindowCloses(benchmark::State& state) {
    const Case c = static_cast<Case>(state.range(0));
    const bool real = c == kLiveStandin || c == kStalled;
    for (auto _ : state) {
        StandinBody body(BodyOptions());
        if (real && !body.Start())
            return state.SkipWithError("the stand-in body did not start");
        Home home;
        ConsoleProcess console;
        if (!console.Start(QUOR_SCRIPTED_CONSOLE, home.Env(real ? 0 : 1, real ? &body : nullptr)))
            return state.SkipWithError("the console could not be started");
        if (!Prepare(state, c, console, &body))
            return;
        const auto closed = console.Ask("close", "closed", 10s);
        const auto end = console.Wait(30s);
        if (!closed || !end)
            return state.SkipWithError("the process did not end");
        const std::int64_t closedNs = std::stoll(closed->substr(std::strlen("closed ")));
        state.SetIterationTime(static_cast<double>(end->atNs - closedNs) * 1e-9);
        body.Stall(false);
    }
}
BENCHMARK(BM_ExitAfterWindowCloses)
    ->ArgName("case")
    ->DenseRange(kIdle, kStalled)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// An open while the body answers nothing: the longest the window goes without running its event loop (the
// iteration's time) and how long the open waited for libgphoto2 to give up (open_ms).
void BM_OpenOnStalledBody(benchmark::State& state) {
    double openMs = 0;
    for (auto _ : state) {
        StandinBody body(BodyOptions());
        if (!body.Start())
            return state.SkipWithError("the stand-in body did not start");
        Home home;
        ConsoleProcess console;
        if (!console.Start(QUOR_SCRIPTED_CONSOLE, home.Env(0, &body)) ||
            console.ReadLine(30s).value_or("").rfind("ready", 0) != 0)
            return state.SkipWithError("the console did not start");
        body.Stall(true);
        const auto open = console.Ask("open", "open", 60s);
        const std::vector<long> n = open ? Numbers(*open) : std::vector<long>{};
        if (n.size() != 3)
            return state.SkipWithError("the open did not answer");
        state.SetIterationTime(static_cast<double>(n[2]) * 1e-3);
        openMs += static_cast<double>(n[1]);
        body.Stall(false);
        console.Ask("close", "closed", 10s);
        console.Wait(30s);
    }
    state.counters["open_ms"] = benchmark::Counter(openMs / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_OpenOnStalledBody)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN); // a console that ended early must not end the run
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
