// SPDX-License-Identifier: MIT
#include "sim/fault_plan.h"

#include <algorithm>

namespace quillon::sim {

FaultPlan::FaultPlan(const Faults& faults)
    : stuck_(faults.stuckFlashBytes), slow_(faults.slow), misoLow_(faults.misoLow),
      muteAfter_(faults.muteAfter), dropPage_(faults.dropPage), powerLoss_(faults.powerLoss) {}

void FaultPlan::wrap(Target& pins, InstructionSet& instructions) {
    pins_ = &pins;
    instructions_ = &instructions;
}

void FaultPlan::resetChanged(bool high, bool sckHigh) {
    if (!hung_) {
        pins_->resetChanged(high, sckHigh);
    }
}

void FaultPlan::sckRising(bool mosi) {
    if (!dead()) {
        pins_->sckRising(mosi);
    }
}

void FaultPlan::sckRate(uint32_t hz) {
    pins_->sckRate(hz);
}

void FaultPlan::sckFalling() {
    if (!dead()) {
        pins_->sckFalling();
    }
}

bool FaultPlan::miso() {
    if (misoLow_) {
        return false;
    }
    return dead() || pins_->miso();
}

uint8_t FaultPlan::byteIn(unsigned index, uint32_t frame) {
    return instructions_->byteIn(index, frame);
}

void FaultPlan::instruction(uint32_t frame, bool awake) {
    const bool ignored = instructions_->arrived(frame);
    ++instructionCount_;
    if (powerLoss_ != 0 && instructionCount_ == powerLoss_) {
        unpowered_ = true; // this instruction is lost, and so is what the part was doing
        instructions_->powerDown();
        return;
    }
    if (muteAfter_ != 0 && instructionCount_ == muteAfter_) {
        hung_ = true; // the part carries this one out, then nothing more
    }
    instructions_->act(frame, ignored, awake);
}

void FaultPlan::reset() {
    unpowered_ = false; // the supply is back: the part starts as after power-up
    instructions_->reset();
}

bool FaultPlan::pageWriteLost() {
    return ++pageWrites_ == dropPage_;
}

bool FaultPlan::flashByteStuck(uint32_t address) const {
    return std::find(stuck_.begin(), stuck_.end(), address) != stuck_.end();
}

} // namespace quillon::sim
