#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "image/hexfile.h"
#include "image/image.h"
#include "memory_test_support.h"

namespace q = quillon;
using q::testing::ScratchDir;
using q::testing::Stdout;

namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Bytes that are neither erased nor repeating within a record.
void fillPattern(int32_t length) {
    for (int32_t i = 0; i < length; ++i) {
        q::ReadBackBuffer[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i * 7 + (i >> 8));
    }
}

struct WriterTest : ::testing::Test {
    void SetUp() override { q::testing::freshMemoryState(); }
    ScratchDir dir;
};

} // namespace

TEST_F(WriterTest, WritesTheWorkedExampleByteForByte) {
    const std::vector<uint8_t> bytes{0x0C, 0x94, 0x2A, 0x00, 0x0C, 0x94, 0x34, 0x00, 0x0C, 0x94,
                                     0x34, 0x00, 0x0C, 0x94, 0x34, 0x00, 0x11, 0x24, 0x1F, 0xBE};
    std::copy(bytes.begin(), bytes.end(), q::ReadBackBuffer.begin());
    const std::string path = dir.file("example.hex");
    Stdout out;
    EXPECT_EQ(q::writeHexFile(path, 20), q::hexFileWritten);
    EXPECT_EQ(out.text(), "Write Flash/EEPROM data to " + path + "\n");
    EXPECT_EQ(q::testing::readFile(path), ":100000000c942a000c9434000c9434000c943400aa\n"
                                          ":0400100011241fbeda\n"
                                          ":00000001FF\n");
}

TEST_F(WriterTest, ShortImagesNeedNoAddressRecord) {
    q::ReadBackBuffer.fill(0xFF);
    const std::string path = dir.file("short.hex");
    Stdout out;
    (void)q::writeHexFile(path, 0);
    EXPECT_EQ(q::testing::readFile(path), ":00000001FF\n");
    (void)q::writeHexFile(path, -3);
    EXPECT_EQ(q::testing::readFile(path), ":00000001FF\n");
    (void)q::writeHexFile(path, 5);
    EXPECT_EQ(q::testing::readFile(path), ":05000000ffffffffff00\n:00000001FF\n");
    const std::string line = "Write Flash/EEPROM data to " + path + "\n";
    EXPECT_EQ(out.text(), line + line + line);
}

TEST_F(WriterTest, UnopenableFileWritesNothing) {
    const std::string path = dir.file("no/such/folder.hex");
    Stdout out;
    EXPECT_EQ(q::writeHexFile(path, 16), q::hexFileNotWritten);
    EXPECT_EQ(out.text(), "Can't open output file " + path + "\n");
    Stdout empty;
    EXPECT_EQ(q::writeHexFile("", 16), q::hexFileNotWritten);
    EXPECT_EQ(empty.text(), "Can't open output file \n");
}

TEST_F(WriterTest, AFullDiskIsReportedNotTakenForAWrittenFile) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full on this system";
    }
    fillPattern(65536);
    Stdout out;
    EXPECT_EQ(q::writeHexFile("/dev/full", 65536), q::hexFileNotWritten);
    EXPECT_EQ(out.text(), "Write Flash/EEPROM data to /dev/full\nERROR - Can't write all of "
                          "/dev/full: the file is incomplete, check the free space and the path\n");
}

namespace {

struct LengthCase {
    int32_t length;
    int32_t addressRecordType;
};

std::ostream& operator<<(std::ostream& os, const LengthCase& c) {
    return os << c.length << " bytes, type " << c.addressRecordType;
}

struct WriterLengthTest : ::testing::TestWithParam<LengthCase> {
    void SetUp() override { q::testing::freshMemoryState(); }
    ScratchDir dir;
};

// The address record expected after the data record at offset fff0 of block `block` - 1.
std::string addressLine(int32_t block, int32_t type) {
    if (type == 4) {
        return block == 1 ? ":020000040001f9" : ":020000040002f8";
    }
    return block == 1 ? ":020000021000ec" : ":020000022000dc";
}

int hexByte(const std::string& line, std::size_t at) {
    return std::stoi(line.substr(at, 2), nullptr, 16);
}

} // namespace

TEST_P(WriterLengthTest, WritesValidRecordsWithAddressRecordsAtEveryBlock) {
    const auto [length, type] = GetParam();
    q::CommandSettings.addressRecordType = type;
    fillPattern(length);
    const std::string path = dir.file("image.hex");
    Stdout out;
    ASSERT_EQ(q::writeHexFile(path, length), q::hexFileWritten);
    (void)out.text();
    const std::string text = q::testing::readFile(path);
    const std::vector<std::string> lines = linesOf(text);

    // Every line: lower-case digits, bytes that add up to 0; the end record closes the file.
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), ":00000001FF");
    std::vector<std::string> addressLines;
    int32_t expectedPos = 0;
    for (std::size_t n = 0; n + 1 < lines.size(); ++n) {
        const std::string& line = lines[n];
        ASSERT_EQ(line[0], ':') << line;
        ASSERT_EQ(line.find_first_not_of("0123456789abcdef", 1), std::string::npos) << line;
        int sum = 0;
        for (std::size_t i = 1; i < line.size(); i += 2) {
            sum += hexByte(line, i);
        }
        ASSERT_EQ(sum % 256, 0) << line;
        const int count = hexByte(line, 1);
        if (line.substr(7, 2) != "00") {
            addressLines.push_back(line);
            // It follows the record at offset fff0, whatever that record's length.
            EXPECT_EQ(hexByte(lines[n - 1], 3) * 256 + hexByte(lines[n - 1], 5), 0xFFF0);
            continue;
        }
        const int offset = hexByte(line, 3) * 256 + hexByte(line, 5);
        EXPECT_EQ(offset, expectedPos % 65536) << line;
        EXPECT_EQ(count, std::min(16, length - expectedPos)) << line;
        expectedPos += count;
    }
    EXPECT_EQ(expectedPos, std::max(length, 0));
    std::vector<std::string> expectedAddressLines;
    for (int32_t block = 1; block <= (length + 15) / 65536; ++block) {
        expectedAddressLines.push_back(addressLine(block, type));
    }
    EXPECT_EQ(addressLines, expectedAddressLines);

    // Read back by this program's own reader: the same length and bytes.
    const q::MemoryImage written = q::ReadBackBuffer;
    const q::HexLoad load = q::readHexText(text);
    EXPECT_EQ(load.loadLength, length);
    EXPECT_TRUE(
        std::equal(q::ImageBuffer.begin(), q::ImageBuffer.begin() + length, written.begin()));
    EXPECT_EQ(q::ImageBuffer[static_cast<std::size_t>(length)], 0xFF);
}

INSTANTIATE_TEST_SUITE_P(Writer, WriterLengthTest,
                         ::testing::Values(LengthCase{0, 4}, LengthCase{5, 4}, LengthCase{16, 2},
                                           LengthCase{65530, 4}, LengthCase{65530, 2},
                                           LengthCase{65536, 4}, LengthCase{65536, 2},
                                           LengthCase{65536 + 20, 4}, LengthCase{65536 + 20, 2},
                                           LengthCase{131072, 4}, LengthCase{131072, 2}));

// An independent implementation, Debian's srecord, reads every written file as valid Intel HEX
// with the same bytes.
TEST_P(WriterLengthTest, SrecordReadsTheSameBytes) {
    if (std::system("srec_cmp --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "srec_cmp not found: install Debian's srecord package to run this check";
    }
    const auto [length, type] = GetParam();
    if (length == 0) {
        return; // srecord refuses a file without data; the end record alone is checked above
    }
    q::CommandSettings.addressRecordType = type;
    fillPattern(length);
    const std::string hex = dir.file("image.hex");
    const std::string bin = dir.file("image.bin");
    Stdout out;
    ASSERT_EQ(q::writeHexFile(hex, length), q::hexFileWritten);
    (void)out.text();
    q::testing::writeFile(
        bin, std::string(q::ReadBackBuffer.begin(), q::ReadBackBuffer.begin() + length));
    const std::string command = "srec_cmp '" + hex + "' -Intel '" + bin + "' -Binary";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}
