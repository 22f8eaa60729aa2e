// SPDX-License-Identifier: MIT
// The serial programming instructions of the ATmega, four bytes each, carried by the programmer
// in use (link/programmer.h; Programming Enable goes with link's enterProgrammingMode). None of
// them waits or checks the target's answer; the target must be held in programming mode.
#pragma once

#include <array>
#include <cstdint>

namespace quillon {

void chipErase();
void loadExtendedAddress(uint8_t ext);
void loadPageLow(uint8_t offset, uint8_t data);
void loadPageHigh(uint8_t offset, uint8_t data);
void writeFlashPage(uint16_t wordAddress);
[[nodiscard]] uint8_t readFlashLow(uint16_t wordAddress);
[[nodiscard]] uint8_t readFlashHigh(uint16_t wordAddress);
[[nodiscard]] uint8_t readEepromByte(uint16_t address);
void writeEepromByte(uint16_t address, uint8_t data);
void loadEepromPage(uint8_t offset, uint8_t data);
void writeEepromPage(uint16_t address);
// Reads signature bytes 0, 1, 2 into Target.signature.
void readSignature();
[[nodiscard]] uint8_t readLockBits();
void writeLockBits(uint8_t data);
[[nodiscard]] uint8_t readFuseLow();
[[nodiscard]] uint8_t readFuseHigh();
[[nodiscard]] uint8_t readFuseExtended();
// Reads the low, high and extended fuse, in this order, into Target.fuses.
void readFuses();
void writeFuseLow(uint8_t data);
void writeFuseHigh(uint8_t data);
void writeFuseExtended(uint8_t data);
[[nodiscard]] uint8_t readCalibration();
// Bit 0 of the answer is 1 while the target is busy.
[[nodiscard]] uint8_t pollReady();
// Polls until the target is ready: 0 when it is, -1 after 5002 busy answers.
[[nodiscard]] int32_t waitReady();

} // namespace quillon
