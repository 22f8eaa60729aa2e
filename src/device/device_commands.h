// SPDX-License-Identifier: MIT
// The commands that read or change the target's configuration: lock byte, fuse bytes,
// calibration byte, identification and the status report. Each takes the text after its command
// letters (possibly empty); those without an argument ignore it. The interpreter connects the
// target before them and releases it afterwards.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillon {

// How long every fuse or lock write is given to finish before the next instruction or the
// release: the target ignores what arrives while it is still writing.
inline constexpr int32_t fuseWriteWaitMicros = 9500;

// The lock byte's mode bits LB2:1 (bits 1 and 0): 11 locks nothing; 10 disables further
// programming of flash, EEPROM and fuses; 00 also disables reading them back (reads answer ff).
// Any mode but 11 is taken as locked for writing. Only a chip erase sets them back to 11.
inline constexpr uint8_t lockModeBits = 0x03;
[[nodiscard]] constexpr bool writesLocked(uint8_t lock) {
    return (lock & lockModeBits) != lockModeBits;
}
[[nodiscard]] constexpr bool readsLocked(uint8_t lock) {
    return (lock & lockModeBits) == 0;
}

// "pl" entries since the last one that wrote: 0 or 1 between commands.
inline int32_t lockEntryCount = 0;

// "gl": reads and shows the lock byte.
void getLockByte(std::string_view ignored);
// "pl": every second entry writes its hexadecimal argument as the lock byte.
void programLockByte(std::string_view value);

// "gf1", "gf2", "gf3": read the fuses and show the low, high or extended fuse.
void getFuseByte1(std::string_view ignored);
void getFuseByte2(std::string_view ignored);
void getFuseByte3(std::string_view ignored);
// "gf": reads the fuses and shows them as extended, high, low.
void getFuseBytes(std::string_view ignored);
// "a": writes the identified device's default fuses.
void programDefaultFuses(std::string_view ignored);
// "pfa": writes the low, high and extended fuse from three comma-separated hexadecimal values.
void programAllFuses(std::string_view values);
// "pf1", "pf2", "pf3": write the low, high or extended fuse from a hexadecimal value.
void programFuseByte1(std::string_view value);
void programFuseByte2(std::string_view value);
void programFuseByte3(std::string_view value);

// Reads "low,high,extended" into FuseTriple cells 1, 2 and 3, each field read whole as a
// hexadecimal value (low eight bits kept). A field without a number leaves its cell as it was.
// True when the text has three fields and each holds a number.
[[nodiscard]] bool parseFuseTriple(std::string_view text);

// "gc": reads and shows the calibration byte.
void getCalibrationByte(std::string_view ignored);
// "i": reads the signature, sets currentDevice and shows the device.
void identifyTarget(std::string_view ignored);
// "s": the status report.
void showStatus(std::string_view ignored);

// Prints the processor, lock byte, signature, fuses and calibration byte. Returns the row of the
// device it found, or -1; currentDevice is not changed.
int32_t statusReport();

} // namespace quillon
