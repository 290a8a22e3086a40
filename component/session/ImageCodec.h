// The JPEG work every side of the component does with photos: encoding one, and decoding a photo's preview at
// the size the view shows it. Safe on any thread.
#pragma once

#include <QByteArray>
#include <QImage>

namespace quor::component {

// Encodes `image` as JPEG at `quality` (0..100); empty on failure.
QByteArray EncodeJpeg(const QImage& image, int quality);

// The preview of a photo file's bytes, decoded straight at a size that fits kPreviewSize (the JPEG decoder
// scales while decoding). Null for what is not an image Qt reads (a RAW file).
QImage DecodePreview(const QByteArray& bytes);
// The same read from a file through a descriptor of its own (see ReopenForReading), which it closes: the decoder
// reads the file a few kilobytes at a time.
QImage DecodePreviewOf(int ownFd);
// A new read-only descriptor with an offset of its own for the file open as `fd`, which works for a file that
// has no name yet too; -1 when there is none.
int ReopenForReading(int fd);

} // namespace quor::component
