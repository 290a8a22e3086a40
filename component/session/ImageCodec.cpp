#include "component/session/ImageCodec.h"

#include "component/session/CameraSession.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>

#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace quor::component {

QByteArray EncodeJpeg(const QImage& image, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(quality);
    if (!writer.write(image))
        return {};
    return bytes;
}

namespace {

QImage DecodeScaled(QIODevice& device) {
    QImageReader reader(&device);
    const QSize full = reader.size();
    if (full.isValid())
        reader.setScaledSize(full.scaled(kPreviewSize, kPreviewSize, Qt::KeepAspectRatio).boundedTo(full));
    return reader.read();
}

} // namespace

QImage DecodePreview(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return DecodeScaled(buffer);
}

QImage DecodePreviewOf(int ownFd) {
    QFile file;
    if (ownFd < 0 || !file.open(ownFd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (ownFd >= 0)
            ::close(ownFd);
        return {};
    }
    return DecodeScaled(file);
}

int ReopenForReading(int fd) {
    if (fd < 0)
        return -1;
    // An open of /proc/self/fd/N is a new open of the file, with an offset of its own.
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

} // namespace quor::component
