// SPDX-License-Identifier: MIT
// The delay's arithmetic. Everything else of the link is driven by the commands' runs on the
// simulated board (tests/unit/commands), whose timing and bit-level demands catch its faults.
#include <gtest/gtest.h>

#include <chrono>

#include "link/link.h"

namespace q = quillon;

TEST(Delay, CalibrationArithmeticAndNoWaitShorterThanAsked) {
    EXPECT_EQ(q::delayUnitsFor(300, q::calibrationPasses), 361);
    EXPECT_EQ(q::delayUnitsFor(700, q::calibrationPasses), 155);
    EXPECT_EQ(q::delayUnitsFor(1200, 4LL * q::calibrationPasses), 361); // a longer run, same rate
    EXPECT_EQ(q::delayUnitsFor(100000000, q::calibrationPasses), 1);    // never zero
    q::Link.delayUnits = 1; // as if the calibration had shared the processor with a busy program
    const auto start = std::chrono::steady_clock::now();
    q::delayMicros(20000);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::microseconds(20000));
}
