// Writing photos so that no reader ever sees half a file and nothing is ever overwritten by accident.
#pragma once

#include <QByteArray>
#include <QString>

namespace quor::component {

// Writes `data` to a temporary file in the folder of `path`, flushes it to disk, then renames it over `path`.
// On failure nothing is left behind, an existing file at `path` keeps its old contents, and `error` (if given)
// says why in plain words.
bool WriteFileAtomically(const QString& path, const QByteArray& data, QString* error = nullptr);

// Like WriteFileAtomically, but never replaces an existing file: tries `<stem><counter><suffix>` in `folder`
// with the counter counting up from `firstCounter` (zero-padded to four digits) past every name already
// taken, and claims the first free one atomically. Returns the path written, or an empty string on failure.
QString WriteNewFile(const QString& folder, const QString& stem, const QString& suffix, const QByteArray& data,
                     int firstCounter = 1, QString* error = nullptr);

} // namespace quor::component
