// The edit-field integer reader on arbitrary text, against a straightforward reading of its rules.
#include "console/EditInt.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::int32_t Reference(std::string_view t) {
    std::size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t'))
        ++i;
    bool negative = i < t.size() && t[i] == '-';
    if (negative)
        ++i;
    std::string digits;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9')
        digits += t[i++];
    if (digits.empty())
        return 0;
    const std::size_t first = digits.find_first_not_of('0');
    digits = first == std::string::npos ? "0" : digits.substr(first);
    if (digits.size() > 10)
        return 0;
    const long long v = negative ? -std::stoll(digits) : std::stoll(digits);
    if (v < INT32_MIN || v > INT32_MAX)
        return 0;
    return static_cast<std::int32_t>(v);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (quor::console::ReadEditInt(text) != Reference(text))
        __builtin_trap();
    return 0;
}
