// SPDX-License-Identifier: MIT
#include "sim/isp_wire.h"

#include <utility>

namespace quillon::sim {

IspWire::IspWire(Board& board, Wait wait) : board_(board), wait_(std::move(wait)) {}

void IspWire::set(uint8_t bit, bool high) {
    if (high) {
        board_.setPortBit(dataPort, bit);
    } else {
        board_.clrPortBit(dataPort, bit);
    }
}

void IspWire::holdReset() {
    set(sckLine, false);
    set(mosiLine, true);
    set(resetLine6, false);
    set(resetLine7, false);
    set(enableHigh, false);
    set(enableLow, false);
}

void IspWire::pulseReset(std::chrono::microseconds width) {
    set(sckLine, false);
    set(resetLine6, true);
    set(resetLine7, true);
    wait_(width);
    set(resetLine6, false);
    set(resetLine7, false);
}

void IspWire::release() {
    set(resetLine6, true);
    set(resetLine7, true);
    set(enableHigh, true);
    set(enableLow, true);
}

void IspWire::clockSck(std::chrono::nanoseconds period, Hold hold) {
    halfPeriod_ = period / 2;
    hold_ = std::move(hold);
    setSckRate(period.count() > 0 ? static_cast<uint32_t>(std::nano::den / period.count()) : 0);
}

uint8_t IspWire::transfer(uint8_t out) {
    uint8_t in = 0;
    const auto hold = [this] {
        if (hold_ && halfPeriod_.count() > 0) {
            hold_(halfPeriod_);
        }
    };
    for (int bit = 7; bit >= 0; --bit) {
        set(mosiLine, ((out >> bit) & 1U) != 0);
        set(sckLine, true);
        hold();
        in = static_cast<uint8_t>((in << 1U) |
                                  (board_.getPortBit(statusPort, misoLine) != 0 ? 1U : 0U));
        set(sckLine, false);
        hold();
    }
    return in;
}

std::array<uint8_t, 4> IspWire::instruction(const std::array<uint8_t, 4>& bytes) {
    std::array<uint8_t, 4> answer{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        answer[i] = transfer(bytes[i]);
    }
    return answer;
}

} // namespace quillon::sim
