// The photos a body announces: who gets each one (a shot of ours, the series, the second file of an exposure, the
// body's own button), its download, and its place on disk through the filer.
#include "component/gphoto/GPhotoCamera.h"

#include "component/gphoto/GPhotoVocabulary.h"
#include "component/session/ImageCodec.h"
#include "control/PropertyCodes.h"

#include <gphoto2/gphoto2.h>

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

namespace quor::component {

namespace {

// A libgphoto2 file whose bytes go straight into a photo file on disk as they arrive, a piece at a time, telling
// how many have come after each piece. A file the library already holds whole (a shot taken into the body's
// memory) comes in one call; it is written in pieces too, so that its progress moves.
class StreamedFile {
public:
    using ProgressFn = std::function<void(std::uint64_t received)>;
    static constexpr std::uint64_t kPiece = 1024 * 1024;

    StreamedFile(storage::IncomingPhoto& target, ProgressFn progress)
        : target_(target), progress_(std::move(progress)) {
        static CameraFileHandler handler{&Size, &Read, &Write};
        gp_file_new_from_handler(&file_, &handler, this);
    }
    ~StreamedFile() {
        if (file_)
            gp_file_unref(file_);
    }
    StreamedFile(const StreamedFile&) = delete;
    StreamedFile& operator=(const StreamedFile&) = delete;
    CameraFile* File() const { return file_; }

private:
    static int Size(void* priv, uint64_t* size) {
        *size = static_cast<StreamedFile*>(priv)->target_.Size();
        return GP_OK;
    }
    static int Read(void*, unsigned char*, uint64_t*) { return GP_ERROR_NOT_SUPPORTED; }
    static int Write(void* priv, unsigned char* data, uint64_t* len) {
        auto* self = static_cast<StreamedFile*>(priv);
        const std::uint64_t all = *len;
        for (std::uint64_t done = 0; done < all;) {
            const std::uint64_t piece = std::min(all - done, kPiece);
            if (!self->target_.Append(reinterpret_cast<const char*>(data) + done, std::size_t(piece))) {
                *len = done;
                return GP_ERROR_IO_WRITE;
            }
            done += piece;
            self->progress_(self->target_.Size());
        }
        return GP_OK;
    }

    storage::IncomingPhoto& target_;
    ProgressFn progress_;
    CameraFile* file_ = nullptr;
};

std::string StemOf(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

} // namespace

bool GPhotoCamera::LastShot::Holds(const std::string& name) const {
    if (std::chrono::steady_clock::now() - when >= kSameShotWindow)
        return false;
    // The body's own names share the exposure's stem (IMG_0042.CR2, IMG_0042.JPG); files it holds in its RAM come
    // named by the library (capt0000.cr2, capt0001.jpg), so the count the image quality gives decides.
    return awaiting > 0 || (!cameraStem.empty() && StemOf(name) == cameraStem);
}

void GPhotoCamera::OnFileAdded(const std::string& folder, const std::string& name) {
    if (lastShot_.Holds(name)) {
        // A further file of the exposure stored last (RAW + JPEG): beside the first, under its name.
        Download(folder.c_str(), name.c_str(), Expected{lastShot_.id, lastShot_.request, {}}, true);
        return;
    }
    ReleaseHeldReport();
    Expected where;
    if (!expected_.empty()) {
        where = expected_.front();
        expected_.pop_front();
    } else if (seriesActive_ || seriesTail_) {
        where = series_;
    } else {
        // Taken with the body's own button: nothing the body delivers is left behind, it keeps its own name.
        where.request.naming = storage::PhotoRequest::Naming::CameraNamed;
        where.request.hostPath = ownShotFolder_;
    }
    Download(folder.c_str(), name.c_str(), where);
    CountShotsDue(); // the photo is on disk: no longer under way, unless more shots are due
}

void GPhotoCamera::FollowFolderOf(const storage::PhotoRequest& request) {
    // Photos from the body's own button go where the console's last shot went.
    if (request.naming == storage::PhotoRequest::Naming::Series)
        ownShotFolder_ = request.hostPath;
    else if (request.naming == storage::PhotoRequest::Naming::Newest && !request.hostPath.isEmpty())
        ownShotFolder_ = QFileInfo(request.hostPath).absolutePath();
}

int GPhotoCamera::FilesPerShot() const {
    for (const WidgetState& w : known_) {
        const gphoto::WidgetBinding* b = gphoto::BindingFor(w.widget);
        if (b && b->code == prop::ImageQuality && Watches(w.widget))
            return w.value.find('+') != std::string::npos ? 2 : 1; // "RAW + Large Fine JPEG", "NEF+Fine"
    }
    return 1;
}

CardCopy GPhotoCamera::CardCopyOf(const char* folder) const {
    // The library names a file the body holds in its memory at the root; the card's are in its storages' folders.
    // A body without a capture target, or with one of other words, may keep its shots anywhere.
    const auto target = std::find_if(known_.begin(), known_.end(),
                                     [](const WidgetState& w) { return w.widget == gphoto::kCaptureTarget; });
    if (target == known_.end())
        return CardCopy::Unknown;
    if (target->value == gphoto::kTargetRam)
        return CardCopy::None;
    if (target->value == gphoto::kTargetCard && folder && std::strcmp(folder, "/") != 0)
        return CardCopy::Kept;
    return CardCopy::Unknown;
}

std::optional<CardCopy> GPhotoCamera::ShotsLost() const {
    if (expected_.empty())
        return std::nullopt;
    return CardCopyOf(nullptr);
}

storage::PhotoRequest GPhotoCamera::RequestFor(const std::string& name, const Expected& where, bool more,
                                              QString* suffix) const {
    const QString safe = QString::fromStdString(gphoto::SafeBaseName(name));
    const QFileInfo info(safe.isEmpty() ? QStringLiteral("photo.jpg") : safe);
    *suffix = info.suffix().isEmpty() ? QStringLiteral(".jpg") : "." + info.suffix().toLower();
    storage::PhotoRequest request = where.request;
    if (request.naming == storage::PhotoRequest::Naming::CameraNamed && !more)
        request.cameraName = info.completeBaseName();
    return request;
}

void GPhotoCamera::SaveFailed(const Expected& where, const char* folder, const QString& error) {
    Report([id = where.id, text = PhotoLostText(CardCopyOf(folder), error)](ISessionEvents& e) {
        e.CaptureFailed(id, text);
    });
}

void GPhotoCamera::Kept(const std::string& name, const Expected& where, const storage::PhotoRequest& request,
                        const storage::StoredPhoto& stored, bool more) {
    if (more)
        lastShot_.awaiting = std::max(lastShot_.awaiting - 1, 0);
    else
        lastShot_ = LastShot{StemOf(name), stored, request, std::chrono::steady_clock::now(), where.id,
                             FilesPerShot() - 1};
}

void GPhotoCamera::Complete(const Expected& where, bool more, const QString& written, const QImage& preview) {
    const std::uint64_t id = where.id;
    if (more && !(heldReport_ && heldReport_->id == id))
        return; // told already with the first file
    if (!more && lastShot_.awaiting > 0 && preview.isNull()) {
        // A RAW file first: the console hears of the shot with its JPEG, which can be shown.
        heldReport_ = HeldReport{id, written, preview};
        return;
    }
    QString path = written;
    QImage shown = preview;
    if (more && preview.isNull()) {
        path = heldReport_->path;
        shown = heldReport_->preview;
    }
    heldReport_.reset();
    Report([id, path, shown](ISessionEvents& e) {
        e.DownloadProgress(id, 100);
        e.DownloadComplete(id, path, shown);
    });
}

void GPhotoCamera::ReleaseHeldReport() {
    lastShot_.awaiting = 0;
    if (!heldReport_)
        return;
    const HeldReport held = *heldReport_;
    heldReport_.reset();
    Report([held](ISessionEvents& e) {
        e.DownloadProgress(held.id, 100);
        e.DownloadComplete(held.id, held.path, held.preview);
    });
}

void GPhotoCamera::Download(const char* folder, const char* name, const Expected& where, bool more) {
    const std::uint64_t id = where.id;
    // Photos from the body's own shutter have no job; they are stored without being announced as downloads.
    const bool told = id != 0;
    if (told && !more && progressId_ != id) {
        progressId_ = id;
        progressReported_ = 0;
        if (where.request.naming == storage::PhotoRequest::Naming::Series)
            Report([id](ISessionEvents& e) { e.DownloadStart(id); });
    }
    QString suffix, error;
    const storage::PhotoRequest request = RequestFor(name, where, more, &suffix);
    std::unique_ptr<storage::IncomingPhoto> incoming;
    const std::uint64_t total = FileSize(folder, name);
    const int r = Retry([&] {
        // Each try starts the file afresh: a transfer the body broke off leaves nothing of itself behind.
        incoming = links_.filer->Begin(request, &error);
        if (!incoming)
            return GP_ERROR_IO_WRITE;
        StreamedFile sink(*incoming, [&](std::uint64_t received) {
            if (told && !more)
                ReportProgress(id, received, total);
        });
        return gp_camera_file_get(camera_, folder, name, GP_FILE_TYPE_NORMAL, sink.File(), context_);
    });
    progressId_ = 0;
    ForgetHeldCopy(folder, name);
    if (r != GP_OK || !incoming || !incoming->Error().isEmpty()) {
        if (incoming && !incoming->Error().isEmpty())
            error = incoming->Error();
        incoming.reset(); // nothing of a broken download stays on disk
        DownloadFailed(folder, name, where, more, r, error);
        return;
    }
    // The preview for the view is decoded while the file is flushed and named: the flush waits on the disk, the
    // decode on the processor, and "DownloadComplete" waits for the slower of the two only.
    QImage preview;
    std::thread previewer;
    if (told)
        previewer = std::thread([&preview, fd = ReopenForReading(incoming->Descriptor())] {
            preview = DecodePreviewOf(fd);
        });
    storage::StoredPhoto stored;
    const bool ok = links_.filer->Finish(*incoming, suffix, &stored, &error, more ? &lastShot_.stored : nullptr);
    if (previewer.joinable())
        previewer.join();
    if (!ok) {
        if (more)
            ReleaseHeldReport();
        SaveFailed(where, folder, error);
        return;
    }
    Kept(name, where, request, stored, more);
    if (told)
        Complete(where, more, stored.path, preview);
}

void GPhotoCamera::DownloadFailed(const char* folder, const char* name, const Expected& where, bool more,
                                  int result, const QString& saveError) {
    if (more)
        ReleaseHeldReport(); // the shot has its first file; the loss of this one is said on its own
    if (!saveError.isEmpty()) {
        SaveFailed(where, folder, saveError);
        return;
    }
    if (Lost(result)) {
        Failed(result, QT_TRANSLATE_NOOP("quor::gphoto", "发送照片"), CardCopyOf(folder));
        return;
    }
    const QString reason = PhotoLostText(
        CardCopyOf(folder),
        QCoreApplication::translate("quor::gphoto", "无法下载照片 %1（%2）")
            .arg(QString::fromStdString(gphoto::SafeBaseName(name)), QString::fromUtf8(gp_result_as_string(result))));
    Report([id = more ? 0 : where.id, reason](ISessionEvents& e) { e.CaptureFailed(id, reason); });
}

std::uint64_t GPhotoCamera::FileSize(const char* folder, const char* name) {
    CameraFileInfo info{};
    if (gp_camera_file_get_info(camera_, folder, name, &info, context_) == GP_OK &&
        (info.file.fields & GP_FILE_INFO_SIZE))
        return info.file.size;
    return 0;
}

void GPhotoCamera::ReportProgress(std::uint64_t id, std::uint64_t received, std::uint64_t total) {
    if (total == 0)
        return;
    // Whole percents as the bytes come; 100 is told once the file is on disk.
    const int percent = int(std::min<std::uint64_t>(received * 100 / total, 99));
    if (percent <= progressReported_)
        return;
    progressReported_ = percent;
    Report([id, percent](ISessionEvents& e) { e.DownloadProgress(id, percent); });
}

void GPhotoCamera::ForgetHeldCopy(const char* folder, const char* name) {
    // A shot taken into the body's memory arrives whole inside the library, which keeps it in its file cache
    // (the last few, however large): once it is here, that copy goes.
    if (std::strcmp(folder, "/") == 0)
        gp_filesystem_delete_file_noop(camera_->fs, folder, name, context_);
}

} // namespace quor::component
