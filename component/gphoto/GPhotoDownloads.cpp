// The photos a body announces: who gets each one (a shot of ours, the series, the second file of an exposure, the
// body's own button), its download, and its place on disk through the filer.
#include "component/gphoto/GPhotoCamera.h"

#include "component/gphoto/GPhotoVocabulary.h"
#include "component/session/ImageCodec.h"

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

void GPhotoCamera::OnFileAdded(const std::string& folder, const std::string& name) {
    Expected where;
    if (!expected_.empty()) {
        where = expected_.front();
        expected_.pop_front();
    } else if (seriesActive_ || seriesTail_) {
        where = series_;
    } else if (StemOf(name) == lastShot_.cameraStem &&
               std::chrono::steady_clock::now() - lastShot_.when < kSameShotWindow) {
        // The second file of the exposure a shot of ours took (RAW + JPEG): stored beside the first, untold.
        where = Expected{0, lastShot_.request};
    } else {
        // Taken with the body's own button: nothing the body delivers is left behind, it keeps its own name.
        where.request.naming = storage::PhotoRequest::Naming::CameraNamed;
        where.request.hostPath = ownShotFolder_;
    }
    Download(folder.c_str(), name.c_str(), where);
}

bool GPhotoCamera::CapturesToCard() const {
    for (const WidgetState& w : known_)
        if (w.widget == gphoto::kCaptureTarget)
            return w.value == gphoto::kTargetCard;
    return false;
}

bool GPhotoCamera::Store(const std::string& name, const Expected& where, const QByteArray& bytes, QString* written) {
    const QString safe = QString::fromStdString(gphoto::SafeBaseName(name));
    const QFileInfo info(safe.isEmpty() ? QStringLiteral("photo.jpg") : safe);
    const QString suffix = info.suffix().isEmpty() ? QStringLiteral(".jpg") : "." + info.suffix().toLower();
    storage::PhotoRequest request = where.request;
    if (request.naming == storage::PhotoRequest::Naming::CameraNamed)
        request.cameraName = info.completeBaseName();
    // A second file of one exposure (RAW + JPEG) shares the first one's name.
    const bool secondFile = request.naming != storage::PhotoRequest::Naming::CameraNamed &&
                            StemOf(name) == lastShot_.cameraStem &&
                            std::chrono::steady_clock::now() - lastShot_.when < kSameShotWindow;
    storage::StoredPhoto stored;
    QString error;
    const QByteArrayView parts[] = {QByteArrayView(bytes)};
    if (!links_.filer->Save(request, suffix, parts, &stored, &error, secondFile ? &lastShot_.stored : nullptr)) {
        error += CapturesToCard() ? QStringLiteral("; it is still on the camera's card")
                                  : QStringLiteral("; the camera kept no copy");
        Report([id = where.id, error](ISessionEvents& e) { e.CaptureFailed(id, error); });
        return false;
    }
    if (!secondFile)
        lastShot_ = LastShot{StemOf(name), stored, request, std::chrono::steady_clock::now()};
    *written = stored.path;
    return true;
}

void GPhotoCamera::Download(const char* folder, const char* name, const Expected& where) {
    const std::uint64_t id = where.id;
    // Photos from the body's own shutter have no job; they are stored without being announced as downloads.
    const bool told = id != 0;
    const bool series = where.request.naming == storage::PhotoRequest::Naming::Series;
    if (told && progressId_ != id) {
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
        if (Lost(r)) {
            Failed(r, "sending a photo");
            return;
        }
        const QString reason =
            QStringLiteral("The photo %1 could not be downloaded (%2); it is still on the camera")
                .arg(QString::fromStdString(gphoto::SafeBaseName(name)), QString::fromUtf8(gp_result_as_string(r)));
        Report([id, reason](ISessionEvents& e) { e.CaptureFailed(id, reason); });
        return;
    }
    // libgphoto2 2.5.30 reports no progress while an EOS capture downloads inside gp_camera_capture; whatever
    // it did not report, the file is in memory now.
    if (told && progressReported_ < 90)
        Report([id](ISessionEvents& e) { e.DownloadProgress(id, 90); });
    const QByteArray bytes = QByteArray::fromRawData(data, static_cast<qsizetype>(size));
    // The preview for the view is decoded while the file is written: the write waits on the disk, the decode on
    // the processor, and "DownloadComplete" waits for the slower of the two only.
    QImage preview;
    std::thread previewer;
    if (told)
        previewer = std::thread([&preview, bytes] { preview = DecodePreview(bytes); });
    QString written;
    const bool stored = Store(name, where, bytes, &written);
    if (previewer.joinable())
        previewer.join();
    gp_file_unref(file);
    if (!told || !stored)
        return;
    Report([id, written, preview](ISessionEvents& e) {
        e.DownloadProgress(id, 100);
        e.DownloadComplete(id, written, preview);
    });
}

} // namespace quor::component
