// What the whole process shares of libgphoto2: its driver modules (loaded once, kept), the lock that keeps two
// threads from loading or unloading drivers at once, and the descriptor and signal the library trips over.
#pragma once

#include <mutex>

namespace quor::component {

// Keeps a file open on descriptor 0: libgphoto2 2.5.30 closes descriptor 0 when it disconnects a PTP/IP camera,
// and whatever took 0 meanwhile would be closed instead. Also ignores SIGPIPE (the library writes to its sockets
// without MSG_NOSIGNAL). Called around every connect and disconnect.
void KeepDescriptorZeroTaken();

// Serialises what makes libgphoto2 load or unload drivers (lists, camera init and release), which is not safe
// from two threads at once. The driver modules stay loaded for the process from the first use on.
std::mutex& GPhotoLibraryMutex();

} // namespace quor::component
