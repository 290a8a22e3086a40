#include "component/gphoto/GPhotoLibrary.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
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

// Where libgphoto2 looks for its drivers: the folder in the environment variable it reads itself (a private
// build of the library names its own there), else the folder of the library this was built against.
const char* DriverFolder(const char* variable, const char* builtIn) {
    const char* dir = std::getenv(variable);
    return dir && *dir ? dir : builtIn;
}

// libgphoto2 loads every driver module for each list it builds and unloads them again. Keeping them loaded once
// for the process saves that work on every detection and open, and keeps what the drivers allocate for good
// attributable to them. Only the library's own drivers: another build's would be loaded beside them.
void KeepDriversLoaded() {
    for (const char* dir :
         {DriverFolder("CAMLIBS", QUOR_GPHOTO2_CAMLIBS), DriverFolder("IOLIBS", QUOR_GPHOTO2_IOLIBS)}) {
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
