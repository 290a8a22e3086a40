// How a program hosting the component ends once its window has closed: at once, whatever its cameras do.
//
// Every camera's worker is told to let its body go (ending a bulb exposure, a series, live view) and gets
// kWorkerGrace for it; a photo on its way to disk (PhotoWork) is waited for, kPhotoGrace at most, and the file
// work queued (preferences, grabs) is finished. Then the process ends without running destructors: a worker
// stuck in a libgphoto2 call on a body that stopped answering is left behind, never joined, and nothing it still
// uses is destroyed under it.
#pragma once

#include <chrono>

namespace quor::component {

class QuorCtrlComponent;

inline constexpr std::chrono::milliseconds kWorkerGrace{150};
inline constexpr std::chrono::seconds kPhotoGrace{4};

// Window thread, once the last window has closed. Never returns.
[[noreturn]] void EndProcess(int exitCode);

// Every component takes part from its construction to its destruction (window thread).
void EnlistForProcessEnd(QuorCtrlComponent* component);
void DelistFromProcessEnd(QuorCtrlComponent* component);

} // namespace quor::component
