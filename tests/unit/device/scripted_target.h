// A target on the fake port: the answers it gives to reading instructions are queued in order,
// and what the programmer sent is decoded into four-byte instructions. Output printed meanwhile
// is captured.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "device/device.h"
#include "device/instructions.h"
#include "fake_port.h"
#include "link/link.h"

namespace quillon::testing {

using Instruction = std::array<uint8_t, 4>;

class ScriptedTarget {
  public:
    // A held target (programming mode already entered), fast waits, the device table filled.
    ScriptedTarget() {
        DelayUnits = 1;
        targetReleased = 0;
        fillDeviceTable();
        currentDevice = -1;
    }

    // The bytes the target answers, one per answering byte, in order; 0x00 once they run out.
    void answer(std::initializer_list<uint8_t> bytes) {
        for (const uint8_t byte : bytes) {
            port.queueMisoByte(byte);
        }
    }

    // Answers of a connect: the Programming Enable echo and the three signature bytes.
    void answerConnect(std::array<uint8_t, 3> signature, uint8_t echo = 0x53) {
        answer({echo, signature[0], signature[1], signature[2]});
    }

    // The instructions sent so far (a trailing incomplete one is dropped).
    [[nodiscard]] std::vector<Instruction> instructions() const {
        const std::vector<uint8_t> bytes = port.sentBytes();
        std::vector<Instruction> result;
        for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
            result.push_back({bytes[i], bytes[i + 1], bytes[i + 2], bytes[i + 3]});
        }
        return result;
    }

    // Forgets what was sent so far.
    void clearSent() { port.calls.clear(); }

    // The number of MISO readings made (eight for every answered byte).
    [[nodiscard]] std::size_t misoReads() const {
        std::size_t reads = 0;
        for (const PortCall& call : port.calls) {
            reads += call.kind == PortCall::Kind::Get && call.bit == misoLine ? 1 : 0;
        }
        return reads;
    }

    FakePort port;
};

// Runs f with standard output captured and returns what it printed.
template <typename F>
std::string printed(F&& f) {
    ::testing::internal::CaptureStdout();
    f();
    return ::testing::internal::GetCapturedStdout();
}

// Instructions of a connect: Programming Enable and three signature reads.
inline std::vector<Instruction> connectInstructions() {
    return {{0xAC, 0x53, 0x00, 0x00},
            {0x30, 0x00, 0x00, 0x00},
            {0x30, 0x00, 0x01, 0x00},
            {0x30, 0x00, 0x02, 0x00}};
}

inline const std::array<uint8_t, 3> atmega16{0x1E, 0x94, 0x03};
inline const std::array<uint8_t, 3> atmega128{0x1E, 0x97, 0x02};

} // namespace quillon::testing
