// SPDX-License-Identifier: MIT
#include "wait_recorder.h"

#include "fake_port.h"
#include "link/link.h"

namespace {

void recordWait(int32_t micros) {
    using quillon::testing::FakePort;
    const std::size_t calls = FakePort::active != nullptr ? FakePort::active->calls.size() : 0;
    quillon::testing::recordedWaits.push_back({calls, micros});
}

// Installed before any test runs.
const quillon::WaitFunction realWait = quillon::setWaitFunction(recordWait);

} // namespace
