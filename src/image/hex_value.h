// SPDX-License-Identifier: MIT
// Reading a hexadecimal number as the C library's "%x" does: the HEX reader's fields, and the
// values typed for the commands "sf", "pl", "pf1" to "pf3" and "pfa".
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quillon {

// Reads text the way the C library's "%x" conversion does (leading white space skipped, an
// optional sign, an optional 0x or 0X prefix, then hexadecimal digits up to the first character
// that isn't one) and returns the number modulo 2^32 (a '-' negates it, as "%x" does), or
// nothing when no digit was read. "0x" without digits after it reads as 0.
[[nodiscard]] std::optional<uint32_t> readHexNumber(std::string_view text);

// A value typed by the user: the same, keeping the low eight bits of the number, or nothing when
// no digit was read or when a 0x prefix has no digit after it ("0x", "0xq"). However long the
// number, its low eight bits are those of its last two digits.
[[nodiscard]] std::optional<uint8_t> readHexByte(std::string_view text);

} // namespace quillon
