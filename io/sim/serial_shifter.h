// SPDX-License-Identifier: MIT
// The part's serial programming logic at the pins: a shift register clocked by SCK edges.
//
// While RESET is high the part runs its program and takes no notice of SCK; MISO is then not
// driven. RESET going low with SCK low starts the shift register in step with the programmer;
// going low while SCK is high leaves it one bit out of step. A high pulse shorter than two
// cycles of the factory clock (2 microseconds) is too short for the part to notice. The part
// drives MISO only from 20 ms after RESET went low.
//
// The part samples SCK with its CPU clock: each SCK phase must last more than two cycles of it
// (three from 12 MHz on). A programmer that clocks SCK faster than that (its sckRate) is followed
// only at every other pulse, so the part's bits and the programmer's drift apart.
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
    // The lines have been as they are since power-up (SCK low, RESET at `resetHigh`); the part
    // runs on a CPU clock of `cpuHz`.
    SerialShifter(const Clock& clock, bool resetHigh, FrameSink& sink, uint32_t cpuHz);

    void resetChanged(bool high, bool sckHigh) override;
    void sckRising(bool mosi) override;
    void sckFalling() override;
    void sckRate(uint32_t hz) override;
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
    uint32_t cpuHz_;
    bool tooFast_ = false; // SCK's phases are too short for the CPU clock
    unsigned pulses_ = 0;  // SCK pulses since it became too fast
    bool missed_ = false;  // the part didn't see the last SCK pulse
};

} // namespace quillon::sim
