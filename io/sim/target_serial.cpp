// SPDX-License-Identifier: MIT
// The target's pins and its serial shift register.
#include "sim/target.h"

#include <algorithm>

namespace quillon::sim {

Target::Target(Part part, Chip chip, const Faults& faults, const Clock& clock, Trace& trace,
               std::unique_ptr<StateFiles> files, bool resetHigh)
    : part_(std::move(part)), chip_(std::move(chip)), clock_(clock), trace_(trace),
      files_(std::move(files)), timeScale_(faults.slow ? 10 : 1), misoLow_(faults.misoLow),
      muteAfter_(faults.muteAfter), dropPage_(faults.dropPage), powerLoss_(faults.powerLoss),
      resetHigh_(resetHigh), resetLow_(clock.now()),
      // The lines have been where they are since power-up: the first RESET edge is no glitch.
      resetRose_(resetLow_ - shortestResetPulse), flashPage_(part_.flashPageBytes, 0xFF),
      eepromPage_(part_.eepromPageBytes, 0xFF) {
    std::copy_if(faults.stuckFlashBytes.begin(), faults.stuckFlashBytes.end(),
                 std::back_inserter(stuck_),
                 [this](uint32_t address) { return address < part_.flashBytes; });
}

void Target::resetChanged(bool high, bool sckHigh) {
    const Clock::Duration now = clock_.now();
    resetHigh_ = high;
    if (hung_) {
        return;
    }
    if (high) {
        resetRose_ = now;
        return;
    }
    if (now - resetRose_ < shortestResetPulse) {
        return; // a glitch: the part carries on where it was
    }
    unpowered_ = false; // the supply is back: the part starts as after power-up
    // A real reset: the serial logic starts afresh, in step unless SCK was high.
    resetLow_ = now;
    awake_ = false;
    enabled_ = false;
    frame_ = 0;
    bits_ = sckHigh ? 1 : 0;
    out_ = 0;
    loadNext_ = false;
    readWhileBusy_ = false;
    extendedAddress_ = 0;
    std::fill(flashPage_.begin(), flashPage_.end(), uint8_t{0xFF});
    eepromPageLoaded_ = 0;
}

bool Target::awake() {
    if (!awake_) {
        awake_ = clock_.now() - resetLow_ >= programmingEnableDelay;
    }
    return awake_;
}

bool Target::miso() {
    if (misoLow_) {
        return false;
    }
    if (resetHigh_ || dead() || !awake()) {
        return true;
    }
    return (out_ & 0x80) != 0;
}

void Target::sckRising(bool mosi) {
    if (resetHigh_ || dead()) {
        return;
    }
    frame_ = (frame_ << 1) | (mosi ? 1U : 0U);
    if ((++bits_ & 7U) == 0) {
        byteReceived();
    }
}

void Target::sckFalling() {
    if (resetHigh_ || dead()) {
        return;
    }
    if (loadNext_) {
        out_ = next_;
        loadNext_ = false;
    } else {
        out_ = static_cast<uint8_t>(out_ << 1);
    }
}

void Target::byteReceived() {
    loadNext_ = true;
    if (!enabled_) {
        // Until programming is enabled the part only answers Programming Enable, with the 0x53
        // of byte 2 during byte 3, and only when both bytes arrived where it expects them: a
        // part out of step by some bits doesn't recognise the instruction and stays silent.
        next_ = bits_ == 16 && (frame_ & 0xFFFFU) == 0xAC53 ? uint8_t{0x53} : uint8_t{0x00};
    } else {
        next_ = static_cast<uint8_t>(frame_); // echo the byte just received
    }
    if (bits_ == 24) {
        readWhileBusy_ = false;
        if (enabled_) {
            if (const auto value = answer(frame_ & 0xFFFFFFU)) {
                const bool poll = (frame_ >> 16 & 0xFFU) == 0xF0;
                if (!poll && busy()) {
                    readWhileBusy_ = true;
                } else {
                    next_ = *value;
                }
            }
        }
    } else if (bits_ == 32) {
        bits_ = 0;
        complete(frame_);
    }
}

bool Target::busy() const {
    if (!busyPending_) {
        return false;
    }
    busyPending_ = clock_.now() < busyUntil_;
    return busyPending_;
}

void Target::startBusy(Micros time) {
    busyUntil_ = clock_.now() + time * timeScale_;
    busyPending_ = true;
}

void Target::complete(uint32_t frame) {
    const bool poll = (frame >> 24) == 0xF0;
    const bool ignored = !poll && (readWhileBusy_ || busy());
    readWhileBusy_ = false;
    trace_.instruction(frame, ignored);
    ++instructions_;
    if (powerLoss_ != 0 && instructions_ == powerLoss_) {
        unpowered_ = true; // this instruction is lost, and so is what the part was doing
        enabled_ = false;
        busyPending_ = false;
        return;
    }
    if (muteAfter_ != 0 && instructions_ == muteAfter_) {
        hung_ = true; // the part carries this one out, then nothing more
    }
    if (ignored) {
        return;
    }
    if (!enabled_) {
        enabled_ = (frame >> 16) == 0xAC53 && awake();
        return;
    }
    execute(frame);
}

} // namespace quillon::sim
