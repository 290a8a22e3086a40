// A real camera driven through libgphoto2. One worker thread owns the library's camera and makes every call on
// it, one at a time: the window's thread only queues commands and reads what the worker reports. Between
// commands the worker polls the camera's events (property changes, files the body has taken) and, while live
// view runs, fetches preview frames; a second thread decodes each frame into the live view's pool while the
// worker already fetches the next one.
#pragma once

#include "component/gphoto/RealCameraList.h"
#include "component/liveview/JpegDecoder.h"
#include "component/session/Messages.h"
#include "component/session/PhotoWork.h"
#include "component/session/SessionOutlet.h"
#include "component/storage/PhotoFiler.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct _Camera;
struct _GPContext;
struct _CameraFile;

namespace quor::component {

class LiveView;

// One configuration widget as the worker last read it.
struct WidgetState {
    std::string widget;
    std::string value; // text; toggles and ranges as a number
    std::vector<std::string> choices;
    bool readOnly = false;
    bool operator==(const WidgetState&) const = default;
};

// What the worker reports about the camera's settings; called on the window's thread while its session is open.
// (Everything else it reports goes straight to the host through the session's outlet.)
class IGPhotoEvents {
public:
    virtual ~IGPhotoEvents() = default;
    virtual void OnWidgetChanged(const WidgetState& state) = 0;
    // The body answered that it has no live view: the worker stopped asking for frames.
    virtual void OnLiveViewRefused() = 0;
};

class GPhotoCamera {
public:
    struct Links {
        IGPhotoEvents* events = nullptr;      // the session's property cache
        SessionOutlet outlet;                 // everything else goes to the host through it
        LiveView* live = nullptr;
        storage::PhotoFiler* filer = nullptr; // where downloads are saved; outlives the camera
    };
    struct OpenResult {
        bool ok = false;
        bool timedOut = false;
        int result = 0;
        std::string error;                // plain words when !ok
        std::vector<WidgetState> widgets; // each property's widget on this body, as read at open
        std::vector<std::string> actions; // the action widgets the body has (gphoto::ActionWidgets())
        std::vector<std::string> liveViewSizes; // the live-view frame sizes it offers (none: no choice)
    };
    struct Timing {
        std::chrono::milliseconds idlePoll{40};     // event polling while nothing else happens
        std::chrono::milliseconds livePoll{100};    // event polling between live-view frames
        std::chrono::milliseconds busyFirst{25};    // first wait after a busy answer, doubling
        std::chrono::milliseconds busyLongest{400}; // longest single wait
        std::chrono::milliseconds busyGiveUp{8000}; // total before a busy camera counts as failed
    };
    static constexpr const char* kThreadName = "quor-gphoto";
    static constexpr const char* kDecodeThreadName = "quor-gp-decode";
    // Files the body announces this long after the first of an exposure may belong to it.
    static constexpr std::chrono::seconds kSameShotWindow{10};
    // How long after its release (plus twice its shutter time) a shot's first file may take.
    static constexpr std::chrono::seconds kShotGrace{30};
    // The longest the worker waits at its stop for the files of shots released before it.
    static constexpr std::chrono::seconds kShotFinish{10};
    // Events are asked for this often while a released shot's files are due.
    static constexpr std::chrono::milliseconds kShotPoll{4};
    static constexpr std::size_t kFrameReserve = 2 * 1024 * 1024; // bytes of one live-view JPEG, at most
    static constexpr std::chrono::milliseconds kOpenWaitSlice{8};

    // Starts the worker, which opens the camera at once.
    GPhotoCamera(RealCameraInfo info, Links links, Timing timing);
    // Ends what runs on the body (bulb, series, live view), releases the camera and joins the worker.
    ~GPhotoCamera();
    GPhotoCamera(const GPhotoCamera&) = delete;
    GPhotoCamera& operator=(const GPhotoCamera&) = delete;

    // Window thread: waits up to `timeout` for the open to finish, running `meanwhile` (when given) every
    // kOpenWaitSlice or so. Call once.
    OpenResult WaitOpened(std::chrono::milliseconds timeout, const std::function<void()>& meanwhile = {});
    const RealCameraInfo& Info() const { return info_; }

    // Queued commands; the worker runs them in order. Results come back as events.
    void SetWidget(std::string widget, std::string value);
    void Capture(std::uint64_t id, storage::PhotoRequest request);
    void StartSeries(std::uint64_t id, storage::PhotoRequest request);
    void StopSeries();
    void StartBulb();
    // Closes the shutter; the exposure downloads as `request` says.
    void StopBulb(std::uint64_t id, storage::PhotoRequest request);
    // Frames go into the live view (which the caller has started) as they come, decoded on a thread of their own.
    void StartLiveView();
    void StopLiveView();
    // The live-view magnifier at `factor` with its frame at `position` (gphoto::kZoom, kZoomPosition). A body
    // magnifies only in live view: the worker tells it once live view runs. Stopping live view ends the
    // magnification; the frame is placed again each time live view starts.
    void SetLiveZoom(int factor, std::string position);
    void DriveFocus(const char* step);
    // The shutter button held halfway (metering and focusing) or let go.
    void HalfPress(bool on);
    void AutoFocus();
    // Where photos taken with the body's own shutter are stored (under the camera's name, made safe).
    void SetOwnShotFolder(QString folder);

    // Asks the worker to end what runs on the body and let it go, without waiting for it (the destructor waits).
    void RequestStop();
    // The worker has let the camera go and ended (after a failed or abandoned open, or a lost camera).
    bool Finished() const;
    // The process ends without destroying the camera (after RequestStop): the worker is joined once it has
    // ended, else let go (detached) wherever it is stuck.
    void LeaveBehind();


private:
    struct Expected {
        std::uint64_t id = 0;
        storage::PhotoRequest request;
        // A released shot whose file has not come by then was not taken (no focus); none for bulb and series.
        std::chrono::steady_clock::time_point due{};
    };
    // The exposure whose first file was stored last: the body may announce more files of it (RAW + JPEG).
    struct LastShot {
        std::string cameraStem; // the body's name for the files, without suffix
        storage::StoredPhoto stored;
        storage::PhotoRequest request;
        std::chrono::steady_clock::time_point when{};
        std::uint64_t id = 0; // the shot it was taken for; 0 for the body's own button and a series
        int awaiting = 0;     // files of it still to come, as the image quality says
        bool Holds(const std::string& name) const;
    };
    // "DownloadComplete" of a shot whose JPEG is still to come after its RAW file: told with the JPEG.
    struct HeldReport {
        std::uint64_t id = 0;
        QString path;
        QImage preview;
    };

    void Enqueue(std::function<void()> command);
    // A shot through the body's remote release, its files awaited as events; for other bodies, the library's
    // capture call, which returns once the file is there.
    void Release(std::uint64_t id, const storage::PhotoRequest& request);
    void CaptureAndWait(std::uint64_t id, const storage::PhotoRequest& request);
    // Tells the user of released shots whose files never came.
    void ExpireShots();
    // Counts the shots whose files are due as photos under way (PhotoWork).
    void CountShotsDue();
    // At the stop: waits (up to kShotFinish) for the files of shots released before it.
    void FinishShotsDue();
    // The shutter time now set, in seconds (0 when it is not a time).
    double ShutterSeconds() const;
    void Run();
    bool Open(OpenResult& result);
    void Shutdown();
    void PollEvents(int maxEvents);
    void FetchFrame();
    void DecodeLoop();
    void StopDecoder();
    // Sends the body what of the magnifier it does not have yet, while its live view runs.
    void ApplyZoom();
    // Before live view ends: the body is not left magnified.
    void EndZoom();
    // Fetches and stores one file; `more` when it is a further file of the last exposure.
    void Download(const char* folder, const char* name, const Expected& where, bool more = false);
    void OnFileAdded(const std::string& folder, const std::string& name);
    // Where a file the body announced goes, and its suffix.
    storage::PhotoRequest RequestFor(const std::string& name, const Expected& where, bool more,
                                     QString* suffix) const;
    // Tells the user a photo (the file `name` in the body's `folder`) could be saved nowhere, and whether the body
    // still has it.
    void SaveFailed(const Expected& where, const char* folder, const QString& error);
    void DownloadFailed(const char* folder, const char* name, const Expected& where, bool more, int result,
                        const QString& saveError);
    // Remembers a stored file as the last exposure's (its further files go beside it).
    void Kept(const std::string& name, const Expected& where, const storage::PhotoRequest& request,
              const storage::StoredPhoto& stored, bool more);
    // The file's size as the body tells it (0 when it does not).
    std::uint64_t FileSize(const char* folder, const char* name);
    void ReportProgress(std::uint64_t id, std::uint64_t received, std::uint64_t total);
    // Drops the library's own copy of a file downloaded from the body's memory.
    void ForgetHeldCopy(const char* folder, const char* name);
    // Tells "DownloadComplete" for a stored file, or holds it while the exposure's JPEG is still to come.
    void Complete(const Expected& where, bool more, const QString& written, const QImage& preview);
    // Tells what is held: the exposure will bring no more files (the body said so, or the next release came).
    void ReleaseHeldReport();
    void FollowFolderOf(const storage::PhotoRequest& request);
    // Files one exposure makes at the image quality now set (2 for RAW + JPEG).
    int FilesPerShot() const;
    // Whether the body's card holds a file of it that did not reach the computer: from where the body was told to
    // store its shots (its card, or only its memory until they are downloaded) and the file's `folder` (nullptr: a
    // shot released whose file the body has not announced yet, which it may never have stored).
    CardCopy CardCopyOf(const char* folder) const;
    // What is lost with the camera: the shots released whose files have not come, nullopt when there are none.
    std::optional<CardCopy> ShotsLost() const;
    // Binds each property to the first of its widgets the body has, and finds the actions it has.
    void BindWidgets(OpenResult& result);
    // The action widgets the body has (gphoto::ActionWidgets()), and what the magnifier needs.
    void FindActions(OpenResult& result);
    // Whether `widget` is one this body's properties are bound to.
    bool Watches(const std::string& widget) const;
    bool ReadWidget(const char* name, WidgetState& state);
    void Reread(const std::string& widget);
    int WriteWidget(const char* name, const std::string& value);
    int WriteWidgetOnce(const char* name, const std::string& value);
    // A setting from the user: written now, or held while the body answers busy (RetryHeldSettings).
    void ApplySetting(const std::string& widget, const std::string& value);
    void Written(const std::string& widget, int result);
    // Tries the held settings that are due, in order; with `wait`, until none is left (before a release).
    void RetryHeldSettings(bool wait);
    // When the first held setting is due; nullopt when none is, or the body is busy by design (series, bulb).
    std::optional<std::chrono::steady_clock::time_point> HeldSettingDue() const;
    int WriteToggle(const char* name, int value);
    // Runs `call` again while the camera answers busy, waiting longer each time.
    int Retry(const std::function<int()>& call);
    // Handles a failed call: a lost camera ends the worker; other failures are told to the user. `what` is the
    // step that failed, as written in the camera catalogue (QT_TRANSLATE_NOOP, context "quor::gphoto"). `photo`:
    // the step was fetching a photo, which a lost camera takes with it, and whether the card has it.
    void Failed(int result, const char* what, std::optional<CardCopy> photo = std::nullopt);
    bool Lost(int result) const;
    // Runs `task` on the window's thread while the session is open.
    void Post(std::function<void()> task);
    // Reports to the host while the session is open.
    void Report(std::function<void(ISessionEvents&)> report);

    RealCameraInfo info_;
    Links links_;
    Timing timing_;

    mutable std::mutex mutex_; // guards the fields up to the thread
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    bool stop_ = false;
    bool opened_ = false;
    bool finished_ = false;
    OpenResult open_;
    std::thread thread_;

    // Worker thread only.
    _Camera* camera_ = nullptr;
    _GPContext* context_ = nullptr;
    _CameraFile* preview_ = nullptr;
    bool lost_ = false;
    std::chrono::steady_clock::time_point lastPoll_{};
    bool live_ = false;
    std::chrono::milliseconds liveBackoff_{0}; // pause after a frame the camera did not give
    struct Zoom {
        int factor = 1;           // what the user asked for
        std::string position;     // empty: wherever the body has its frame
        int sentFactor = 1;       // what the body has
        std::string sentPosition;
        bool bodyLive = false;    // the body has sent a frame since live view started
    } zoom_;
    bool remoteRelease_ = false; // the body has gphoto::kRemoteRelease
    bool seriesActive_ = false;
    bool seriesTail_ = false; // the series has ended; frames still announced belong to it
    Expected series_;
    bool bulbOpen_ = false;
    std::deque<Expected> expected_; // who gets the next files the body announces
    std::unique_ptr<PhotoWork::Scope> shotsDue_; // held while expected_ has any
    struct HeldSetting {
        std::string widget, value;
        std::chrono::steady_clock::time_point since; // when the body first refused it (or stopped being busy)
        std::chrono::steady_clock::time_point due;   // next try
        std::chrono::milliseconds wait;              // pause after the next busy answer
    };
    std::deque<HeldSetting> held_; // settings the body refused as busy, oldest first
    QString ownShotFolder_;
    LastShot lastShot_;
    std::optional<HeldReport> heldReport_;
    std::vector<WidgetState> known_;
    std::vector<std::string> watched_; // the widgets bound at open
    // Download progress, fed by the library's progress callbacks.
    std::uint64_t progressId_ = 0;
    float progressTarget_ = 0;
    int progressReported_ = 0;

    // Live-view decoding: the worker hands the newest JPEG over; the decoder takes it when it is free.
    std::mutex decodeMutex_;
    std::condition_variable decodeWake_;
    std::vector<std::uint8_t> incoming_; // guarded by decodeMutex_
    bool incomingFull_ = false;
    bool decodeStop_ = false;
    std::vector<std::uint8_t> decoding_; // decoder thread only
    JpegDecoder decoder_;                // decoder thread only
    std::thread decodeThread_;           // started and joined by the worker

    friend struct GPhotoCallbacks;
};

} // namespace quor::component
