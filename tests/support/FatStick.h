// A FAT stick for a test: an image of `megabytes` made with mkfs.vfat and mounted through FUSE (fusefat) for as
// long as this lives. A filesystem with no hard links, no O_TMPFILE and no exclusive rename, as many FUSE and
// network filesystems, and one that fills up.
#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>

#include <unistd.h>

namespace quor::test {

class FatStick {
public:
    explicit FatStick(int megabytes = 64) : megabytes_(megabytes) {}
    FatStick(const FatStick&) = delete;
    FatStick& operator=(const FatStick&) = delete;
    ~FatStick() {
        if (mounted_)
            Runs("fusermount -u '" + MountPoint().toStdString() + "'");
    }

    // Empty when mounted; otherwise why it could not be (for the test's skip message).
    std::string Mount() {
        if (::access("/dev/fuse", R_OK | W_OK) != 0)
            return "/dev/fuse is not usable here";
        if (!Runs("command -v fusefat") || !Runs("command -v mkfs.vfat") || !Runs("command -v fusermount"))
            return "fusefat, mkfs.vfat or fusermount is missing (Debian: fusefat, dosfstools, fuse)";
        if (!dir_.isValid() || !QDir().mkpath(MountPoint()))
            return "no temporary folder";
        const std::string image = dir_.filePath(QStringLiteral("stick.img")).toStdString();
        if (!Runs("truncate -s " + std::to_string(megabytes_) + "M '" + image + "' && mkfs.vfat '" + image + "'"))
            return "could not make a FAT image";
        if (!Runs("fusefat -o rw+ '" + image + "' '" + MountPoint().toStdString() + "'"))
            return "fusefat could not mount the image (FUSE not available?)";
        mounted_ = true;
        return {};
    }
    QString MountPoint() const { return dir_.filePath(QStringLiteral("stick")); }

private:
    static bool Runs(const std::string& command) {
        return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
    }

    int megabytes_;
    QTemporaryDir dir_;
    bool mounted_ = false;
};

} // namespace quor::test
