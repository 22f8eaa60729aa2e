// SPDX-License-Identifier: MIT
// The upload commands: "uf" and "ue" read the flash or the EEPROM back and write it, without
// its erased tail, to an Intel HEX file.
#include "commands/upload_commands.h"

#include <cstdio>
#include <string>

#include "commands/settings.h"
#include "commands/state.h"
#include "device/device.h"
#include "image/hex_writer.h"
#include "image/image.h"
#include "link/programmer.h"
#include "transfer/transfer.h"

namespace quillon {

namespace {

int32_t uploadLength(int32_t trimmed, int32_t memoryBytes) {
    return Process.settings.trimUpload != UploadTrim::wholeMemory ? trimmed : memoryBytes;
}

// A read-back from a target that stopped answering is not its memory: the file (and whatever
// it held before) is left alone.
bool answeredThroughout() {
    if (targetStillAnswers()) {
        return true;
    }
    std::printf("ERROR - %s not written\n", Process.settings.uploadFileName.c_str());
    return false;
}

// How a refused upload names its file, which is left as it was: a read-protected chip answers
// ff throughout, and that is not its memory either.
std::string notWritten() {
    return Process.settings.uploadFileName + " not written";
}

} // namespace

void uploadFlash(std::string_view fileName) {
    Process.settings.uploadFileName.assign(fileName);
    const DeviceRecord* device = recognisedTarget("flash upload");
    if (device != nullptr && lockBitsAllow(MemoryAccess::read, notWritten())) {
        readBackFlash(programmer(), Process.buffers.readBack, device->flashBytes);
        const int32_t trimmed = trimTrailingErased(Process.buffers.readBack, device->flashBytes);
        std::printf("Last data value in buffer = %x %d\n", static_cast<unsigned>(trimmed), trimmed);
        if (answeredThroughout()) {
            (void)writeHexFile(Process.settings.uploadFileName, Process.buffers.readBack,
                               uploadLength(trimmed, device->flashBytes),
                               Process.settings.addressRecordType);
        }
    }
    resetSettings();
}

void uploadEeprom(std::string_view fileName) {
    Process.settings.uploadFileName.assign(fileName);
    const DeviceRecord* device = recognisedTarget("EEPROM upload");
    if (device != nullptr && lockBitsAllow(MemoryAccess::read, notWritten())) {
        readBackEeprom(programmer(), Process.buffers.readBack, device->eepromBytes);
        const int32_t trimmed = trimTrailingErased(Process.buffers.readBack, device->eepromBytes);
        if (answeredThroughout()) {
            (void)writeHexFile(Process.settings.uploadFileName, Process.buffers.readBack,
                               uploadLength(trimmed, device->eepromBytes),
                               Process.settings.addressRecordType);
        }
    }
    resetSettings();
}

} // namespace quillon
