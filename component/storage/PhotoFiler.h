// The one place that decides where a photo goes and what it is called, and writes it so that it is never lost:
// the simulated and the real cameras both save through it, from their own worker threads.
//
// Where: the folder the host names, unless the user chose a save folder, and only where that folder can be
// written and is not a system folder; otherwise the fallback folder (the user's pictures folder). What: every
// photo is kept under a unique, sortable name; a host file name (e.g. "quortovu.jpg") always holds the newest
// photo of its kind as a second name of the same file, so that nothing is ever overwritten.
#pragma once

#include "component/storage/DurableFile.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <span>

namespace quor::component::storage {

// What the host asked for, in its own terms.
struct PhotoRequest {
    enum class Naming : std::uint8_t {
        // `hostPath` is a file that always holds the newest photo of its kind; each photo is also kept beside it
        // as <name>_<yyyyMMdd-HHmmss>_<NNNN><suffix>, NNNN counting the photos of that name in this run.
        Newest,
        // `hostPath` is a folder; frame k of a series is quortovu_<start>_<k as four digits><suffix>.
        Series,
        // `hostPath` is a folder; the camera's own file name, made safe, then _<NNNN> (counting past names taken).
        CameraNamed,
    };
    Naming naming = Naming::Newest;
    QString hostPath;
    QDateTime started;  // Series: when it started (its frames share it)
    QString cameraName; // CameraNamed: the camera's name for the file, already made safe
};

// Where one file of a photo ended up.
struct StoredPhoto {
    QString path;   // the host's name for it (Newest) or else the kept file
    QString keptAs; // the file's unique name
    QString base;   // keptAs without its suffix: further files of the same exposure share it
};

class PhotoFiler;

// What a message of the filer is: something to know while all is well, or something that went wrong.
enum class NoticeKind { Information, Failure };

// One file of a photo arriving piece by piece (a download), written where it goes as it comes: memory holds one
// piece at a time. Should that folder fail half-way, what arrived so far moves on to the fallback folder and the
// rest follows it there. Nothing of it stays on disk unless PhotoFiler::Finish names it.
class IncomingPhoto {
public:
    IncomingPhoto(const IncomingPhoto&) = delete;
    IncomingPhoto& operator=(const IncomingPhoto&) = delete;

    // False once the file can be written nowhere (Error() says why); later pieces are refused too.
    bool Append(const char* data, std::size_t size);
    std::size_t Size() const { return file_.Size(); }
    // The file as written so far, for reading back (a preview); -1 once it failed.
    int Descriptor() const { return file_.Descriptor(); }
    const QString& Error() const { return error_; }

private:
    friend class PhotoFiler;
    IncomingPhoto(PhotoFiler* filer, PhotoRequest request) : filer_(filer), request_(std::move(request)) {}

    PhotoFiler* filer_;
    PhotoRequest request_;
    QString folder_;
    FolderAbilities abilities_;
    PendingFile file_;
    QString why_;       // why the last folder failed
    QString movedFrom_; // the folder it was meant for, when it went to the fallback folder instead
    QString error_;
    bool failed_ = false;
};

class PhotoFiler {
public:
    static constexpr const char* kSeriesStem = "quortovu";
    // How often a folder written to is searched again for temporaries a crash left there.
    static constexpr std::chrono::seconds kScanInterval{60};

    // Called on the writing thread with something the user should read: photos saved elsewhere than asked
    // (information when the program's own folder is a system folder, as in an installed copy), or a photo that
    // could not be kept where or as it should (a failure).
    using NoticeFn = std::function<void(const QString&, NoticeKind)>;
    // Called on the writing thread the first time a folder is written to in this run.
    using FolderFn = std::function<void(const QString&)>;

    explicit PhotoFiler(QString fallbackFolder);

    // The user's choice of folder for every photo; empty: the folders the host names ("next to the program").
    void SetSaveFolder(const QString& folder);
    QString SaveFolder() const;
    QString FallbackFolder() const;
    void SetNoticeHandler(NoticeFn notice);
    void SetFolderHandler(FolderFn folder);

    // Saves one file of a photo, made of `parts` in order. `suffix` is the file's own (".jpg", ".cr2"); a
    // Newest host name is updated only by a file of its own suffix. `sameShot` is an earlier file of the same
    // exposure (RAW + JPEG), whose name this one shares. A file that cannot be saved where it should go is saved
    // in the fallback folder (and the user told). False when it could be saved nowhere, with `error` saying why.
    bool Save(const PhotoRequest& request, const QString& suffix, std::span<const QByteArrayView> parts,
              StoredPhoto* stored, QString* error, const StoredPhoto* sameShot = nullptr);

    // The same for a file that arrives piece by piece: Begin starts it where `request` says (null, with
    // `error`, when it can go nowhere), the pieces go to IncomingPhoto::Append, and Finish flushes it to disk and
    // names it.
    std::unique_ptr<IncomingPhoto> Begin(const PhotoRequest& request, QString* error);
    bool Finish(IncomingPhoto& incoming, const QString& suffix, StoredPhoto* stored, QString* error,
                const StoredPhoto* sameShot = nullptr);

    // Why photos cannot go into `folder` (empty when they can). File system look-ups: not on the window's thread.
    static QString Unusable(const QString& folder);
    // Folders that hold the system's own files; photos never go there.
    static bool IsSystemFolder(const QString& canonicalPath);

private:
    struct FileStamp {
        std::uint64_t device = 0, inode = 0;
        std::int64_t size = 0, mtime = 0;
        bool operator==(const FileStamp&) const = default;
    };

    friend class IncomingPhoto;

    QString Place(const PhotoRequest& request, QString* error);
    bool Open(IncomingPhoto& incoming, const QString& folder, QString* error);
    // After a failure in the incoming file's folder (its why_): it goes on in the fallback folder with what
    // arrived so far; false (error_ set, the file dropped) when it cannot.
    bool ToFallback(IncomingPhoto& incoming);
    // The steps after the file has its unique name: the newest-photo name, the folder flushed.
    void Named(IncomingPhoto& incoming, const QString& suffix, StoredPhoto* stored);
    bool ClaimUnique(PendingFile& file, const QString& folder, const PhotoRequest& request, const QString& suffix,
                     FolderAbilities& abilities, StoredPhoto* stored, QString* error, const StoredPhoto* sameShot);
    QString NextBase(const QString& folder, const PhotoRequest& request);
    bool UpdateNewest(const QString& folder, const QString& hostName, const StoredPhoto& stored,
                      FolderAbilities& abilities);
    bool KeepOrphan(const QString& newestPath, const QString& stem, const QString& suffix, const QString& justKept,
                    FolderAbilities& abilities);
    bool IsOurCopy(const QString& newestPath, const QString& stem, const QString& suffix, const QString& justKept,
                   const FolderAbilities& abilities);
    void Notice(const QString& text, NoticeKind kind = NoticeKind::Failure);
    bool ScanDue(const QString& folder);
    FolderAbilities AbilitiesOf(const QString& folder);
    void Learned(const QString& folder, const FolderAbilities& abilities);

    mutable std::mutex mutex_;
    QString saveFolder_;
    const QString fallback_;
    NoticeFn notice_;
    FolderFn folderUsed_;
    std::map<QString, FolderAbilities> abilities_;
    std::map<QString, int> counters_;             // next number per folder and name
    std::map<QString, FileStamp> newestWritten_;  // what this run last put under each host name
    std::set<QString> noticed_;                   // notices given once
    std::set<QString> used_;                      // folders written to
    std::map<QString, std::chrono::steady_clock::time_point> scanned_; // last clean-up of each folder
};

} // namespace quor::component::storage
