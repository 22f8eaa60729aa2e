// SPDX-License-Identifier: MIT
// The simulated ATmega in serial programming mode, as its data sheet tells it.
//
// Pins: while RESET is high the part runs its program and takes no notice of SCK; MISO is then
// not driven. RESET going low with SCK low starts the serial programming logic in step with
// the programmer; going low while SCK is high leaves it one bit out of step. A high pulse
// shorter than two cycles of the factory clock (2 microseconds) is too short for the part to
// notice. The part drives MISO, and accepts Programming Enable, only from 20 ms after RESET went
// low.
//
// Serial link: a shift register clocked by SCK edges. MOSI is sampled on the rising edge; the
// part's output byte is shifted out on MISO after the falling edge, most significant bit first.
// Every 32 bits make one instruction, acted on when its last bit is in. Until Programming Enable
// is accepted the part acts on nothing else and shifts out zeros, except during byte 3 of a
// Programming Enable that arrives in step, where it echoes byte 2 (0x53). Once programming is
// enabled it shifts out the byte it received before during each byte, and a read instruction
// answers in byte 4.
//
// Writes and erases keep the part busy for the data sheet's time (ten times that with the slow
// fault); an instruction other than Poll RDY/BSY that arrives while busy is ignored.
//
// Faults (config.h): with miso-low MISO always reads 0; after mute-after=N instructions the part
// hangs, acting on nothing and leaving MISO undriven; drop-page=N loses the Nth flash page write
// (the part is busy as usual but the page keeps its contents); power-loss=N cuts the supply
// during the Nth instruction, which is lost along with everything up to the next RESET pulse,
// when the part powers up again (page buffers empty, awake 20 ms later).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "sim/chip.h"
#include "sim/clock.h"
#include "sim/config.h"
#include "sim/parts.h"
#include "sim/state_files.h"
#include "sim/trace.h"

namespace quillon::sim {

inline constexpr std::chrono::milliseconds programmingEnableDelay{20};
inline constexpr std::chrono::microseconds shortestResetPulse{2};

class Target {
  public:
    // A part that was powered up with RESET at `resetHigh` (SCK low), on `clock`'s time.
    // `files` may be null.
    Target(Part part, Chip chip, const Faults& faults, const Clock& clock, Trace& trace,
           std::unique_ptr<StateFiles> files, bool resetHigh);

    // The pins as the adapter drives them.
    void resetChanged(bool high, bool sckHigh);
    void sckRising(bool mosi);
    void sckFalling();
    // MISO's level: the part's output bit, or 1 (the port's pull-up) when it doesn't drive it.
    [[nodiscard]] bool miso();

    [[nodiscard]] const Part& part() const { return part_; }
    [[nodiscard]] Chip& chip() { return chip_; }
    [[nodiscard]] const Chip& chip() const { return chip_; }
    [[nodiscard]] bool busy() const;
    // True while RESET is low and Programming Enable was accepted since the last reset.
    [[nodiscard]] bool programmingEnabled() const { return enabled_ && !resetHigh_; }

  private:
    void byteReceived();
    [[nodiscard]] bool awake();
    [[nodiscard]] std::optional<uint8_t> answer(uint32_t frame) const;
    void complete(uint32_t frame);
    void execute(uint32_t frame);
    void startBusy(Micros time);

    [[nodiscard]] bool programmingLocked() const { return (chip_.lock & 0x03) != 0x03; }
    [[nodiscard]] bool readingLocked() const { return (chip_.lock & 0x03) == 0x00; }
    [[nodiscard]] uint32_t flashWord(uint8_t high, uint8_t low) const;
    [[nodiscard]] uint32_t eepromAddress(uint8_t high, uint8_t low) const;

    void chipErase();
    void writeFlashPage(uint32_t word);
    void writeEepromByte(uint32_t address, uint8_t data);
    void writeEepromPage(uint32_t address);
    void writeFuse(uint8_t& fuse, uint8_t value);
    void writeLock(uint8_t value);
    void flashChanged(uint32_t offset, uint32_t length);
    [[nodiscard]] bool dead() const { return hung_ || unpowered_; }

    Part part_;
    Chip chip_;
    const Clock& clock_;
    Trace& trace_;
    std::unique_ptr<StateFiles> files_;
    std::vector<uint32_t> stuck_; // flash byte addresses that never change
    int timeScale_ = 1;
    bool misoLow_ = false;
    uint32_t muteAfter_ = 0;
    uint32_t dropPage_ = 0;
    uint32_t powerLoss_ = 0;
    uint32_t instructions_ = 0; // instructions completed since the board was made
    uint32_t pageWrites_ = 0;   // flash page writes carried out or dropped
    bool hung_ = false;         // mute-after has struck: the part acts on nothing any more
    bool unpowered_ = false;    // power-loss has struck and RESET hasn't been pulsed since

    // Pins and the serial logic.
    bool resetHigh_;
    Clock::Duration resetLow_; // when RESET last went low for real
    Clock::Duration resetRose_;
    bool awake_ = false;   // 20 ms have passed since resetLow_
    bool enabled_ = false; // Programming Enable was accepted
    uint32_t frame_ = 0;   // the bits received, newest in bit 0
    unsigned bits_ = 0;    // bits of the current instruction received
    uint8_t out_ = 0;      // the byte being shifted out on MISO
    uint8_t next_ = 0;     // the byte to shift out after the next falling edge
    bool loadNext_ = false;
    bool readWhileBusy_ = false; // a read's answer was withheld because the part was busy

    // Programming state.
    uint8_t extendedAddress_ = 0;
    std::vector<uint8_t> flashPage_;  // the flash page buffer, page bytes
    std::vector<uint8_t> eepromPage_; // the EEPROM page buffer
    uint32_t eepromPageLoaded_ = 0;   // bit i: eepromPage_[i] was loaded
    Clock::Duration busyUntil_{};
    mutable bool busyPending_ = false; // busyUntil_ may still be ahead
};

} // namespace quillon::sim
