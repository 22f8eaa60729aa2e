#include <gtest/gtest.h>

#include "scripted_target.h"

using namespace quillon;
using namespace quillon::testing;

TEST(Instructions, EachSendsItsFourBytesAndReadsItsAnswerIntoPlace) {
    ScriptedTarget target({0x53, 0x1E, 0x94, 0x06, 0xE1, 0x99, 0xFD, 0xA7});
    EXPECT_EQ(programmingEnable(), 0x53); // byte 3's answer, and byte 4 is still sent
    readSignature();
    readFuses(); // the chip answers low, high, extended
    EXPECT_EQ(readLockBits(), 0xA7);
    EXPECT_EQ(targetSignature, (std::array<uint8_t, 3>{0x1E, 0x94, 0x06}));
    EXPECT_EQ(FuseTriple, (std::array<uint8_t, 3>{0xFD, 0x99, 0xE1}));
    chipErase();
    loadExtendedAddress(0x01);
    loadPageLow(0x3F, 0xA5);
    loadPageHigh(0x3F, 0x5A);
    writeFlashPage(0x1FC0);
    writeEepromByte(0x01FF, 0x42);
    loadEepromPage(0x03, 0x99);
    writeEepromPage(0x0104);
    writeLockBits(0x3C);
    writeFuseLow(0xE1);
    writeFuseHigh(0x99);
    writeFuseExtended(0xFD);
    (void)readFlashLow(0x1234);
    (void)readFlashHigh(0xFFFF);
    (void)readEepromByte(0x0FFF);
    (void)readCalibration();
    (void)pollReady();
    EXPECT_EQ(target.log(), (Log{"ac530000", "30000000", "30000100", "30000200", "50000000",
                                 "58080000", "50080000", "58000000", "ac800000", "4d000100",
                                 "40003fa5", "48003f5a", "4c1fc000", "c001ff42", "c1000399",
                                 "c2010400", "ace0003c", "aca000e1", "aca80099", "aca400fd",
                                 "20123400", "28ffff00", "a00fff00", "38000000", "f0000000"}));
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
