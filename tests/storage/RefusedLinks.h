// A folder on a filesystem that refuses what ext4 offers, for the tests of this folder: while set, link() and
// linkat() onto a name in that folder fail with EPERM as on FAT, exFAT and most SMB shares, and renameat2()
// with flags fails with EINVAL as on filesystems without RENAME_NOREPLACE. The calls are replaced for this test
// executable only (the component is linked into it); other folders (Qt's own files) are left alone.
#pragma once

#include <QString>

namespace quor::test {

enum class Refuse { Nothing, Links, LinksAndExclusiveRename };

void SetRefused(Refuse what, const QString& folder);

// Refuses for the lifetime of the object.
struct RefusedFor {
    RefusedFor(Refuse what, const QString& folder) { SetRefused(what, folder); }
    ~RefusedFor() { SetRefused(Refuse::Nothing, QString()); }
};

} // namespace quor::test
