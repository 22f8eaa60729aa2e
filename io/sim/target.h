// SPDX-License-Identifier: MIT
// The target's programming pins as the adapter drives them: what any simulated part offers the
// adapter (io/sim/adapter.h), whatever sits behind the pins.
#pragma once

#include <cstdint>

namespace quillon::sim {

class Target {
  public:
    Target() = default;
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;
    virtual ~Target() = default;

    // RESET went to `high`; `sckHigh` is SCK's level at that moment.
    virtual void resetChanged(bool high, bool sckHigh) = 0;
    // SCK rose with MOSI at `mosi`, or fell.
    virtual void sckRising(bool mosi) = 0;
    virtual void sckFalling() = 0;
    // The programmer's SCK runs at `hz` from now on, high and low for half a period each; 0 when
    // nobody says (a port's lines moved one call at a time, slower than any part's limit).
    virtual void sckRate(uint32_t hz) = 0;
    // MISO's level: the part's output bit, or 1 (the port's pull-up) when it doesn't drive it.
    [[nodiscard]] virtual bool miso() = 0;
};

} // namespace quillon::sim
