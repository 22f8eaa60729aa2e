// SPDX-License-Identifier: MIT
#include "sim/serial_shifter.h"

namespace quillon::sim {

SerialShifter::SerialShifter(const Clock& clock, bool resetHigh, FrameSink& sink, uint32_t cpuHz)
    : clock_(clock), sink_(sink), resetHigh_(resetHigh), resetLow_(clock.now()),
      // The first RESET edge after power-up is no glitch.
      resetRose_(resetLow_ - shortestResetPulse), cpuHz_(cpuHz) {}

void SerialShifter::sckRate(uint32_t hz) {
    constexpr uint32_t fastClock = 12000000;
    const uint64_t cycles = cpuHz_ < fastClock ? 2 : 3;
    // A phase of 1 / (2 hz) seconds must last more than `cycles` / cpuHz_.
    tooFast_ = hz != 0 && 2 * cycles * hz >= cpuHz_;
    pulses_ = 0;
    missed_ = false;
}

void SerialShifter::resetChanged(bool high, bool sckHigh) {
    const Clock::Duration now = clock_.now();
    resetHigh_ = high;
    if (high) {
        resetRose_ = now;
        return;
    }
    if (now - resetRose_ < shortestResetPulse) {
        return; // a glitch: the part carries on where it was
    }
    // A real reset: in step unless SCK was high.
    resetLow_ = now;
    awake_ = false;
    frame_ = 0;
    bits_ = sckHigh ? 1 : 0;
    out_ = 0;
    loadNext_ = false;
    sink_.reset();
}

bool SerialShifter::awake() {
    if (!awake_) {
        awake_ = clock_.now() - resetLow_ >= programmingEnableDelay;
    }
    return awake_;
}

bool SerialShifter::miso() {
    if (resetHigh_ || !awake()) {
        return true;
    }
    return (out_ & 0x80) != 0;
}

void SerialShifter::sckRising(bool mosi) {
    missed_ = tooFast_ && (++pulses_ & 1U) != 0;
    if (resetHigh_ || missed_) {
        return;
    }
    frame_ = (frame_ << 1) | (mosi ? 1U : 0U);
    if ((++bits_ & 7U) != 0) {
        return;
    }
    const unsigned index = bits_ / 8;
    loadNext_ = true;
    next_ = sink_.byteIn(index, frame_);
    if (index == 4) {
        bits_ = 0;
        sink_.instruction(frame_, awake());
    }
}

void SerialShifter::sckFalling() {
    if (resetHigh_ || missed_) {
        return;
    }
    if (loadNext_) {
        out_ = next_;
        loadNext_ = false;
    } else {
        out_ = static_cast<uint8_t>(out_ << 1);
    }
}

} // namespace quillon::sim
