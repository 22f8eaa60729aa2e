#include <gtest/gtest.h>

#include "image/image.h"
#include "memory_test_support.h"

namespace q = quillon;
using quillon::testing::Stdout;

namespace {

struct BuffersTest : ::testing::Test {
    void SetUp() override {
        q::fillImageBuffer(0x11);
        q::fillReadBackBuffer(0x11);
    }
};

} // namespace

TEST_F(BuffersTest, FillReachesTheLastByteAndLeavesTheOtherBufferAlone) {
    q::fillImageBuffer(0xA5);
    EXPECT_EQ(q::ImageBuffer.front(), 0xA5);
    EXPECT_EQ(q::ImageBuffer.back(), 0xA5);
    EXPECT_EQ(q::ReadBackBuffer.back(), 0x11);
    q::fillReadBackBuffer(0x00);
    EXPECT_EQ(q::ReadBackBuffer[363999], 0x00);
    EXPECT_EQ(q::ImageBuffer[363999], 0xA5);
}

TEST_F(BuffersTest, CompareCountsEveryDifferenceBelowTheLengthOnly) {
    q::ReadBackBuffer[3] = 0;
    q::ReadBackBuffer[50] = 0;
    q::ReadBackBuffer[99] = 0;
    q::ReadBackBuffer[100] = 0; // at the length: not seen
    Stdout out;
    EXPECT_EQ(q::compareBuffers(100), q::buffersDiffer);
    EXPECT_EQ(q::compareBuffers(3), q::buffersMatch); // stops before the first difference
    EXPECT_EQ(q::compareBuffers(0), q::buffersMatch);
    EXPECT_EQ(q::compareBuffers(-5), q::buffersMatch);
    EXPECT_EQ(out.text(), "3 bytes mismatched\n");
}

TEST_F(BuffersTest, CompareOfALengthBeyondTheBuffersStaysInside) {
    q::ReadBackBuffer[363999] = 0;
    Stdout out;
    EXPECT_EQ(q::compareBuffers(1 << 30), q::buffersDiffer);
    EXPECT_EQ(out.text(), "1 bytes mismatched\n");
}

TEST_F(BuffersTest, TrimCutsOnlyTheRunOfErasedBytesAtTheEnd) {
    struct Case {
        std::vector<int> data; // indices that hold 0x00; everything else is 0xFF
        int32_t length;
        int32_t trimmed;
    };
    const std::vector<Case> cases{
        {{0, 5, 19}, 16384, 20},                  // data in 0..19
        {{0}, 16384, 1},                          // only index 0
        {{}, 16384, 16384},                       // erased throughout: the whole length
        {{16383}, 16384, 16384},                  // the last byte itself
        {{0, 9, 11}, 16384, 12},                  // a 0xFF inside the data doesn't shorten it
        {{}, 0, 0},                               // nothing to examine
        {{100}, 50, 50},                          // data beyond the length isn't seen
        {{363999}, 1 << 30, q::imageBufferBytes}, // a length beyond the buffer
    };
    for (const Case& c : cases) {
        q::fillReadBackBuffer(0xFF);
        for (int i : c.data) {
            q::ReadBackBuffer[static_cast<std::size_t>(i)] = 0;
        }
        EXPECT_EQ(q::trimTrailingErased(q::readBackSelector, c.length), c.trimmed)
            << "length " << c.length;
    }
}

TEST_F(BuffersTest, TrimSelectorOneExaminesTheImageAndAnyOtherTheReadBack) {
    q::fillImageBuffer(0xFF);
    q::fillReadBackBuffer(0xFF);
    q::ImageBuffer[9] = 0;
    q::ReadBackBuffer[29] = 0;
    EXPECT_EQ(q::trimTrailingErased(1, 100), 10);
    for (int32_t selector : {0, 2, 3, -1}) {
        EXPECT_EQ(q::trimTrailingErased(selector, 100), 30) << "selector " << selector;
    }
}
