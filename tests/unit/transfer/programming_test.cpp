#include <gtest/gtest.h>

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
using q::testing::FakePort;
using Log = std::vector<std::string>;

namespace {

std::string hex8(unsigned b1, unsigned b2, unsigned b3, unsigned b4) {
    char text[9];
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x", b1 & 0xFF, b2 & 0xFF, b3 & 0xFF,
                  b4 & 0xFF);
    return text;
}

uint8_t imageByte(int i) {
    return static_cast<uint8_t>(i * 5 + 3);
}

struct ProgrammingTest : ::testing::Test {
    void SetUp() override {
        q::testing::freshMemoryState();
        q::testing::recordedWaits.clear();
        for (int i = 0; i < 4096; ++i) {
            q::ImageBuffer[static_cast<std::size_t>(i)] = imageByte(i);
        }
    }
    void TearDown() override { q::fillDeviceTable(); }
    [[nodiscard]] Log log() const {
        return q::testing::instructionLog(port, q::testing::recordedWaits);
    }
    FakePort port;
};

// What page programming must send, built page by page: the words' loads with their in-page
// address, then the page write at the page's word address and its wait.
Log expectedFlashLog(int pageWords, int length) {
    Log log{"4d000000"};
    const int words = (length + 1) / 2;
    for (int first = 0; first < words; first += pageWords) {
        const int inPage = std::min(pageWords, words - first);
        for (int k = 0; k < inPage; ++k) {
            const int w = first + k;
            log.push_back(hex8(0x40, 0x00, static_cast<unsigned>(k), imageByte(2 * w)));
            log.push_back(hex8(0x48, 0x00, static_cast<unsigned>(k), imageByte(2 * w + 1)));
        }
        log.push_back(
            hex8(0x4C, static_cast<unsigned>(first >> 8), static_cast<unsigned>(first), 0x00));
        log.push_back(inPage == pageWords ? "wait 9500" : "wait 10500");
    }
    return log;
}

} // namespace

TEST_F(ProgrammingTest, FlashPagesOnEveryPageSize) {
    struct Case {
        int32_t device;
        int pageWords;
        std::vector<std::string> pageWrites; // spot checks of the page addresses
    };
    for (const Case& c : {Case{q::testing::atmega48, 32, {"4c000000", "4c002000", "4c004000"}},
                          Case{q::testing::atmega16, 64, {"4c000000", "4c004000", "4c008000"}},
                          Case{q::testing::atmega644, 128, {"4c000000", "4c008000", "4c010000"}}}) {
        SCOPED_TRACE(c.pageWords);
        port.calls.clear();
        q::testing::recordedWaits.clear();
        const int length = 2 * (2 * c.pageWords) + 2; // two full pages and one word
        EXPECT_EQ(q::programFlash(c.device, length), length);
        const Log sent = log();
        EXPECT_EQ(sent, expectedFlashLog(c.pageWords, length));
        Log writes;
        std::copy_if(sent.begin(), sent.end(), std::back_inserter(writes),
                     [](const std::string& s) { return s.starts_with("4c"); });
        EXPECT_EQ(writes, c.pageWrites);
    }
}

TEST_F(ProgrammingTest, FlashEdgeLengths) {
    EXPECT_EQ(q::programFlash(q::testing::atmega48, 0), 0);
    EXPECT_EQ(log(), Log{"4d000000"});

    port.calls.clear();
    q::testing::recordedWaits.clear();
    (void)q::programFlash(q::testing::atmega48, 64); // exactly one page
    Log sent = log();
    EXPECT_EQ(sent.size(), 1U + 64U + 2U);
    EXPECT_EQ(Log(sent.end() - 2, sent.end()), (Log{"4c000000", "wait 9500"}));

    // An odd length loads whole words: the last high byte is the one after the length.
    port.calls.clear();
    q::testing::recordedWaits.clear();
    q::ImageBuffer[5] = 0xEE;
    EXPECT_EQ(q::programFlash(q::testing::atmega48, 5), 5);
    EXPECT_EQ(log(),
              (Log{"4d000000", hex8(0x40, 0, 0, imageByte(0)), hex8(0x48, 0, 0, imageByte(1)),
                   hex8(0x40, 0, 1, imageByte(2)), hex8(0x48, 0, 1, imageByte(3)),
                   hex8(0x40, 0, 2, imageByte(4)), "480002ee", "4c000000", "wait 10500"}));
}

TEST_F(ProgrammingTest, FlashOnAnUnknownPageSizeWritesPagesWithoutLoads) {
    q::DeviceTable[q::testing::atmega48].pageWords = 16;
    (void)q::programFlash(q::testing::atmega48, 2 * 16 + 2);
    EXPECT_EQ(log(), (Log{"4d000000", "4c000000", "wait 9500", "4c001000", "wait 10500"}));
}

TEST_F(ProgrammingTest, FlashForADeviceOutsideTheTableSendsNothing) {
    EXPECT_EQ(q::programFlash(-1, 100), 0);
    EXPECT_EQ(q::programFlash(q::deviceCount, 100), 0);
    EXPECT_TRUE(port.calls.empty());
}

TEST_F(ProgrammingTest, EepromWritesEveryByteWithItsWait) {
    q::ImageBuffer[1] = 0xFF; // written like any other value
    EXPECT_EQ(q::programEeprom(q::testing::atmega48, 3), 3);
    EXPECT_EQ(log(), (Log{hex8(0xC0, 0, 0, imageByte(0)), "wait 11500", "c00001ff", "wait 11500",
                          hex8(0xC0, 0, 2, imageByte(2)), "wait 11500"}));

    port.calls.clear();
    q::testing::recordedWaits.clear();
    EXPECT_EQ(q::programEeprom(q::testing::atmega16, 512), 512);
    const Log sent = log();
    ASSERT_EQ(sent.size(), 1024U);
    EXPECT_EQ(sent[2 * 0x1FF], hex8(0xC0, 0x01, 0xFF, imageByte(0x1FF)));
}
