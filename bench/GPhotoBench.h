// What the real-camera benchmarks share: a stand-in body (in this process, or on its own as a separate process
// when the benchmark measures this process's memory), libgphoto2 set up by itself the way the component's worker
// sets it up, the component hosted in a shown window, and durable writes for the bare side, so that both sides
// put each photo on disk the same way (file and folder flushed).
#pragma once

#include "bench/EventLoop.h"
#include "component/gphoto/GPhotoLibrary.h"
#include "component/host/QuorCtrlComponent.h"
#include "component/host/QuorCtrlView.h"
#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"
#include "control/QuorCtrl.h"
#include "tools/standin/StandinBody.h"

#include <gphoto2/gphoto2.h>

#include <QApplication>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace quor::bench {

using Clock = std::chrono::steady_clock;

inline int EnvInt(const char* name, int fallback) {
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

// One stand-in body for the whole run, shaped like a body of today: 960 x 640 live-view frames, 6 MB photos.
inline standin::StandinBody& Body() {
    static standin::StandinBody* body = [] {
        standin::StandinOptions o;
        o.frameWidth = 960;
        o.frameHeight = 640;
        o.photoBytes = 6 * 1024 * 1024;
        o.liveViewFps = 0;
        auto* b = new standin::StandinBody(o);
        if (!b->Start())
            std::abort();
        return b;
    }();
    return *body;
}

inline std::string PortPath(std::uint16_t port) {
    const std::string p = std::to_string(port);
    return "ptpip:127.0.0.1:" + p + ":" + p;
}

// libgphoto2 by itself: the camera set up the way the component's worker does.
struct BareCamera {
    GPContext* context = gp_context_new();
    Camera* camera = nullptr;
    bool ok = false;

    explicit BareCamera(std::uint16_t port = Body().Port()) {
        component::KeepDescriptorZeroTaken();
        gp_camera_new(&camera);
        CameraAbilitiesList* abilities = nullptr;
        gp_abilities_list_new(&abilities);
        gp_abilities_list_load(abilities, context);
        CameraAbilities a{};
        gp_abilities_list_get_abilities(abilities, gp_abilities_list_lookup_model(abilities, "PTP/IP Camera"), &a);
        gp_camera_set_abilities(camera, a);
        gp_abilities_list_free(abilities);
        GPPortInfoList* ports = nullptr;
        gp_port_info_list_new(&ports);
        gp_port_info_list_load(ports);
        GPPortInfo info;
        gp_port_info_list_get_info(ports, gp_port_info_list_lookup_path(ports, PortPath(port).c_str()), &info);
        gp_camera_set_port_info(camera, info);
        gp_port_info_list_free(ports);
        ok = gp_camera_init(camera, context) == GP_OK;
    }
    ~BareCamera() {
        if (ok)
            gp_camera_exit(camera, context);
        gp_camera_unref(camera);
        gp_context_unref(context);
        component::KeepDescriptorZeroTaken();
    }
    BareCamera(const BareCamera&) = delete;
    BareCamera& operator=(const BareCamera&) = delete;

    bool Set(const char* widget, const char* value) {
        CameraWidget* w = nullptr;
        if (gp_camera_get_single_config(camera, widget, &w, context) != GP_OK)
            return false;
        const bool set = gp_widget_set_value(w, value) == GP_OK &&
                         gp_camera_set_single_config(camera, widget, w, context) == GP_OK;
        gp_widget_free(w);
        return set;
    }

    // Fetches a file the body holds straight into a new file at `path`, then flushes the file and its folder.
    bool Fetch(const char* folder, const char* name, const std::string& path) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        CameraFile* file = nullptr;
        gp_file_new_from_fd(&file, fd); // the file closes the descriptor
        bool done = gp_camera_file_get(camera, folder, name, GP_FILE_TYPE_NORMAL, file, context) == GP_OK;
        done = done && ::fsync(fd) == 0;
        gp_file_unref(file);
        const std::string dir = path.substr(0, path.rfind('/'));
        const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        done = done && dirFd >= 0 && ::fsync(dirFd) == 0;
        if (dirFd >= 0)
            ::close(dirFd);
        return done;
    }
};

struct Sink : IEventSink {
    void OnEvent(int id, std::span<Variant> args) override {
        if (id == kEventNotify && args[0].text == notify::OpenSucceed)
            opened = true;
        if (id == kEventNotify && args[0].text == notify::DownloadComplete) {
            ++completed;
            completions.push_back(Clock::now());
        }
    }
    bool opened = false;
    int completed = 0;
    std::vector<Clock::time_point> completions;
};

// The component with one stand-in body as its one camera, hosted in a shown window.
struct Hosted {
    QWidget host;
    Sink sink;
    std::unique_ptr<component::QuorCtrlComponent> component;
    std::unique_ptr<CQuorCtrl> ctrl;

    explicit Hosted(std::uint16_t port = Body().Port()) {
        host.resize(800, 600);
        component::RealCameraSources sources;
        sources.network.push_back({"127.0.0.1", port});
        component = std::make_unique<component::QuorCtrlComponent>(&host, HostedProperties{}, 0, sources);
        component->Advise(&sink);
        ctrl = std::make_unique<CQuorCtrl>(component.get());
        component->View()->setGeometry(22, 100, 500, 330);
        host.show();
    }
    bool Open() { return ctrl->OpenCamera(0) && WaitFor([this] { return sink.opened; }, 5000); }
};

// Runs the benchmarks with a throwaway $HOME (libgphoto2 and the command line keep their settings, a PTP/IP
// identity, under it), offscreen unless told otherwise, and stops the shared body at the end.
inline int RunWithThrowawayHome(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    char pattern[] = "/tmp/quor-bench-home-XXXXXX";
    const char* home = ::mkdtemp(pattern);
    if (home)
        ::setenv("HOME", home, 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Body().Stop();
    if (home) {
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
    }
    return 0;
}

} // namespace quor::bench
