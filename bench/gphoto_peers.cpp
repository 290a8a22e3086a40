// The real-camera path next to what users run today, and what a large photo costs in memory.
//  - The gphoto2 command line on the same stand-in body: --capture-movie frames per second (the body unpaced and
//    at 25 fps) and --capture-image-and-download per shot ((time of 6 shots - time of 1) / 5, so that its start-up
//    does not count). The component's figures for the same rows come from bench_gphoto.
//  - Peak memory of downloading one 50 MB photo, above the idle component: the body runs as a process of its own
//    (the stand-in executable) so that only the component's memory is counted. From the card, the download is
//    streamed; a shot into the body's memory arrives whole inside libgphoto2's capture call.
#include "bench/GPhotoBench.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include <malloc.h>

namespace {

using quor::bench::Body;
using quor::bench::Clock;
using quor::bench::EnvInt;
using quor::bench::Wait;
using quor::bench::WaitFor;
using Hosted = quor::bench::Hosted;

QStringList CliArgs(std::uint16_t port) {
    return {QStringLiteral("--port"), QString::fromStdString(quor::bench::PortPath(port)), QStringLiteral("--camera"),
            QStringLiteral("PTP/IP Camera")};
}

// Runs gphoto2 in `dir` with `args`; its output, empty when it failed.
QString RunCli(const QString& dir, const QStringList& args, double* seconds = nullptr) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    const auto t0 = Clock::now();
    p.start(QStringLiteral("gphoto2"), args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    if (seconds)
        *seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    return QString::fromLocal8Bit(p.readAll());
}

void BM_CliMovie(benchmark::State& state) {
    Body().SetLiveViewFps(static_cast<int>(state.range(0)));
    QTemporaryDir dir;
    const int seconds = EnvInt("QUOR_BENCH_SECONDS", 3);
    for (auto _ : state) {
        const QString out =
            RunCli(dir.path(), CliArgs(Body().Port()) << QStringLiteral("--capture-movie=%1s").arg(seconds));
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral(R"(finished \((\d+) frames\))")).match(out);
        if (!m.hasMatch()) {
            const std::string why = ("gphoto2 --capture-movie failed: " + out.right(300)).toStdString();
            state.SkipWithError(why.c_str());
            return;
        }
        state.counters["fps"] = m.captured(1).toDouble() / seconds;
    }
}
BENCHMARK(BM_CliMovie)->Arg(0)->Arg(25)->ArgName("fps")->Iterations(1)->Unit(benchmark::kSecond);

void BM_CliShot(benchmark::State& state) {
    QTemporaryDir dir;
    auto run = [&](int shots, double* seconds) {
        QStringList args = CliArgs(Body().Port()) << QStringLiteral("--force-overwrite") << QStringLiteral("--filename")
                                                  << QStringLiteral("shot%n.%C");
        for (int i = 0; i < shots; ++i)
            args << QStringLiteral("--capture-image-and-download");
        return !RunCli(dir.path(), args, seconds).isEmpty();
    };
    for (auto _ : state) {
        double one = 0, six = 0;
        if (!run(1, &one) || !run(6, &six)) {
            state.SkipWithError("gphoto2 --capture-image-and-download failed");
            return;
        }
        state.counters["ms_per_shot"] = (six - one) / 5 * 1000;
    }
}
BENCHMARK(BM_CliShot)->Iterations(1)->Unit(benchmark::kSecond);

// A stand-in body as a process of its own, with 50 MB photos.
struct OwnBody {
    QProcess process;
    std::uint16_t port = 0;
    OwnBody() {
        process.start(QStringLiteral(QUOR_STANDIN_EXE),
                      {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--photo-kb"),
                       QStringLiteral("51200"), QStringLiteral("--quiet")});
        for (auto end = Clock::now() + std::chrono::seconds(10); port == 0 && Clock::now() < end;) {
            process.waitForReadyRead(200);
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral(R"(port (\d+))")).match(QString::fromLocal8Bit(process.peek(4096)));
            if (m.hasMatch())
                port = static_cast<std::uint16_t>(m.captured(1).toUInt());
        }
    }
    ~OwnBody() {
        process.terminate();
        process.waitForFinished(5000);
    }
};

long StatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(std::string(key).size()));
    return -1;
}

// Arg: where the body keeps its shots (quor::prop::SaveToCamera, SaveToComputer).
void BM_LargePhotoMemory(benchmark::State& state) {
    OwnBody body;
    if (body.port == 0) {
        state.SkipWithError("the stand-in did not start");
        return;
    }
    Hosted h(body.port);
    if (!h.Open()) {
        state.SkipWithError("cannot open the stand-in");
        return;
    }
    const auto target = static_cast<std::int32_t>(state.range(0));
    h.ctrl->SetPropertyValue(quor::prop::SaveTo, target);
    WaitFor([&] { return h.ctrl->GetPropertyValue(quor::prop::SaveTo) == target; }, 5000);
    QTemporaryDir dir;
    auto shoot = [&](int i) {
        const int before = h.sink.completed;
        h.ctrl->TakePicture(dir.filePath(QStringLiteral("big%1.jpg").arg(i)).toStdString());
        return WaitFor([&] { return h.sink.completed > before; }, 60000);
    };
    shoot(0); // the first shot loads what every later one uses
    for (auto _ : state) {
        Wait(500);
        malloc_trim(0);
        const long idle = StatusKb("VmRSS:");
        std::ofstream("/proc/self/clear_refs") << "5"; // the peak starts again from here
        if (!shoot(1)) {
            state.SkipWithError("no DownloadComplete");
            return;
        }
        const long peak = StatusKb("VmHWM:");
        state.counters["peak_mb_above_idle"] = double(peak - idle) / 1024.0;
    }
}
BENCHMARK(BM_LargePhotoMemory)
    ->Arg(quor::prop::SaveToCamera)
    ->Arg(quor::prop::SaveToComputer)
    ->ArgName("saveto")
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) { return quor::bench::RunWithThrowawayHome(argc, argv); }
