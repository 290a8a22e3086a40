// Shared pieces for the stand-in body tests: a throwaway HOME for libgphoto2, a libgphoto2 camera connected to
// a running stand-in over PTP/IP on 127.0.0.1, and a watchdog that ends a test run that hangs.
#pragma once

#include "tools/standin/PtpCodes.h"
#include "tools/standin/StandinBody.h"

#include <gphoto2/gphoto2.h>

#include <QByteArray>
#include <QImage>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace quor::standin::test {

using namespace std::chrono_literals;

// libgphoto2 keeps a settings file (a PTP/IP GUID, the capture target) under $HOME/.gphoto, read once per
// process: HOME must point to a throwaway folder before the first gp_ call.
// libgphoto2 loads its drivers for each abilities list and unloads them again; memory they keep for the process
// then shows up under the leak checker as leaks from modules that are gone. Keeping them loaded lets the leak
// report name them (and the suppressions in LeakSuppressions.cpp match them).
inline void PinDriverModules() {
    for (const char* dir : {QUOR_GPHOTO2_CAMLIBS, QUOR_GPHOTO2_IOLIBS}) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
            if (entry.path().extension() == ".so")
                ::dlopen(entry.path().c_str(), RTLD_NOW | RTLD_NODELETE);
        }
    }
}

// libgphoto2 writes to its PTP/IP sockets without MSG_NOSIGNAL: a write after the body hung up raises SIGPIPE,
// which would end the test run, so it is ignored here (the console does the same).
inline void UseThrowawayHome() {
    static const std::string home = [] {
        std::signal(SIGPIPE, SIG_IGN);
        PinDriverModules();
        // QUOR_STANDIN_GPLOG=1 prints libgphoto2's debug log.
        if (std::getenv("QUOR_STANDIN_GPLOG"))
            gp_log_add_func(
                GP_LOG_DEBUG,
                [](GPLogLevel, const char* domain, const char* text, void*) {
                    std::fprintf(stderr, "  gp %s: %s\n", domain, text);
                },
                nullptr);
        char pattern[] = "/tmp/quor-standin-home-XXXXXX";
        const char* dir = ::mkdtemp(pattern);
        std::string path = dir ? dir : "/tmp";
        ::setenv("HOME", path.c_str(), 1);
        std::atexit([] {
            std::error_code ec;
            const char* h = std::getenv("HOME");
            if (h && std::string(h).rfind("/tmp/quor-standin-home-", 0) == 0)
                std::filesystem::remove_all(h, ec);
        });
        return path;
    }();
    (void)home;
}

// Ends the process if a test runs past its deadline (a hung libgphoto2 call cannot be interrupted otherwise).
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit) {
        thread_ = std::thread([this, limit] {
            std::unique_lock lock(mutex_);
            if (!cv_.wait_for(lock, limit, [this] { return done_; })) {
                std::fprintf(stderr, "watchdog: test still running after %llds, giving up\n",
                             static_cast<long long>(limit.count()));
                std::_Exit(3);
            }
        });
    }
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread thread_;
};

// libgphoto2 2.5.30 closes descriptor 0 each time it disconnects a PTP/IP camera. Without something on 0, its
// next socket lands there and the next disconnect closes that one too (or whatever else took 0): keep /dev/null
// on it around every connect and disconnect.
inline void KeepDescriptorZeroTaken() {
    if (::fcntl(0, F_GETFD) == -1 && errno == EBADF) {
        int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd > 0)
            ::close(fd); // 0 was taken meanwhile
    }
}

// The libgphoto2 port path for a stand-in. libgphoto2 2.5.30 connects the event channel to 15740 unless the
// path names its port too, so both are given.
inline std::string PortPath(std::uint16_t port) {
    return "ptpip:127.0.0.1:" + std::to_string(port) + ":" + std::to_string(port);
}

// One libgphoto2 camera on the "PTP/IP Camera" driver, at a given port path.
class GpCamera {
public:
    explicit GpCamera(const std::string& portPath) {
        UseThrowawayHome();
        KeepDescriptorZeroTaken();
        context_ = gp_context_new();
        gp_camera_new(&camera_);
        CameraAbilitiesList* abilities = nullptr;
        gp_abilities_list_new(&abilities);
        gp_abilities_list_load(abilities, context_);
        const int model = gp_abilities_list_lookup_model(abilities, "PTP/IP Camera");
        CameraAbilities a{};
        if (model >= 0 && gp_abilities_list_get_abilities(abilities, model, &a) == GP_OK)
            gp_camera_set_abilities(camera_, a);
        gp_abilities_list_free(abilities);
        GPPortInfoList* ports = nullptr;
        gp_port_info_list_new(&ports);
        gp_port_info_list_load(ports);
        const int index = gp_port_info_list_lookup_path(ports, portPath.c_str());
        GPPortInfo info;
        if (index >= 0 && gp_port_info_list_get_info(ports, index, &info) == GP_OK)
            gp_camera_set_port_info(camera_, info);
        gp_port_info_list_free(ports);
        initResult_ = (model >= 0 && index >= 0) ? gp_camera_init(camera_, context_) : GP_ERROR_MODEL_NOT_FOUND;
    }
    ~GpCamera() {
        if (initResult_ == GP_OK)
            gp_camera_exit(camera_, context_);
        gp_camera_unref(camera_);
        gp_context_unref(context_);
        KeepDescriptorZeroTaken();
    }
    GpCamera(const GpCamera&) = delete;
    GpCamera& operator=(const GpCamera&) = delete;

    int InitResult() const { return initResult_; }
    Camera* Raw() { return camera_; }
    GPContext* Context() { return context_; }

    // Text of one widget, read on its own; nullopt when the camera has no such widget.
    std::optional<std::string> Get(const char* name) {
        CameraWidget* w = nullptr;
        if (gp_camera_get_single_config(camera_, name, &w, context_) != GP_OK)
            return std::nullopt;
        std::optional<std::string> text;
        CameraWidgetType type;
        gp_widget_get_type(w, &type);
        if (type == GP_WIDGET_TEXT || type == GP_WIDGET_RADIO || type == GP_WIDGET_MENU) {
            const char* v = nullptr;
            if (gp_widget_get_value(w, &v) == GP_OK && v)
                text = v;
        } else if (type == GP_WIDGET_TOGGLE) {
            int v = 0;
            if (gp_widget_get_value(w, &v) == GP_OK)
                text = std::to_string(v);
        }
        gp_widget_free(w);
        return text;
    }
    std::vector<std::string> Choices(const char* name) {
        std::vector<std::string> out;
        CameraWidget* w = nullptr;
        if (gp_camera_get_single_config(camera_, name, &w, context_) != GP_OK)
            return out;
        for (int i = 0; i < gp_widget_count_choices(w); ++i) {
            const char* c = nullptr;
            gp_widget_get_choice(w, i, &c);
            out.emplace_back(c ? c : "");
        }
        gp_widget_free(w);
        return out;
    }
    int Set(const char* name, const char* value) {
        CameraWidget* w = nullptr;
        int r = gp_camera_get_single_config(camera_, name, &w, context_);
        if (r != GP_OK)
            return r;
        r = gp_widget_set_value(w, value);
        if (r == GP_OK)
            r = gp_camera_set_single_config(camera_, name, w, context_);
        gp_widget_free(w);
        return r;
    }
    int SetToggle(const char* name, int value) {
        CameraWidget* w = nullptr;
        int r = gp_camera_get_single_config(camera_, name, &w, context_);
        if (r != GP_OK)
            return r;
        r = gp_widget_set_value(w, &value);
        if (r == GP_OK)
            r = gp_camera_set_single_config(camera_, name, w, context_);
        gp_widget_free(w);
        return r;
    }

    // Captures and downloads one picture; the file's bytes, or the libgphoto2 error.
    struct Download {
        int result = GP_OK;
        std::vector<std::uint8_t> bytes;
        std::string name;
    };
    Download CaptureAndDownload() {
        Download d;
        CameraFilePath path{};
        d.result = gp_camera_capture(camera_, GP_CAPTURE_IMAGE, &path, context_);
        if (d.result != GP_OK)
            return d;
        d.name = path.name;
        d = Fetch(path.folder, path.name);
        return d;
    }
    Download Fetch(const char* folder, const char* name) {
        Download d;
        d.name = name;
        CameraFile* file = nullptr;
        gp_file_new(&file);
        d.result = gp_camera_file_get(camera_, folder, name, GP_FILE_TYPE_NORMAL, file, context_);
        const char* data = nullptr;
        unsigned long size = 0;
        if (d.result == GP_OK && gp_file_get_data_and_size(file, &data, &size) == GP_OK)
            d.bytes.assign(data, data + size);
        gp_file_unref(file);
        return d;
    }
    Download Preview() {
        Download d;
        CameraFile* file = nullptr;
        gp_file_new(&file);
        d.result = gp_camera_capture_preview(camera_, file, context_);
        const char* data = nullptr;
        unsigned long size = 0;
        if (d.result == GP_OK && gp_file_get_data_and_size(file, &data, &size) == GP_OK)
            d.bytes.assign(data, data + size);
        gp_file_unref(file);
        return d;
    }

private:
    GPContext* context_ = nullptr;
    Camera* camera_ = nullptr;
    int initResult_ = GP_ERROR;
};

// SetDevicePropValueEx writes of `code` from log position `from` on; with `takenOnly`, those the body took.
inline std::vector<PropWrite> PropertyWrites(const StandinBody& body, std::uint16_t code, std::size_t from = 0,
                                             bool takenOnly = false) {
    std::vector<PropWrite> writes;
    for (const auto& r : body.Log().Find(
             [takenOnly](const OperationRecord& r) {
                 return r.code == op::kEosSetDevicePropValueEx && (!takenOnly || r.response == rc::kOk);
             },
             from)) {
        auto w = EosProperties::ParseWrite(r.data);
        if (w && w->code == code)
            writes.push_back(*w);
    }
    return writes;
}

// QUOR_STANDIN_TRACE=1 prints what the body does (for looking into a failing test).
inline StandinOptions Traced(StandinOptions o) {
    if (std::getenv("QUOR_STANDIN_TRACE"))
        o.trace = [](const std::string& line) { std::fprintf(stderr, "  body: %s\n", line.c_str()); };
    return o;
}

inline QImage DecodeJpeg(const std::vector<std::uint8_t>& bytes) {
    return QImage::fromData(QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())),
                            "JPG");
}

// A running stand-in and a libgphoto2 camera connected to it.
class StandinTest : public ::testing::Test {
protected:
    virtual StandinOptions Options() { return {}; }

    void SetUp() override {
        UseThrowawayHome();
        body_ = std::make_unique<StandinBody>(Traced(Options()));
        std::string error;
        ASSERT_TRUE(body_->Start(&error)) << error;
        camera_ = std::make_unique<GpCamera>(PortPath(body_->Port()));
        ASSERT_EQ(camera_->InitResult(), GP_OK) << gp_result_as_string(camera_->InitResult());
    }
    void TearDown() override {
        camera_.reset();
        body_->Stop();
    }

    // SetDevicePropValueEx records for `code` from log position `from` on.
    std::vector<PropWrite> WritesOf(std::uint16_t code, std::size_t from = 0) const {
        return PropertyWrites(*body_, code, from);
    }

    Watchdog watchdog_{60s};
    std::unique_ptr<StandinBody> body_;
    std::unique_ptr<GpCamera> camera_;
};

} // namespace quor::standin::test
