#include "component/AtomicFile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quor::component {
namespace {

QString Reason(const QString& what, int err) {
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(err)));
}

// Creates a temporary file beside `dir` and writes `data` into it. Returns its path, or empty on failure.
QByteArray WriteTemporary(const QString& dir, const QByteArray& data, QString* error) {
    QByteArray tmpl = QFile::encodeName(QDir(dir.isEmpty() ? QStringLiteral(".") : dir)
                                            .filePath(QStringLiteral(".quortovu-XXXXXX.part")));
    const int fd = ::mkostemps(tmpl.data(), 5, O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = Reason(QStringLiteral("cannot create a file in %1").arg(dir), errno);
        return {};
    }
    const char* p = data.constData();
    qsizetype left = data.size();
    int err = 0;
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            break;
        }
        p += n;
        left -= n;
    }
    if (err == 0 && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err != 0) {
        ::unlink(tmpl.constData());
        if (error)
            *error = Reason(QStringLiteral("cannot write the photo"), err);
        return {};
    }
    ::fchmodat(AT_FDCWD, tmpl.constData(), 0644, 0);
    return tmpl;
}

QString FolderOf(const QString& path) {
    const QFileInfo info(path);
    return info.path();
}

} // namespace

bool WriteFileAtomically(const QString& path, const QByteArray& data, QString* error) {
    const QByteArray tmp = WriteTemporary(FolderOf(path), data, error);
    if (tmp.isEmpty())
        return false;
    if (::rename(tmp.constData(), QFile::encodeName(path).constData()) != 0) {
        const int err = errno;
        ::unlink(tmp.constData());
        if (error)
            *error = Reason(QStringLiteral("cannot save %1").arg(path), err);
        return false;
    }
    return true;
}

QString WriteNewFile(const QString& folder, const QString& stem, const QString& suffix, const QByteArray& data,
                     int firstCounter, QString* error) {
    const QByteArray tmp = WriteTemporary(folder, data, error);
    if (tmp.isEmpty())
        return {};
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    for (int counter = firstCounter; counter < firstCounter + 1000000; ++counter) {
        const QString name = dir.filePath(QStringLiteral("%1%2%3").arg(stem).arg(counter, 4, 10, QLatin1Char('0')).arg(suffix));
        // link() refuses an existing name, so a file that appeared meanwhile is never replaced.
        if (::link(tmp.constData(), QFile::encodeName(name).constData()) == 0) {
            ::unlink(tmp.constData());
            return name;
        }
        if (errno != EEXIST) {
            const int err = errno;
            ::unlink(tmp.constData());
            if (error)
                *error = Reason(QStringLiteral("cannot save %1").arg(name), err);
            return {};
        }
    }
    ::unlink(tmp.constData());
    if (error)
        *error = QStringLiteral("no free file name left in %1").arg(folder);
    return {};
}

} // namespace quor::component
