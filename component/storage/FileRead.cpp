#include "component/storage/FileRead.h"

#include "component/storage/SystemError.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quor::component::storage {

bool ReadRegularFile(const QString& path, qint64 cap, QByteArray* out, QString* error) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    auto failErrno = [&](int err) { return fail(SystemErrorText(err)); };
    // O_NONBLOCK: opening a FIFO or a device must not wait for a writer; what it is, is checked on the
    // descriptor itself, so that nothing can be swapped in between the look and the read.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return failErrno(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return failErrno(err);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(QCoreApplication::translate("quor::storage", "不是普通文件"));
    }
    if (st.st_size > cap) {
        ::close(fd);
        return fail(QCoreApplication::translate("quor::storage", "超过 %1 MB").arg(cap >> 20));
    }
    out->resize(qsizetype(st.st_size));
    qsizetype got = 0;
    while (got < out->size()) {
        const ssize_t n = ::read(fd, out->data() + got, std::size_t(out->size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            return failErrno(err);
        }
        if (n == 0)
            break; // it shrank meanwhile
        got += n;
    }
    ::close(fd);
    out->resize(got);
    return true;
}

} // namespace quor::component::storage
