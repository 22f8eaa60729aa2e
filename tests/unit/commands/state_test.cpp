// SPDX-License-Identifier: MIT
// resetProcessState brings every layer's part back as start-up leaves it: a cell it forgets
// carries one test's leftovers into the next.
#include <gtest/gtest.h>

#include <functional>

#include "commands/state.h"
#include "device/device.h"
#include "link/link.h"

namespace q = quillon;

namespace {

struct Cell {
    const char* name;
    std::function<void()> change;
    std::function<bool()> asStartUpLeavesIt;
};

const Cell cells[] = {
    {"delay", [] { q::Link.delayUnits = 9; },
     [] { return q::Link.delayUnits == q::uncalibratedDelayUnits; }},
    {"release", [] { q::Link.targetReleased = 1; }, [] { return q::Link.targetReleased == 0; }},
    {"deviceRow", [] { q::Target.currentDevice = 3; },
     [] { return q::Target.currentDevice == -1; }},
    {"signature",
     [] {
         q::Target.signature = {0x1E, 0x95, 0x0F};
     },
     [] { return q::Target.signature == std::array<uint8_t, 3>{}; }},
    {"fuses", [] { q::Target.fuses.high = 0xD9; },
     [] { return q::Target.fuses == q::FuseCells{}; }},
    {"image", [] { q::Process.buffers.image[q::imageBufferBytes - 1] = 1; },
     [] { return q::Process.buffers.image[q::imageBufferBytes - 1] == 0; }},
    {"readBack", [] { q::Process.buffers.readBack[0] = 1; },
     [] { return q::Process.buffers.readBack[0] == 0; }},
    {"settings",
     [] {
         q::Process.settings.fillByte = 0;
         q::Process.settings.uploadFileName.push_back('x');
     },
     [] {
         return q::Process.settings.fillByte == 0xFF && q::Process.settings.uploadFileName.empty();
     }},
    {"logStream", [] { q::Process.settings.logFile.reset(std::tmpfile()); },
     [] { return q::Process.settings.logFile == nullptr; }},
    {"lockCount", [] { q::Process.lockEntryCount = 1; },
     [] { return q::Process.lockEntryCount == 0; }},
};

class StateReset : public testing::TestWithParam<Cell> {};

TEST_P(StateReset, PutsTheCellBack) {
    q::resetProcessState();
    ASSERT_TRUE(GetParam().asStartUpLeavesIt()) << "not as start-up leaves it before the change";
    GetParam().change();
    ASSERT_FALSE(GetParam().asStartUpLeavesIt());
    q::resetProcessState();
    EXPECT_TRUE(GetParam().asStartUpLeavesIt());
}

INSTANTIATE_TEST_SUITE_P(EveryPart, StateReset, testing::ValuesIn(cells),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
