// SPDX-License-Identifier: MIT
#include "sim/adapter.h"

namespace quillon::sim {

namespace {

constexpr uint8_t resetLines = bitMask(resetLine6) | bitMask(resetLine7);

} // namespace

Adapter::Adapter(bool plugged, Target* target, Trace& trace)
    : plugged_(plugged), target_(target), trace_(trace), resetHigh_(resetHigh(plugged, 0)) {}

bool Adapter::resetHigh(bool plugged, uint8_t data) {
    const bool driven = (data & bitMask(enableLow)) == 0;
    return !plugged || !driven || (data & resetLines) == resetLines;
}

void Adapter::writeData(uint8_t value) {
    data_ = value;
    if (!plugged_) {
        return;
    }
    const bool clockDriven = (value & bitMask(enableHigh)) == 0;
    const bool sck = clockDriven && (value & bitMask(sckLine)) != 0;
    const bool reset = resetHigh(true, value);
    if (reset != resetHigh_) {
        resetHigh_ = reset;
        trace_.reset(reset);
        if (target_ != nullptr) {
            target_->resetChanged(reset, sck_);
        }
    }
    if (sck != sck_) {
        sck_ = sck;
        if (target_ != nullptr) {
            if (sck) {
                target_->sckRising((value & bitMask(mosiLine)) != 0);
            } else {
                target_->sckFalling();
            }
        }
    }
}

uint8_t Adapter::status() {
    if (!plugged_) {
        return statusWithNothingPlugged;
    }
    uint8_t status = unusedStatusBits;
    if ((data_ & bitMask(loopBackOutA)) != 0) {
        status |= bitMask(loopBackInA);
    }
    if (target_ == nullptr || target_->miso()) {
        status |= bitMask(misoLine);
    }
    if ((data_ & bitMask(loopBackOutB)) == 0) {
        status |= bitMask(loopBackInB);
    }
    return status;
}

} // namespace quillon::sim
