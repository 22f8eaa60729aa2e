// SPDX-License-Identifier: MIT
// The Arduino programmer (io/arduino) against the emulated ArduinoISP sketch on a
// pseudo-terminal, a simulated ATmega behind it: what reaches the chip, what comes back, what
// goes over the line, and the line it gives when something goes wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <thread>

#include "arduino_isp.h"
#include "sim/arduino_sketch.h"

namespace {

using quillon::arduino::ArduinoIsp;
using quillon::sim::ArduinoSketch;
using quillon::sim::SketchOptions;
using namespace std::chrono_literals;

quillon::arduino::Timing quick() {
    quillon::arduino::Timing timing;
    timing.syncAnswer = 150ms;
    timing.quiet = 30ms;
    timing.answerGap = 400ms;
    timing.syncTries = 6;
    return timing;
}

struct Rig {
    explicit Rig(const std::string& device, const SketchOptions& faults = {}, uint32_t baud = 19200)
        : sketch(config(device), faults), isp({sketch.port(), baud}, quick()) {}
    static quillon::sim::Config config(const std::string& device) {
        quillon::sim::Config config;
        config.device = device;
        return config;
    }
    // Opens the line and enters programming mode: the echo, or 0 when either failed.
    uint8_t start() {
        uint8_t echo = 0;
        return isp.open() == IO_OK && isp.enable(echo) == IO_OK ? echo : 0;
    }
    [[nodiscard]] int count(uint8_t command) {
        return static_cast<int>(std::ranges::count(sketch.statistics().commands, command));
    }
    ArduinoSketch sketch;
    ArduinoIsp isp;
};

std::vector<uint8_t> pattern(std::size_t length, uint8_t seed) {
    std::vector<uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
    }
    return bytes;
}

int32_t stopAfterFirst(uint32_t, void*) {
    return 1;
}

} // namespace

// ---- Flash: written in PROG_PAGE blocks, read back in READ_PAGE blocks ----------------------

struct FlashCase {
    const char* name;
    const char* device;
    uint32_t address;
    uint32_t length;
    uint32_t pageBytes;
    int progPages;     // PROG_PAGE commands the write takes
    int loadAddresses; // LOAD_ADDRESS commands, write and read together
    int universals;    // the signature check and each Load Extended Address
};

// Rows show by name in test listings.
void PrintTo(const FlashCase& c, std::ostream* out) {
    *out << c.name;
}

class Flash : public testing::TestWithParam<FlashCase> {};

TEST_P(Flash, WrittenWhereAskedAndReadBackWithAsFewCommandsAsTheSketchAllows) {
    const FlashCase& c = GetParam();
    Rig rig(c.device);
    ASSERT_EQ(rig.start(), 0x53) << rig.isp.error();
    const auto image = pattern(c.length, static_cast<uint8_t>(c.address >> 8));
    ASSERT_EQ(rig.isp.writeFlash(c.address, image, c.pageBytes, nullptr, nullptr), IO_OK)
        << rig.isp.error();
    std::vector<uint8_t> back(c.length + 1); // from the byte before, at an odd address
    ASSERT_EQ(rig.isp.readMemory(IO_FLASH, c.address - 1, back, nullptr, nullptr), IO_OK);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), back.begin() + 1));
    EXPECT_EQ(back.front(), 0xFF);
    ASSERT_EQ(rig.isp.release(), IO_OK);
    rig.sketch.withBoard([&](quillon::sim::Board& board) {
        EXPECT_FALSE(board.programmingEnabled());
        const auto& flash = board.chip().flash;
        EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin() + c.address));
        EXPECT_EQ(flash[c.address - 1], 0xFF);
        EXPECT_TRUE(c.address + c.length == flash.size() || flash[c.address + c.length] == 0xFF);
    });
    EXPECT_EQ(rig.count(0x64), c.progPages);
    EXPECT_EQ(rig.count('U'), c.loadAddresses);
    EXPECT_EQ(rig.count('V'), c.universals);
    EXPECT_EQ(rig.count('B'), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Arduino, Flash,
    testing::Values(
        FlashCase{"SmallPagesSpannedByEachBlock", "ATmega328P", 0x100, 1000, 128, 4, 2, 1},
        FlashCase{"LastPageOfAnATmega16", "ATmega16", 0x3F80, 128, 128, 1, 2, 1},
        FlashCase{"AcrossTheFirst128KiBOfAnATmega2560", "ATmega2560", 0x1FE00, 1024, 256, 4, 2, 4},
        FlashCase{"TopOfAnATmega2561", "ATmega2561", 0x3FC00, 1022, 256, 4, 2, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- EEPROM: word addresses that the sketch doubles; universal byte writes -----------------

TEST(Arduino, EepromReadsAboveByte511AtOddAddressesAndPolledByteWritesLand) {
    Rig rig("ATmega328P");
    const auto contents = pattern(1024, 0x11);
    rig.sketch.withBoard([&](quillon::sim::Board& board) { board.chip().eeprom = contents; });
    ASSERT_EQ(rig.start(), 0x53) << rig.isp.error();
    for (const auto& [address, length] : {std::pair{0U, 1024U}, {513U, 300U}, {1023U, 1U}}) {
        std::vector<uint8_t> back(length);
        ASSERT_EQ(rig.isp.readMemory(IO_EEPROM, address, back, nullptr, nullptr), IO_OK);
        EXPECT_TRUE(std::equal(back.begin(), back.end(), contents.begin() + address)) << address;
    }
    // Written by the library, each byte polled until the part is done: a byte sent while it was
    // still busy would be lost.
    const auto bytes = pattern(24, 0xA0);
    ASSERT_EQ(rig.isp.writeEeprom(0x1F4, bytes, nullptr, nullptr), IO_OK) << rig.isp.error();
    ASSERT_EQ(rig.isp.writeEeprom(0x3FF, std::span(bytes).first(1), nullptr, nullptr), IO_OK);
    rig.sketch.withBoard([&](quillon::sim::Board& board) {
        const auto& eeprom = board.chip().eeprom;
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), eeprom.begin() + 0x1F4));
        EXPECT_EQ(eeprom[0x3FF], bytes[0]);
        EXPECT_EQ(eeprom[0x1F3], contents[0x1F3]);
        EXPECT_EQ(eeprom[0x20C], contents[0x20C]);
    });
    EXPECT_EQ(rig.isp.writeEeprom(0, bytes, stopAfterFirst, nullptr), IO_STOPPED);
    EXPECT_EQ(rig.count(0x64), 0); // never the sketch's own EEPROM page writes, 45 ms a byte
}

// ---- Instructions, programming mode, progress ------------------------------------------------

TEST(Arduino, InstructionsAnswerTheirFourthByteAndEnableJudgesTheTarget) {
    struct Case {
        const char* device;
        bool noTarget;
        uint8_t echo;
        std::array<uint8_t, 3> signature;
    };
    for (const Case& c : {Case{"ATmega328P", false, 0x53, {0x1E, 0x95, 0x0F}},
                          Case{"ATmega2560", false, 0x53, {0x1E, 0x98, 0x01}},
                          Case{"ATmega16", true, 0x00, {0xFF, 0xFF, 0xFF}}}) {
        quillon::sim::Config config = Rig::config(c.device);
        config.faults.noTarget = c.noTarget;
        ArduinoSketch sketch(config);
        ArduinoIsp isp({sketch.port(), 19200}, quick());
        ASSERT_EQ(isp.open(), IO_OK);
        for (int round = 0; round < 2; ++round) { // the second enable restarts programming mode
            uint8_t echo = 0xEE;
            ASSERT_EQ(isp.enable(echo), IO_OK);
            EXPECT_EQ(echo, c.echo) << c.device;
            for (uint8_t i = 0; i < 3; ++i) {
                const std::array<uint8_t, 4> read{0x30, 0x00, i, 0x00};
                std::array<uint8_t, 4> answer{0xEE, 0xEE, 0xEE, 0xEE};
                ASSERT_EQ(isp.instruction(read, answer), IO_OK);
                EXPECT_EQ(answer, (std::array<uint8_t, 4>{0, 0, 0, c.signature[i]}));
            }
        }
        ASSERT_EQ(isp.release(), IO_OK);
        sketch.withBoard(
            [](quillon::sim::Board& board) { EXPECT_FALSE(board.programmingEnabled()); });
    }
}

TEST(Arduino, ProgressCanStopABlockOperationAfterItsFirstBlock) {
    Rig rig("ATmega328P");
    ASSERT_EQ(rig.start(), 0x53) << rig.isp.error();
    const auto image = pattern(1024, 3);
    EXPECT_EQ(rig.isp.writeFlash(0, image, 128, stopAfterFirst, nullptr), IO_STOPPED);
    std::vector<uint8_t> back(4096);
    EXPECT_EQ(rig.isp.readMemory(IO_FLASH, 0, back, stopAfterFirst, nullptr), IO_STOPPED);
    EXPECT_EQ(rig.count(0x64), 1);
    EXPECT_EQ(rig.count(0x74), 1);
}

// ---- What goes wrong, and the line that says so ---------------------------------------------

struct FaultCase {
    const char* name;
    SketchOptions faults;
    uint32_t baud;
    bool opens;
    const char* error; // part of the line, "" when every step works
    bool recovers;     // after the failure the next enable gets back in step
};

void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.name;
}

class Faults : public testing::TestWithParam<FaultCase> {};

// Open, enable, write two blocks of flash, read them back: the first step that fails says why,
// and nothing after it is attempted.
TEST_P(Faults, TheFirstStepThatFailsSaysWhyInOneLine) {
    const FaultCase& c = GetParam();
    Rig rig("ATmega328P", c.faults, c.baud);
    const int32_t opened = rig.isp.open();
    ASSERT_EQ(opened == IO_OK, c.opens) << rig.isp.error();
    std::string error = rig.isp.error();
    if (opened == IO_OK) {
        uint8_t echo = 0;
        const auto image = pattern(512, 9);
        std::vector<uint8_t> back(512);
        const bool done = rig.isp.enable(echo) == IO_OK &&
                          rig.isp.writeFlash(0, image, 128, nullptr, nullptr) == IO_OK &&
                          rig.isp.readMemory(IO_FLASH, 0, back, nullptr, nullptr) == IO_OK;
        error = rig.isp.error();
        EXPECT_EQ(done, std::string(c.error).empty());
        EXPECT_TRUE(!done || back == image);
        if (!done) {
            EXPECT_EQ(rig.isp.enable(echo) == IO_OK && echo == 0x53, c.recovers) << rig.isp.error();
        }
    }
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Arduino, Faults,
    testing::Values(
        FaultCase{"AllWell", SketchOptions{}, 19200, true, "", true},
        FaultCase{"StrayBytesBeforeSync", SketchOptions{.strayBytes = 7}, 19200, true, "", true},
        FaultCase{"NoSketch", SketchOptions{.mute = true}, 19200, false,
                  "not in sync after 6 tries at 19200 baud: load the ArduinoISP sketch", false},
        FaultCase{"WrongBaud", SketchOptions{}, 115200, false,
                  "not in sync after 6 tries at 115200 baud: load the ArduinoISP sketch", false},
        // Commands: GET_SYNC twice, ENTER_PROGMODE, the signature check, SET_DEVICE, ...
        FaultCase{"NoiseInTheSignatureCheck", SketchOptions{.noiseInCommand = 4}, 19200, true,
                  "fell out of sync during the signature check", true},
        FaultCase{"NoiseInSetDevice", SketchOptions{.noiseInCommand = 5}, 19200, true,
                  "during SET_DEVICE", true},
        FaultCase{"FirstPageWriteStopsHalfway", SketchOptions{.stopInCommand = 7}, 19200, true,
                  "stopped in the middle of its answer to PROG_PAGE (writing flash at 0x00000)",
                  true},
        FaultCase{"ReadBackStopsHalfway", SketchOptions{.stopInCommand = 10}, 19200, true,
                  "stopped in the middle of its answer to READ_PAGE (reading flash)", true},
        FaultCase{"SignatureCheckStopsHalfway", SketchOptions{.stopInCommand = 4}, 19200, true,
                  "stopped in the middle of its answer to the signature check", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Arduino, APortThatIsNotThereOrNotASerialPortIsNamed) {
    for (const auto& [port, says] :
         {std::pair{"/dev/quillon-no-such-port",
                    "there is no serial port /dev/quillon-no-such-port ("},
          {"/dev/null", "/dev/null is not a serial port"}}) {
        ArduinoIsp isp({port, 19200}, quick());
        EXPECT_EQ(isp.open(), IO_FAILED);
        EXPECT_NE(isp.error().find(says), std::string::npos) << isp.error();
    }
}

TEST(Arduino, SettingsComeFromACommaList) {
    struct Case {
        const char* list;
        const char* port;
        uint32_t baud;
        const char* problem;
    };
    for (const Case& c : {Case{"", "/dev/ttyACM0", 19200, ""},
                          Case{" port = /dev/ttyUSB1 , baud=57600,", "/dev/ttyUSB1", 57600, ""},
                          Case{"port=/dev/ttyUSB0,port=/dev/ttyS1", "/dev/ttyS1", 19200, ""},
                          Case{"baud=fast", "/dev/ttyACM0", 19200, "\"baud=fast\" is not a baud"},
                          Case{"speed=9600", "/dev/ttyACM0", 19200, "(port=DEVICE, baud=RATE)"}}) {
        const auto parsed = quillon::arduino::parseSettings(c.list);
        EXPECT_EQ(parsed.settings.port, c.port);
        EXPECT_EQ(parsed.settings.baud, c.baud);
        EXPECT_NE(parsed.problem.find(c.problem), std::string::npos) << parsed.problem;
        EXPECT_EQ(parsed.problem.empty(), std::string(c.problem).empty());
    }
}
