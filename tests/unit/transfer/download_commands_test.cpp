#include <gtest/gtest.h>

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
using q::testing::hexRecord;
using q::testing::ScratchDir;
using q::testing::Stdout;
using Log = std::vector<std::string>;

namespace {

// Data bytes that are never 0xFF, so an erased byte always differs from them.
std::vector<uint8_t> dataBytes(int n) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < n; ++i) {
        bytes.push_back(static_cast<uint8_t>(0x10 + i % 0x80));
    }
    return bytes;
}

// An Intel HEX text holding bytes from address 0 on, 16 to a record.
std::string hexText(const std::vector<uint8_t>& bytes, int from = 0) {
    std::string text;
    for (std::size_t at = 0; at < bytes.size(); at += 16) {
        const auto end = std::min(bytes.size(), at + 16);
        text += hexRecord(0, from + static_cast<int>(at),
                          std::vector<uint8_t>(bytes.begin() + static_cast<long>(at),
                                               bytes.begin() + static_cast<long>(end)));
    }
    return text + ":00000001FF\n";
}

// An ATmega48 held in programming mode: 4096 bytes of flash in 32-word pages, 256 of EEPROM.
struct DownloadTest : ::testing::Test {
    void SetUp() override {
        q::testing::freshMemoryState();
        q::testing::recordedWaits.clear();
        q::currentDevice = q::testing::atmega48;
    }
    std::string file(const std::vector<uint8_t>& bytes) {
        const std::string path = dir.file("image.hex");
        q::testing::writeFile(path, hexText(bytes));
        return path;
    }
    // The target answers the read-back of memoryBytes with these bytes, then erased bytes,
    // then still answers with its signature.
    void readBackGives(const std::vector<uint8_t>& bytes, int32_t memoryBytes = 4096) {
        q::testing::queueReadBack(port, bytes, memoryBytes, q::testing::atmega48);
    }
    [[nodiscard]] Log log() const {
        return q::testing::instructionLog(port, q::testing::recordedWaits);
    }
    FakePort port;
    ScratchDir dir;
};

const std::string unrecognised = "ERROR - Target processor unrecognized: %s skipped, check the "
                                 "cable, the target's power and that it is a supported ATmega\n";

std::string unrecognisedLine(const std::string& command) {
    std::string line = unrecognised;
    return line.replace(line.find("%s"), 2, command);
}

} // namespace

TEST_F(DownloadTest, FlashDownloadErasesProgramsAndVerifies) {
    const std::vector<uint8_t> bytes = dataBytes(100);
    const std::string path = file(bytes);
    readBackGives(bytes);
    Stdout out;
    q::downloadFlash(path);
    EXPECT_EQ(out.text(), "load file length = 100\nErase chip\nProgramming\n"
                          "100 bytes written to target\nRead back target to verify\n"
                          "Read 4096 target flash bytes\nTarget matches " +
                              path + "\n");
    const Log sent = log();
    ASSERT_EQ(sent.size(), 2U + 1U + 100U + 4U + 1U + 4096U + 3U);
    EXPECT_EQ(Log(sent.begin(), sent.begin() + 4),
              (Log{"ac800000", "wait 14000", "4d000000", "40000010"}));
    EXPECT_EQ(Log(sent.begin() + 67, sent.begin() + 69), (Log{"4c000000", "wait 9500"}));
    EXPECT_EQ(Log(sent.begin() + 105, sent.begin() + 109),
              (Log{"4c002000", "wait 10500", "4d000000", "20000000"}));
    EXPECT_EQ(q::CommandSettings.downloadFileName, ""); // the settings are reset
}

TEST_F(DownloadTest, FlashPagesThatReadBackErasedFailTheVerification) {
    // The image's last pages didn't program: they read erased, and the read-back's trimmed
    // length alone would stop before them.
    const std::vector<uint8_t> bytes = dataBytes(200);
    const std::string path = file(bytes);
    readBackGives(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 128));
    Stdout out;
    q::downloadFlash(path);
    const std::string text = out.text();
    EXPECT_TRUE(text.ends_with("Read 4096 target flash bytes\n72 bytes mismatched\n"
                               "ERROR - Target does not match " +
                               path + "\n"))
        << text;
}

TEST_F(DownloadTest, FlashVerificationSeesDataBeyondTheImage) {
    const std::vector<uint8_t> bytes = dataBytes(16);
    const std::string path = file(bytes);
    std::vector<uint8_t> chip = bytes;
    chip.resize(300, 0xFF);
    chip[299] = 0x00; // left over where the image holds the fill byte
    readBackGives(chip);
    Stdout out;
    q::downloadFlash(path);
    EXPECT_TRUE(
        out.text().ends_with("1 bytes mismatched\nERROR - Target does not match " + path + "\n"));
}

TEST_F(DownloadTest, FlashDownloadOfAnEmptyFileStillErases) {
    const std::string path = file({});
    readBackGives({});
    Stdout out;
    q::downloadFlash(path);
    EXPECT_EQ(out.text(), "load file length = 0\nErase chip\nProgramming\n"
                          "0 bytes written to target\nRead back target to verify\n"
                          "Read 4096 target flash bytes\nTarget matches " +
                              path + "\n");
    const Log sent = log();
    EXPECT_EQ(Log(sent.begin(), sent.begin() + 4),
              (Log{"ac800000", "wait 14000", "4d000000", "4d000000"}));
}

TEST_F(DownloadTest, NoVerificationSkipsTheReadBackForThisDownloadOnly) {
    const std::string path = file(dataBytes(64));
    q::CommandSettings.verifyMode = 'n';
    Stdout out;
    q::downloadFlash(path);
    EXPECT_EQ(out.text(), "load file length = 64\nErase chip\nProgramming\n"
                          "64 bytes written to target\n");
    EXPECT_EQ(log().back(), "wait 9500");
    EXPECT_EQ(q::CommandSettings.verifyMode, 'v');
}

TEST_F(DownloadTest, FilesThatDontLoadLeaveTheChipAlone) {
    struct Case {
        std::string name;
        std::string text; // empty: the file doesn't exist
        std::string output;
    };
    const std::string path = dir.file("image.hex");
    const std::vector<Case> cases{
        {"missing", "", "Can't open download file\n"},
        {"outside the image", hexRecord(4, 0, {0x00, 0x07}) + hexRecord(0, 0, {1}),
         "ERROR - " + path +
             " has data at address 458752, outside the 364000-byte image: file not loaded, "
             "check its address records\n"},
        {"larger than the flash", hexText(dataBytes(16), 4096),
         "load file length = 4112\nERROR - The image of 4112 bytes is larger than the 4096-byte "
         "flash of the ATmega48: chip not erased, use a file made for this device\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(path);
        if (!c.text.empty()) {
            q::testing::writeFile(path, c.text);
        }
        q::CommandSettings.fillByte = 0x00;
        Stdout out;
        q::downloadFlash(path);
        EXPECT_EQ(out.text(), c.output);
        EXPECT_TRUE(port.calls.empty()); // no erase, no programming, no verification
        EXPECT_EQ(q::CommandSettings.fillByte, 0xFF);
    }
}

TEST_F(DownloadTest, UnrecognisedTargetGetsNoMemoryInstruction) {
    q::currentDevice = -1;
    const std::string path = file(dataBytes(16));
    q::CommandSettings.verifyMode = 'n';
    Stdout out;
    q::downloadFlash(path);
    q::downloadEeprom(path);
    EXPECT_EQ(out.text(), unrecognisedLine("flash download") + unrecognisedLine("EEPROM download"));
    EXPECT_TRUE(port.calls.empty());
    EXPECT_EQ(q::CommandSettings.verifyMode, 'v');
}

TEST_F(DownloadTest, EepromDownloadWritesWithoutEraseAndVerifiesTheImageOnly) {
    const std::vector<uint8_t> bytes{1, 2, 3};
    const std::string path = file(bytes);
    readBackGives({1, 2, 3, 0x44, 0x55}, 256); // older data beyond the image stays
    Stdout out;
    q::downloadEeprom(path);
    EXPECT_EQ(out.text(), "load file length = 3\nProgramming\nBytes written to target 3\n"
                          "Read back target to verify\nRead 256 target EEPROM bytes\n"
                          "Target matches " +
                              path + "\n");
    const Log sent = log();
    EXPECT_EQ(Log(sent.begin(), sent.begin() + 7),
              (Log{"c0000001", "wait 11500", "c0000102", "wait 11500", "c0000203", "wait 11500",
                   "a0000000"}));
    EXPECT_EQ(sent.size(), 6U + 256U + 3U);
}

TEST_F(DownloadTest, EepromMismatchInsideTheImageFails) {
    const std::string path = file({1, 2, 3});
    readBackGives({1, 9, 3}, 256);
    Stdout out;
    q::downloadEeprom(path);
    EXPECT_TRUE(
        out.text().ends_with("1 bytes mismatched\nERROR - Target does not match " + path + "\n"));
}

TEST_F(DownloadTest, EepromImageLargerThanTheEepromIsRefused) {
    const std::string path = file(dataBytes(257));
    Stdout out;
    q::downloadEeprom(path);
    EXPECT_EQ(out.text(), "load file length = 257\nERROR - The image of 257 bytes is larger than "
                          "the 256-byte EEPROM of the ATmega48: nothing written, use a file made "
                          "for this device\n");
    EXPECT_TRUE(port.calls.empty());
}

TEST_F(DownloadTest, ATargetThatStoppedAnsweringNeverMatches) {
    // An erasing download of an empty file from a target that went silent after identification:
    // the read-back is 0xFF throughout, as the image is, but the signature now reads ff ff ff.
    const std::string path = file({});
    port.misoDefault = true;
    Stdout out;
    q::downloadFlash(path);
    q::downloadEeprom(path);
    const std::string lost = "ERROR - Target stopped answering (signature now ff ff ff): check "
                             "the cable and the target's power, then repeat the command\n"
                             "ERROR - Target does not match " +
                             path + "\n";
    EXPECT_EQ(out.text(), "load file length = 0\nErase chip\nProgramming\n"
                          "0 bytes written to target\nRead back target to verify\n"
                          "Read 4096 target flash bytes\n" +
                              lost +
                              "load file length = 0\nProgramming\nBytes written to target 0\n"
                              "Read back target to verify\nRead 256 target EEPROM bytes\n" +
                              lost);
}
