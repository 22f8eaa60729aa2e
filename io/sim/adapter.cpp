// SPDX-License-Identifier: MIT
#include "sim/adapter.h"

namespace quillon::sim {

namespace {

constexpr uint8_t loopBackOutA = 0x01;
constexpr uint8_t loopBackOutB = 0x02;
constexpr uint8_t enableResetLines = 0x04;
constexpr uint8_t enableClockLines = 0x08;
constexpr uint8_t sckLine = 0x10;
constexpr uint8_t mosiLine = 0x20;
constexpr uint8_t resetLines = 0xC0;

constexpr uint8_t unusedInputs = 0x1F;
constexpr uint8_t loopBackInA = 0x20;
constexpr uint8_t misoIn = 0x40;
constexpr uint8_t loopBackInB = 0x80;

} // namespace

Adapter::Adapter(bool plugged, Target* target, Trace& trace)
    : plugged_(plugged), target_(target), trace_(trace), resetHigh_(resetHigh(plugged, 0)) {}

bool Adapter::resetHigh(bool plugged, uint8_t data) {
    const bool driven = (data & enableResetLines) == 0;
    return !plugged || !driven || (data & resetLines) == resetLines;
}

void Adapter::writeData(uint8_t value) {
    data_ = value;
    if (!plugged_) {
        return;
    }
    const bool clockDriven = (value & enableClockLines) == 0;
    const bool sck = clockDriven && (value & sckLine) != 0;
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
                target_->sckRising((value & mosiLine) != 0);
            } else {
                target_->sckFalling();
            }
        }
    }
}

uint8_t Adapter::status() {
    if (!plugged_) {
        return unusedInputs | loopBackInA | misoIn; // floating high; the port inverts bit 7
    }
    uint8_t status = unusedInputs;
    if ((data_ & loopBackOutA) != 0) {
        status |= loopBackInA;
    }
    if (target_ == nullptr || target_->miso()) {
        status |= misoIn;
    }
    if ((data_ & loopBackOutB) == 0) {
        status |= loopBackInB;
    }
    return status;
}

} // namespace quillon::sim
