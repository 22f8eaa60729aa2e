// Reading a hexadecimal number typed by the user, as the commands "sf", "pl", "pf1" to "pf3"
// and "pfa" take it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quillon {

// Reads text the way the C library's "%x" conversion does: leading white space skipped, an
// optional sign, an optional 0x or 0X prefix, then hexadecimal digits up to the first character
// that isn't one. Returns the number modulo 2^32 (a '-' sign negates it, as "%x" does), or
// nothing when no digit was read. Callers keep its low eight bits.
[[nodiscard]] std::optional<uint32_t> readHexValue(std::string_view text);

// The low eight bits of readHexValue's number.
[[nodiscard]] std::optional<uint8_t> readHexByte(std::string_view text);

} // namespace quillon
