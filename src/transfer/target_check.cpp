// SPDX-License-Identifier: MIT
// The memory commands' guards: against a target that matched no row of the device table (its
// memory sizes and page size are unknown, so nothing may be read, written or uploaded) and
// against one whose lock bits forbid the access.
#include <cstdio>
#include <string>

#include "device/device.h"
#include "device/instructions.h"
#include "transfer/transfer.h"

namespace quillon {

const DeviceRecord* recognisedTarget(std::string_view command) {
    const DeviceRecord* device = currentDeviceRecord();
    if (device == nullptr) {
        std::printf("ERROR - Target processor unrecognized: %s skipped, check the cable, the "
                    "target's power and that it is a supported ATmega\n",
                    std::string(command).c_str());
    }
    return device;
}

bool lockBitsAllow(MemoryAccess access, std::string_view refusal) {
    const uint8_t lock = readLockBits();
    const bool locked = access == MemoryAccess::read ? readsLocked(lock) : writesLocked(lock);
    if (locked) {
        std::printf("ERROR - The chip is %s-protected (lock byte %x): %.*s; only a chip erase, "
                    "which every df does, clears that\n",
                    access == MemoryAccess::read ? "read" : "write", static_cast<unsigned>(lock),
                    static_cast<int>(refusal.size()), refusal.data());
    }
    return !locked;
}

} // namespace quillon
