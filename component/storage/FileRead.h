// Reading a small file that a path from outside names (the crop-frame image): only a regular file, never one
// that could block (a FIFO, a device), and never more than a cap.
#pragma once

#include <QByteArray>
#include <QString>

namespace quor::component::storage {

// Reads the whole of `path` into `out`. False, with `error` in plain words, for anything but a regular file
// of at most `cap` bytes.
bool ReadRegularFile(const QString& path, qint64 cap, QByteArray* out, QString* error);

} // namespace quor::component::storage
