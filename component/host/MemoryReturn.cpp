#include "component/host/MemoryReturn.h"

#include "component/storage/IoQueue.h"

#include <malloc.h>

namespace quor::component {

namespace {
// How often a series that has ended is looked at until its last frames are in.
constexpr int kCheckEveryMs = 100;
} // namespace

MemoryReturn::MemoryReturn(storage::IoQueue* io, std::function<bool()> idle) : io_(io), idle_(std::move(idle)) {
    timer_.setInterval(kCheckEveryMs);
    connect(&timer_, &QTimer::timeout, this, &MemoryReturn::Check);
}

void MemoryReturn::SeriesEnded() {
    if (!timer_.isActive())
        timer_.start();
}

void MemoryReturn::Check() {
    if (!idle_())
        return;
    timer_.stop();
    if (io_)
        io_->Post([] { ::malloc_trim(0); }); // every arena's free pages, not only the top of the main heap
}

} // namespace quor::component
