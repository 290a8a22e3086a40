// The photos a body announces: who gets each one (a shot of ours, the series, the second file of an exposure, the
// body's own button), its download, and its place on disk through the filer.
#include "component/gphoto/GPhotoCamera.h"

#include "component/gphoto/GPhotoVocabulary.h"
#include "component/session/ImageCodec.h"
#include "control/PropertyCodes.h"

#include <gphoto2/gphoto2.h>

#include <QFileInfo>

#include <thread>

namespace quor::component {

namespace {

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
        Download(folder.c_str(), name.c_str(), Expected{lastShot_.id, lastShot_.request}, true);
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

bool GPhotoCamera::CapturesToCard() const {
    for (const WidgetState& w : known_)
        if (w.widget == gphoto::kCaptureTarget)
            return w.value == gphoto::kTargetCard;
    return false;
}

bool GPhotoCamera::Store(const std::string& name, const Expected& where, const QByteArray& bytes, bool more,
                         QString* written) {
    const QString safe = QString::fromStdString(gphoto::SafeBaseName(name));
    const QFileInfo info(safe.isEmpty() ? QStringLiteral("photo.jpg") : safe);
    const QString suffix = info.suffix().isEmpty() ? QStringLiteral(".jpg") : "." + info.suffix().toLower();
    storage::PhotoRequest request = where.request;
    if (request.naming == storage::PhotoRequest::Naming::CameraNamed && !more)
        request.cameraName = info.completeBaseName();
    storage::StoredPhoto stored;
    QString error;
    const QByteArrayView parts[] = {QByteArrayView(bytes)};
    if (!links_.filer->Save(request, suffix, parts, &stored, &error, more ? &lastShot_.stored : nullptr)) {
        error += CapturesToCard() ? QStringLiteral("; it is still on the camera's card")
                                  : QStringLiteral("; the camera kept no copy");
        Report([id = where.id, error](ISessionEvents& e) { e.CaptureFailed(id, error); });
        return false;
    }
    if (more)
        lastShot_.awaiting = std::max(lastShot_.awaiting - 1, 0);
    else
        lastShot_ = LastShot{StemOf(name), stored, request, std::chrono::steady_clock::now(), where.id,
                             FilesPerShot() - 1};
    *written = stored.path;
    return true;
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
    const bool series = where.request.naming == storage::PhotoRequest::Naming::Series;
    if (told && !more && progressId_ != id) {
        progressId_ = id;
        progressReported_ = 0;
        if (series)
            Report([id](ISessionEvents& e) { e.DownloadStart(id); });
    }
    CameraFile* file = nullptr;
    gp_file_new(&file);
    const int r = Retry([&] { return gp_camera_file_get(camera_, folder, name, GP_FILE_TYPE_NORMAL, file, context_); });
    const char* data = nullptr;
    unsigned long size = 0;
    progressId_ = 0;
    if (r != GP_OK || gp_file_get_data_and_size(file, &data, &size) != GP_OK) {
        gp_file_unref(file);
        if (more)
            ReleaseHeldReport(); // the shot has its first file; the loss of this one is said on its own
        if (Lost(r)) {
            Failed(r, "sending a photo");
            return;
        }
        const QString reason =
            QStringLiteral("The photo %1 could not be downloaded (%2); it is still on the camera")
                .arg(QString::fromStdString(gphoto::SafeBaseName(name)), QString::fromUtf8(gp_result_as_string(r)));
        Report([id = more ? 0 : id, reason](ISessionEvents& e) { e.CaptureFailed(id, reason); });
        return;
    }
    // libgphoto2 2.5.30 reports no progress while an EOS capture downloads inside gp_camera_capture; whatever
    // it did not report, the file is in memory now.
    if (told && !more && progressReported_ < 90)
        Report([id](ISessionEvents& e) { e.DownloadProgress(id, 90); });
    const QByteArray bytes = QByteArray::fromRawData(data, static_cast<qsizetype>(size));
    // The preview for the view is decoded while the file is written: the write waits on the disk, the decode on
    // the processor, and "DownloadComplete" waits for the slower of the two only.
    QImage preview;
    std::thread previewer;
    if (told)
        previewer = std::thread([&preview, bytes] { preview = DecodePreview(bytes); });
    QString written;
    const bool stored = Store(name, where, bytes, more, &written);
    if (previewer.joinable())
        previewer.join();
    gp_file_unref(file);
    if (told && stored)
        Complete(where, more, written, preview);
}

} // namespace quor::component
