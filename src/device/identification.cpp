// SPDX-License-Identifier: MIT
// Recognising the target by its signature, connecting to it, and the default-fuse check.
#include "device/device.h"
#include "device/instructions.h"
#include "link/link.h"

namespace quillon {

int32_t identifyDevice() {
    for (int32_t i = 0; i < deviceCount; ++i) {
        if (DeviceTable[static_cast<std::size_t>(i)].signature == Target.signature) {
            return i;
        }
    }
    return -1;
}

const DeviceRecord* currentDeviceRecord() {
    if (Target.currentDevice < 0 || Target.currentDevice >= deviceCount) {
        return nullptr;
    }
    return &DeviceTable[static_cast<std::size_t>(Target.currentDevice)];
}

void connectTarget() {
    (void)enterProgrammingMode(); // an unanswered enable shows in the signature
    readSignature();
    Target.currentDevice = identifyDevice();
}

DefaultFuses defaultFusesSet() {
    readFuses();
    const DeviceRecord* device = currentDeviceRecord();
    if (device == nullptr) {
        return DefaultFuses::notSet; // an unrecognised target has no defaults to hold
    }
    // The defaults' positions are those of the fuse line: extended, high, low.
    const std::array<uint8_t, 3> read = Target.fuses.shownOrder();
    DefaultFuses verdict = DefaultFuses::set;
    for (int32_t i = 0; i < device->fuseCount; ++i) {
        if (device->defaultFuses[static_cast<std::size_t>(i)] !=
            read[static_cast<std::size_t>(i)]) {
            verdict = DefaultFuses::notSet;
        }
    }
    return verdict;
}

} // namespace quillon
