#include "component/storage/DurableFile.h"

#include "component/storage/SystemError.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quor::component::storage {
namespace {

QString Reason(const QString& what, int err) {
    return QCoreApplication::translate("quor::storage", "%1：%2").arg(what, SystemErrorText(err));
}
void Say(QString* error, const QString& what, int err) {
    if (error)
        *error = Reason(what, err);
}

QByteArray Encode(const QString& path) { return QFile::encodeName(path); }
QString Decode(const QByteArray& path) { return QFile::decodeName(path); }

QByteArray FolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

// "Not offered by this filesystem" as opposed to a real failure (no room, no permission, an I/O error).
bool Unsupported(int err) {
    return err == EPERM || err == EOPNOTSUPP || err == ENOTSUP || err == ENOSYS || err == EINVAL || err == EMLINK ||
           err == EXDEV || err == EISDIR;
}

// Temporaries this process is writing now: the clean-up never takes them.
std::mutex gLiveMutex;
std::set<std::string> gLive;

void MarkLive(const QByteArray& path) {
    std::lock_guard lock(gLiveMutex);
    gLive.insert(path.toStdString());
}
void MarkGone(const QByteArray& path) {
    std::lock_guard lock(gLiveMutex);
    gLive.erase(path.toStdString());
}
bool IsLive(const std::string& path) {
    std::lock_guard lock(gLiveMutex);
    return gLive.count(path) != 0;
}

QByteArray TempPattern(const QByteArray& folder) {
    return folder + '/' + kTempPrefix + QByteArray::number(::getpid()) + "-XXXXXX" + kTempSuffix;
}

// A fresh temporary name (no file made): for a second name that must not exist yet.
QByteArray TempName(const QByteArray& folder) {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random(std::random_device{}());
    QByteArray name = TempPattern(folder);
    const qsizetype at = name.size() - qsizetype(sizeof kTempSuffix - 1) - 6;
    for (int i = 0; i < 6; ++i)
        name[at + i] = kAlphabet[random() % (sizeof kAlphabet - 1)];
    return name;
}

bool WriteAll(int fd, const char* p, std::size_t n, int* err) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            *err = errno;
            return false;
        }
        p += w;
        n -= std::size_t(w);
    }
    return true;
}

// Copies the first `length` bytes of `from` (the whole of it by default) onto the end of `to`.
bool CopyContents(int from, int to, int* err, std::uint64_t length = UINT64_MAX) {
    loff_t in = 0;
    auto left = [&] { return std::size_t(std::min<std::uint64_t>(length - std::uint64_t(in), 1 << 24)); };
    for (;;) {
        if (left() == 0)
            return true;
        const ssize_t n = ::copy_file_range(from, &in, to, nullptr, left(), 0);
        if (n > 0)
            continue;
        if (n == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (!Unsupported(errno) && errno != EBADF) {
            *err = errno;
            return false;
        }
        break; // not offered between these files: copy by hand from where it got to
    }
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::pread(from, buffer, std::min(sizeof buffer, left()), in);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *err = errno;
            return false;
        }
        if (n == 0)
            return true;
        if (!WriteAll(to, buffer, std::size_t(n), err))
            return false;
        in += n;
    }
}

// What one way of making a new name came to: nothing when the filesystem does not offer that way (which is then
// switched off for the folder), so that the caller tries the next one.
std::optional<PendingFile::Claim> Attempt(int result, bool& ability, const QString& what, QString* error) {
    if (result == 0)
        return PendingFile::Claim::Done;
    if (errno == EEXIST)
        return PendingFile::Claim::Taken;
    if (!Unsupported(errno)) {
        Say(error, what, errno);
        return PendingFile::Claim::Failed;
    }
    ability = false;
    return std::nullopt;
}

bool Exists(const QByteArray& path) {
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

// Claims made by looking first and renaming after: one at a time in this process.
std::mutex gLookThenRename;

// Renames `from` to `to` unless something is called `to` already (Taken). Only a writer of another process,
// racing in the same instant on a filesystem that offers no exclusive rename, could defeat it.
PendingFile::Claim RenameIfFree(const QByteArray& from, const QByteArray& to, const QString& failure, QString* error) {
    std::lock_guard lock(gLookThenRename);
    if (Exists(to))
        return PendingFile::Claim::Taken;
    if (::rename(from.constData(), to.constData()) != 0) {
        Say(error, failure, errno);
        return PendingFile::Claim::Failed;
    }
    return PendingFile::Claim::Done;
}

} // namespace

bool PendingFile::Begin(const QString& folder, FolderAbilities& abilities, QString* error) {
    Discard();
    folder_ = Encode(folder.isEmpty() ? QStringLiteral(".") : folder);
    size_ = 0;
    if (abilities.tmpfile && abilities.links) {
        fd_ = ::open(folder_.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0644);
        if (fd_ >= 0)
            return true;
        if (!Unsupported(errno) && errno != ENOENT) {
            Say(error, QCoreApplication::translate("quor::storage", "无法在 %1 中新建文件").arg(folder), errno);
            return false;
        }
        if (errno != ENOENT)
            abilities.tmpfile = false;
    }
    return BeginNamed(error);
}

bool PendingFile::BeginNamed(QString* error) {
    QByteArray name = TempPattern(folder_);
    const int fd = ::mkostemps(name.data(), int(sizeof kTempSuffix - 1), O_CLOEXEC);
    if (fd < 0) {
        Say(error, QCoreApplication::translate("quor::storage", "无法在 %1 中新建文件").arg(Decode(folder_)),
            errno);
        return false;
    }
    MarkLive(name);
    ::fchmod(fd, 0644);
    fd_ = fd;
    temp_ = name;
    return true;
}

bool PendingFile::Append(const char* data, std::size_t size, QString* error) {
    int err = 0;
    if (!WriteAll(fd_, data, size, &err)) {
        Say(error, QCoreApplication::translate("quor::storage", "无法写入照片"), err);
        return false;
    }
    size_ += size;
    return true;
}

bool PendingFile::AppendFile(const QString& source, QString* error) {
    const int in = ::open(Encode(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        Say(error, QCoreApplication::translate("quor::storage", "无法读取 %1").arg(source), errno);
        return false;
    }
    int err = 0;
    const bool ok = CopyContents(in, fd_, &err);
    ::close(in);
    struct stat st {};
    if (::fstat(fd_, &st) == 0)
        size_ = std::size_t(st.st_size);
    if (!ok)
        Say(error, QCoreApplication::translate("quor::storage", "无法复制 %1").arg(source), err);
    return ok;
}

bool PendingFile::AppendFrom(const PendingFile& other, QString* error) {
    int err = 0;
    if (!CopyContents(other.fd_, fd_, &err, other.size_)) {
        Say(error, QCoreApplication::translate("quor::storage", "无法写入照片"), err);
        return false;
    }
    size_ += other.size_;
    return true;
}

PendingFile& PendingFile::operator=(PendingFile&& other) noexcept {
    if (this != &other) {
        Discard();
        folder_ = std::move(other.folder_);
        temp_ = std::move(other.temp_);
        fd_ = std::exchange(other.fd_, -1);
        size_ = std::exchange(other.size_, 0);
        other.temp_.clear();
    }
    return *this;
}

bool PendingFile::Replace(const QString& path, QString* error) {
    if (temp_.isEmpty() || ::rename(temp_.constData(), Encode(path).constData()) != 0) {
        Say(error, QCoreApplication::translate("quor::storage", "无法更新 %1").arg(path),
            temp_.isEmpty() ? EINVAL : errno);
        return false;
    }
    CloseAndForget();
    return true;
}

bool PendingFile::Finish(QString* error) {
    if (::fsync(fd_) != 0 && errno != EINVAL) {
        Say(error, QCoreApplication::translate("quor::storage", "无法将照片写入磁盘"), errno);
        return false;
    }
    return true;
}

// An O_TMPFILE file that cannot be given a name here becomes an ordinary temporary: the contents are copied.
bool PendingFile::ToNamed(QString* error) {
    const int anonymous = fd_;
    fd_ = -1;
    if (!BeginNamed(error)) {
        ::close(anonymous);
        return false;
    }
    int err = 0;
    const bool copied = CopyContents(anonymous, fd_, &err);
    ::close(anonymous);
    if (!copied) {
        Say(error, QCoreApplication::translate("quor::storage", "无法写入照片"), err);
        return false;
    }
    return Finish(error);
}

PendingFile::Claim PendingFile::ClaimName(const QString& path, FolderAbilities& abilities, QString* error) {
    const QByteArray name = Encode(path);
    if (temp_.isEmpty()) {
        // linkat refuses an existing name, so nothing is ever replaced.
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd_);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0) {
            CloseAndForget();
            return Claim::Done;
        }
        const int err = errno;
        if (err == EEXIST)
            return Claim::Taken;
        // ENOENT: the folder has gone, unless this system has no /proc to name the file through.
        const bool noProc = err == ENOENT && ::access("/proc/self/fd", F_OK) != 0;
        if (!noProc && !Unsupported(err)) {
            Say(error, QCoreApplication::translate("quor::storage", "无法保存 %1").arg(path), err);
            return Claim::Failed;
        }
        if (!noProc)
            abilities.links = false;
        abilities.tmpfile = false; // name it the ordinary way from now on
        if (!ToNamed(error))
            return Claim::Failed;
    }
    const QString what = QCoreApplication::translate("quor::storage", "无法保存 %1").arg(path);
    if (abilities.links) {
        if (const auto c = Attempt(::link(temp_.constData(), name.constData()), abilities.links, what, error)) {
            if (*c == Claim::Done) {
                ::unlink(temp_.constData());
                CloseAndForget();
            }
            return *c;
        }
    }
    if (abilities.renameNoReplace) {
        const int r = ::renameat2(AT_FDCWD, temp_.constData(), AT_FDCWD, name.constData(), RENAME_NOREPLACE);
        if (const auto c = Attempt(r, abilities.renameNoReplace, what, error)) {
            if (*c == Claim::Done)
                CloseAndForget();
            return *c;
        }
    }
    return ClaimByRename(name, error);
}

// The last resort of a filesystem with neither links nor renameat2 (FAT through FUSE, many network shares): the
// temporary, complete and flushed, is renamed onto the name once it is sure that nothing has it. The look and
// the rename happen under one lock that every such claim of this process takes, so no writer here can slip in
// between; what a kill leaves behind is the temporary, never a part of a photo under its final name.
PendingFile::Claim PendingFile::ClaimByRename(const QByteArray& name, QString* error) {
    const Claim c =
        RenameIfFree(temp_, name, QCoreApplication::translate("quor::storage", "无法保存 %1").arg(Decode(name)), error);
    if (c == Claim::Done)
        CloseAndForget();
    return c;
}

void PendingFile::CloseAndForget() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_.isEmpty())
        MarkGone(temp_);
    temp_.clear();
}

void PendingFile::Discard() {
    if (!temp_.isEmpty())
        ::unlink(temp_.constData());
    CloseAndForget();
}

bool ReplaceWith(const QString& source, const QString& target, FolderAbilities& abilities, QString* error) {
    const QByteArray from = Encode(source), to = Encode(target);
    const QByteArray folder = FolderOf(to);
    if (abilities.links) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray second = TempName(folder);
            MarkLive(second);
            if (::link(from.constData(), second.constData()) == 0) {
                const bool replaced = ::rename(second.constData(), to.constData()) == 0;
                const int err = errno;
                if (!replaced)
                    ::unlink(second.constData());
                MarkGone(second);
                if (!replaced)
                    Say(error, QCoreApplication::translate("quor::storage", "无法更新 %1").arg(target), err);
                return replaced;
            }
            const int err = errno;
            MarkGone(second);
            if (err == EEXIST)
                continue;
            if (!Unsupported(err)) {
                Say(error, QCoreApplication::translate("quor::storage", "无法更新 %1").arg(target), err);
                return false;
            }
            abilities.links = false;
            break;
        }
    }
    // A copy, complete and flushed before it takes the old one's place.
    PendingFile copy;
    FolderAbilities named = abilities;
    named.tmpfile = false; // a name is needed to rename it over the target
    return copy.Begin(Decode(folder), named, error) && copy.AppendFile(source, error) && copy.Finish(error) &&
           copy.Replace(target, error);
}

PendingFile::Claim KeepUnder(const QString& path, const QString& newName, FolderAbilities& abilities,
                             QString* error) {
    const QByteArray from = Encode(path), to = Encode(newName);
    const QString what = QCoreApplication::translate("quor::storage", "无法保留 %1").arg(path);
    if (abilities.links)
        if (const auto c = Attempt(::link(from.constData(), to.constData()), abilities.links, what, error))
            return *c;
    if (abilities.renameNoReplace) {
        const int r = ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
        if (const auto c = Attempt(r, abilities.renameNoReplace, what, error))
            return *c;
    }
    // Neither: a plain rename after looking.
    return RenameIfFree(from, to, what, error);
}

bool SyncFolder(const QString& folder, QString* error) {
    const QByteArray name = Encode(folder.isEmpty() ? QStringLiteral(".") : folder);
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        Say(error, QCoreApplication::translate("quor::storage", "无法打开 %1").arg(folder), errno);
        return false;
    }
    // Some filesystems cannot flush a folder on its own (they answer EINVAL); their entries go with the files.
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
    const int err = errno;
    ::close(fd);
    if (!ok)
        Say(error, QCoreApplication::translate("quor::storage", "无法将 %1 写入磁盘").arg(folder), err);
    return ok;
}

int RemoveStaleTemporaries(const QString& folder) {
    const QByteArray dirName = Encode(folder.isEmpty() ? QStringLiteral(".") : folder);
    DIR* dir = ::opendir(dirName.constData());
    if (!dir)
        return 0;
    const std::size_t prefix = sizeof kTempPrefix - 1, suffix = sizeof kTempSuffix - 1;
    const pid_t self = ::getpid();
    const auto now = std::chrono::system_clock::now();
    int removed = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.size() <= prefix + suffix || name.compare(0, prefix, kTempPrefix) != 0 ||
            name.compare(name.size() - suffix, suffix, kTempSuffix) != 0)
            continue;
        const std::string middle = name.substr(prefix, name.size() - prefix - suffix);
        const std::string path = dirName.toStdString() + '/' + name;
        const std::size_t dash = middle.find('-');
        bool stale = false;
        if (dash == std::string::npos) {
            // An older version's name carries no writer: stale once nobody could still be writing it.
            struct stat st {};
            stale = ::lstat(path.c_str(), &st) == 0 &&
                    now - std::chrono::system_clock::from_time_t(st.st_mtime) > std::chrono::minutes(1);
        } else {
            char* end = nullptr;
            const long pid = std::strtol(middle.c_str(), &end, 10);
            if (end != middle.c_str() + dash || pid <= 0)
                continue;
            if (pid == self)
                stale = !IsLive(path);
            else
                stale = ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
        }
        if (stale && ::unlink(path.c_str()) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

bool SameContents(const QString& a, const QString& b, bool compareBytes) {
    struct stat sa {}, sb {};
    if (::stat(Encode(a).constData(), &sa) != 0 || ::stat(Encode(b).constData(), &sb) != 0)
        return false;
    if (sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino)
        return true;
    if (!compareBytes || sa.st_size != sb.st_size)
        return false;
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly))
        return false;
    while (!fa.atEnd()) {
        if (fa.read(1 << 16) != fb.read(1 << 16))
            return false;
    }
    return fb.atEnd();
}

} // namespace quor::component::storage
