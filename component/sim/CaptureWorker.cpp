#include "component/sim/CaptureWorker.h"

#include "component/session/ImageCodec.h"
#include "component/session/PhotoWork.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImageWriter>

#include <malloc.h>
#include <pthread.h>

#include <chrono>

namespace quor::component {

CaptureWorker::CaptureWorker(storage::PhotoFiler* filer) : filer_(filer) {}

CaptureWorker::~CaptureWorker() { Stop(); }

void CaptureWorker::Enqueue(CaptureJob job) {
    bool start = false;
    {
        std::lock_guard lock(mutex_);
        if (stop_)
            return;
        queue_.push_back(std::move(job));
        retire_ = false;
        start = exited_;
        exited_ = false;
    }
    if (start) {
        // The previous thread has returned already; joining it does not wait.
        if (thread_.joinable())
            thread_.join();
        thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_all();
}

void CaptureWorker::CancelAll() {
    std::deque<CaptureJob> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped.swap(queue_);
        ++generation_;
        retire_ = true;
    }
    wake_.notify_all();
}

void CaptureWorker::Stop() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        queue_.clear();
        ++generation_;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void CaptureWorker::LeaveBehind() {
    bool exited = false;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        exited = exited_;
    }
    if (!thread_.joinable())
        return;
    if (exited)
        thread_.join();
    else
        thread_.detach();
}

int CaptureWorker::Pending() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(queue_.size()) + (running_ ? 1 : 0);
}

bool CaptureWorker::Cancelled(std::uint64_t generation) const {
    std::lock_guard lock(mutex_);
    return stop_ || generation != generation_;
}

bool CaptureWorker::Pause(int ms, std::uint64_t generation) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stop_ || generation != generation_; });
    return !stop_ && generation == generation_;
}

void CaptureWorker::Run() {
    pthread_setname_np(pthread_self(), kThreadName);
    for (;;) {
        CaptureJob job;
        std::uint64_t generation = 0;
        bool release = false;
        {
            std::unique_lock lock(mutex_);
            running_ = false;
            wake_.wait(lock, [this] { return stop_ || retire_ || release_ || !queue_.empty(); });
            if (!stop_ && queue_.empty() && release_) {
                release_ = false;
                release = true;
            } else if (stop_ || queue_.empty()) {
                exited_ = true;
                return;
            } else {
                job = std::move(queue_.front());
                queue_.pop_front();
                generation = generation_;
                running_ = true;
            }
        }
        if (release)
            ReleaseMemory();
        else
            RunPhoto(job, generation);
    }
}

void CaptureWorker::ReleaseWhenIdle() {
    {
        std::lock_guard lock(mutex_);
        if (stop_)
            return;
        if (!exited_) {
            release_ = true;
        } else {
            // No thread uses the renderers now, and only this (the window's) thread starts one.
            ReleaseMemory();
            return;
        }
    }
    wake_.notify_all();
}

void CaptureWorker::ReleaseMemory() {
    renderer_ = SceneRenderer{};
    previewRenderer_ = SceneRenderer{};
    ::malloc_trim(0);
}

void CaptureWorker::Save(const CaptureJob& job, const QByteArray& jpeg, const QByteArray& exif,
                         const QImage& preview) {
    ICaptureListener* l = job.listener;
    const PostFn& post_ = job.post;
    const std::uint64_t id = job.id;
    QString error;
    storage::StoredPhoto stored;
    bool saved = false;
    if (job.failWrite) {
        error = QCoreApplication::translate("quor::sim", "照片未保存：电脑上的写入出错（模拟）");
    } else if (jpeg.size() < 2) {
        error = QCoreApplication::translate("quor::sim", "照片未保存：无法编码");
    } else {
        // The EXIF block goes right after the start-of-image marker, without copying the picture around it.
        const QByteArrayView parts[] = {QByteArrayView(jpeg).first(2), QByteArrayView(exif),
                                        QByteArrayView(jpeg).sliced(2)};
        const PhotoWork::Scope writing; // the process does not end half-way through the file
        saved = filer_->Save(job.request, QStringLiteral(".jpg"), parts, &stored, &error);
    }
    if (!saved) {
        post_([l, id, reason = PhotoLostText(job.copy, error)] { l->OnCaptureFailed(id, reason); });
        return;
    }
    post_([l, id] { l->OnDownloadProgress(id, 100); });
    post_([l, id, path = stored.path, preview] { l->OnDownloadComplete(id, path, preview); });
}

void CaptureWorker::RunPhoto(const CaptureJob& job, std::uint64_t generation) {
    ICaptureListener* l = job.listener;
    const PostFn& post_ = job.post;
    const std::uint64_t id = job.id;
    post_([l, id] { l->OnDownloadStart(id); });

    const QImage photo = renderer_.RenderImage(job.format.width, job.format.height, job.scene);
    if (Cancelled(generation))
        return;
    // The preview is drawn from the same scene at its own size (by a renderer of its own, which keeps that size's
    // scene), on a second thread while the photo is encoded: scaling a full-size photo down smoothly would cost
    // more than encoding it. A photo that already fits is its own preview.
    const QSize previewSize =
        QSize(job.format.width, job.format.height).scaled(kPreviewSize, kPreviewSize, Qt::KeepAspectRatio);
    QImage preview = photo;
    std::thread previewer;
    if (previewSize.width() < photo.width())
        previewer = std::thread([&] {
            preview = previewRenderer_.RenderImage(previewSize.width(), previewSize.height(), job.scene);
        });
    const QByteArray jpeg = EncodeJpeg(photo, job.format.jpegQuality);
    if (previewer.joinable())
        previewer.join();
    if (Cancelled(generation))
        return;

    // The transfer: a slow link takes about a second and a half for any photo. Progress is told only where it
    // takes a while: an instant transfer would wake the window ten times for nothing.
    auto lastTold = std::chrono::steady_clock::now();
    for (int chunk = 1; chunk < kChunks; ++chunk) {
        if (job.slowTransfer && !Pause(150, generation))
            return;
        if (Cancelled(generation))
            return;
        if (job.pullOutHalfway && chunk == kChunks / 2) {
            const QString reason =
                PhotoLostText(job.copy, QCoreApplication::translate("quor::sim", "下载过程中相机被拔出"));
            post_([l, id, reason] { l->OnPulledOut(id, reason); });
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now - lastTold < kProgressEvery)
            continue;
        lastTold = now;
        const int percent = chunk * 100 / kChunks;
        post_([l, id, percent] { l->OnDownloadProgress(id, percent); });
    }
    if (job.slowTransfer && !Pause(150, generation))
        return;
    if (Cancelled(generation))
        return;

    PhotoExif exif = job.exif;
    if (!exif.taken.isValid())
        exif.taken = QDateTime::currentDateTime();
    exif.width = photo.width();
    exif.height = photo.height();
    Save(job, jpeg, ExifSegment(exif), preview);
}

} // namespace quor::component
