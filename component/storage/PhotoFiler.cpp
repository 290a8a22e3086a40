#include "component/storage/PhotoFiler.h"

#include "component/storage/SystemError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace quor::component::storage {
namespace {

constexpr int kMaxNumber = 9999; // four digits keep the names sorting; within one second no body gets near

QString Stamp(const QDateTime& when) { return when.toString(QStringLiteral("yyyyMMdd-HHmmss")); }

QString Numbered(int n) { return QStringLiteral("%1").arg(n, 4, 10, QLatin1Char('0')); }

bool SameSuffix(const QString& a, const QString& b) {
    auto norm = [](QString s) {
        s = s.toLower();
        return s == QLatin1String(".jpeg") ? QStringLiteral(".jpg") : s;
    };
    return norm(a) == norm(b);
}

bool StatOf(const QString& path, struct stat* st) { return ::lstat(QFile::encodeName(path).constData(), st) == 0; }

} // namespace

PhotoFiler::PhotoFiler(QString fallbackFolder) : fallback_(std::move(fallbackFolder)) {}

void PhotoFiler::SetSaveFolder(const QString& folder) {
    std::lock_guard lock(mutex_);
    saveFolder_ = folder;
}

QString PhotoFiler::SaveFolder() const {
    std::lock_guard lock(mutex_);
    return saveFolder_;
}

QString PhotoFiler::FallbackFolder() const { return fallback_; }

void PhotoFiler::SetNoticeHandler(NoticeFn notice) {
    std::lock_guard lock(mutex_);
    notice_ = std::move(notice);
}

void PhotoFiler::SetFolderHandler(FolderFn folder) {
    std::lock_guard lock(mutex_);
    folderUsed_ = std::move(folder);
}

bool PhotoFiler::IsSystemFolder(const QString& canonicalPath) {
    static const char* const kSystem[] = {"/bin",  "/boot",      "/dev",      "/etc",     "/lib",       "/lib32",
                                          "/lib64", "/libx32",   "/opt",      "/proc",    "/run",       "/sbin",
                                          "/snap", "/sys",       "/usr",      "/var/lib", "/var/cache", "/var/log",
                                          "/var/spool"};
    if (canonicalPath == QLatin1String("/"))
        return true;
    for (const char* s : kSystem) {
        const QLatin1String root(s);
        if (canonicalPath == root || (canonicalPath.startsWith(root) && canonicalPath.at(root.size()) == u'/'))
            return true;
    }
    return false;
}

QString PhotoFiler::Unusable(const QString& folder) {
    if (folder.isEmpty())
        return QCoreApplication::translate("quor::storage", "未指定文件夹");
    const QFileInfo info(folder);
    const QString canonical = info.canonicalFilePath();
    if (canonical.isEmpty())
        return QCoreApplication::translate("quor::storage", "不存在");
    if (!info.isDir())
        return QCoreApplication::translate("quor::storage", "不是文件夹");
    if (IsSystemFolder(canonical))
        return QCoreApplication::translate("quor::storage", "是系统文件夹");
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        return QCoreApplication::translate("quor::storage", "无法写入（%1）").arg(SystemErrorText(errno));
    return {};
}

void PhotoFiler::Notice(const QString& text, NoticeKind kind) {
    NoticeFn notice;
    {
        std::lock_guard lock(mutex_);
        if (!noticed_.insert(text).second)
            return;
        notice = notice_;
    }
    if (notice)
        notice(text, kind);
}

bool PhotoFiler::ScanDue(const QString& folder) {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    auto [it, first] = scanned_.try_emplace(folder, now);
    if (!first && now - it->second < kScanInterval)
        return false;
    it->second = now;
    return true;
}

FolderAbilities PhotoFiler::AbilitiesOf(const QString& folder) {
    std::lock_guard lock(mutex_);
    return abilities_[folder];
}

void PhotoFiler::Learned(const QString& folder, const FolderAbilities& abilities) {
    FolderFn used;
    {
        std::lock_guard lock(mutex_);
        abilities_[folder] = abilities;
        if (used_.insert(folder).second)
            used = folderUsed_;
    }
    if (used)
        used(folder);
}

QString PhotoFiler::Place(const PhotoRequest& request, QString* error) {
    QString wanted = SaveFolder();
    if (wanted.isEmpty())
        wanted = request.naming == PhotoRequest::Naming::Newest ? QFileInfo(request.hostPath).absolutePath()
                                                                  : request.hostPath;
    const QString why = Unusable(wanted);
    if (why.isEmpty())
        return wanted;
    QDir().mkpath(fallback_);
    const QString named = wanted.isEmpty() ? QCoreApplication::translate("quor::storage", "所选文件夹") : wanted;
    if (const QString fallbackWhy = Unusable(fallback_); !fallbackWhy.isEmpty()) {
        if (error)
            *error = QCoreApplication::translate("quor::storage", "照片未保存：%1 %2，%3 也%4")
                         .arg(named, why, fallback_, fallbackWhy);
        return {};
    }
    // The folders the host names cannot always take photos (an installed copy's are system folders): that is
    // how the program works then. A folder the user chose failing is something to put right.
    Notice(QCoreApplication::translate("quor::storage", "照片改存到 %1，因为 %2 %3").arg(fallback_, named, why),
           SaveFolder().isEmpty() ? NoticeKind::Information : NoticeKind::Failure);
    return fallback_;
}

bool PhotoFiler::Save(const PhotoRequest& request, const QString& suffix, std::span<const QByteArrayView> parts,
                      StoredPhoto* stored, QString* error, const StoredPhoto* sameShot) {
    std::unique_ptr<IncomingPhoto> incoming = Begin(request, error);
    if (!incoming)
        return false;
    for (const QByteArrayView& part : parts)
        if (!incoming->Append(part.data(), std::size_t(part.size()))) {
            if (error)
                *error = incoming->Error();
            return false;
        }
    return Finish(*incoming, suffix, stored, error, sameShot);
}

std::unique_ptr<IncomingPhoto> PhotoFiler::Begin(const PhotoRequest& request, QString* error) {
    const QString folder = Place(request, error);
    if (folder.isEmpty())
        return nullptr;
    std::unique_ptr<IncomingPhoto> incoming(new IncomingPhoto(this, request));
    if (Open(*incoming, folder, &incoming->why_))
        return incoming;
    if (ToFallback(*incoming))
        return incoming;
    if (error)
        *error = incoming->error_;
    return nullptr;
}

bool PhotoFiler::Open(IncomingPhoto& incoming, const QString& folder, QString* error) {
    // Whatever a crash left here goes first: before the first write into the folder, and again once a scan is
    // a minute old (a crash of another writer is what leaves them; reading a folder of thousands of photos
    // before every shot would cost more than the shot).
    if (ScanDue(folder))
        RemoveStaleTemporaries(folder);
    incoming.folder_ = folder;
    incoming.abilities_ = AbilitiesOf(folder);
    return incoming.file_.Begin(folder, incoming.abilities_, error);
}

bool PhotoFiler::ToFallback(IncomingPhoto& in) {
    const QString failed = in.folder_;
    Learned(failed, in.abilities_);
    QString fallbackWhy;
    QDir().mkpath(fallback_);
    if (failed != fallback_ && (fallbackWhy = Unusable(fallback_)).isEmpty()) {
        IncomingPhoto there(this, in.request_);
        // What arrived so far goes along: the rest follows it there.
        const bool any = in.file_.Size() > 0;
        if (Open(there, fallback_, &fallbackWhy) &&
            (!any || (in.file_.Active() && there.file_.AppendFrom(in.file_, &fallbackWhy)))) {
            in.file_ = std::move(there.file_);
            in.folder_ = fallback_;
            in.abilities_ = there.abilities_;
            in.movedFrom_ = failed;
            return true;
        }
        Learned(fallback_, there.abilities_);
    }
    in.error_ = failed == fallback_
                    ? QCoreApplication::translate("quor::storage", "照片未保存：%1").arg(in.why_)
                    : QCoreApplication::translate("quor::storage", "照片未保存：%1；也无法存到 %2：%3")
                          .arg(in.why_, fallback_, fallbackWhy);
    in.failed_ = true;
    in.file_.Discard();
    return false;
}

bool IncomingPhoto::Append(const char* data, std::size_t size) {
    while (!failed_ && !file_.Append(data, size, &why_))
        filer_->ToFallback(*this);
    return !failed_;
}

bool PhotoFiler::Finish(IncomingPhoto& in, const QString& suffix, StoredPhoto* stored, QString* error,
                        const StoredPhoto* sameShot) {
    while (!in.failed_) {
        if (in.file_.Finish(&in.why_) && ClaimUnique(in.file_, in.folder_, in.request_, suffix, in.abilities_,
                                                     stored, &in.why_, in.movedFrom_.isEmpty() ? sameShot : nullptr)) {
            Named(in, suffix, stored);
            return true;
        }
        ToFallback(in);
    }
    if (error)
        *error = in.error_;
    return false;
}

void PhotoFiler::Named(IncomingPhoto& in, const QString& suffix, StoredPhoto* stored) {
    const QString& folder = in.folder_;
    stored->path = stored->keptAs;
    if (in.request_.naming == PhotoRequest::Naming::Newest) {
        const QFileInfo host(in.request_.hostPath);
        if (SameSuffix(QLatin1Char('.') + host.suffix(), suffix) &&
            UpdateNewest(folder, host.fileName(), *stored, in.abilities_))
            stored->path = QDir(folder).filePath(host.fileName());
    }
    QString syncError;
    if (!SyncFolder(folder, &syncError))
        Notice(QCoreApplication::translate("quor::storage", "%1 已保存，但%2").arg(stored->keptAs, syncError));
    Learned(folder, in.abilities_);
    if (!in.movedFrom_.isEmpty())
        Notice(QCoreApplication::translate("quor::storage", "无法保存到 %1（%2）；照片已存到 %3")
                   .arg(in.movedFrom_, in.why_, stored->keptAs));
}

// The highest number the pattern captures among the names in `folder`
// (0 when there is none).
static int HighestNumber(const QString& folder, const QRegularExpression& pattern) {
    int highest = 0;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch m = pattern.match(name);
        if (m.hasMatch())
            highest = std::max(highest, m.captured(1).toInt());
    }
    return highest;
}

QString PhotoFiler::NextBase(const QString& folder, const PhotoRequest& request) {
    QString stem, prefix, key;
    switch (request.naming) {
    case PhotoRequest::Naming::Newest:
        stem = QFileInfo(request.hostPath).completeBaseName();
        if (stem.isEmpty())
            stem = QStringLiteral("photo");
        prefix = stem + QLatin1Char('_') + Stamp(QDateTime::currentDateTime()) + QLatin1Char('_');
        key = folder + QLatin1Char('|') + stem;
        break;
    case PhotoRequest::Naming::Series:
        prefix = QLatin1String(kSeriesStem) + QLatin1Char('_') + Stamp(request.started) + QLatin1Char('_');
        // The frame number is the series' own, whatever folder a frame lands in: a series that goes on in the
        // fallback folder numbers on, so that both halves sort together in shooting order.
        key = QLatin1Char('|') + prefix;
        break;
    case PhotoRequest::Naming::CameraNamed:
        prefix = request.cameraName + QLatin1Char('_');
        key = folder + QLatin1Char('|') + prefix;
        break;
    }
    std::unique_lock lock(mutex_);
    auto it = counters_.find(key);
    if (it == counters_.end()) {
        // The numbers go on from the highest already in the folder, so that the names sort in the order the
        // photos were taken, also across runs: a dated name carries on the run before's count, a series its own
        // (a camera's name keeps counting from 1 past what is taken, as it always did).
        lock.unlock();
        int start = 1;
        if (request.naming == PhotoRequest::Naming::Newest)
            start = HighestNumber(folder, QRegularExpression(QStringLiteral("^%1_\\d{8}-\\d{6}_(\\d{4,})\\.")
                                                                 .arg(QRegularExpression::escape(stem)))) + 1;
        else if (request.naming == PhotoRequest::Naming::Series)
            start = HighestNumber(folder, QRegularExpression(QStringLiteral("^%1(\\d{4,})\\.")
                                                                 .arg(QRegularExpression::escape(prefix)))) + 1;
        lock.lock();
        it = counters_.try_emplace(key, start > kMaxNumber ? 1 : start).first;
    }
    const int n = it->second;
    it->second = n < kMaxNumber ? n + 1 : 1;
    return QDir(folder).filePath(prefix + Numbered(n));
}

bool PhotoFiler::ClaimUnique(PendingFile& file, const QString& folder, const PhotoRequest& request,
                             const QString& suffix, FolderAbilities& abilities, StoredPhoto* stored, QString* error,
                             const StoredPhoto* sameShot) {
    // The second file of an exposure takes the first one's name with its own suffix, where that is free.
    if (sameShot && !sameShot->base.isEmpty() && QFileInfo(sameShot->base).path() == folder) {
        const QString path = sameShot->base + suffix;
        const PendingFile::Claim c = file.ClaimName(path, abilities, error);
        if (c == PendingFile::Claim::Done) {
            stored->keptAs = path;
            stored->base = sameShot->base;
            return true;
        }
        if (c == PendingFile::Claim::Failed)
            return false;
    }
    for (int attempt = 0; attempt < 100000; ++attempt) {
        const QString base = NextBase(folder, request);
        const PendingFile::Claim c = file.ClaimName(base + suffix, abilities, error);
        if (c == PendingFile::Claim::Done) {
            stored->keptAs = base + suffix;
            stored->base = base;
            return true;
        }
        if (c == PendingFile::Claim::Failed)
            return false;
    }
    if (error)
        *error = QCoreApplication::translate("quor::storage", "%1 中已没有可用的文件名").arg(folder);
    return false;
}

bool PhotoFiler::UpdateNewest(const QString& folder, const QString& hostName, const StoredPhoto& stored,
                              FolderAbilities& abilities) {
    const QString newest = QDir(folder).filePath(hostName);
    const QFileInfo host(hostName);
    // Nothing is replaced that is not kept under another name.
    if (!KeepOrphan(newest, host.completeBaseName(), QLatin1Char('.') + host.suffix(), stored.keptAs, abilities))
        return false;
    QString error;
    if (!ReplaceWith(stored.keptAs, newest, abilities, &error)) {
        Notice(QCoreApplication::translate("quor::storage", "照片已保存为 %1，但%2").arg(stored.keptAs, error));
        return false;
    }
    struct stat st {};
    if (StatOf(newest, &st)) {
        std::lock_guard lock(mutex_);
        newestWritten_[newest] = FileStamp{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino), st.st_size,
                                           std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    }
    return true;
}

bool PhotoFiler::IsOurCopy(const QString& newestPath, const QString& stem, const QString& suffix,
                           const QString& justKept, const FolderAbilities& abilities) {
    struct stat st {};
    if (!StatOf(newestPath, &st))
        return true; // nothing there to keep
    if (!S_ISREG(st.st_mode) || st.st_nlink > 1)
        return true; // not a photo, or kept under another name already
    {
        const FileStamp now{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino), st.st_size,
                            std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
        std::lock_guard lock(mutex_);
        auto it = newestWritten_.find(newestPath);
        if (it != newestWritten_.end() && it->second == now)
            return true; // what this run put there
    }
    if (abilities.links)
        return false; // with links, a copy of a kept photo would have a second name
    // Without links the newest is a copy: it is ours when the newest kept photo of that name holds the same bytes.
    const QFileInfo info(newestPath);
    QStringList kept = info.dir().entryList(
        {stem + QStringLiteral("_%1-%2_*").arg(QString(8, u'?'), QString(6, u'?')) + suffix}, QDir::Files, QDir::Name);
    kept.removeAll(QFileInfo(justKept).fileName());
    return !kept.isEmpty() && SameContents(newestPath, info.dir().filePath(kept.last()), true);
}

// A file at the host's name that no other name keeps (an older version's photo, or one put there by hand) is
// kept under a name of its own before the newest photo takes its place.
bool PhotoFiler::KeepOrphan(const QString& newestPath, const QString& stem, const QString& suffix,
                            const QString& justKept, FolderAbilities& abilities) {
    if (IsOurCopy(newestPath, stem, suffix, justKept, abilities))
        return true;
    const QFileInfo info(newestPath);
    const QString prefix = info.dir().filePath(stem + QLatin1Char('_') + Stamp(info.lastModified()) + QLatin1Char('_'));
    for (int n = 1; n <= kMaxNumber; ++n) {
        QString error;
        const PendingFile::Claim c = KeepUnder(newestPath, prefix + Numbered(n) + suffix, abilities, &error);
        if (c == PendingFile::Claim::Done)
            return true;
        if (c == PendingFile::Claim::Failed) {
            Notice(QCoreApplication::translate("quor::storage", "%1 保持原样（无法以其他名称保留：%2）")
                       .arg(newestPath, error));
            return false;
        }
    }
    return false;
}

} // namespace quor::component::storage
