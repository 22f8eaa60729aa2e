// SPDX-License-Identifier: MIT
// A target on the fake port: it answers reading instructions with queued bytes (0x00 once they
// run out), and what the programmer sent is decoded into instructions with the waits between
// them (waits are recorded, not waited). Output printed meanwhile can be captured.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "commands/state.h"
#include "device/device.h"
#include "device/instructions.h"
#include "fake_port.h"
#include "link/link.h"
#include "wait_recorder.h"

namespace quillon::testing {

using Log = std::vector<std::string>;

struct ScriptedTarget {
    // A held target (as after the greeting), not yet identified, answering these bytes in turn.
    explicit ScriptedTarget(std::initializer_list<uint8_t> answers = {}) {
        resetProcessState();
        recordedWaits.clear();
        for (const uint8_t byte : answers) {
            port.queueMisoByte(byte);
        }
    }

    // The instructions sent, eight hex digits each, and "wait N" where the code waited.
    [[nodiscard]] Log log() const { return instructionLog(port, recordedWaits); }

    FakePort port;
};

// Runs f with standard output captured and returns what it printed.
template <typename F>
std::string printed(F&& f) {
    ::testing::internal::CaptureStdout();
    f();
    return ::testing::internal::GetCapturedStdout();
}

} // namespace quillon::testing
