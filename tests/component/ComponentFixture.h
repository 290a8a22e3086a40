// A component hosted in a plain parent widget, driven through the host's typed wrapper, with a sink that
// records every event and whether it arrived inside a call.
#pragma once

#include "component/host/QuorCtrlComponent.h"
#include "control/QuorCtrl.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quor::component::test {

struct Recorded {
    int id;
    std::vector<Variant> args;
    bool nested; // raised while a call into the component was running
};

class RecordingSink : public IEventSink {
public:
    void OnEvent(int eventId, std::span<Variant> args) override {
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            offThread = true;
        events.push_back({eventId, std::vector<Variant>(args.begin(), args.end()), inCall});
        if (react)
            react(eventId, args);
    }

    std::vector<std::string> NotifyNames() const {
        std::vector<std::string> names;
        for (const Recorded& r : events)
            if (r.id == kEventNotify)
                names.push_back(r.args[0].text);
        return names;
    }
    // Option events of `code`: (text, value, enable).
    struct Option {
        std::string text;
        std::int32_t value;
        bool enable;
    };
    std::vector<Option> OptionsOf(std::int32_t code) const {
        std::vector<Option> out;
        for (const Recorded& r : events)
            if (r.id == kEventPropertyOptionAdded && r.args[0].Int() == code)
                out.push_back({r.args[1].text, r.args[2].Int(), r.args[3].IsTrue()});
        return out;
    }
    std::vector<std::string> ValuesOf(std::int32_t code) const {
        std::vector<std::string> out;
        for (const Recorded& r : events)
            if (r.id == kEventPropertyValueChanged && r.args[0].Int() == code)
                out.push_back(r.args[1].text);
        return out;
    }
    std::int32_t ValueOf(std::int32_t code, const std::string& text) const {
        for (const Option& o : OptionsOf(code))
            if (o.text == text)
                return o.value;
        ADD_FAILURE() << "no option \"" << text << "\" for property " << code;
        return -1;
    }

    int CountNotify(const std::string& name) const {
        int n = 0;
        for (const std::string& s : NotifyNames())
            n += s == name;
        return n;
    }

    std::vector<Recorded> events;
    bool inCall = false;
    bool offThread = false; // an event arrived on a thread other than the window's
    std::function<void(int, std::span<Variant>)> react;
};

// Time limits of the tests hold for ordinary builds; a sanitizer makes every frame many times slower to render,
// so there the limits only catch a thread that does not stop at all.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
inline constexpr int kSlowdown = 6;
#else
inline constexpr int kSlowdown = 1;
#endif

// Pumps events until `done` holds or `ms` have passed (longer under a sanitizer); returns whether it holds.
template <typename Pred>
bool WaitFor(Pred done, int ms = 5000 * kSlowdown) {
    return QTest::qWaitFor(done, ms);
}

// Threads of this process named `name` (the component names its capture and live-view threads).
inline int ThreadsNamed(const char* name) {
    int n = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name)
            ++n;
    }
    return n;
}

inline int ComponentThreads() { return ThreadsNamed("quor-capture") + ThreadsNamed("quor-liveview"); }

// Decodes an image file the component wrote. Under AddressSanitizer the JPEG is decoded on a short-lived thread:
// a process whose main thread has decoded a JPEG through the plugin first loaded on the component's capture
// thread crashes in LeakSanitizer's exit-time scan (dynamic TLS), which would hide every real report. Elsewhere
// it is decoded in place (ThreadSanitizer cannot see glibc reusing an exited thread's TLS for a new one).
inline QImage DecodeImage(const QString& path) {
#if defined(__SANITIZE_ADDRESS__)
    QImage image;
    std::thread([&] { image = QImage(path); }).join();
    return image;
#else
    return QImage(path);
#endif
}
inline QImage DecodeImage(const std::string& path) { return DecodeImage(QString::fromStdString(path)); }

// The component's settings dialog is modal: closes it as soon as the event loop runs it.
inline void CloseSettingsDialogSoon() {
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QStringLiteral("QuorCtrlSettings") && w->isVisible())
                static_cast<QDialog*>(w)->reject();
    });
}

inline void Pump() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

class ComponentTest : public ::testing::Test {
protected:
    void Make(int cameras = 1, HostedProperties props = {}) {
        // The fallback folder of each test is its own; nothing is remembered between tests.
        ComponentPlaces places;
        places.picturesFolder = pictures.filePath(QStringLiteral("QuorTovu"));
        component = std::make_unique<QuorCtrlComponent>(&parent, props, cameras, RealCameraSources(), places);
        component->Advise(&sink);
        ctrl.Attach(component.get());
    }
    void TearDown() override {
        component.reset();
        Pump();
    }
    // Runs one host call, marking events raised inside it as nested.
    template <typename F>
    auto Call(F&& f) {
        sink.inCall = true;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{sink.inCall};
        return std::forward<F>(f)();
    }
    bool OpenAndSettle(int index = 0) {
        bool ok = Call([&] { return ctrl.OpenCamera(index); });
        Pump();
        return ok;
    }
    CameraEngine& Engine() { return component->Engine(); }

    QTemporaryDir pictures;
    QWidget parent;
    RecordingSink sink;
    std::unique_ptr<QuorCtrlComponent> component;
    CQuorCtrl ctrl;
};

} // namespace quor::component::test
