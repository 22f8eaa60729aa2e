// SPDX-License-Identifier: MIT
// Decodes what a FakePort saw into the instructions sent to the target, one string of eight
// lower-case hex digits per four-byte instruction, with the waits between them where they came.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "fake_port.h"
#include "link/link.h"

namespace quillon::testing {

// A wait of `micros` that began when the port had seen `callCount` calls.
struct WaitMark {
    std::size_t callCount;
    int32_t micros;
};

// MOSI is sampled at each rising edge of SCK; an unfinished instruction ends the log as
// "partial" followed by the hex digits of its whole bytes.
inline std::vector<std::string> instructionLog(const FakePort& port,
                                               const std::vector<WaitMark>& waits = {}) {
    std::vector<std::string> log;
    auto wait = waits.begin();
    uint32_t frame = 0;
    int bits = 0;
    bool sck = false;
    for (std::size_t n = 0; n <= port.calls.size(); ++n) {
        for (; wait != waits.end() && wait->callCount <= n; ++wait) {
            log.push_back("wait " + std::to_string(wait->micros));
        }
        if (n == port.calls.size() || port.calls[n].kind == PortCall::Kind::Get ||
            port.calls[n].port != dataPort) {
            continue;
        }
        const uint8_t data = port.calls[n].data;
        const bool nowSck = ((data >> sckLine) & 1) != 0;
        if (nowSck && !sck) {
            frame = (frame << 1) | ((data >> mosiLine) & 1U);
            if (++bits == 32) {
                std::array<char, 9> text{};
                std::snprintf(text.data(), text.size(), "%08x", frame);
                log.emplace_back(text.data());
                bits = 0;
            }
        }
        sck = nowSck;
    }
    if (bits != 0) {
        std::array<char, 9> text{};
        std::snprintf(text.data(), text.size(), "%0*x", bits / 8 * 2,
                      static_cast<unsigned>(frame >> (bits % 8)));
        log.emplace_back(std::string("partial ") + (bits >= 8 ? text.data() : ""));
    }
    return log;
}

} // namespace quillon::testing
