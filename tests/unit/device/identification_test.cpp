#include <gtest/gtest.h>

#include "scripted_target.h"

namespace q = quillon;
using q::testing::Instruction;
using q::testing::ScriptedTarget;

namespace {

int32_t identify(std::array<uint8_t, 3> signature) {
    q::targetSignature = signature;
    return q::identifyDevice();
}

} // namespace

TEST(DeviceTable, HoldsTheSevenDevicesInOrder) {
    q::fillDeviceTable();
    ASSERT_EQ(q::deviceCount, 7);
    const std::array<std::string_view, 7> names{"ATmega16",  "ATmega32",  "ATmega48", "ATmega88",
                                                "ATmega168", "ATmega644", "ATmega128"};
    const std::array<int32_t, 7> pageWords{64, 64, 32, 32, 64, 128, 128};
    const std::array<int32_t, 7> flash{16384, 32768, 4096, 8192, 16384, 65536, 131072};
    const std::array<int32_t, 7> eeprom{512, 1024, 256, 512, 512, 2048, 4096};
    for (std::size_t i = 0; i < names.size(); ++i) {
        const q::DeviceRecord& row = q::DeviceTable[i];
        EXPECT_EQ(row.name, names[i]);
        EXPECT_EQ(row.pageWords, pageWords[i]) << names[i];
        EXPECT_EQ(row.flashBytes, flash[i]) << names[i];
        EXPECT_EQ(row.eepromBytes, eeprom[i]) << names[i];
        EXPECT_EQ(row.defaultFuses[3], 0xFF) << names[i];
    }
    // Positions 1, 2, 3 are extended, high, low.
    const q::DeviceRecord& mega128 = q::DeviceTable[6];
    EXPECT_EQ(mega128.defaultExtendedFuse(), 0xFF);
    EXPECT_EQ(mega128.defaultHighFuse(), 0xCB);
    EXPECT_EQ(mega128.defaultLowFuse(), 0x8F);
}

TEST(Identification, TheThirdByteDecidesBetweenRowsSharingTheFirstTwo) {
    q::fillDeviceTable();
    EXPECT_EQ(identify({0x1E, 0x94, 0x06}), 4); // ATmega168
    EXPECT_EQ(identify({0x1E, 0x94, 0x03}), 0); // ATmega16
    EXPECT_EQ(identify({0x1E, 0x95, 0x02}), 1); // ATmega32
    EXPECT_EQ(identify({0x1E, 0x97, 0x02}), 6); // ATmega128
    EXPECT_EQ(identify({0x1E, 0x92, 0x05}), 2);
    EXPECT_EQ(identify({0x1E, 0x93, 0x0A}), 3);
    EXPECT_EQ(identify({0x1E, 0x96, 0x09}), 5);
}

TEST(Identification, UnknownSignaturesMatchNoRow) {
    q::fillDeviceTable();
    EXPECT_EQ(identify({0xFF, 0xFF, 0xFF}), -1);
    EXPECT_EQ(identify({0x00, 0x00, 0x00}), -1);
    EXPECT_EQ(identify({0x1E, 0x94, 0x07}), -1);
    EXPECT_EQ(identify({0x94, 0x1E, 0x03}), -1); // right bytes, wrong places
}

TEST(Identification, RowsBeyondDeviceCountAreNeverConsulted) {
    q::fillDeviceTable();
    q::DeviceTable[7] = q::DeviceTable[0];
    q::DeviceTable[7].signature = {0x1E, 0x94, 0x07};
    EXPECT_EQ(identify({0x1E, 0x94, 0x07}), -1);
    q::DeviceTable[7] = q::DeviceRecord{};
}

TEST(Connect, IdentifiesTheTargetEvenWithoutTheEnableEcho) {
    ScriptedTarget target;
    q::targetReleased = 1;
    target.answerConnect(q::testing::atmega128, /*echo=*/0x00);
    q::connectTarget();
    EXPECT_EQ(q::targetReleased, 0);
    EXPECT_EQ(q::currentDevice, 6);
    EXPECT_EQ(target.instructions(), q::testing::connectInstructions());
    EXPECT_EQ(target.port.line(q::resetLine6), false) << "target held in reset";
}

TEST(DefaultFuses, Atmega16HoldsItsDefaultsOnlyWhenAllThreeMatch) {
    ScriptedTarget target;
    q::currentDevice = 0;
    target.answer({0xFF, 0xFF, 0xFF});
    EXPECT_EQ(q::defaultFusesSet(), 'd');
    EXPECT_EQ(target.instructions().size(), 3U) << "one readFuses";
    for (std::size_t differing = 0; differing < 3; ++differing) {
        std::array<uint8_t, 3> answers{0xFF, 0xFF, 0xFF};
        answers[differing] = 0xFE;
        target.answer({answers[0], answers[1], answers[2]});
        EXPECT_EQ(q::defaultFusesSet(), 'n') << "fuse " << differing << " differs";
    }
}

TEST(DefaultFuses, Atmega128ComparesExtendedHighLowWithPositionsOneTwoThree) {
    ScriptedTarget target;
    q::currentDevice = 6;
    target.answer({0x8F, 0xCB, 0xFF}); // low, high, extended as the chip answers them
    EXPECT_EQ(q::defaultFusesSet(), 'd');
    target.answer({0xFF, 0xCB, 0x8F}); // the two ends swapped
    EXPECT_EQ(q::defaultFusesSet(), 'n');
}

TEST(DefaultFuses, AnUnrecognisedTargetHasNoDefaultsSet) {
    ScriptedTarget target;
    q::currentDevice = -1;
    target.answer({0xFF, 0xFF, 0xFF});
    EXPECT_EQ(q::defaultFusesSet(), 'n');
    EXPECT_EQ(q::FuseTriple, (std::array<uint8_t, 3>{0xFF, 0xFF, 0xFF})) << "fuses still read";
}
