// Decodes what a FakePort saw into the instructions sent to the target, one string of eight
// lower-case hex digits per four-byte instruction, with the waits between them where they came.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "fake_port.h"
#include "link/link.h"

namespace quillon::testing {

// A wait of `micros` that began when the port had seen `callCount` calls.
struct WaitMark {
    std::size_t callCount;
    int32_t micros;
};

inline std::vector<std::string> instructionLog(const FakePort& port,
                                               const std::vector<WaitMark>& waits = {}) {
    std::vector<std::string> log;
    std::string instruction;
    unsigned value = 0;
    int bits = 0;
    bool sck = false;
    std::size_t nextWait = 0;
    auto flushWaits = [&](std::size_t upTo) {
        for (; nextWait < waits.size() && waits[nextWait].callCount <= upTo; ++nextWait) {
            log.push_back("wait " + std::to_string(waits[nextWait].micros));
        }
    };
    for (std::size_t n = 0; n < port.calls.size(); ++n) {
        flushWaits(n);
        const PortCall& call = port.calls[n];
        if (call.kind == PortCall::Kind::Get || call.port != dataPort) {
            continue;
        }
        const bool nowSck = ((call.data >> sckLine) & 1) != 0;
        if (nowSck && !sck) {
            value = (value << 1) | ((call.data >> mosiLine) & 1U);
            if (++bits == 8) {
                char digits[3];
                std::snprintf(digits, sizeof digits, "%02x", value);
                instruction += digits;
                value = 0;
                bits = 0;
                if (instruction.size() == 8) {
                    log.push_back(instruction);
                    instruction.clear();
                }
            }
        }
        sck = nowSck;
    }
    flushWaits(port.calls.size());
    if (!instruction.empty()) {
        log.push_back("partial " + instruction);
    }
    return log;
}

} // namespace quillon::testing
