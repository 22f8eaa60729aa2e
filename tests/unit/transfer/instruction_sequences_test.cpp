// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "fake_port.h"
#include "image/image.h"
#include "instruction_log.h"
#include "memory_test_support.h"
#include "transfer/transfer.h"
#include "wait_recorder.h"

namespace q = quillon;
using q::testing::atmega16;
using q::testing::atmega48;
using Log = std::vector<std::string>;

namespace {

std::string hex8(unsigned b1, unsigned b2, unsigned b3, unsigned b4) {
    std::array<char, 9> text{};
    std::snprintf(text.data(), text.size(), "%02x%02x%02x%02x", b1 & 0xFF, b2 & 0xFF, b3 & 0xFF,
                  b4 & 0xFF);
    return text.data();
}

uint8_t imageByte(int i) {
    return static_cast<uint8_t>(i * 5 + 3);
}

struct InstructionSequences : ::testing::Test {
    void SetUp() override {
        q::resetProcessState();
        q::testing::recordedWaits.clear();
        for (int i = 0; i < 4096; ++i) {
            q::ImageBuffer[static_cast<std::size_t>(i)] = imageByte(i);
        }
    }
    // What the target was sent since the last call, with the waits.
    Log sent() {
        Log log = q::testing::instructionLog(port, q::testing::recordedWaits);
        port.calls.clear();
        q::testing::recordedWaits.clear();
        return log;
    }
    q::testing::FakePort port;
};

} // namespace

// Each word is loaded at its in-page address, each page written at its first word's address;
// full pages wait 9500 us, a last partly filled one 10500 us. An odd length loads the byte after
// it as the last word's high byte.
TEST_F(InstructionSequences, FlashIsProgrammedPageByPageOnEveryPageSize) {
    struct Case {
        int32_t device;
        int pageWords;
        int length;
        Log pageWrites;
    };
    for (const Case& c :
         {Case{atmega48, 32, 128, {"4c000000", "4c002000"}},
          Case{atmega16, 64, 257, {"4c000000", "4c004000", "4c008000"}},
          Case{q::testing::atmega644, 128, 513, {"4c000000", "4c008000", "4c010000"}}}) {
        EXPECT_EQ(q::programFlash(c.device, c.length), c.length);
        Log expected{"4d000000"};
        const int words = (c.length + 1) / 2;
        for (int w = 0; w < words; ++w) {
            const auto inPage = static_cast<unsigned>(w % c.pageWords);
            expected.push_back(hex8(0x40, 0, inPage, imageByte(2 * w)));
            expected.push_back(hex8(0x48, 0, inPage, imageByte(2 * w + 1)));
            const bool full = inPage + 1 == static_cast<unsigned>(c.pageWords);
            if (full || w + 1 == words) {
                expected.insert(expected.end(),
                                {c.pageWrites[w / c.pageWords], full ? "wait 9500" : "wait 10500"});
            }
        }
        EXPECT_EQ(sent(), expected) << c.pageWords << "-word pages";
    }
}

// Every byte is written, whatever its value, at its full address, and given its write time.
TEST_F(InstructionSequences, EepromIsWrittenByteByByte) {
    q::ImageBuffer[1] = 0xFF;
    EXPECT_EQ(q::programEeprom(atmega48, 3), 3);
    EXPECT_EQ(sent(), (Log{hex8(0xC0, 0, 0, imageByte(0)), "wait 11500", "c00001ff", "wait 11500",
                           hex8(0xC0, 0, 2, imageByte(2)), "wait 11500"}));
    EXPECT_EQ(q::programEeprom(atmega16, 512), 512);
    EXPECT_EQ(sent()[std::size_t{2} * 0x1FF], hex8(0xC0, 0x01, 0xFF, imageByte(0x1FF)));
}
