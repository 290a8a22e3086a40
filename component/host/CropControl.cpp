#include "component/host/CropControl.h"

#include "component/host/QuorCtrlView.h"
#include "component/host/ShootingController.h"
#include "component/host/ViewGeometry.h"
#include "component/storage/FileRead.h"
#include "component/storage/IoQueue.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace quor::component {
namespace {

// The picture in `file` (a path, or one of the component's resources), ready to draw; a null image and the reason
// in plain words when it cannot be used.
QImage ReadCropImage(const QString& file, QString* error) {
    QByteArray bytes;
    QFile resource(file);
    const bool own = file.startsWith(QLatin1Char(':')) && resource.open(QIODevice::ReadOnly);
    if (own)
        bytes = resource.readAll();
    else if (!storage::ReadRegularFile(file, CropControl::kImageLimit, &bytes, error))
        return {};
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // A small file may still hold a picture far too large to keep and scale at every repaint.
    const QSize size = reader.size();
    if (size.width() > CropControl::kSideLimit || size.height() > CropControl::kSideLimit) {
        *error = QCoreApplication::translate("quor::component::CropControl", "图片过大（%1 × %2 像素）")
                     .arg(size.width())
                     .arg(size.height());
        return {};
    }
    QImage image = reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        *error = reader.errorString();
    return image;
}

} // namespace

void CropControl::Repaint() {
    if (links_.view)
        links_.view->Refresh();
}

void CropControl::Raise() { links_.raise(links_.state->cropRect); }

void CropControl::Enable(bool on, bool flag2, bool flag3) {
    links_.state->cropEnabled = on;
    links_.state->cropFlag2 = flag2;
    links_.state->cropFlag3 = flag3;
    Normalize();
    Repaint();
}

void CropControl::SetRect(const std::array<std::int32_t, 4>& rect) {
    links_.state->cropRect = rect;
    Normalize();
    Repaint();
}

void CropControl::SetRatio(bool locked, const std::array<std::int32_t, 2>& ratio) {
    links_.state->cropRatioLocked = locked;
    links_.state->cropRatio = ratio;
    Normalize();
    Repaint();
}

void CropControl::Normalize() {
    ComponentState& state = *links_.state;
    // An empty rectangle stands for the whole frame and is kept as the host gave it.
    if (state.cropRect[2] <= 0 || state.cropRect[3] <= 0)
        return;
    const QRect used = EffectiveCrop(state.cropRect, links_.frameSize(), state.cropRatioLocked, state.cropRatio);
    const std::array<std::int32_t, 4> numbers{used.x(), used.y(), used.width(), used.height()};
    if (numbers == state.cropRect)
        return;
    state.cropRect = numbers;
    // After the call that caused it, with the numbers as they stand then.
    links_.post([this] { Raise(); });
}

void CropControl::Dragged(QRect rect) {
    links_.state->cropRect = {rect.x(), rect.y(), rect.width(), rect.height()};
    Raise();
    Repaint();
}

QString CropFrameFile(const QString& given) {
    // A missing file (nothing at all there, not an unreadable one) gets the frame that ships with the program:
    // the one beside it (a build, or a copy unpacked anywhere), else the installed one (<prefix>/share/quortovu),
    // either of which a user may replace, else the component's own copy.
    if (given.isEmpty() || (!QFileInfo(given).isSymLink() && !QFileInfo::exists(given))) {
        const QString name = QString::fromLatin1(kDefaultCropFrame);
        const QDir programs(ApplicationDirectory());
        for (const QString& shipped : {programs.filePath(name), programs.filePath(QStringLiteral("../share/quortovu/") + name)})
            if (QFileInfo::exists(shipped))
                return QDir::cleanPath(shipped);
        return QStringLiteral(":/quorctrl/") + name;
    }
    return given;
}

void CropControl::ShowFrame(bool shown, const std::string& path) {
    links_.state->cropFrameShown = shown;
    links_.state->cropImagePath = path;
    const std::uint64_t request = ++imageRequest_;
    if (!shown) {
        if (links_.view)
            links_.view->ClearCropFrameImage();
        Repaint();
        return;
    }
    // The file is read when the frame is switched on (so that a changed file shows at the next switch), on the
    // I/O thread: a path from outside may name anything, a FIFO or a file on a stalled share.
    links_.io->Post([this, request, given = HostPath(path), post = links_.post] {
        QString error, ignored;
        const QString file = CropFrameFile(given);
        QImage image = ReadCropImage(file, &error);
        if (image.isNull()) {
            // The shipped frame instead (the one beside the program, else the component's own copy).
            error = QCoreApplication::translate("quor::component::CropControl",
                                                "无法使用裁剪框图片 %1（%2）；改为显示程序自带的裁剪框")
                        .arg(file, error);
            image = ReadCropImage(CropFrameFile(QString()), &ignored);
            if (image.isNull())
                image = ReadCropImage(QStringLiteral(":/quorctrl/") + QLatin1String(kDefaultCropFrame), &ignored);
        }
        post([this, request, image, error] {
            if (request != imageRequest_)
                return;
            if (links_.view)
                links_.view->SetCropFrameImage(image, error);
            if (!error.isEmpty())
                links_.tell(error);
        });
    });
    Repaint();
}

} // namespace quor::component
