// SPDX-License-Identifier: MIT
// The supported devices, one row each.
#include "device/device.h"

namespace quillon {

namespace {

// name, signature, default fuses (extended, high, low, unused), page words, flash, EEPROM, the
// extended fuse's bits and the lock bits that exist (high and low fuse: see WritableBits).
constexpr DeviceRecord row(std::string_view name, std::array<uint8_t, 3> signature,
                           std::array<uint8_t, 3> fuses, int32_t pageWords, int32_t flashBytes,
                           int32_t eepromBytes, uint8_t extendedBits, uint8_t lockBits) {
    DeviceRecord record;
    record.name = name;
    record.signature = signature;
    record.defaultFuses = {fuses[0], fuses[1], fuses[2], 0xFF};
    record.pageWords = pageWords;
    record.flashBytes = flashBytes;
    record.eepromBytes = eepromBytes;
    record.writable.extendedFuse = extendedBits;
    record.writable.lock = lockBits;
    return record;
}

constexpr std::array supportedDevices{
    row("ATmega16", {0x1E, 0x94, 0x03}, {0xFF, 0xFF, 0xFF}, 64, 16384, 512, 0x00, 0x3F),
    row("ATmega32", {0x1E, 0x95, 0x02}, {0xFF, 0xFF, 0xFF}, 64, 32768, 1024, 0x00, 0x3F),
    row("ATmega48", {0x1E, 0x92, 0x05}, {0xFF, 0xFF, 0xFF}, 32, 4096, 256, 0x01, 0x03),
    row("ATmega88", {0x1E, 0x93, 0x0A}, {0xFF, 0xFF, 0xFF}, 32, 8192, 512, 0x07, 0x3F),
    row("ATmega168", {0x1E, 0x94, 0x06}, {0xFF, 0xFF, 0xFF}, 64, 16384, 512, 0x07, 0x3F),
    row("ATmega644", {0x1E, 0x96, 0x09}, {0xFF, 0xFF, 0xFF}, 128, 65536, 2048, 0x07, 0x3F),
    row("ATmega128", {0x1E, 0x97, 0x02}, {0xFF, 0xCB, 0x8F}, 128, 131072, 4096, 0x03, 0x3F),
};

} // namespace

void fillDeviceTable() {
    deviceCount = 0;
    for (const DeviceRecord& device : supportedDevices) {
        DeviceTable[static_cast<std::size_t>(deviceCount++)] = device;
    }
}

} // namespace quillon
