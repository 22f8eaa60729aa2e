// SPDX-License-Identifier: MIT
// The faults that hardening tests inject (config.h), wrapped around a sound part: between the
// adapter and the part's pins, between its shift register and its instructions, and as the
// cells its writes reach.
//
// With miso-low MISO always reads 0. After mute-after=N instructions the part hangs, acting on
// nothing and leaving MISO undriven. drop-page=N loses the Nth flash page write (the part is
// busy as usual but the page keeps its contents). power-loss=N cuts the supply during the Nth
// instruction, which is lost along with everything up to the next RESET pulse, when the part
// powers up again (page buffers empty, awake 20 ms later). slow makes every write and erase take
// ten times the data sheet's time; a stuck flash byte never changes. Instructions are counted
// from the first one the part receives, Programming Enable included.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/config.h"
#include "sim/instruction_set.h"
#include "sim/serial_shifter.h"
#include "sim/target.h"

namespace quillon::sim {

class FaultPlan final : public Target, public FrameSink, public Cells {
  public:
    explicit FaultPlan(const Faults& faults);
    // The part the plan is wrapped around: its pins and its instructions, which must outlive
    // the plan. Called once, before anything else.
    void wrap(Target& pins, InstructionSet& instructions);

    void resetChanged(bool high, bool sckHigh) override;
    void sckRising(bool mosi) override;
    void sckFalling() override;
    void sckRate(uint32_t hz) override;
    [[nodiscard]] bool miso() override;

    [[nodiscard]] uint8_t byteIn(unsigned index, uint32_t frame) override;
    void instruction(uint32_t frame, bool awake) override;
    void reset() override;

    [[nodiscard]] bool pageWriteLost() override;
    [[nodiscard]] bool flashByteStuck(uint32_t address) const override;
    [[nodiscard]] int timeScale() const override { return slow_ ? 10 : 1; }

  private:
    [[nodiscard]] bool dead() const { return hung_ || unpowered_; }

    Target* pins_ = nullptr;
    InstructionSet* instructions_ = nullptr;
    std::vector<uint32_t> stuck_; // flash byte addresses that never change
    bool slow_;
    bool misoLow_;
    uint32_t muteAfter_;
    uint32_t dropPage_;
    uint32_t powerLoss_;
    uint32_t instructionCount_ = 0; // instructions completed since the board was made
    uint32_t pageWrites_ = 0;       // flash page writes carried out or dropped
    bool hung_ = false;             // mute-after has struck: the part acts on nothing any more
    bool unpowered_ = false;        // power-loss has struck and RESET hasn't been pulsed since
};

} // namespace quillon::sim
