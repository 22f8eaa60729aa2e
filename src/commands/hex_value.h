// Reading a hexadecimal number typed by the user, as the commands "sf", "pl", "pf1" to "pf3"
// and "pfa" take it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quillon {

// Reads text the way the C library's "%x" conversion does (leading white space skipped, an
// optional sign, an optional 0x or 0X prefix, then hexadecimal digits up to the first character
// that isn't one) and returns the low eight bits of the number, or nothing when no digit was
// read. However long the number, its low eight bits are those of its last two digits.
[[nodiscard]] std::optional<uint8_t> readHexByte(std::string_view text);

} // namespace quillon
