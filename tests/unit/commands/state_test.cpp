// SPDX-License-Identifier: MIT
// resetProcessState brings every layer's part back as start-up leaves it: a cell it forgets
// carries one test's leftovers into the next.
#include <gtest/gtest.h>

#include <cstdio>

#include "commands/state.h"
#include "device/device.h"
#include "link/link.h"

namespace q = quillon;

TEST(StateReset, PutsEveryLayersPartBack) {
    q::resetProcessState();
    q::Link = {.delayUnits = 9, .targetReleased = 1};
    q::Target = {.currentDevice = 3, .signature = {0x1E, 0x95, 0x0F}, .fuses = {.high = 0xD9}};
    q::Process.buffers.image.back() = 1;
    q::Process.buffers.readBack.front() = 1;
    q::Process.settings.fillByte = 0;
    q::Process.settings.logFile.reset(std::tmpfile());
    q::Process.lockEntryCount = 1;
    q::resetProcessState();
    EXPECT_EQ(q::Link.delayUnits, q::uncalibratedDelayUnits);
    EXPECT_EQ(q::Link.targetReleased, 0);
    EXPECT_EQ(q::Target.currentDevice, -1);
    EXPECT_EQ(q::Target.signature, (std::array<uint8_t, 3>{}));
    EXPECT_EQ(q::Target.fuses, q::FuseCells{});
    EXPECT_EQ(q::Process.buffers.image.back(), 0);
    EXPECT_EQ(q::Process.buffers.readBack.front(), 0);
    EXPECT_EQ(q::Process.settings.fillByte, 0xFF);
    EXPECT_EQ(q::Process.settings.logFile, nullptr);
    EXPECT_EQ(q::Process.lockEntryCount, 0);
}
