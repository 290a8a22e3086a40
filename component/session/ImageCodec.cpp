#include "component/session/ImageCodec.h"

#include "component/session/CameraSession.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

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

QImage DecodePreview(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize full = reader.size();
    if (full.isValid())
        reader.setScaledSize(full.scaled(kPreviewSize, kPreviewSize, Qt::KeepAspectRatio).boundedTo(full));
    return reader.read();
}

} // namespace quor::component
