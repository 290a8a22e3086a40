// The application directory: the folder that holds the running executable.
#pragma once

#include <string>
#include <string_view>

namespace quor {

// Everything before the last "/" of `exePath`; the empty string when there is none.
std::string AppDirectoryFromPath(std::string_view exePath);
// The full path of the running executable (/proc/self/exe), whatever its length; empty if it cannot be read.
std::string ExecutablePath();

} // namespace quor
