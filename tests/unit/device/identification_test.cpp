#include <gtest/gtest.h>

#include "scripted_target.h"

namespace q = quillon;
using q::testing::ScriptedTarget;

TEST(Identification, AllThreeBytesDecideAndOnlyFilledRowsCount) {
    q::fillDeviceTable();
    const std::vector<std::pair<std::array<uint8_t, 3>, int32_t>> cases{
        {{0x1E, 0x94, 0x06}, 4},  {{0x1E, 0x94, 0x03}, 0},  {{0x1E, 0x95, 0x02}, 1},
        {{0x1E, 0x97, 0x02}, 6},  {{0x1E, 0x96, 0x09}, 5},  {{0xFF, 0xFF, 0xFF}, -1},
        {{0x00, 0x00, 0x00}, -1}, {{0x1E, 0x94, 0x07}, -1}, {{0x94, 0x1E, 0x03}, -1}};
    for (const auto& [signature, row] : cases) {
        q::targetSignature = signature;
        EXPECT_EQ(q::identifyDevice(), row) << int(signature[2]);
    }
    q::DeviceTable[7] = q::DeviceTable[0]; // beyond deviceCount: never consulted
    q::DeviceTable[7].signature = {0x1E, 0x94, 0x07};
    q::targetSignature = {0x1E, 0x94, 0x07};
    EXPECT_EQ(q::identifyDevice(), -1);
    q::DeviceTable[7] = q::DeviceRecord{};
}

TEST(Identification, ConnectIdentifiesEvenWithoutTheEnableEcho) {
    ScriptedTarget target;
    q::targetReleased = 1;
    target.answerConnect(q::testing::atmega128, /*echo=*/0x00);
    q::connectTarget();
    EXPECT_EQ(q::targetReleased, 0);
    EXPECT_EQ(q::currentDevice, 6);
    EXPECT_EQ(target.instructions(), q::testing::connectInstructions());
}

// Default fuse positions 1, 2, 3 are extended, high, low, compared with FuseTriple cells 1, 2, 3.
TEST(Identification, DefaultFusesSetComparesEveryPosition) {
    ScriptedTarget target;
    q::currentDevice = 0; // ATmega16: ff ff ff
    target.answer({0xFF, 0xFF, 0xFF});
    EXPECT_EQ(q::defaultFusesSet(), 'd');
    for (std::size_t differing = 0; differing < 3; ++differing) {
        std::array<uint8_t, 3> answers{0xFF, 0xFF, 0xFF};
        answers[differing] = 0xFE;
        target.answer({answers[0], answers[1], answers[2]});
        EXPECT_EQ(q::defaultFusesSet(), 'n') << "fuse " << differing;
    }
    q::currentDevice = 6;              // ATmega128: extended ff, high cb, low 8f
    target.answer({0x8F, 0xCB, 0xFF}); // the chip answers low, high, extended
    EXPECT_EQ(q::defaultFusesSet(), 'd');
    target.answer({0xFF, 0xCB, 0x8F});
    EXPECT_EQ(q::defaultFusesSet(), 'n');
    q::currentDevice = -1; // unrecognised: no defaults to hold, but the fuses are still read
    target.answer({0xFF, 0xFF, 0xFF});
    EXPECT_EQ(q::defaultFusesSet(), 'n');
    EXPECT_EQ(target.instructions().size(), 7U * 3U);
}
