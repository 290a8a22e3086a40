// quortovu-scripted: the console exactly as quortovu runs it (CCameraDemoApp, its end included), with a reader
// of standard input that works its controls. One command a line, one answer a line on standard output:
//   (at start)  ready <cameras listed>
//   open        open <1 opened, 0 not> <ms the click took> <longest ms the window went without its timer>
//   live        live <1 once live view runs, 0 if it did not within 10 s>
//   shoot       shoot
//   series      series <1 once a continuous series was started, 0 if the drive mode never allowed it within 10 s>
//   close       closed <steady clock in ns once the window has closed>   (then the process ends by itself)
//   (unasked)   hidden      once the console's window has gone, whatever closed it
#include "app/CameraDemoApp.h"
#include "console/CameraConsoleDlg.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <string>

#include <unistd.h>

namespace {

CCameraConsoleDlg* Console() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* console = qobject_cast<CCameraConsoleDlg*>(w); console && console->isVisible())
            return console;
    return nullptr;
}

void Answer(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void Click(CCameraConsoleDlg* console, int id) {
    if (auto* button = qobject_cast<QAbstractButton*>(console->GetDlgItem(id)))
        button->click();
}

// How long the window's thread ever went without running a 5 ms timer, since the last Reset.
class GapMeter {
public:
    GapMeter() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
        timer_.start();
        since_.start();
    }
    void Reset() {
        longest_ = 0;
        since_.restart();
    }
    qint64 Longest() {
        Tick();
        return longest_;
    }

private:
    void Tick() {
        longest_ = std::max(longest_, since_.restart());
    }
    QTimer timer_;
    QElapsedTimer since_;
    qint64 longest_ = 0;
};

void Open(CCameraConsoleDlg* console, GapMeter& gaps) {
    if (auto* cameras = qobject_cast<QComboBox*>(console->GetDlgItem(1014)))
        cameras->setCurrentIndex(0);
    QElapsedTimer took;
    took.start();
    gaps.Reset();
    Click(console, 1001);
    const qint64 ms = took.elapsed();
    Answer("open " + std::to_string(console->State().cameraOpen) + " " + std::to_string(ms) + " " +
           std::to_string(gaps.Longest()));
}

void AwaitLiveView(QElapsedTimer since) {
    CCameraConsoleDlg* console = Console();
    if (console && console->State().liveViewOn != 0)
        return Answer("live 1");
    if (!console || since.elapsed() > 10000)
        return Answer("live 0");
    QTimer::singleShot(10, [since] { AwaitLiveView(since); });
}

// Sets the drive mode to continuous shooting, then starts a series once the console allows it.
void StartSeries(QElapsedTimer since) {
    CCameraConsoleDlg* console = Console();
    if (!console || since.elapsed() > 10000)
        return Answer("series 0");
    auto* drive = qobject_cast<QComboBox*>(console->GetDlgItem(1017));
    const int continuous = drive ? drive->findText(QStringLiteral("Continuous Shooting")) : -1;
    if (continuous >= 0 && drive->currentIndex() != continuous) {
        drive->setCurrentIndex(continuous);
        emit drive->activated(continuous);
    }
    if (console->GetDlgItem(1029) && console->GetDlgItem(1029)->isEnabled()) {
        Click(console, 1029);
        return Answer("series " + std::to_string(console->State().continuousActive));
    }
    QTimer::singleShot(10, [since] { StartSeries(since); });
}

void Run(const std::string& command, GapMeter& gaps) {
    CCameraConsoleDlg* console = Console();
    if (!console)
        return Answer("error: no console");
    if (command == "open") {
        Open(console, gaps);
    } else if (command == "live") {
        Click(console, 1020);
        QElapsedTimer since;
        since.start();
        AwaitLiveView(since);
    } else if (command == "shoot") {
        Click(console, 1003);
        Answer("shoot");
    } else if (command == "series") {
        QElapsedTimer since;
        since.start();
        StartSeries(since);
    } else if (command == "close") {
        console->close(); // as the window's close button does
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        Answer("closed " + std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
    } else {
        Answer("error: unknown command " + command);
    }
}

// Reads the commands as they come; each runs on the window's thread between its events.
void ReadCommands(QSocketNotifier& notifier, GapMeter& gaps) {
    static std::string pending;
    char buffer[256];
    const ssize_t n = ::read(0, buffer, sizeof buffer);
    if (n <= 0) {
        notifier.setEnabled(false); // nobody sends more
        return;
    }
    pending.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
        const std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        Run(line, gaps);
    }
}

// Says "hidden" when the console's window goes, whatever closed it (a command, a signal, the window itself).
class HideWatch : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Hide && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow())
            Answer("hidden");
        return false;
    }
};

void AnnounceWhenShown() {
    if (CCameraConsoleDlg* console = Console()) {
        console->installEventFilter(new HideWatch(console));
        auto* cameras = qobject_cast<QComboBox*>(console->GetDlgItem(1014));
        return Answer("ready " + std::to_string(cameras ? cameras->count() : 0));
    }
    QTimer::singleShot(10, [] { AnnounceWhenShown(); });
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
    CCameraDemoApp app(argc, argv);
    GapMeter gaps;
    QSocketNotifier commands(0, QSocketNotifier::Read);
    QObject::connect(&commands, &QSocketNotifier::activated, [&] { ReadCommands(commands, gaps); });
    QTimer::singleShot(0, [] { AnnounceWhenShown(); });
    app.InitInstance();
}
