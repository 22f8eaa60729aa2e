// SPDX-License-Identifier: MIT
// The "%x"-style reader of hexadecimal numbers, in HEX files and typed by the user.
#include "image/hex_value.h"

namespace quillon {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::optional<uint32_t> digitValue(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<uint32_t>(c - '0');
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<uint32_t>(c - 'a' + 10);
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<uint32_t>(c - 'A' + 10);
    }
    return std::nullopt;
}

// What a "0x" prefix with no hexadecimal digit after it means.
enum class BarePrefix {
    zero,    // the '0' is the number, as "%x" reads it
    noValue, // nothing was typed: a value the user didn't give
};

std::optional<uint32_t> scanHex(std::string_view text, BarePrefix barePrefix) {
    std::size_t at = 0;
    while (at < text.size() && isSpace(text[at])) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    if (at + 1 < text.size() && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X')) {
        const bool digitFollows = at + 2 < text.size() && digitValue(text[at + 2]);
        if (digitFollows) {
            at += 2;
        } else if (barePrefix == BarePrefix::noValue) {
            return std::nullopt;
        }
    }
    uint32_t value = 0; // wraps modulo 2^32, so the low eight bits are always those typed
    bool anyDigit = false;
    for (; at < text.size(); ++at) {
        const std::optional<uint32_t> digit = digitValue(text[at]);
        if (!digit) {
            break;
        }
        value = value * 16U + *digit;
        anyDigit = true;
    }
    if (!anyDigit) {
        return std::nullopt;
    }
    return negative ? 0U - value : value;
}

} // namespace

std::optional<uint32_t> readHexNumber(std::string_view text) {
    return scanHex(text, BarePrefix::zero);
}

std::optional<uint8_t> readHexByte(std::string_view text) {
    // A typed "0x" with no digit after it is no value at all, not the 0 that "%x" makes of it:
    // written as a fuse or lock byte, that 0 would lock the chip or stop its clock.
    const std::optional<uint32_t> value = scanHex(text, BarePrefix::noValue);
    if (!value) {
        return std::nullopt;
    }
    return static_cast<uint8_t>(*value & 0xFFU);
}

} // namespace quillon
