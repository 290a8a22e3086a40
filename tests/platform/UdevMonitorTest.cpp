// The udev monitor starts wherever the console starts, with or without udev.
#include "platform/UdevMonitor.h"

#include <gtest/gtest.h>

#include <string>

namespace quor {
namespace {

int Occurrences(const std::string& text, const std::string& word) {
    int n = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++n;
    return n;
}

TEST(UdevMonitorTest, StartsEverywhereAndComplainsAtMostOnce) {
    testing::internal::CaptureStderr();
    bool active = false;
    {
        UdevMonitor first;
        UdevMonitor second;
        active = first.IsActive();
        EXPECT_EQ(second.IsActive(), active);
        EXPECT_EQ(first.Reason().isEmpty(), active) << "an inactive monitor says why";
    }
    EXPECT_EQ(StartUdevMonitor(), active);
    EXPECT_EQ(StartUdevMonitor(), active);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_LE(Occurrences(err, "will not be noticed"), 1) << err;
    if (active) {
        EXPECT_EQ(Occurrences(err, "will not be noticed"), 0);
    }
}

} // namespace
} // namespace quor
