// SPDX-License-Identifier: MIT
#include "sim/isp_wire.h"

#include <utility>

namespace quillon::sim {

namespace {

// The adapter's data-port bits (io/sim/adapter.h) and its MISO input.
constexpr uint8_t enableResetHalf = 2;
constexpr uint8_t enableClockHalf = 3;
constexpr uint8_t sck = 4;
constexpr uint8_t mosi = 5;
constexpr uint8_t reset6 = 6;
constexpr uint8_t reset7 = 7;
constexpr uint8_t miso = 6;

} // namespace

IspWire::IspWire(Board& board, Wait wait) : board_(board), wait_(std::move(wait)) {}

void IspWire::set(uint8_t bit, bool high) {
    if (high) {
        board_.setPortBit(dataPort, bit);
    } else {
        board_.clrPortBit(dataPort, bit);
    }
}

void IspWire::holdReset() {
    set(sck, false);
    set(mosi, true);
    set(reset6, false);
    set(reset7, false);
    set(enableClockHalf, false);
    set(enableResetHalf, false);
}

void IspWire::pulseReset(std::chrono::microseconds width) {
    set(sck, false);
    set(reset6, true);
    set(reset7, true);
    wait_(width);
    set(reset6, false);
    set(reset7, false);
}

void IspWire::release() {
    set(reset6, true);
    set(reset7, true);
    set(enableClockHalf, true);
    set(enableResetHalf, true);
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
        set(mosi, ((out >> bit) & 1U) != 0);
        set(sck, true);
        hold();
        in =
            static_cast<uint8_t>((in << 1U) | (board_.getPortBit(statusPort, miso) != 0 ? 1U : 0U));
        set(sck, false);
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
