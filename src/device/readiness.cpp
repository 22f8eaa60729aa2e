// SPDX-License-Identifier: MIT
// Judging what a target reads back only once it is ready: a part still busy with a write ignores
// reading instructions (it answers 0), and a part that stopped answering reads ff throughout.
#include <array>
#include <cstdio>

#include "device/device.h"
#include "device/instructions.h"

namespace quillon {

namespace {

// What a line that nothing drives reads (the adapter's pull-up): polling such a target for its
// ready flag can't help, it reads busy as long as one polls.
constexpr uint8_t undriven = 0xFF;

} // namespace

uint8_t readWhenSettled(uint8_t (*read)(), uint8_t expected, uint8_t compared) {
    const uint8_t first = read();
    if (((first ^ expected) & compared) == 0 || first == undriven) {
        return first;
    }
    (void)waitReady(); // a part that never gets ready shows in the second reading too
    return read();
}

bool targetStillAnswers() {
    // A read-back from a target that hung or lost its power reads 0xFF throughout, just like an
    // erased memory: only the signature tells the two apart. One still busy answers 0 until it
    // is done, so a signature that differs is read again once the part says it is ready.
    readSignature();
    const std::array<uint8_t, 3> silent{undriven, undriven, undriven};
    if (identifyDevice() != Target.currentDevice && Target.signature != silent) {
        (void)waitReady();
        readSignature();
    }
    if (identifyDevice() == Target.currentDevice) {
        return true;
    }
    std::printf("ERROR - Target stopped answering (signature now %02x %02x %02x): check the cable "
                "and the target's power, then repeat the command\n",
                static_cast<unsigned>(Target.signature[0]),
                static_cast<unsigned>(Target.signature[1]),
                static_cast<unsigned>(Target.signature[2]));
    return false;
}

} // namespace quillon
