#include <gtest/gtest.h>

#include "fake_port.h"
#include "image/hexfile.h"
#include "image/image.h"
#include "instruction_log.h"
#include "memory_test_support.h"

namespace q = quillon;
using q::testing::FakePort;
using q::testing::ScratchDir;
using q::testing::Stdout;

namespace {

struct UploadCommandTest : ::testing::Test {
    void SetUp() override {
        q::testing::freshMemoryState();
        port.misoDefault = true; // the memory reads erased beyond the queued bytes
    }
    FakePort port;
    ScratchDir dir;
};

} // namespace

TEST_F(UploadCommandTest, FlashUploadOfTheWorkedExample) {
    q::currentDevice = q::testing::atmega16;
    q::testing::queueReadBack(port, {0x0C, 0x94, 0x2A, 0x00, 0x0C, 0x94, 0x34, 0x00, 0x0C, 0x94,
                                     0x34, 0x00, 0x0C, 0x94, 0x34, 0x00, 0x11, 0x24, 0x1F, 0xBE},
                              16384, q::currentDevice);
    const std::string path = dir.file("out.hex");
    q::CommandSettings.verifyMode = 'n';
    Stdout out;
    q::uploadFlash(path);
    EXPECT_EQ(out.text(), "Read 16384 target flash bytes\n"
                          "Last data value in buffer = 14 20\n"
                          "Write Flash/EEPROM data to " +
                              path + "\n");
    EXPECT_EQ(q::testing::readFile(path), ":100000000c942a000c9434000c9434000c943400aa\n"
                                          ":0400100011241fbeda\n"
                                          ":00000001FF\n");
    // Load Extended Address 0, then the words low byte first in rising order.
    const std::vector<std::string> log = q::testing::instructionLog(port);
    ASSERT_EQ(log.size(), 1U + 16384U + 3U); // and the signature, read again
    EXPECT_EQ(
        std::vector<std::string>(log.begin(), log.begin() + 5),
        (std::vector<std::string>{"4d000000", "20000000", "28000000", "20000100", "28000100"}));
    EXPECT_EQ(log[16384], "281fff00");
    EXPECT_EQ(log.back(), "30000200");
    EXPECT_EQ(q::CommandSettings.verifyMode, 'v'); // the settings are reset
    EXPECT_EQ(q::CommandSettings.uploadFileName, "");
}

TEST_F(UploadCommandTest, BlankFlashUploadsWhole) {
    q::currentDevice = q::testing::atmega48;
    q::testing::queueReadBack(port, {}, 4096, q::currentDevice);
    const std::string path = dir.file("blank.hex");
    Stdout out;
    q::uploadFlash(path);
    EXPECT_EQ(out.text(), "Read 4096 target flash bytes\n"
                          "Last data value in buffer = 1000 4096\n"
                          "Write Flash/EEPROM data to " +
                              path + "\n");
    const std::string text = q::testing::readFile(path);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 257);
    EXPECT_EQ(text.substr(0, 44), ":10000000ffffffffffffffffffffffffffffffff00\n");
}

TEST_F(UploadCommandTest, EepromUploadHasNoLastValueLine) {
    q::currentDevice = q::testing::atmega48;
    q::testing::queueReadBack(port, {1, 2, 3, 4, 5}, 256, q::currentDevice);
    const std::string path = dir.file("ee.hex");
    Stdout out;
    q::uploadEeprom(path);
    EXPECT_EQ(out.text(),
              "Read 256 target EEPROM bytes\nWrite Flash/EEPROM data to " + path + "\n");
    EXPECT_EQ(q::testing::readFile(path), ":050000000102030405ec\n:00000001FF\n");
    const std::vector<std::string> log = q::testing::instructionLog(port);
    ASSERT_EQ(log.size(), 256U + 3U);
    EXPECT_EQ(log[0], "a0000000");
    EXPECT_EQ(log[255], "a000ff00");
}

TEST_F(UploadCommandTest, EmptyFileNameStillReadsThenSaysSo) {
    q::currentDevice = q::testing::atmega48;
    q::testing::queueReadBack(port, {}, 256, q::currentDevice);
    Stdout out;
    q::uploadEeprom("");
    EXPECT_EQ(out.text(), "Read 256 target EEPROM bytes\nCan't open output file \n");
}

TEST_F(UploadCommandTest, UnrecognisedTargetIsNeitherReadNorWritten) {
    q::currentDevice = -1;
    q::CommandSettings.verifyMode = 'n';
    const std::string path = dir.file("never.hex");
    Stdout out;
    q::uploadFlash(path);
    q::uploadEeprom(path);
    EXPECT_EQ(out.text(),
              "ERROR - Target processor unrecognized: flash upload skipped, check the cable, the "
              "target's power and that it is a supported ATmega\n"
              "ERROR - Target processor unrecognized: EEPROM upload skipped, check the cable, the "
              "target's power and that it is a supported ATmega\n");
    EXPECT_TRUE(port.calls.empty());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(q::CommandSettings.verifyMode, 'v');
}

TEST_F(UploadCommandTest, ATargetThatStoppedAnsweringLeavesTheFileAlone) {
    q::currentDevice = q::testing::atmega48;
    const std::string path = dir.file("kept.hex");
    q::testing::writeFile(path, "earlier upload\n");
    Stdout out;
    q::uploadFlash(path); // MISO reads 1 throughout: the signature too
    EXPECT_EQ(out.text(), "Read 4096 target flash bytes\n"
                          "Last data value in buffer = 1000 4096\n"
                          "ERROR - Target stopped answering (signature now ff ff ff): check the "
                          "cable and the target's power, then repeat the command\n"
                          "ERROR - " +
                              path + " not written\n");
    EXPECT_EQ(q::testing::readFile(path), "earlier upload\n");
    EXPECT_EQ(q::CommandSettings.uploadFileName, ""); // the settings are reset all the same
}
