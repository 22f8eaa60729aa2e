// SPDX-License-Identifier: MIT
// The programming adapter on the parallel port, line by line.
//
// Data port 888 is eight output latches:
//   bit 0, 1  loop-back outputs A and B
//   bit 2, 3  enable lines of the line buffer (active low). Bit 3 enables the half that drives
//             SCK and MOSI, bit 2 the half that drives the two reset lines. A line that isn't
//             driven floats: a floating SCK counts as low, and the target's RESET is pulled up.
//   bit 4     SCK
//   bit 5     MOSI
//   bit 6, 7  the two reset lines. Each one, while driven low, pulls the target's RESET low
//             through a diode; a resistor pulls RESET up otherwise. So RESET is low when the
//             buffer drives the reset lines and at least one of them is low, and high when both
//             are high or the buffer is off.
// Status port 889 reads the port's inputs as the standard port shows them, bit 7 inverted:
//   bit 5     loop-back input A: follows data bit 0
//   bit 6     MISO (1 when the target doesn't drive it: the input's pull-up)
//   bit 7     loop-back input B: wired to data bit 1, so it reads the inverse of data bit 1
//   bits 0-4  unused, read 1
// Without the adapter every input floats high, so the status port reads 0x7F, and the target
// sees nothing.
//
// The latches start at 0 when the library is loaded: the buffer is on and RESET and SCK are
// low, as after powering the target up with RESET and SCK low.
#pragma once

#include <cstdint>

#include "io.h"
#include "sim/target.h"
#include "sim/trace.h"

namespace quillon::sim {

class Adapter {
  public:
    // plugged: the adapter is on the port. target: null when no target is attached.
    Adapter(bool plugged, Target* target, Trace& trace);

    // Sets the data port's latches. When several lines change at once the target sees RESET
    // change first and then SCK, with MOSI already at its new level.
    void writeData(uint8_t value);
    [[nodiscard]] uint8_t data() const { return data_; }
    [[nodiscard]] uint8_t status();
    // The RESET level the target was last given.
    [[nodiscard]] bool resetHigh() const { return resetHigh_; }

    // The target's RESET level for these latches.
    [[nodiscard]] static bool resetHigh(bool plugged, uint8_t data);

  private:
    bool plugged_;
    Target* target_;
    Trace& trace_;
    uint8_t data_ = 0;
    bool sck_ = false;
    bool resetHigh_;
};

} // namespace quillon::sim
