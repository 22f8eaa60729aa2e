// SPDX-License-Identifier: MIT
// The download commands: "df" loads an Intel HEX file, erases the chip, programs the flash and
// verifies it; "de" does the same for the EEPROM, without erasing.
#include "commands/download_commands.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "commands/load_command.h"
#include "commands/settings.h"
#include "commands/state.h"
#include "device/device.h"
#include "device/instructions.h"
#include "image/image.h"
#include "link/link.h"
#include "link/programmer.h"
#include "transfer/transfer.h"

namespace quillon {

namespace {

void printVerdict(int32_t comparison) {
    const char* name = Process.settings.downloadFileName.c_str();
    if (comparison == buffersMatch) {
        std::printf("Target matches %s\n", name);
    } else {
        std::printf("ERROR - Target does not match %s\n", name);
    }
}

// An image longer than the memory would wrap its addresses over the memory's start.
bool fitsMemory(int32_t length, int32_t memoryBytes, const char* memory, const DeviceRecord& device,
                const char* consequence) {
    if (length <= memoryBytes) {
        return true;
    }
    std::printf("ERROR - The image of %d bytes is larger than the %d-byte %s of the %s: %s, use "
                "a file made for this device\n",
                length, memoryBytes, memory, std::string(device.name).c_str(), consequence);
    return false;
}

void flashDownload(const DeviceRecord& device, std::string_view fileName) {
    const std::optional<int32_t> length = loadDownloadFile(fileName);
    if (!length) {
        return; // not loaded: nothing to erase, program or verify against
    }
    std::printf("load file length = %d\n", *length);
    if (!fitsMemory(*length, device.flashBytes, "flash", device, "chip not erased")) {
        return;
    }
    chipErase();
    std::printf("Erase chip\n");
    delayMicros(chipEraseMicros);
    std::printf("Programming\n");
    const int32_t written = programFlash(programmer(), device, Process.buffers.image, *length);
    std::printf("%d bytes written to target\n", written);

    if (Process.settings.verifyMode == VerifyMode::verify) {
        std::printf("Read back target to verify\n");
        readBackFlash(programmer(), Process.buffers.readBack, device.flashBytes);
        if (!targetStillAnswers()) {
            printVerdict(buffersDiffer);
            return;
        }
        // Up to the image's end at least: pages that failed to program read back erased and
        // would otherwise fall outside the comparison.
        const int32_t compared =
            std::max(trimTrailingErased(Process.buffers.readBack, device.flashBytes), *length);
        printVerdict(compareBuffers(Process.buffers, compared));
    }
}

void eepromDownload(const DeviceRecord& device, std::string_view fileName) {
    const std::optional<int32_t> length = loadDownloadFile(fileName);
    if (!length) {
        return;
    }
    std::printf("load file length = %d\n", *length);
    if (!fitsMemory(*length, device.eepromBytes, "EEPROM", device, "nothing written")) {
        return;
    }
    std::printf("Programming\n");
    const int32_t written = programEeprom(programmer(), Process.buffers.image, *length);
    std::printf("Bytes written to target %d\n", written);

    if (Process.settings.verifyMode == VerifyMode::verify) {
        std::printf("Read back target to verify\n");
        readBackEeprom(programmer(), Process.buffers.readBack, device.eepromBytes);
        if (!targetStillAnswers()) {
            printVerdict(buffersDiffer);
            return;
        }
        // The EEPROM isn't erased, so bytes beyond the image keep older data: only the
        // image's own bytes are compared.
        printVerdict(compareBuffers(Process.buffers, *length));
    }
}

} // namespace

void downloadFlash(std::string_view fileName) {
    Process.settings.downloadFileName.assign(fileName);
    if (const DeviceRecord* device = recognisedTarget("flash download")) {
        flashDownload(*device, fileName);
    }
    resetSettings();
}

void downloadEeprom(std::string_view fileName) {
    Process.settings.downloadFileName.assign(fileName);
    const DeviceRecord* device = recognisedTarget("EEPROM download");
    if (device != nullptr && lockBitsAllow(MemoryAccess::write, "nothing written to its EEPROM")) {
        eepromDownload(*device, fileName);
    }
    resetSettings();
}

} // namespace quillon
