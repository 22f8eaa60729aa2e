#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "image/hexfile.h"
#include "image/image.h"
#include "memory_test_support.h"

namespace q = quillon;
using q::HexLoadStatus;
using q::testing::hexRecord;

namespace {

std::vector<uint8_t> counting(int n, int from = 0) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < n; ++i) {
        bytes.push_back(static_cast<uint8_t>(from + i));
    }
    return bytes;
}

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

struct ReaderCase {
    std::string name;
    std::string text;
    int32_t loadLength;
    std::map<int, std::vector<uint8_t>> bytes; // runs of bytes expected from an address on
    std::vector<int> fillAt = {};              // addresses expected to hold the fill byte
    uint8_t fill = 0xFF;
};

std::ostream& operator<<(std::ostream& os, const ReaderCase& c) {
    return os << c.name;
}

const std::string sixteenAt100 = hexRecord(0, 0x0100, counting(16, 0x40));

const std::vector<ReaderCase> readerCases{
    {"NoRecordLoadsNothing", "no records here\r\njust text\n", 0, {}, {0, 1000, 363999}},
    {"RecordLandsAtItsOffset", sixteenAt100, 272, {{256, counting(16, 0x40)}}, {255, 272}},
    {"LoadLengthFollowsTheLastRecordInFileOrder",
     sixteenAt100 + hexRecord(0, 0, counting(16)),
     16,
     {{0, counting(16)}, {256, counting(16, 0x40)}}},
    {"LinearAddressRecordSetsTheBase",
     hexRecord(4, 0, {0x00, 0x01}) + hexRecord(0, 0x10, {1, 2, 3, 4}),
     65556,
     {{65552, {1, 2, 3, 4}}},
     {16, 65551, 65556}},
    {"SegmentAddressRecordSetsTheBase",
     hexRecord(2, 0, {0x10, 0x00}) + hexRecord(0, 0x10, {1, 2, 3, 4}),
     65556,
     {{65552, {1, 2, 3, 4}}}},
    {"OffsetRunsOnPast64KiB", hexRecord(0, 0xFFF8, counting(16)), 65544, {{65528, counting(16)}}},
    {"RecordsAfterTheEndRecordStillLoad",
     hexRecord(0, 0, {9}) + ":00000001FF\n" + hexRecord(0, 0x20, {7, 8}),
     0x22,
     {{0, {9}}, {0x20, {7, 8}}}},
    {"OtherRecordTypesChangeNothing",
     hexRecord(3, 0, {0x12, 0x34, 0x56, 0x78}) + hexRecord(5, 0, {0, 0, 1, 0}) +
         hexRecord(0, 8, {1}),
     9,
     {{8, {1}}},
     {0, 1, 2, 3}},
    {"LowerCaseDigitsLoadTheSame",
     lower(hexRecord(0, 0xAB0, {0xAB, 0xCD, 0xEF})),
     0xAB3,
     {{0xAB0, {0xAB, 0xCD, 0xEF}}}},
    {"LineEndsBlankLinesAndTextBetweenRecordsAreSkipped",
     "header line\r\n\r\n" + hexRecord(0, 0, {1, 2}) + "\r\n\n  comment\t\n" +
         hexRecord(0, 2, {3, 4}) + "trailing text",
     4,
     {{0, {1, 2, 3, 4}}}},
    {"AColonInsideTextStartsARecord", "note:0200000012340\n", 2, {{0, {0x12, 0x34}}}},
    {"GapsHoldTheFillByte",
     hexRecord(0, 0, {1}) + hexRecord(0, 4, {2}),
     5,
     {{0, {1, 0, 0, 0, 2}}},
     {5},
     0x00},
    {"ChecksumsAreNotChecked", ":0200000012340000\n", 2, {{0, {0x12, 0x34}}}},
    {"LongRecordsLoadLikeShortOnes", hexRecord(0, 0, counting(255)), 255, {{0, counting(255)}}},
    {"RecordMayEndExactlyAtTheImageEnd",
     hexRecord(4, 0, {0x00, 0x05}) + hexRecord(0, 0x8DD0, counting(16)),
     q::imageBufferBytes,
     {{363984, counting(16)}}},

    // Fields are converted as "%x" converts them.
    {"FieldStopsAtItsFirstNonDigit", ":1G0000000102\n", 1, {{0, {0x01}}}, {1}},
    {"DataByteWithoutANumberHoldsTheFillByte",
     ":03000000G5zz07\n",
     3,
     {{0, {0xA5, 0xA5, 0x07}}},
     {},
     0xA5},
    {"FieldsAcceptSignSpaceAndPrefix", ":03000000 5-10x\n", 3, {{0, {0x05, 0xFF, 0x00}}}},
    {"FirstRecordFieldsWithoutANumberReadZero", ":zzzzzzzz\n:zz\n", 0, {}, {0}},
    {"TypeWithoutANumberKeepsTheRecordBefore",
     hexRecord(0, 0, {1}) + ":010010GG07\n", // type GG: a data record like the one before
     0x11,
     {{0, {1}}, {0x10, {7}}}},
    {"OffsetWithoutANumberKeepsTheRecordBefore",
     hexRecord(0, 0x40, {1}) + ":01 zz 0002\n",
     0x41,
     {{0x40, {0x02}}}},
    {"AddressValueWithoutANumberShiftsTheBaseAgain",
     hexRecord(2, 0, {0x00, 0x01}) + ":02000002zzzz00\n" + hexRecord(0, 0, {5}),
     257,
     {{256, {5}}}}, // base 0x10, shifted once more by 4
    {"ShortLineTakesTheNextLineAsFields",
     ":0200000012\n:0100030077\n" + hexRecord(0, 8, {9}),
     9,
     {{0, {0x12, 0xFF}}, {8, {9}}},
     {3}}, // the second record was eaten by the first's second byte
    {"EndOfInputInsideARecordFinishesIt", ":0400000012", 4, {{0, {0x12, 0xFF, 0xFF, 0xFF}}}},
};

struct ReaderTableTest : ::testing::TestWithParam<ReaderCase> {
    void SetUp() override { q::testing::freshMemoryState(); }
};

} // namespace

TEST_P(ReaderTableTest, LoadsTheImage) {
    const ReaderCase& c = GetParam();
    q::CommandSettings.fillByte = c.fill;
    q::fillImageBuffer(0x5A); // anything the reader doesn't overwrite shows
    const q::HexLoad load = q::readHexText(c.text);
    EXPECT_EQ(load.status, HexLoadStatus::loaded);
    EXPECT_EQ(load.loadLength, c.loadLength);
    for (const auto& [address, run] : c.bytes) {
        for (std::size_t i = 0; i < run.size(); ++i) {
            EXPECT_EQ(q::ImageBuffer[static_cast<std::size_t>(address) + i], run[i])
                << "address " << address + static_cast<int>(i);
        }
    }
    for (int address : c.fillAt) {
        EXPECT_EQ(q::ImageBuffer[static_cast<std::size_t>(address)], c.fill)
            << "address " << address;
    }
}

INSTANTIATE_TEST_SUITE_P(Reader, ReaderTableTest, ::testing::ValuesIn(readerCases),
                         [](const auto& info) { return info.param.name; });

namespace {

struct RefusalCase {
    std::string name;
    std::string text;
    int64_t outsideAddress;
};

std::ostream& operator<<(std::ostream& os, const RefusalCase& c) {
    return os << c.name;
}

const std::vector<RefusalCase> refusalCases{
    {"BaseBeyondTheImage", hexRecord(4, 0, {0x00, 0x06}) + hexRecord(0, 0, {1}), 393216},
    {"RecordCrossingTheImageEnd",
     hexRecord(4, 0, {0x00, 0x05}) + hexRecord(0, 0x8DD6, counting(16)), q::imageBufferBytes},
    {"LongRecordCrossingTheImageEnd",
     hexRecord(4, 0, {0x00, 0x05}) + hexRecord(0, 0x8D00, counting(255)), q::imageBufferBytes},
    {"SegmentBaseBeyondTheImage", hexRecord(2, 0, {0xFF, 0xFF}) + hexRecord(0, 0, {1}), 1048560},
    {"NegativeOffset", ":01-FFF0001\n", -4095},
    {"EmptyRecordBeyondTheImage", hexRecord(4, 0, {0x00, 0x10}) + hexRecord(0, 0, {}), 1048576},
    {"BaseShiftedOutOfRange",
     hexRecord(4, 0, {0x00, 0x01}) + ":02000004zzzz00\n" + hexRecord(0, 0, {1}), int64_t{1} << 32},
    {"BaseShiftedManyTimesStaysOutside",
     hexRecord(4, 0, {0x00, 0x01}) + ":02000004zzzz00\n:02000004zzzz00\n:02000004zzzz00\n" +
         hexRecord(0, 0, {1}),
     int64_t{1} << 40},
};

struct RefusalTest : ::testing::TestWithParam<RefusalCase> {
    void SetUp() override { q::testing::freshMemoryState(); }
};

} // namespace

TEST_P(RefusalTest, StopsWithoutWritingOutsideTheImage) {
    const RefusalCase& c = GetParam();
    // The sanitized build of this test catches any write outside ImageBuffer.
    const q::HexLoad load = q::readHexText(hexRecord(0, 0, {0x42}) + c.text);
    EXPECT_EQ(load.status, HexLoadStatus::outsideImage);
    EXPECT_EQ(load.outsideAddress, c.outsideAddress);
    EXPECT_EQ(q::ImageBuffer[0], 0x42);
    EXPECT_EQ(q::ImageBuffer[q::imageBufferBytes - 1], 0xFF);
}

INSTANTIATE_TEST_SUITE_P(Reader, RefusalTest, ::testing::ValuesIn(refusalCases),
                         [](const auto& info) { return info.param.name; });

TEST(ReaderStateTest, EveryReadStartsAtBaseZeroWithFreshFields) {
    q::testing::freshMemoryState();
    (void)q::readHexText(hexRecord(4, 0, {0x00, 0x01}) + hexRecord(0, 0x30, {1}));
    const q::HexLoad load = q::readHexText(":01zzzzzz07\n"); // fields without numbers read 0
    EXPECT_EQ(load.loadLength, 1);
    EXPECT_EQ(q::ImageBuffer[0], 0x07);
    EXPECT_EQ(q::ImageBuffer[65536 + 0x30], 0xFF); // the first load's byte is gone
}

// Files from a real toolchain: avr-gcc's objcopy output, with the raw images objcopy made from
// the same programs (tests/data/avr/build.sh).
TEST(ReaderToolchainTest, LoadsAvrObjcopyFilesByteForByte) {
    struct File {
        std::string hex;
        std::string bin;
    };
    for (const File& f :
         {File{"blink16.hex", "blink16.bin"}, File{"blink16_eeprom.hex", "blink16_eeprom.bin"},
          File{"table128.hex", "table128.bin"}}) {
        SCOPED_TRACE(f.hex);
        q::testing::freshMemoryState();
        const std::string bin = q::testing::readFile(q::testing::dataFile("avr/" + f.bin));
        ASSERT_FALSE(bin.empty());
        std::FILE* stream = std::fopen(q::testing::dataFile("avr/" + f.hex).c_str(), "r");
        ASSERT_NE(stream, nullptr);
        const q::HexLoad load = q::readHexStream(stream);
        std::fclose(stream);
        EXPECT_EQ(load.status, HexLoadStatus::loaded);
        EXPECT_EQ(load.loadLength, static_cast<int32_t>(bin.size()));
        EXPECT_TRUE(std::equal(bin.begin(), bin.end(), q::ImageBuffer.begin(),
                               [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; }));
        EXPECT_EQ(q::ImageBuffer[bin.size()], 0xFF);
    }
}
