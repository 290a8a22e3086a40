// quortovu-standin: runs the stand-in camera body on 127.0.0.1 until killed, printing what it does.
#include "tools/standin/PtpCodes.h"
#include "tools/standin/StandinBody.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace {

volatile std::sig_atomic_t g_stop = 0;
volatile std::sig_atomic_t g_stall = -1; // SIGUSR1: 1 (stall), SIGUSR2: 0 (answer again)
void OnSignal(int) { g_stop = 1; }
void OnStallSignal(int signal) { g_stall = signal == SIGUSR1 ? 1 : 0; }

void Usage(const char* argv0) {
    std::fprintf(stderr,
                 "usage: %s [--port N] [--photo-kb N] [--frame WxH] [--series-ms N] [--processing-ms N]\n"
                 "          [--live-fps N] [--no-zoom] [--busy N] [--slow CHUNK_KB:DELAY_MS] [--stall-after MS]\n"
                 "          [--quiet]\n"
                 "  --port N        TCP port on 127.0.0.1 (default 15740; 0 picks a free one)\n"
                 "  --photo-kb N    size of every JPEG the body takes (default 512)\n"
                 "  --frame WxH     live-view frame size (default 640x424)\n"
                 "  --series-ms N   time between shots of a continuous series (default 120)\n"
                 "  --processing-ms N  time from the end of an exposure to its files (default 150)\n"
                 "  --live-fps N    live-view frames per second (default 25)\n"
                 "  --no-zoom       a body without the live-view magnifier (no Zoom, ZoomPosition)\n"
                 "  --busy N        answer DeviceBusy to the next N requests to do something (settings, releases,\n"
                 "                  AF, live-view frames, transfers); the session set-up is always answered\n"
                 "  --slow C:D      send image data in C KB chunks, D ms apart\n"
                 "  --stall-after MS  stop answering MS ms after the first session opens (connections stay open);\n"
                 "                  SIGUSR1 stalls the body at any time, SIGUSR2 lets it answer again\n"
                 "  --quiet         print only the port\n",
                 argv0);
}

bool ParseInt(const char* s, long lo, long hi, long* out) {
    char* end = nullptr;
    long v = std::strtol(s, &end, 10);
    if (!end || *end || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

// What the command line asks for.
struct CommandLine {
    quor::standin::StandinOptions options;
    long busy = 0, slowKb = 0, slowMs = 0;
    long stallAfterMs = -1;
    bool quiet = false;
};

// Reads the options into `cmd`. The exit code when the program should end at once (help or a bad option).
std::optional<int> ParseCommandLine(int argc, char** argv, CommandLine& cmd) {
    auto& options = cmd.options;
    options.port = 15740;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        long v = 0;
        if (arg == "--port" && next && ParseInt(next, 0, 65535, &v)) {
            options.port = static_cast<std::uint16_t>(v);
            ++i;
        } else if (arg == "--photo-kb" && next && ParseInt(next, 1, 512 * 1024, &v)) {
            options.photoBytes = static_cast<std::size_t>(v) * 1024;
            ++i;
        } else if (arg == "--frame" && next && std::sscanf(next, "%dx%d", &options.frameWidth, &options.frameHeight) == 2 &&
                   options.frameWidth >= 16 && options.frameHeight >= 16 && options.frameWidth <= 4096 &&
                   options.frameHeight <= 4096) {
            ++i;
        } else if (arg == "--series-ms" && next && ParseInt(next, 1, 60000, &v)) {
            options.seriesInterval = std::chrono::milliseconds(v);
            ++i;
        } else if (arg == "--processing-ms" && next && ParseInt(next, 0, 60000, &v)) {
            options.processingTime = std::chrono::milliseconds(v);
            ++i;
        } else if (arg == "--live-fps" && next && ParseInt(next, 1, 240, &v)) {
            options.liveViewFps = static_cast<int>(v);
            ++i;
        } else if (arg == "--busy" && next && ParseInt(next, 0, 1000000, &v)) {
            cmd.busy = v;
            ++i;
        } else if (arg == "--slow" && next && std::sscanf(next, "%ld:%ld", &cmd.slowKb, &cmd.slowMs) == 2 &&
                   cmd.slowKb > 0 && cmd.slowMs >= 0) {
            ++i;
        } else if (arg == "--stall-after" && next && ParseInt(next, 0, 3600 * 1000, &v)) {
            cmd.stallAfterMs = v;
            ++i;
        } else if (arg == "--no-zoom") {
            options.liveViewZoom = false;
        } else if (arg == "--quiet") {
            cmd.quiet = true;
        } else if (arg == "--help" || arg == "-h") {
            Usage(argv[0]);
            return 0;
        } else {
            Usage(argv[0]);
            return 2;
        }
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    using namespace quor::standin;
    CommandLine cmd;
    if (auto exitCode = ParseCommandLine(argc, argv, cmd))
        return *exitCode;

    std::mutex printMutex;
    if (!cmd.quiet) {
        cmd.options.trace = [&printMutex](const std::string& line) {
            std::lock_guard lock(printMutex);
            std::printf("standin: %s\n", line.c_str());
            std::fflush(stdout);
        };
    }

    StandinBody body(cmd.options);
    if (cmd.busy > 0)
        body.AnswerBusy(static_cast<int>(cmd.busy));
    if (cmd.slowKb > 0)
        body.SetSlowTransfers(static_cast<std::size_t>(cmd.slowKb) * 1024, std::chrono::milliseconds(cmd.slowMs));

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::string error;
    if (!body.Start(&error)) {
        std::fprintf(stderr, "standin: cannot start: %s\n", error.c_str());
        return 1;
    }
    {
        std::lock_guard lock(printMutex);
        // libgphoto2 connects the event channel to 15740 unless the port path names it too.
        const unsigned port = body.Port();
        std::printf("standin: port %u (libgphoto2 port \"ptpip:127.0.0.1:%u:%u\", model \"PTP/IP Camera\")\n", port,
                    port, port);
        std::fflush(stdout);
    }
    std::signal(SIGUSR1, OnStallSignal);
    std::signal(SIGUSR2, OnStallSignal);
    std::optional<std::chrono::steady_clock::time_point> stallAt;
    while (!g_stop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (g_stall >= 0) {
            body.Stall(g_stall == 1);
            g_stall = -1;
        }
        if (cmd.stallAfterMs >= 0 && !stallAt && body.Log().Count(quor::standin::op::kOpenSession) > 0)
            stallAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(cmd.stallAfterMs);
        if (stallAt && std::chrono::steady_clock::now() >= *stallAt) {
            body.Stall(true);
            stallAt.reset();
            cmd.stallAfterMs = -1; // once
        }
    }
    body.Stop();
    return 0;
}
