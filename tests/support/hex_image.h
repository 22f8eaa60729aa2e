// SPDX-License-Identifier: MIT
// Intel HEX images for the tests, made without the program's own writer.
#pragma once

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace quillon::testing {

// An image of `bytes` bytes from address 0, sixteen a record, byte i being value(i).
template <typename Value>
std::string hexImage(unsigned bytes, Value value) {
    std::string text;
    std::array<char, 16> field{};
    for (unsigned address = 0; address < bytes; address += 16) {
        const unsigned count = std::min(16U, bytes - address);
        unsigned sum = count + (address >> 8) + (address & 0xFFU);
        (void)std::snprintf(field.data(), field.size(), ":%02X%04X00", count, address);
        text += field.data();
        for (unsigned i = address; i < address + count; ++i) {
            sum += value(i) & 0xFFU;
            (void)std::snprintf(field.data(), field.size(), "%02X", value(i) & 0xFFU);
            text += field.data();
        }
        (void)std::snprintf(field.data(), field.size(), "%02X\n", (0x100 - sum % 0x100) % 0x100);
        text += field.data();
    }
    return text + ":00000001FF\n";
}

} // namespace quillon::testing
