// Reading a signed integer from the text of an edit field.
#pragma once

#include <cstdint>
#include <string_view>

namespace quor::console {

// Leading blanks (spaces, tabs) are skipped, then an optional minus sign, then decimal digits up to the first
// other character. A text without digits there, or a number outside the signed 32-bit range, reads as 0.
std::int32_t ReadEditInt(std::string_view text) noexcept;

} // namespace quor::console
