// SPDX-License-Identifier: MIT
// The supported devices, identification of the attached target, connecting to it, and what the
// lock byte and the fuse writes mean to every command.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace quillon {

// The bits of each fuse and of the lock byte that a write over the serial interface can change:
// a read-back after a write is compared on these bits only. Zero where the byte doesn't exist.
struct WritableBits {
    uint8_t extendedFuse = 0x00;
    uint8_t highFuse = 0xDF; // all but SPIEN
    uint8_t lowFuse = 0xFF;
    uint8_t lock = 0x3F; // lock bits 5..0 (LB2:1 and the boot lock bits)

    [[nodiscard]] bool operator==(const WritableBits&) const = default;
};

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

// One supported device.
struct DeviceRecord {
    std::string_view name;       // as printed, e.g. "ATmega16"
    int32_t signatureLength = 3; // always 3; identification compares three bytes
    std::array<uint8_t, 3> signature{};
    int32_t fuseCount = 3; // default fuse bytes compared by defaultFusesSet
    // Default fuses, positions 1 to 4 at indices 0 to 3. Positions 1, 2, 3 are the extended,
    // high and low fuse: the order in which the fuse line and the status report show them
    // (FuseCells::shownOrder). Position 4 is 0xFF and unused.
    std::array<uint8_t, 4> defaultFuses{};
    int32_t pageWords = 0; // flash page size in 16-bit words
    int32_t spare = 4;
    int32_t flashBytes = 0;
    int32_t eepromBytes = 0;
    WritableBits writable{};

    [[nodiscard]] uint8_t defaultExtendedFuse() const { return defaultFuses[0]; }
    [[nodiscard]] uint8_t defaultHighFuse() const { return defaultFuses[1]; }
    [[nodiscard]] uint8_t defaultLowFuse() const { return defaultFuses[2]; }
};

inline constexpr int32_t deviceTableRows = 30;
inline constexpr int32_t deviceCount = deviceTableRows;
// The supported devices, one row each (device_table.cpp).
extern const std::array<DeviceRecord, deviceTableRows> DeviceTable;

// The three fuse bytes shared by the fuse operations and commands, in the order in which the fuse
// line and the status report show them.
struct FuseCells {
    uint8_t extended = 0;
    uint8_t high = 0;
    uint8_t low = 0;

    // Extended, high, low: the order of DeviceRecord's default fuses too.
    [[nodiscard]] constexpr std::array<uint8_t, 3> shownOrder() const {
        return {extended, high, low};
    }
    [[nodiscard]] bool operator==(const FuseCells&) const = default;
};

// The device layer's part of the process state: what is known of the attached target.
struct TargetState {
    // The row of the target identified last, or -1 when its signature matched no row.
    int32_t currentDevice = -1;
    // Signature bytes 0, 1, 2 as last read by readSignature.
    std::array<uint8_t, 3> signature{};
    // The fuses as last read by readFuses or given to a fuse command.
    FuseCells fuses{};
};
inline TargetState Target;

// The row whose signature equals Target.signature, or -1.
[[nodiscard]] int32_t identifyDevice();

// The row of the current device, or null when the target was not recognised.
[[nodiscard]] const DeviceRecord* currentDeviceRecord();

// Takes a released target into programming mode, enables programming, reads the signature and
// sets Target.currentDevice. Prints nothing.
void connectTarget();

// The greeting's verdict on the fuses, stored as the character it has always been.
enum class DefaultFuses : char {
    set = 'd',    // the fuses equal the current device's defaults
    notSet = 'n', // they don't, or the target was not recognised
};

// Reads the fuses and compares them with the current device's defaults.
[[nodiscard]] DefaultFuses defaultFusesSet();

// Reads a byte with `read`; when it differs from `expected` on the `compared` bits, polls the
// target until it is ready (a part busy with a write answers 0 to reads) and reads it again.
[[nodiscard]] uint8_t readWhenSettled(uint8_t (*read)(), uint8_t expected, uint8_t compared);

// After a write or a read-back: reads the signature again (once more after polling the target
// until it is ready, when it differs) and answers whether it still names the current device;
// when not, prints that the target stopped answering (what was read back is then not the
// target's).
[[nodiscard]] bool targetStillAnswers();

} // namespace quillon
