// SPDX-License-Identifier: MIT
// The ATmega's serial programming instructions as the four bytes that go to the chip, byte for
// byte as the data sheets give them. Addresses are 16-bit: flash word addresses (bits 15..0; Load
// Extended Address gives the bits above) and EEPROM byte addresses.
#pragma once

#include <array>
#include <cstdint>

namespace quillon {

using Instruction = std::array<uint8_t, 4>;

namespace isp {

[[nodiscard]] constexpr uint8_t high(uint16_t address) {
    return static_cast<uint8_t>(address >> 8);
}
[[nodiscard]] constexpr uint8_t low(uint16_t address) {
    return static_cast<uint8_t>(address & 0xFF);
}

// The part echoes 0x53 during byte 3 when it is in step.
inline constexpr Instruction programmingEnable{0xAC, 0x53, 0x00, 0x00};
inline constexpr uint8_t programmingEnableEcho = 0x53;
inline constexpr Instruction chipErase{0xAC, 0x80, 0x00, 0x00};

[[nodiscard]] constexpr Instruction loadExtendedAddress(uint8_t ext) {
    return {0x4D, 0x00, ext, 0x00};
}
[[nodiscard]] constexpr Instruction loadPageLow(uint8_t offset, uint8_t data) {
    return {0x40, 0x00, offset, data};
}
[[nodiscard]] constexpr Instruction loadPageHigh(uint8_t offset, uint8_t data) {
    return {0x48, 0x00, offset, data};
}
[[nodiscard]] constexpr Instruction writeFlashPage(uint16_t wordAddress) {
    return {0x4C, high(wordAddress), low(wordAddress), 0x00};
}
[[nodiscard]] constexpr Instruction readFlashLow(uint16_t wordAddress) {
    return {0x20, high(wordAddress), low(wordAddress), 0x00};
}
[[nodiscard]] constexpr Instruction readFlashHigh(uint16_t wordAddress) {
    return {0x28, high(wordAddress), low(wordAddress), 0x00};
}
[[nodiscard]] constexpr Instruction readEeprom(uint16_t address) {
    return {0xA0, high(address), low(address), 0x00};
}
[[nodiscard]] constexpr Instruction writeEeprom(uint16_t address, uint8_t data) {
    return {0xC0, high(address), low(address), data};
}

// Flash instructions carry a 16-bit word address; Load Extended Address gives the bits above,
// sent with 0 before the first word and again before the first word of every further 64K words.
inline constexpr int32_t extendedAddressWords = 0x10000;
[[nodiscard]] constexpr uint8_t extendedAddressOf(int32_t wordAddress) {
    return static_cast<uint8_t>(wordAddress / extendedAddressWords);
}
// True for the first word of every 64K words after the first: Load Extended Address goes ahead.
[[nodiscard]] constexpr bool opensExtendedBlock(int32_t wordAddress) {
    return wordAddress != 0 && wordAddress % extendedAddressWords == 0;
}

} // namespace isp

} // namespace quillon
