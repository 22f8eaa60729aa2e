// SPDX-License-Identifier: MIT
// Flash, EEPROM, fuses and lock byte as a programmer sees them through the instructions.
#include <gtest/gtest.h>

#include "test_programmer.h"

using namespace quillon::sim;
using namespace quillon::sim::testing;

namespace {

struct Connected {
    explicit Connected(const std::string& device, const Faults& faults = {})
        : board(config(device, faults), clock), programmer(board, clock) {
        connected = programmer.connect();
    }
    static Config config(const std::string& device, const Faults& faults) {
        Config config;
        config.device = device;
        config.faults = faults;
        config.keepTrace = true;
        return config;
    }
    VirtualClock clock;
    Board board;
    TestProgrammer programmer;
    bool connected = false;
};

std::vector<uint8_t> pattern(uint32_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (uint32_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(seed + i * 7);
    }
    return bytes;
}

} // namespace

class SimFlashPages : public ::testing::TestWithParam<const char*> {};

TEST_P(SimFlashPages, PagesLoadWriteAndReadBackAtTheirAddresses) {
    Connected chip(GetParam());
    ASSERT_TRUE(chip.connected);
    TestProgrammer& programmer = chip.programmer;
    const Part& part = chip.board.part();
    const uint32_t page = part.flashPageBytes;
    const uint32_t lastPage = part.flashBytes - page;
    programmer.writeFlashPage(page, pattern(page, 1), page);
    EXPECT_GE(programmer.waitReady(), 4400us);
    // Given any word inside the page, the page write goes to the page's start.
    programmer.writeFlashPage(lastPage + 6, pattern(page, 2), page);
    ASSERT_GE(programmer.waitReady().count(), 0);
    for (uint32_t i = 0; i < page; ++i) {
        ASSERT_EQ(programmer.readFlashByte(page + i), pattern(page, 1)[i]) << i;
        ASSERT_EQ(programmer.readFlashByte(lastPage + i), pattern(page, 2)[i]) << i;
    }
    EXPECT_EQ(programmer.readFlashByte(page - 1), 0xFF);
    EXPECT_EQ(programmer.readFlashByte(2 * page), 0xFF);
    EXPECT_EQ(chip.board.chip().flash[page], pattern(page, 1)[0]);
}

INSTANTIATE_TEST_SUITE_P(EachPageSize, SimFlashPages,
                         ::testing::Values("ATmega48", "ATmega16", "ATmega644", "ATmega128"));

TEST(SimFlash, PageOffsetsWrapAtThePageSizeAndAddressesAtTheFlashSize) {
    Connected chip("ATmega48"); // 32-word pages, 2048 words
    ASSERT_TRUE(chip.connected);
    TestProgrammer& programmer = chip.programmer;
    programmer.instruction(0x40, 0x00, 32 + 3, 0x12); // offset 35 is word 3 of the page
    programmer.instruction(0x48, 0x00, 3, 0x34);
    programmer.instruction(0x4C, 0x08, 0x00, 0x00); // word 2048 is word 0
    ASSERT_GE(programmer.waitReady().count(), 0);
    EXPECT_EQ(chip.board.chip().flash[6], 0x12);
    EXPECT_EQ(chip.board.chip().flash[7], 0x34);
    EXPECT_EQ(programmer.read(0x20, 0x08, 0x03), 0x12);
    EXPECT_EQ(programmer.read(0x28, 0x00, 0x03), 0x34);
    // The page buffer is blank again after a page write: an unloaded word changes nothing.
    programmer.instruction(0x4C, 0x00, 0x00, 0x00);
    ASSERT_GE(programmer.waitReady().count(), 0);
    EXPECT_EQ(chip.board.chip().flash[6], 0x12);
}

TEST(SimFlash, WritingWithoutAnEraseOnlyClearsBits) {
    Connected chip("ATmega16");
    ASSERT_TRUE(chip.connected);
    TestProgrammer& programmer = chip.programmer;
    programmer.writeFlashPage(0, {0xF0, 0x3C}, 128);
    ASSERT_GE(programmer.waitReady().count(), 0);
    programmer.writeFlashPage(0, {0x0F, 0xFF}, 128);
    ASSERT_GE(programmer.waitReady().count(), 0);
    EXPECT_EQ(programmer.readFlashByte(0), 0x00);
    EXPECT_EQ(programmer.readFlashByte(1), 0x3C);
    programmer.instruction(0xAC, 0x80, 0x00, 0x00);
    EXPECT_GE(programmer.waitReady(), 8ms);
    programmer.writeFlashPage(0, {0x0F}, 128);
    ASSERT_GE(programmer.waitReady().count(), 0);
    EXPECT_EQ(programmer.readFlashByte(0), 0x0F);
    EXPECT_EQ(programmer.readFlashByte(1), 0xFF);
}

TEST(SimEeprom, BytesAreErasedAndWrittenOneByOne) {
    Connected chip("ATmega168");
    ASSERT_TRUE(chip.connected);
    TestProgrammer& programmer = chip.programmer;
    programmer.instruction(0xC0, 0x01, 0xFF, 0x00); // the last byte of 512
    EXPECT_GE(programmer.waitReady(), 3500us);
    programmer.instruction(0xC0, 0x03, 0xFF, 0xA5); // the same byte, address wrapped
    EXPECT_GE(programmer.waitReady(), 3500us);
    EXPECT_EQ(programmer.read(0xA0, 0x01, 0xFF), 0xA5);
    EXPECT_EQ(programmer.read(0xA0, 0x00, 0x00), 0xFF);
    EXPECT_EQ(chip.board.chip().eeprom[511], 0xA5);
}

TEST(SimEeprom, PageAccessWritesOnlyTheLoadedBytesWhereThePartHasIt) {
    Connected chip("ATmega16");
    ASSERT_TRUE(chip.connected);
    TestProgrammer& programmer = chip.programmer;
    chip.board.chip().eeprom[9] = 0x00;
    programmer.instruction(0xC1, 0x00, 0x00, 0x11);
    programmer.instruction(0xC1, 0x00, 0x06, 0x22); // offset 6 is 2 in a 4-byte page
    programmer.instruction(0xC2, 0x00, 0x09, 0x00);
    EXPECT_GE(programmer.waitReady(), 8ms);
    const auto& eeprom = chip.board.chip().eeprom;
    EXPECT_EQ((std::vector<uint8_t>(eeprom.begin() + 8, eeprom.begin() + 12)),
              (std::vector<uint8_t>{0x11, 0x00, 0x22, 0xFF}))
        << "only the loaded bytes are written";

    Connected big("ATmega128");
    ASSERT_TRUE(big.connected);
    big.programmer.instruction(0xC1, 0x00, 0x00, 0x11);
    big.programmer.instruction(0xC2, 0x00, 0x00, 0x00);
    EXPECT_FALSE(big.board.busy());
    EXPECT_EQ(big.board.chip().eeprom[0], 0xFF);
}

TEST(SimFuses, FactoryFusesReadBackForEveryPart) {
    const std::map<std::string, std::array<uint8_t, 3>> factory{
        {"ATmega16", {0xE1, 0x99, 0xFF}},  {"ATmega32", {0xE1, 0x99, 0xFF}},
        {"ATmega48", {0x62, 0xDF, 0xFF}},  {"ATmega88", {0x62, 0xDF, 0xF9}},
        {"ATmega168", {0x62, 0xDF, 0xF9}}, {"ATmega644", {0x62, 0x99, 0xFF}},
        {"ATmega128", {0xE1, 0x99, 0xFD}}};
    for (const auto& [name, fuses] : factory) {
        Connected chip(name);
        ASSERT_TRUE(chip.connected);
        TestProgrammer& programmer = chip.programmer;
        EXPECT_EQ(programmer.read(0x50, 0x00, 0x00), fuses[0]) << name;
        EXPECT_EQ(programmer.read(0x58, 0x08, 0x00), fuses[1]) << name;
        EXPECT_EQ(programmer.read(0x50, 0x08, 0x00), fuses[2]) << name;
        EXPECT_EQ(programmer.read(0x58, 0x00, 0x00), 0xFF) << name;
        EXPECT_EQ(programmer.read(0x38, 0x00, 0x00), 0xA7) << name;
    }
}

TEST(SimFuses, UnusedBitsReadOneAndSpienCantBeChanged) {
    Connected chip("ATmega48");
    ASSERT_TRUE(chip.connected);
    TestProgrammer& programmer = chip.programmer;
    programmer.instruction(0xAC, 0xA0, 0x00, 0x00);
    EXPECT_GE(programmer.waitReady(), 4ms);
    programmer.instruction(0xAC, 0xA8, 0x00, 0xFF);
    EXPECT_GE(programmer.waitReady(), 4ms);
    programmer.instruction(0xAC, 0xA4, 0x00, 0x00);
    EXPECT_GE(programmer.waitReady(), 4ms);
    EXPECT_EQ(programmer.read(0x50, 0x00, 0x00), 0x00);
    EXPECT_EQ(programmer.read(0x58, 0x08, 0x00), 0xDF);
    EXPECT_EQ(programmer.read(0x50, 0x08, 0x00), 0xFE); // only bit 0 exists

    Connected old("ATmega16"); // no extended fuse at all
    ASSERT_TRUE(old.connected);
    old.programmer.instruction(0xAC, 0xA4, 0x00, 0x00);
    EXPECT_EQ(old.programmer.read(0x50, 0x08, 0x00), 0xFF);
}

TEST(SimLock, LockBitsOnlyProgramAndLockMemoriesAndFuses) {
    Connected chip("ATmega16");
    ASSERT_TRUE(chip.connected);
    TestProgrammer& programmer = chip.programmer;
    programmer.writeFlashPage(0, {0x5A}, 128);
    ASSERT_GE(programmer.waitReady().count(), 0);
    programmer.instruction(0xAC, 0xE0, 0x00, 0xFE); // programming disabled
    EXPECT_GE(programmer.waitReady(), 4ms);
    programmer.instruction(0xAC, 0xE0, 0x00, 0xFF); // can't be undone
    ASSERT_GE(programmer.waitReady().count(), 0);
    EXPECT_EQ(programmer.read(0x58, 0x00, 0x00), 0xFE);
    programmer.writeFlashPage(0, {0x00, 0x00}, 128);
    programmer.instruction(0xC0, 0x00, 0x00, 0x00);
    programmer.instruction(0xAC, 0xA0, 0x00, 0x00);
    EXPECT_FALSE(chip.board.busy());
    EXPECT_EQ(programmer.readFlashByte(0), 0x5A);
    EXPECT_EQ(programmer.readFlashByte(1), 0xFF);
    EXPECT_EQ(programmer.read(0xA0, 0x00, 0x00), 0xFF);
    EXPECT_EQ(programmer.read(0x50, 0x00, 0x00), 0xE1);

    programmer.instruction(0xAC, 0xE0, 0x00, 0x3C); // verification disabled too
    ASSERT_GE(programmer.waitReady().count(), 0);
    EXPECT_EQ(programmer.read(0x58, 0x00, 0x00), 0xFC); // bits 7 and 6 read 1
    EXPECT_EQ(programmer.readFlashByte(0), 0xFF);
    EXPECT_EQ(programmer.read(0x30, 0x00, 0x00), 0x1E); // signature and fuses still read
    EXPECT_EQ(programmer.read(0x58, 0x08, 0x00), 0x99);
}

TEST(SimLock, ChipEraseClearsLockAndMemoriesUnlessEesaveKeepsTheEeprom) {
    for (const bool eesave : {false, true}) {
        Connected chip("ATmega32");
        ASSERT_TRUE(chip.connected);
        TestProgrammer& programmer = chip.programmer;
        chip.board.chip().flash[100] = 0x00;
        chip.board.chip().eeprom[5] = 0x00;
        if (eesave) {
            programmer.instruction(0xAC, 0xA8, 0x00, 0x99 & ~eesaveBit);
            ASSERT_GE(programmer.waitReady().count(), 0);
        }
        chip.board.chip().lock = 0xFC;
        programmer.instruction(0xAC, 0x80, 0x00, 0x00);
        EXPECT_GE(programmer.waitReady(), 8ms);
        EXPECT_EQ(programmer.read(0x58, 0x00, 0x00), 0xFF);
        EXPECT_EQ(programmer.readFlashByte(100), 0xFF);
        EXPECT_EQ(programmer.read(0xA0, 0x00, 0x05), eesave ? 0x00 : 0xFF);
    }
}

TEST(SimBusy, InstructionsWhileBusyAreIgnoredAndTraced) {
    // Slow writes keep the chip busy for 45 ms, so that a test process that the machine holds up
    // for a few milliseconds still sends what follows inside the busy time.
    Faults faults;
    faults.slow = true;
    Connected chip("ATmega16", faults);
    ASSERT_TRUE(chip.connected);
    TestProgrammer& programmer = chip.programmer;
    programmer.writeFlashPage(0, {0x11, 0x22}, 128);
    EXPECT_EQ(programmer.read(0xF0, 0x00, 0x00), 0x01);
    EXPECT_NE(programmer.readFlashByte(0), 0x11);   // ignored: no answer
    programmer.instruction(0xC0, 0x00, 0x00, 0x33); // ignored: nothing written
    EXPECT_GE(programmer.waitReady(), 30ms);
    EXPECT_EQ(programmer.read(0xF0, 0x00, 0x00), 0x00);
    EXPECT_EQ(programmer.readFlashByte(0), 0x11);
    EXPECT_EQ(chip.board.chip().eeprom[0], 0xFF);
    const auto& lines = chip.board.traceLines();
    auto has = [&](const std::string& ending) {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.size() > ending.size() &&
                   line.compare(line.size() - ending.size(), ending.size(), ending) == 0;
        });
    };
    EXPECT_TRUE(has(" 4c000000"));
    EXPECT_TRUE(has(" f0000000"));
    EXPECT_TRUE(has(" 20000000 busy"));
    EXPECT_TRUE(has(" c0000033 busy"));
    EXPECT_TRUE(has(" 20000000"));
}

TEST(SimFaults, SlowWritesTakeTenTimesAsLong) {
    Faults faults;
    faults.slow = true;
    Connected chip("ATmega16", faults);
    ASSERT_TRUE(chip.connected);
    chip.programmer.writeFlashPage(0, {0x00}, 128);
    chip.programmer.wait(10ms);
    EXPECT_TRUE(chip.board.busy());
    EXPECT_GE(chip.programmer.waitReady(), 30ms);
}

TEST(SimFaults, AStuckFlashByteNeverChanges) {
    Faults faults;
    faults.stuckFlashBytes = {3};
    Connected chip("ATmega16", faults);
    ASSERT_TRUE(chip.connected);
    ASSERT_TRUE(chip.board.problems().empty());
    chip.programmer.writeFlashPage(0, {0, 0, 0, 0, 0}, 128);
    ASSERT_GE(chip.programmer.waitReady().count(), 0);
    EXPECT_EQ(chip.programmer.readFlashByte(2), 0x00);
    EXPECT_EQ(chip.programmer.readFlashByte(3), 0xFF);
    chip.board.chip().flash[3] = 0x12;
    chip.programmer.instruction(0xAC, 0x80, 0x00, 0x00);
    ASSERT_GE(chip.programmer.waitReady().count(), 0);
    EXPECT_EQ(chip.programmer.readFlashByte(2), 0xFF);
    EXPECT_EQ(chip.programmer.readFlashByte(3), 0x12);

    faults.stuckFlashBytes = {16384};
    Connected outside("ATmega16", faults);
    ASSERT_EQ(outside.board.problems().size(), 1U);
}
