#include "RefusedLinks.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>

#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

namespace quor::test {
namespace {

std::mutex gMutex;
Refuse gRefused = Refuse::Nothing;
std::string gFolder; // with a trailing slash

template <typename Fn>
Fn Next(const char* name) {
    return reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, name));
}

} // namespace

void SetRefused(Refuse what, const QString& folder) {
    std::lock_guard lock(gMutex);
    gRefused = what;
    gFolder = QFile::encodeName(folder).toStdString() + '/';
}

// What is refused for a new name at `to`.
Refuse RefusedAt(const char* to) {
    std::lock_guard lock(gMutex);
    if (gRefused == Refuse::Nothing || std::strncmp(to, gFolder.c_str(), gFolder.size()) != 0)
        return Refuse::Nothing;
    return gRefused;
}

} // namespace quor::test

using quor::test::Refuse;
using quor::test::RefusedAt;

extern "C" int link(const char* from, const char* to) noexcept {
    if (RefusedAt(to) != Refuse::Nothing) {
        errno = EPERM;
        return -1;
    }
    static const auto real = quor::test::Next<int (*)(const char*, const char*)>("link");
    return real(from, to);
}

extern "C" int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) noexcept {
    if (RefusedAt(to) != Refuse::Nothing) {
        errno = EPERM;
        return -1;
    }
    static const auto real = quor::test::Next<int (*)(int, const char*, int, const char*, int)>("linkat");
    return real(fromDir, from, toDir, to, flags);
}

extern "C" int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags) noexcept {
    if (flags != 0 && RefusedAt(to) == Refuse::LinksAndExclusiveRename) {
        errno = EINVAL;
        return -1;
    }
    static const auto real = quor::test::Next<int (*)(int, const char*, int, const char*, unsigned int)>("renameat2");
    return real(fromDir, from, toDir, to, flags);
}
