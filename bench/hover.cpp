// The hover half-press: pointer moves over the Take photo button of a console with an open camera, delivered
// the way the platform delivers them (through Qt's window-system entry, the console's pre-translation and the
// widgets beneath). Each move makes one PressShutterHalfway call. Target: under 20 us per move.
#include "bench/NoopComponent.h"
#include "console/CameraConsoleDlg.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWindow>

#include <memory>

// QtGui's entry for synthetic pointer input, the one QtTest drives; declared here to avoid linking QtTest.
void qt_handleMouseEvent(QWindow* window, const QPointF& local, const QPointF& global, Qt::MouseButtons state,
                         Qt::MouseButton button, QEvent::Type type, Qt::KeyboardModifiers mods, int timestamp);

namespace {

using quor::bench::NoopComponent;

constexpr int kMoves = 10'000;

void Hover(benchmark::State& state, bool overButton) {
    NoopComponent* component = nullptr;
    CCameraConsoleDlg dlg("/opt/quortovu", quor::bench::NoopFactory(&component));
    dlg.show();
    QCoreApplication::processEvents();
    dlg.ToggleCamera();
    QWindow* window = dlg.windowHandle();
    if (!window || !dlg.State().cameraOpen) {
        state.SkipWithError("the console did not open its camera");
        return;
    }
    const QPoint base = overButton ? dlg.TakePhotoRect().topLeft() + QPoint(4, 4) : QPoint(300, 20);
    int timestamp = 1;
    std::int64_t moves = 0;
    const std::int64_t callsBefore = component->Calls();
    for (auto _ : state) {
        for (int i = 0; i < kMoves; ++i) {
            // Alternate between two points: Qt drops a move to where the pointer already is.
            const QPointF local(base + QPoint(i & 1, 0));
            qt_handleMouseEvent(window, local, window->mapToGlobal(local), Qt::NoButton, Qt::NoButton,
                                QEvent::MouseMove, Qt::NoModifier, timestamp++);
        }
        moves += kMoves;
    }
    const std::int64_t calls = component->Calls() - callsBefore;
    if (overButton && calls != moves)
        state.SkipWithError("not every move over the button half-pressed");
    if (!overButton && calls != 0)
        state.SkipWithError("a move elsewhere called the component");
    state.counters["per_move"] = benchmark::Counter(
        kMoves, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_HoverOverTakePhoto(benchmark::State& state) { Hover(state, true); }
void BM_MoveElsewhere(benchmark::State& state) { Hover(state, false); }
BENCHMARK(BM_HoverOverTakePhoto)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_MoveElsewhere)->Unit(benchmark::kMillisecond)->Iterations(5);

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
