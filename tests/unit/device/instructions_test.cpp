// SPDX-License-Identifier: MIT
// The instructions that commands issue are checked through the simulated chip, which decodes them
// as the data sheets do: the end-to-end command and memory tests. Here: those no command issues.
#include <gtest/gtest.h>

#include "scripted_target.h"

using namespace quillon;
using namespace quillon::testing;

TEST(Instructions, EepromPageInstructionsSendTheirFourBytes) {
    ScriptedTarget target;
    loadEepromPage(0x03, 0x99);
    writeEepromPage(0x0104);
    EXPECT_EQ(target.log(), (Log{"c1000399", "c2010400"}));
}

TEST(Instructions, WaitReadyPolls5002TimesAtMostAndWaitsOnlyAfterABusyAnswer) {
    {
        ScriptedTarget busy;
        busy.port.misoDefault = true; // every answer 0xFF
        EXPECT_EQ(waitReady(), -1);
        Log expected;
        for (int poll = 0; poll < 5002; ++poll) {
            expected.insert(expected.end(), {"f0000000", "wait 100"});
        }
        EXPECT_EQ(busy.log(), expected);
    }
    ScriptedTarget ready({0xFE}); // only bit 0 counts
    EXPECT_EQ(waitReady(), 0);
    EXPECT_EQ(ready.log(), Log{"f0000000"});
}
