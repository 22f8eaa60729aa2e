// The memory commands' guard against a target that matched no row of the device table: its
// memory sizes and page size are unknown, so nothing may be read, written or uploaded.
#include <cstdio>
#include <string>

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

} // namespace quillon
