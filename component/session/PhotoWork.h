// Photos on their way to disk, counted for the whole process: a file being downloaded from a camera and written
// by the filer. The process's end waits for them (within a bound), and for nothing else a camera's worker does.
#pragma once

#include <chrono>

namespace quor::component {

class PhotoWork {
public:
    // Counts one photo for as long as it lives (any thread).
    class Scope {
    public:
        Scope();
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

    // Photos under way now.
    static int InProgress();
    // Waits until none is under way, or until `deadline`. Whether none is.
    static bool WaitNone(std::chrono::steady_clock::time_point deadline);
};

} // namespace quor::component
