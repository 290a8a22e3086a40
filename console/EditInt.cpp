#include "console/EditInt.h"

#include <cstdint>
#include <limits>

namespace quor::console {

std::int32_t ReadEditInt(std::string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    // One past the largest magnitude: -2147483648 is the only number of that size that fits.
    constexpr std::int64_t kLimit = static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1;
    std::int64_t magnitude = 0;
    bool anyDigit = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        anyDigit = true;
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kLimit)
            return 0;
    }
    if (!anyDigit)
        return 0;
    if (negative)
        return static_cast<std::int32_t>(-magnitude);
    return magnitude == kLimit ? 0 : static_cast<std::int32_t>(magnitude);
}

} // namespace quor::console
