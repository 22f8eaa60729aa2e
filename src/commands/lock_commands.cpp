// SPDX-License-Identifier: MIT
// The lock byte commands "gl" and "pl".
#include <cstdio>

#include "commands/lock_commands.h"
#include "commands/state.h"
#include "device/device.h"
#include "device/instructions.h"
#include "image/hex_value.h"
#include "link/link.h"

namespace quillon {

void getLockByte(std::string_view) {
    const uint8_t lock = readLockBits();
    std::printf("Fuse lock byte %x\n", static_cast<unsigned>(lock));
}

void programLockByte(std::string_view value) {
    // Locking can shut the programmer out of the chip, so only every second entry acts.
    if (++Process.lockEntryCount != 2) {
        return;
    }
    Process.lockEntryCount = 0;
    if (currentDeviceRecord() == nullptr) {
        // Lock bits written blind could shut the programmer out of a chip it can't even read.
        std::printf("Lock byte not written: target not recognised - check the cable and the "
                    "target's power, then identify it with i\n");
        return;
    }
    const std::optional<uint8_t> lock = readHexByte(value);
    if (!lock) {
        std::printf("Lock byte not written: give its value in hexadecimal, as in pl3f\n");
        return;
    }
    const uint8_t writable = currentDeviceRecord()->writable.lock;
    writeLockBits(*lock);
    delayMicros(fuseWriteWaitMicros);
    // A chip still busy with the write answers 0: a difference is read again once it is ready.
    const uint8_t read = readWhenSettled(readLockBits, *lock, writable);
    std::printf("Write lock byte %x\n", static_cast<unsigned>(*lock));
    // One that stopped answering reads ff, which would pass for a write of ff.
    if (!targetStillAnswers() || ((read ^ *lock) & writable) == 0) {
        return;
    }
    std::printf("ERROR - Lock byte reads back %x, not the %x written: ",
                static_cast<unsigned>(read), static_cast<unsigned>(*lock));
    if ((~read & *lock & writable) != 0) {
        // A write can only program lock bits (1 to 0); it can't take back those already set.
        std::printf("lock bits once programmed are cleared only by a chip erase, which every df "
                    "does\n");
    } else {
        std::printf("check the cable and the target's power, then write the lock byte again\n");
    }
}

} // namespace quillon
