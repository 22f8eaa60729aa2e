// SPDX-License-Identifier: MIT
// The part's serial programming logic at the pins: a shift register clocked by SCK edges.
//
// While RESET is high the part runs its program and takes no notice of SCK; MISO is then not
// driven. RESET going low with SCK low starts the shift register in step with the programmer;
// going low while SCK is high leaves it one bit out of step. A high pulse shorter than two
// cycles of the factory clock (2 microseconds) is too short for the part to notice. The part
// drives MISO only from 20 ms after RESET went low.
//
// A part given its own clock (Faults::clockHz) misses an SCK pulse whose low phase before the
// rising edge was shorter than two cycles of that clock, as silicon does when SCK runs faster
// than a quarter of the part's clock.
//
// MOSI is sampled on the rising edge; the output byte is shifted out on MISO after the falling
// edge, most significant bit first. At the end of each byte the shifter asks its FrameSink for
// the next byte to shift out, and every 32 bits it hands the frame on as one instruction.
#pragma once

#include <chrono>
#include <cstdint>

#include "sim/clock.h"
#include "sim/target.h"

namespace quillon::sim {

inline constexpr std::chrono::milliseconds programmingEnableDelay{20};
inline constexpr std::chrono::microseconds shortestResetPulse{2};

// What the shifter hands its bits to.
class FrameSink {
  public:
    FrameSink() = default;
    FrameSink(const FrameSink&) = delete;
    FrameSink& operator=(const FrameSink&) = delete;
    virtual ~FrameSink() = default;

    // Byte `index` (1 to 4) of an instruction is in; `frame` holds the bits received, the newest
    // in bit 0. Returns the byte to shift out from the next falling edge on.
    [[nodiscard]] virtual uint8_t byteIn(unsigned index, uint32_t frame) = 0;
    // All 32 bits of `frame` are in; `awake`: 20 ms have passed since RESET went low.
    virtual void instruction(uint32_t frame, bool awake) = 0;
    // RESET went low for real: the serial logic starts afresh.
    virtual void reset() = 0;
};

class SerialShifter final : public Target {
  public:
    // The lines have been as they are since power-up (SCK low, RESET at `resetHigh`).
    // shortestLow: the shortest SCK low phase the part notices; zero for any.
    SerialShifter(const Clock& clock, bool resetHigh, FrameSink& sink,
                  Clock::Duration shortestLow = {});

    void resetChanged(bool high, bool sckHigh) override;
    void sckRising(bool mosi) override;
    void sckFalling() override;
    [[nodiscard]] bool miso() override;

  private:
    [[nodiscard]] bool awake();

    const Clock& clock_;
    FrameSink& sink_;
    bool resetHigh_;
    Clock::Duration resetLow_; // when RESET last went low for real
    Clock::Duration resetRose_;
    bool awake_ = false; // 20 ms have passed since resetLow_
    uint32_t frame_ = 0; // the bits received, newest in bit 0
    unsigned bits_ = 0;  // bits of the current instruction received
    uint8_t out_ = 0;    // the byte being shifted out on MISO
    uint8_t next_ = 0;   // the byte to shift out after the next falling edge
    bool loadNext_ = false;
    Clock::Duration shortestLow_;
    Clock::Duration sckFell_;  // when SCK last fell
    bool missedPulse_ = false; // the part didn't see SCK rise, so it won't see it fall
};

} // namespace quillon::sim
