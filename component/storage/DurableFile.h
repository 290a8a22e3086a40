// Files that appear whole under their final name or not at all, never take the place of a file by accident,
// and are on disk (file and folder flushed) before anyone is told they were saved. Works on filesystems with
// and without hard links (ext4, tmpfs, FAT and exFAT sticks, SMB shares).
#pragma once

#include <QString>

#include <cstddef>

namespace quor::component::storage {

// What a folder's filesystem offers for making a file appear whole. Starts optimistic and is learned as writes
// go: a refusal that means "not supported here" switches the ability off for that folder.
struct FolderAbilities {
    bool tmpfile = true;         // O_TMPFILE: a file with no name at all until it is complete
    bool links = true;           // a second name for a file (link, linkat)
    bool renameNoReplace = true; // renameat2(RENAME_NOREPLACE)
};

// Every temporary file of this component is named "<kTempPrefix><pid>-XXXXXX<kTempSuffix>".
inline constexpr char kTempPrefix[] = ".quortovu-";
inline constexpr char kTempSuffix[] = ".part";

// A file being written that has no final name yet. Where the filesystem has O_TMPFILE it has no name at all, so
// a crash leaves nothing behind; elsewhere it is a hidden temporary in the same folder that
// RemoveStaleTemporaries clears once its writer has gone.
class PendingFile {
public:
    enum class Claim { Done, Taken, Failed };

    PendingFile() = default;
    ~PendingFile() { Discard(); }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    // Takes `other`'s file over (what this one had is dropped).
    PendingFile& operator=(PendingFile&& other) noexcept;

    // Starts a file in `folder`. False (with `error` in plain words) when the folder takes no new file.
    bool Begin(const QString& folder, FolderAbilities& abilities, QString* error);
    bool Append(const char* data, std::size_t size, QString* error);
    // Appends what was appended to `other` so far (a file that moves to another folder half-way).
    bool AppendFrom(const PendingFile& other, QString* error);
    // Appends the whole contents of the file at `source`.
    bool AppendFile(const QString& source, QString* error);
    // Flushes the contents to disk; call once, after the last Append.
    bool Finish(QString* error);
    // Gives the finished file the name `path` (in its folder), never replacing anything: Taken when that name
    // exists already, so that the caller can try another.
    Claim ClaimName(const QString& path, FolderAbilities& abilities, QString* error);
    // Puts the finished file in place of `path` in one step (a file begun without O_TMPFILE only).
    bool Replace(const QString& path, QString* error);
    // Drops the file (nothing stays on disk). Also what the destructor does with an unclaimed file.
    void Discard();
    bool Active() const { return fd_ >= 0; }
    std::size_t Size() const { return size_; }
    // The open file, for reading back what was written (never for writing).
    int Descriptor() const { return fd_; }

private:
    bool BeginNamed(QString* error);
    bool ToNamed(QString* error);
    Claim ClaimByRename(const QByteArray& name, QString* error);
    void CloseAndForget();

    QByteArray folder_;
    QByteArray temp_; // the temporary's path; empty for an O_TMPFILE file
    int fd_ = -1;
    std::size_t size_ = 0;
};

// Makes `target` another name of the complete file `source` (same folder), taking the place of whatever
// `target` was in one step. Without links, the contents are copied into a temporary that then replaces `target`.
bool ReplaceWith(const QString& source, const QString& target, FolderAbilities& abilities, QString* error);

// Gives the existing file `path` the further name `newName` without replacing anything: Taken when `newName`
// exists. Without links the file moves to its new name.
PendingFile::Claim KeepUnder(const QString& path, const QString& newName, FolderAbilities& abilities,
                             QString* error);

// Flushes the folder's entries (new and changed names) to disk.
bool SyncFolder(const QString& folder, QString* error);

// Removes this component's temporary files in `folder` that no running writer owns any more (left behind by a
// crash or a kill). Returns how many went.
int RemoveStaleTemporaries(const QString& folder);

// Whether two paths name the same file contents: the same file, or (`compareBytes`) equal bytes.
bool SameContents(const QString& a, const QString& b, bool compareBytes);

} // namespace quor::component::storage
