#include "app/AppDirectory.h"

#include <unistd.h>

#include <vector>

namespace quor {

std::string AppDirectoryFromPath(std::string_view exePath) {
    // A path read from a fixed buffer may carry a terminating zero; the string ends there.
    exePath = exePath.substr(0, exePath.find('\0'));
    const auto slash = exePath.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    return std::string(exePath.substr(0, slash));
}

std::string ExecutablePath() {
    // readlink does not say whether it truncated: grow the buffer until the link fits with room to spare.
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(n));
        if (buffer.size() >= (1u << 20))
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace quor
