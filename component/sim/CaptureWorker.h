// The camera's capture side, off the window's thread: renders each photo from the scene, encodes it, "downloads"
// it in chunks and writes it atomically, then reports back on the window's thread. One thread, jobs in order.
#pragma once

#include "component/session/CameraSession.h"
#include "component/session/Messages.h"
#include "component/sim/PhotoExif.h"
#include "component/sim/SceneRenderer.h"
#include "component/sim/ShotSettings.h"
#include "component/storage/PhotoFiler.h"

#include <QImage>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace quor::component {

class ICaptureListener;

struct CaptureJob {
    std::uint64_t id = 0;
    // Who hears of it, through `post`, which runs a task on the window's thread (and drops it once the listener's
    // session has ended).
    ICaptureListener* listener = nullptr;
    std::function<void(std::function<void()>)> post;
    storage::PhotoRequest request; // where it goes and how it is named
    SceneParams scene;             // how the scene is seen
    PhotoFormat format;            // size and JPEG quality
    PhotoExif exif;                // what the file says about the shot
    // Whether the body keeps the photo on its card too (it was set to save there when the shot was taken): what
    // the user is told is left of a photo that does not reach the computer.
    CardCopy copy = CardCopy::None;
    // Simulated faults, fixed when the shot is taken.
    bool failWrite = false;
    bool pullOutHalfway = false;
    bool slowTransfer = false;
};

// Told on the window's thread; a job's reports come in this order: start, progress..., then complete or failed
// or pulled out.
class ICaptureListener {
public:
    virtual ~ICaptureListener() = default;
    virtual void OnDownloadStart(std::uint64_t id) = 0;
    // Percent of the photo received and stored: 10, 20 ... 90 while it arrives, 100 once it is on disk.
    virtual void OnDownloadProgress(std::uint64_t id, int percent) = 0;
    // `path` is where the photo can be opened now (the host's name for it where it has one).
    virtual void OnDownloadComplete(std::uint64_t id, const QString& path, const QImage& preview) = 0;
    // Id 0: a photo of no job of ours (taken with the body's own button) could not be saved. `reason` says that
    // the photo was lost and whether the card has it (PhotoLostText), as does that of a pull-out.
    virtual void OnCaptureFailed(std::uint64_t id, const QString& reason) = 0;
    // The simulated camera was pulled out halfway through this download (nothing was written).
    virtual void OnPulledOut(std::uint64_t id, const QString& reason) = 0;
};

class CaptureWorker {
public:
    using PostFn = std::function<void(std::function<void()>)>;
    static constexpr int kChunks = 10;
    // Progress of a transfer is told at most this often.
    static constexpr std::chrono::milliseconds kProgressEvery{20};
    static constexpr const char* kThreadName = "quor-capture";

    // Photos are saved through `filer`, which outlives the worker. The thread starts with the first job.
    explicit CaptureWorker(storage::PhotoFiler* filer);
    ~CaptureWorker(); // Stop()

    void Enqueue(CaptureJob job);
    // Drops queued jobs and abandons the running one at its next step (before anything is written); the thread
    // then ends by itself without being waited for, and the next job starts a new one.
    void CancelAll();
    // Cancels everything and joins the thread. Nothing is taken afterwards.
    void Stop();
    // The process ends without destroying the worker (after CancelAll): its thread is joined once it has
    // returned, else let go (detached) to finish the photo it may be writing.
    void LeaveBehind();
    // Jobs queued or running.
    int Pending() const;
    // Once the jobs queued now are done, the memory kept for the next photo (the scene drawn at the photo's size)
    // is given back: a series has ended, and a single shot may not come for a long time.
    void ReleaseWhenIdle();

private:
    void Run();
    // Worker thread (or none running): what the renderers keep goes, and the allocator returns it.
    void ReleaseMemory();
    void RunPhoto(const CaptureJob& job, std::uint64_t generation);
    bool Cancelled(std::uint64_t generation) const;
    // Waits `ms` unless cancelled or stopped meanwhile; false when it should give up.
    bool Pause(int ms, std::uint64_t generation);
    void Save(const CaptureJob& job, const QByteArray& jpeg, const QByteArray& exif, const QImage& preview);

    storage::PhotoFiler* filer_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<CaptureJob> queue_;
    bool running_ = false; // a job is being worked on
    bool stop_ = false;
    bool retire_ = false;  // end the thread once the queue is empty
    bool exited_ = true;   // the thread has returned (or never started)
    bool release_ = false; // give the renderers' memory back once the queue is empty
    std::uint64_t generation_ = 0;
    std::thread thread_; // started and joined on the window's thread only

    // Worker thread only.
    SceneRenderer renderer_;
    SceneRenderer previewRenderer_;
};

} // namespace quor::component
