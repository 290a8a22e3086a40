#include "component/gphoto/GPhotoLibrary.h"

#include <cerrno>
#include <csignal>
#include <filesystem>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace quor::component {

void KeepDescriptorZeroTaken() {
    static const bool pipeIgnored = [] {
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)pipeIgnored;
    if (::fcntl(0, F_GETFD) == -1 && errno == EBADF) {
        const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd > 0)
            ::close(fd); // 0 was taken meanwhile
    }
}

namespace {

// libgphoto2 loads every driver module for each list it builds and unloads them again. Keeping them loaded once
// for the process saves that work on every detection and open, and keeps what the drivers allocate for good
// attributable to them.
void KeepDriversLoaded() {
    for (const char* dir : {QUOR_GPHOTO2_CAMLIBS, QUOR_GPHOTO2_IOLIBS}) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
            if (entry.path().extension() == ".so")
                ::dlopen(entry.path().c_str(), RTLD_LAZY | RTLD_NODELETE);
    }
}

} // namespace

std::mutex& GPhotoLibraryMutex() {
    static std::mutex mutex;
    static const bool pinned = [] {
        KeepDriversLoaded();
        return true;
    }();
    (void)pinned;
    return mutex;
}

} // namespace quor::component
