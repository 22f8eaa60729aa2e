// SPDX-License-Identifier: MIT
#include "wait_recorder.h"

#include "fake_port.h"

// Stands in for quillon::delayMicros(int32_t) wherever the code under test calls it.
extern "C" void __wrap__ZN7quillon11delayMicrosEi(int32_t micros) {
    using quillon::testing::FakePort;
    const std::size_t calls = FakePort::active != nullptr ? FakePort::active->calls.size() : 0;
    quillon::testing::recordedWaits.push_back({calls, micros});
}
