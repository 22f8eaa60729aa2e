#include <gtest/gtest.h>

#include "scripted_target.h"

using namespace quillon;
using namespace quillon::testing;

TEST(Identification, AllThreeSignatureBytesDecideAndEmptyRowsMatchNothing) {
    fillDeviceTable();
    const std::vector<std::pair<std::array<uint8_t, 3>, int32_t>> cases{
        {{0x1E, 0x94, 0x06}, 4},  {{0x1E, 0x94, 0x03}, 0},  {{0x1E, 0x95, 0x02}, 1},
        {{0x1E, 0x96, 0x09}, 5},  {{0x1E, 0x94, 0x07}, -1}, {{0x94, 0x1E, 0x03}, -1},
        {{0x00, 0x00, 0x00}, -1}, {{0xFF, 0xFF, 0xFF}, -1}};
    for (const auto& [signature, row] : cases) {
        targetSignature = signature;
        EXPECT_EQ(identifyDevice(), row) << int(signature[2]);
    }
}

// ATmega128's defaults are extended ff, high cb, low 8f; the chip answers low, high, extended.
TEST(Identification, DefaultFusesSetComparesEveryFuseWithItsOwnDefault) {
    const std::vector<std::pair<std::array<uint8_t, 3>, char>> cases{{{0x8F, 0xCB, 0xFF}, 'd'},
                                                                     {{0x8E, 0xCB, 0xFF}, 'n'},
                                                                     {{0x8F, 0xCA, 0xFF}, 'n'},
                                                                     {{0x8F, 0xCB, 0xFE}, 'n'},
                                                                     {{0xFF, 0xCB, 0x8F}, 'n'}};
    for (const auto& [fuses, verdict] : cases) {
        ScriptedTarget target({fuses[0], fuses[1], fuses[2]});
        currentDevice = 6;
        EXPECT_EQ(defaultFusesSet(), verdict) << int(fuses[0]) << ' ' << int(fuses[2]);
    }
}
