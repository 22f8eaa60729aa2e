#include <gtest/gtest.h>

#include "image/hexfile.h"
#include "image/image.h"
#include "memory_test_support.h"

namespace q = quillon;
using q::testing::hexRecord;
using q::testing::ScratchDir;
using q::testing::Stdout;

namespace {

struct LoadCommandTest : ::testing::Test {
    void SetUp() override { q::testing::freshMemoryState(); }
    ScratchDir dir;
};

} // namespace

TEST_F(LoadCommandTest, LoadsQuietlyAndResetsTheSettingsWhenVerifying) {
    const std::string path = dir.file("a.hex");
    q::testing::writeFile(path, hexRecord(0, 0, {1}) + hexRecord(0, 2, {3}));
    q::CommandSettings.fillByte = 0x00; // "sf00" serves this load, then falls back
    Stdout out;
    q::loadImage(path);
    EXPECT_EQ(out.text(), "");
    EXPECT_EQ(q::ImageBuffer[0], 1);
    EXPECT_EQ(q::ImageBuffer[1], 0x00);
    EXPECT_EQ(q::ImageBuffer[2], 3);
    EXPECT_EQ(q::CommandSettings.fillByte, 0xFF);
    EXPECT_EQ(q::CommandSettings.verifyMode, 'v');
    EXPECT_EQ(q::CommandSettings.downloadFileName, "");
    EXPECT_EQ(q::CommandSettings.downloadFile, nullptr);
}

TEST_F(LoadCommandTest, KeepsTheSettingsWithVerificationOff) {
    const std::string path = dir.file("a.hex");
    q::testing::writeFile(path, hexRecord(0, 0, {1}));
    q::CommandSettings.verifyMode = 'n';
    q::CommandSettings.fillByte = 0x12;
    q::loadImage(path);
    EXPECT_EQ(q::ImageBuffer[1], 0x12);
    EXPECT_EQ(q::CommandSettings.verifyMode, 'n');
    EXPECT_EQ(q::CommandSettings.fillByte, 0x12);
    EXPECT_EQ(q::CommandSettings.downloadFileName, path);
}

TEST_F(LoadCommandTest, MissingFileLeavesTheImageAsItWas) {
    q::fillImageBuffer(0x77);
    Stdout out;
    q::loadImage(dir.file("missing.hex"));
    q::loadImage("");
    EXPECT_EQ(out.text(), "Can't open download file\nCan't open download file\n");
    EXPECT_EQ(q::ImageBuffer[0], 0x77);
    EXPECT_EQ(q::CommandSettings.downloadFileName, "");
}

TEST_F(LoadCommandTest, RefusesAFileThatReachesOutsideTheImage) {
    const std::string path = dir.file("far.hex");
    q::testing::writeFile(path, hexRecord(4, 0, {0x00, 0x08}) + hexRecord(0, 0x10, {1}));
    Stdout out;
    EXPECT_EQ(q::loadDownloadFile(path), std::nullopt);
    EXPECT_EQ(out.text(), "ERROR - " + path +
                              " has data at address 524304, outside the 364000-byte image: file "
                              "not loaded, check its address records\n");
    EXPECT_EQ(q::CommandSettings.downloadFile, nullptr); // closed all the same
}

TEST_F(LoadCommandTest, RefusesAFolderGivenAsTheFile) {
    Stdout out;
    EXPECT_EQ(q::loadDownloadFile(dir.file("")), std::nullopt);
    const std::string text = out.text();
    // Opening a folder for reading fails on some systems and succeeds (reads then fail) on
    // others: either way nothing counts as loaded.
    EXPECT_TRUE(text == "Can't open download file\n" ||
                text == "Can't read download file " + dir.file("") +
                            ": file not loaded, check that it is a readable file\n")
        << text;
}

TEST_F(LoadCommandTest, LoadLengthComesFromTheFile) {
    const std::string path = dir.file("a.hex");
    q::testing::writeFile(path, hexRecord(0, 0x100, std::vector<uint8_t>(16, 0)) +
                                    hexRecord(0, 0, std::vector<uint8_t>(16, 0)));
    EXPECT_EQ(q::loadDownloadFile(path), 16);
    EXPECT_EQ(q::CommandSettings.downloadFileName, path);
}

TEST_F(LoadCommandTest, RefusesABinaryFileGivenForTheHexFile) {
    // A raw image: a ':' among its bytes would otherwise start made-up records, and without one
    // the empty load would let "df" erase the chip.
    const std::string path = dir.file("prog.bin");
    q::testing::writeFile(path, std::string("\x0c\x94\x2a\x00:1000", 8) + hexRecord(0, 0, {1}));
    Stdout out;
    EXPECT_EQ(q::loadDownloadFile(path), std::nullopt);
    EXPECT_EQ(out.text(), "ERROR - " + path +
                              " is not an Intel HEX file (it holds binary data): file not loaded, "
                              "give the .hex file\n");
    EXPECT_EQ(q::readHexText(hexRecord(0, 0, {1}) + std::string(":0\0", 3)).status,
              q::HexLoadStatus::binary); // a NUL inside a field as well
    EXPECT_EQ(q::readHexText(hexRecord(0, 0, {1}) + "\x1a").status, q::HexLoadStatus::loaded);
}
