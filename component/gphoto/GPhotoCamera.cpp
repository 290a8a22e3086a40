#include "component/gphoto/GPhotoCamera.h"

#include "component/gphoto/GPhotoLibrary.h"
#include "component/session/ImageCodec.h"
#include "component/session/PhotoWork.h"

#include "component/gphoto/GPhotoVocabulary.h"
#include "component/liveview/LiveView.h"
#include "control/PropertyCodes.h"

#include <gphoto2/gphoto2.h>

#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace quor::component {

// The library's progress callbacks: the download of a capture or a file reports through them.
struct GPhotoCallbacks {
    static unsigned int Start(GPContext*, float target, const char*, void* data) {
        auto* self = static_cast<GPhotoCamera*>(data);
        self->progressTarget_ = target;
        return 1;
    }
    static void Update(GPContext*, unsigned int, float current, void* data) {
        auto* self = static_cast<GPhotoCamera*>(data);
        if (self->progressId_ == 0 || self->progressTarget_ <= 0)
            return;
        // 10, 20 ... 90 while the file arrives; 100 is told once it is on disk.
        // Bounded before the conversion: a library that reports past its own target must not overflow it.
        const float share = std::clamp(current * 100.0f / self->progressTarget_, 0.0f, 90.0f);
        const int percent = static_cast<int>(share) / 10 * 10;
        if (percent <= self->progressReported_)
            return;
        self->progressReported_ = percent;
        const std::uint64_t id = self->progressId_;
        self->Report([id, percent](ISessionEvents& e) { e.DownloadProgress(id, percent); });
    }
    static void Stop(GPContext*, unsigned int, void*) {}
};

GPhotoCamera::GPhotoCamera(RealCameraInfo info, Links links, Timing timing)
    : info_(std::move(info)), links_(std::move(links)), timing_(timing) {
    thread_ = std::thread([this] { Run(); });
}

GPhotoCamera::~GPhotoCamera() {
    RequestStop();
    if (thread_.joinable())
        thread_.join();
}

void GPhotoCamera::LeaveBehind() {
    if (!thread_.joinable())
        return;
    if (Finished())
        thread_.join(); // it has set the flag as the last thing it does
    else
        thread_.detach();
}

void GPhotoCamera::RequestStop() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
}

GPhotoCamera::OpenResult GPhotoCamera::WaitOpened(std::chrono::milliseconds timeout,
                                                   const std::function<void()>& meanwhile) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(mutex_);
    // In short slices while the caller has something to do meanwhile (its window's events).
    using Clock = std::chrono::steady_clock;
    for (auto now = Clock::now(); !opened_ && now < deadline; now = Clock::now()) {
        const auto until = meanwhile ? std::min(deadline, now + kOpenWaitSlice) : deadline;
        if (wake_.wait_until(lock, until, [this] { return opened_; }) || !meanwhile)
            continue;
        lock.unlock();
        meanwhile();
        lock.lock();
    }
    if (!opened_) {
        OpenResult r;
        r.timedOut = true;
        r.error = QCoreApplication::translate("quor::gphoto", "相机在 %1 秒内没有响应。请检查相机是否已开机并已连接。")
                      .arg(timeout.count() / 1000).toStdString();
        // The worker gives up with the next step it takes.
        stop_ = true;
        wake_.notify_all();
        return r;
    }
    return std::move(open_);
}

void GPhotoCamera::Enqueue(std::function<void()> command) {
    {
        std::lock_guard lock(mutex_);
        if (stop_)
            return;
        queue_.push_back(std::move(command));
    }
    wake_.notify_all();
}

void GPhotoCamera::Post(std::function<void()> task) { links_.outlet.PostTask(std::move(task)); }

void GPhotoCamera::Report(std::function<void(ISessionEvents&)> report) { links_.outlet.Post(std::move(report)); }

// ---- Commands (window thread) ----

void GPhotoCamera::SetWidget(std::string widget, std::string value) {
    Enqueue([this, widget = std::move(widget), value = std::move(value)] { ApplySetting(widget, value); });
}

void GPhotoCamera::Capture(std::uint64_t id, storage::PhotoRequest request) {
    Enqueue([this, id, request = std::move(request)] {
        // What the body announced before the release is fetched first: the library drops unread events when it
        // releases. The exposure before this one brings no more files after that.
        PollEvents(8);
        ReleaseHeldReport();
        RetryHeldSettings(true); // the shot is taken with what the user set before it
        FollowFolderOf(request);
        seriesTail_ = false;
        Report([id](ISessionEvents& e) { e.DownloadStart(id); });
        progressId_ = id;
        progressReported_ = 0;
        if (remoteRelease_ && !seriesActive_)
            Release(id, request);
        else
            CaptureAndWait(id, request);
    });
}

void GPhotoCamera::Release(std::uint64_t id, const storage::PhotoRequest& request) {
    // The shutter pressed and let go through the body's remote release; its files come as events, which the
    // worker asks for every few milliseconds while a shot is due. (The library's own capture call waits for
    // them in steps that grow to 200 ms, which costs up to that much on every shot.)
    const auto due = std::chrono::steady_clock::now() + kShotGrace +
                     std::chrono::milliseconds(static_cast<std::int64_t>(2000 * ShutterSeconds()));
    expected_.push_back(Expected{id, request, due});
    int r = WriteWidget(gphoto::kRemoteRelease, "Press Full");
    if (r != GP_OK)
        expected_.pop_back();
    else
        r = WriteWidget(gphoto::kRemoteRelease, "Release Full");
    if (r == GP_OK)
        return;
    progressId_ = 0;
    if (Lost(r)) {
        Failed(r, QT_TRANSLATE_NOOP("quor::gphoto", "拍摄"));
        return;
    }
    const QString reason =
        QCoreApplication::translate("quor::gphoto", "相机未能拍摄：%1").arg(QString::fromUtf8(gp_result_as_string(r)));
    Report([id, reason](ISessionEvents& e) { e.CaptureFailed(id, reason); });
}

void GPhotoCamera::CaptureAndWait(std::uint64_t id, const storage::PhotoRequest& request) {
    // The process does not end before the photo is on disk; the library fetches a file the body holds in its
    // memory within the capture call already.
    const PhotoWork::Scope shooting;
    CameraFilePath where{};
    const int r = Retry([&] { return gp_camera_capture(camera_, GP_CAPTURE_IMAGE, &where, context_); });
    if (r != GP_OK) {
        progressId_ = 0;
        if (Lost(r)) {
            Failed(r, QT_TRANSLATE_NOOP("quor::gphoto", "拍摄"), CardCopyOf(nullptr)); // it may have been under way
            return;
        }
        const QString reason = QCoreApplication::translate("quor::gphoto", "相机未能拍摄：%1")
                                   .arg(QString::fromUtf8(gp_result_as_string(r)));
        Report([id, reason](ISessionEvents& e) { e.CaptureFailed(id, reason); });
        return;
    }
    Download(where.folder, where.name, Expected{id, request, {}});
}

void GPhotoCamera::CountShotsDue() {
    // A shot released (or a bulb closed) whose file is still to come is a photo on its way: the process waits
    // for it as for a download.
    if (expected_.empty())
        shotsDue_.reset();
    else if (!shotsDue_)
        shotsDue_ = std::make_unique<PhotoWork::Scope>();
}

void GPhotoCamera::FinishShotsDue() {
    // Shots released before the stop still bring their files: they are fetched before the body is let go.
    const auto until = std::chrono::steady_clock::now() + kShotFinish;
    while (!lost_ && !expected_.empty() && std::chrono::steady_clock::now() < until) {
        PollEvents(8);
        ExpireShots();
        if (!expected_.empty())
            std::this_thread::sleep_for(kShotPoll);
    }
    expected_.clear();
    shotsDue_.reset();
}

void GPhotoCamera::ExpireShots() {
    const auto now = std::chrono::steady_clock::now();
    while (!expected_.empty() && expected_.front().due != std::chrono::steady_clock::time_point{} &&
           expected_.front().due < now) {
        const std::uint64_t id = expected_.front().id;
        expected_.pop_front();
        const QString reason = QCoreApplication::translate("quor::gphoto", "相机没有拍下照片（可能未能合焦）");
        Report([id, reason](ISessionEvents& e) { e.CaptureFailed(id, reason); });
    }
}

void GPhotoCamera::StartSeries(std::uint64_t id, storage::PhotoRequest request) {
    Enqueue([this, id, request = std::move(request)] {
        RetryHeldSettings(true);
        FollowFolderOf(request);
        const int r = WriteWidget(gphoto::kRemoteRelease, "Press Full");
        if (r != GP_OK) {
            Failed(r, QT_TRANSLATE_NOOP("quor::gphoto", "开始连拍"));
            return;
        }
        seriesActive_ = true;
        seriesTail_ = false;
        series_ = Expected{id, request, {}};
    });
}

void GPhotoCamera::StopSeries() {
    Enqueue([this] {
        if (!seriesActive_)
            return;
        const int r = WriteWidget(gphoto::kRemoteRelease, "Release Full");
        if (r != GP_OK)
            Failed(r, QT_TRANSLATE_NOOP("quor::gphoto", "结束连拍"));
        // Frames the body still holds are announced after the release: they keep going into the series folder
        // (nothing is left behind on the body) until the next shot of another kind.
        seriesActive_ = false;
        seriesTail_ = true;
    });
}

void GPhotoCamera::StartBulb() {
    Enqueue([this] {
        RetryHeldSettings(true);
        const int r = WriteToggle(gphoto::kBulb, 1);
        if (r != GP_OK) {
            Failed(r, QT_TRANSLATE_NOOP("quor::gphoto", "打开快门"));
            return;
        }
        bulbOpen_ = true;
    });
}

void GPhotoCamera::StopBulb(std::uint64_t id, storage::PhotoRequest request) {
    Enqueue([this, id, request = std::move(request)] {
        if (!bulbOpen_) {
            // The body refused to open the shutter (not in bulb): there is no exposure to wait for.
            const QString reason = QCoreApplication::translate("quor::gphoto", "B 门曝光未能开始：请将快门速度设为 Bulb");
            Report([id, reason](ISessionEvents& e) { e.CaptureFailed(id, reason); });
            return;
        }
        bulbOpen_ = false;
        seriesTail_ = false;
        FollowFolderOf(request);
        expected_.push_back(Expected{id, request, {}});
        Report([id](ISessionEvents& e) { e.DownloadStart(id); });
        const int r = WriteToggle(gphoto::kBulb, 0);
        if (r != GP_OK)
            Failed(r, QT_TRANSLATE_NOOP("quor::gphoto", "关闭快门"));
    });
}

void GPhotoCamera::StartLiveView() {
    Enqueue([this] {
        if (live_)
            return;
        live_ = true;
        zoom_.bodyLive = false; // the body starts live view at 1x
        zoom_.sentFactor = 1;
        zoom_.sentPosition.clear();
        {
            std::lock_guard lock(decodeMutex_);
            decodeStop_ = false;
            incomingFull_ = false;
            // Room for a large frame in both buffers from the start, so that they never grow during the run.
            incoming_.reserve(kFrameReserve);
            decoding_.reserve(kFrameReserve);
        }
        decodeThread_ = std::thread([this] { DecodeLoop(); });
    });
}

void GPhotoCamera::StopLiveView() {
    Enqueue([this] {
        if (!live_)
            return;
        live_ = false;
        StopDecoder();
        EndZoom();
        zoom_.factor = 1; // the magnifier ends with live view; its frame (the AF frame) stays where it is
        const int r = WriteToggle(gphoto::kViewfinder, 0);
        if (r != GP_OK && Lost(r))
            Failed(r, QT_TRANSLATE_NOOP("quor::gphoto", "结束实时取景"));
    });
}

void GPhotoCamera::SetLiveZoom(int factor, std::string position) {
    Enqueue([this, factor, position = std::move(position)] {
        zoom_.factor = factor;
        zoom_.position = position;
        ApplyZoom();
    });
}

void GPhotoCamera::DriveFocus(const char* step) {
    Enqueue([this, step] {
        const int r = WriteWidget(gphoto::kManualFocusDrive, step);
        if (r != GP_OK)
            Failed(r, QT_TRANSLATE_NOOP("quor::gphoto", "移动对焦"));
    });
}

void GPhotoCamera::HalfPress(bool on) {
    Enqueue([this, on] {
        const int r = WriteWidget(gphoto::kRemoteRelease, on ? "Press Half" : "Release Half");
        if (r != GP_OK)
            Failed(r, on ? QT_TRANSLATE_NOOP("quor::gphoto", "半按快门") : QT_TRANSLATE_NOOP("quor::gphoto", "松开快门"));
    });
}

void GPhotoCamera::AutoFocus() {
    Enqueue([this] {
        const int r = WriteToggle(gphoto::kAutofocusDrive, 1);
        if (r != GP_OK)
            Failed(r, QT_TRANSLATE_NOOP("quor::gphoto", "对焦"));
        else
            WriteToggle(gphoto::kAutofocusDrive, 0);
    });
}

void GPhotoCamera::SetOwnShotFolder(QString folder) {
    Enqueue([this, folder = std::move(folder)] { ownShotFolder_ = folder; });
}

// ---- Worker ----

void GPhotoCamera::Run() {
    pthread_setname_np(pthread_self(), kThreadName);
    OpenResult result;
    const bool ok = Open(result);
    {
        std::lock_guard lock(mutex_);
        open_ = std::move(result);
        opened_ = true;
    }
    wake_.notify_all();
    for (;;) {
        std::function<void()> command;
        {
            std::unique_lock lock(mutex_);
            const bool framesDue = ok && !lost_ && live_;
            // A shot's files are asked for every few milliseconds: each one saved is that much sooner ready.
            const auto wait = framesDue             ? std::chrono::milliseconds(0)
                              : !expected_.empty()  ? kShotPoll
                              : seriesActive_ || bulbOpen_ ? std::chrono::milliseconds(10)
                                                           : timing_.idlePoll;
            auto until = std::chrono::steady_clock::now() + wait;
            if (const auto due = HeldSettingDue())
                until = std::min(until, *due);
            wake_.wait_until(lock, until, [this] { return stop_ || !queue_.empty(); });
            if (stop_ || !ok || lost_)
                break;
            if (!queue_.empty()) {
                command = std::move(queue_.front());
                queue_.pop_front();
            }
        }
        if (command) {
            command();
            CountShotsDue();
            continue; // commands first: they are what the user waits for
        }
        if (lost_)
            continue;
        RetryHeldSettings(false);
        if (live_)
            FetchFrame();
        // Between frames the events wait their turn: asking for them after every frame would halve the rate.
        const auto now = std::chrono::steady_clock::now();
        const bool filesDue = seriesActive_ || bulbOpen_ || !expected_.empty();
        if (!lost_ && (!live_ || filesDue || now - lastPoll_ >= timing_.livePoll)) {
            lastPoll_ = now;
            PollEvents(8);
            ExpireShots();
            CountShotsDue();
        }
    }
    if (ok)
        FinishShotsDue();
    Shutdown();
    std::lock_guard lock(mutex_);
    finished_ = true;
}

bool GPhotoCamera::Finished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

bool GPhotoCamera::Open(OpenResult& result) {
    KeepDescriptorZeroTaken();
    context_ = gp_context_new();
    gp_context_set_progress_funcs(context_, &GPhotoCallbacks::Start, &GPhotoCallbacks::Update,
                                  &GPhotoCallbacks::Stop, this);
    gp_camera_new(&camera_);
    gp_file_new(&preview_);
    int r = GP_OK;
    {
        std::lock_guard lock(GPhotoLibraryMutex());
        CameraAbilitiesList* abilities = nullptr;
        gp_abilities_list_new(&abilities);
        gp_abilities_list_load(abilities, context_);
        const int model = gp_abilities_list_lookup_model(abilities, info_.model.c_str());
        CameraAbilities a{};
        if (model < 0 || gp_abilities_list_get_abilities(abilities, model, &a) != GP_OK)
            r = GP_ERROR_MODEL_NOT_FOUND;
        else
            gp_camera_set_abilities(camera_, a);
        gp_abilities_list_free(abilities);
        GPPortInfoList* ports = nullptr;
        gp_port_info_list_new(&ports);
        gp_port_info_list_load(ports);
        const int index = gp_port_info_list_lookup_path(ports, info_.port.c_str());
        GPPortInfo port;
        if (r == GP_OK && (index < 0 || gp_port_info_list_get_info(ports, index, &port) != GP_OK))
            r = GP_ERROR_UNKNOWN_PORT;
        else if (r == GP_OK)
            gp_camera_set_port_info(camera_, port);
        gp_port_info_list_free(ports);
    }
    if (r == GP_OK)
        r = Retry([this] {
            // Init loads the camera's driver through libltdl, like the list loading above.
            std::lock_guard lock(GPhotoLibraryMutex());
            return gp_camera_init(camera_, context_);
        });
    if (r != GP_OK) {
        result.result = r;
        result.error = gphoto::DescribeOpenFailure(r, gp_result_as_string(r));
        {
            std::lock_guard lock(GPhotoLibraryMutex()); // unloads the driver
            gp_camera_unref(camera_);
        }
        camera_ = nullptr;
        KeepDescriptorZeroTaken();
        return false;
    }
    BindWidgets(result);
    result.ok = true;
    return true;
}

void GPhotoCamera::Shutdown() {
    if (camera_ && !lost_) {
        // The body must not be left exposing, shooting or streaming once it is let go.
        if (bulbOpen_)
            WriteToggle(gphoto::kBulb, 0);
        if (seriesActive_)
            WriteWidget(gphoto::kRemoteRelease, "Release Full");
        if (live_) {
            StopDecoder();
            EndZoom();
            WriteToggle(gphoto::kViewfinder, 0);
        }
        // Exit also unloads the driver.
        std::lock_guard lock(GPhotoLibraryMutex());
        gp_camera_exit(camera_, context_);
    }
    StopDecoder();
    if (camera_) {
        std::lock_guard lock(GPhotoLibraryMutex()); // unloads the driver
        gp_camera_unref(camera_);
    }
    camera_ = nullptr;
    if (preview_)
        gp_file_unref(preview_);
    preview_ = nullptr;
    if (context_)
        gp_context_unref(context_);
    context_ = nullptr;
    KeepDescriptorZeroTaken();
}

int GPhotoCamera::Retry(const std::function<int()>& call) {
    auto wait = timing_.busyFirst;
    std::chrono::milliseconds waited{0};
    for (;;) {
        const int r = call();
        if (r != GP_ERROR_CAMERA_BUSY || waited >= timing_.busyGiveUp)
            return r;
        std::unique_lock lock(mutex_);
        if (wake_.wait_for(lock, wait, [this] { return stop_; }))
            return r;
        waited += wait;
        wait = std::min(wait * 2, timing_.busyLongest);
    }
}

bool GPhotoCamera::Lost(int result) const {
    switch (result) {
    case GP_ERROR_IO:
    case GP_ERROR_IO_READ:
    case GP_ERROR_IO_WRITE:
    case GP_ERROR_IO_INIT:
    case GP_ERROR_IO_USB_FIND:
    case GP_ERROR_TIMEOUT:
        return true;
    default:
        return false;
    }
}

void GPhotoCamera::Failed(int result, const char* what, std::optional<CardCopy> photo) {
    const QString step = QCoreApplication::translate("quor::gphoto", what);
    const QString library = QString::fromUtf8(gp_result_as_string(result));
    if (Lost(result)) {
        if (lost_)
            return;
        lost_ = true;
        QString reason = QCoreApplication::translate("quor::gphoto", "相机在%1时停止响应（%2）").arg(step, library);
        if (const std::optional<CardCopy> copy = photo ? photo : ShotsLost())
            reason = PhotoLostText(*copy, reason);
        Report([reason](ISessionEvents& e) { e.Lost(reason); });
        return;
    }
    const QString text = QCoreApplication::translate("quor::gphoto", "相机拒绝%1（%2）").arg(step, library);
    Report([text](ISessionEvents& e) { e.Message(text); });
}

void GPhotoCamera::PollEvents(int maxEvents) {
    for (int i = 0; i < maxEvents && !lost_; ++i) {
        CameraEventType type = GP_EVENT_TIMEOUT;
        void* data = nullptr;
        const int r = Retry([&] { return gp_camera_wait_for_event(camera_, 0, &type, &data, context_); });
        if (r != GP_OK) {
            free(data);
            if (Lost(r))
                Failed(r, QT_TRANSLATE_NOOP("quor::gphoto", "报告状态"));
            return;
        }
        if (type == GP_EVENT_UNKNOWN && data) {
            if (auto widget = gphoto::WidgetFromEventText(static_cast<const char*>(data)))
                if (Watches(*widget))
                    Reread(*widget);
        } else if (type == GP_EVENT_CAPTURE_COMPLETE) {
            ReleaseHeldReport(); // the body has delivered every file of the exposure
        } else if (type == GP_EVENT_FILE_ADDED && data) {
            const auto* path = static_cast<const CameraFilePath*>(data);
            const std::string folder = path->folder, name = path->name;
            free(data);
            data = nullptr;
            const PhotoWork::Scope downloading;
            OnFileAdded(folder, name);
        }
        free(data);
        if (type == GP_EVENT_TIMEOUT)
            return;
    }
}

} // namespace quor::component
