// SPDX-License-Identifier: MIT
// The USBasp backend against the emulated USBasp on a simulated chip, in process: the board's
// time stands still but for the firmware's waits and the backend's sleeps.
#include <gtest/gtest.h>

#include <numeric>

#include "sim/emulated_usb.h"
#include "usbasp_programmer.h"

namespace q = quillon;
using q::sim::Firmware;
using q::sim::UsbaspSetup;
using q::sim::UsbFaults;

namespace {

struct Rig {
    explicit Rig(const std::string& device, const std::string& settings = "",
                 q::sim::UsbaspSetup setup = {}, q::sim::UsbFaults faults = {},
                 const std::string& simFaults = "", const std::vector<std::string>& serials = {""})
        : board(
              [&] {
                  q::sim::Config config;
                  config.device = device;
                  // A board with a 16 MHz crystal unless the row gives the part's clock.
                  const bool clock = simFaults.starts_with("clock=");
                  config.clockHz = clock ? std::stoul(simFaults.substr(6)) : 16000000;
                  q::sim::Problems problems;
                  config.faults = q::sim::parseFaults(clock ? "" : simFaults, problems);
                  return config;
              }(),
              time),
          usb(
              board, time, setup, serials, faults,
              [this](std::chrono::microseconds wait) { time.pass(wait); },
              [this](const std::string& line) { reports += line + "\n"; }),
          programmer(q::sim::EmulatedUsb::system(), settings) {}

    // Opens the USBasp and enters programming mode: the echo, or 0 when either failed.
    uint8_t start() {
        uint8_t echo = 0;
        if (programmer.open() != IO_OK || programmer.enable(echo) != IO_OK) {
            return 0;
        }
        return echo;
    }

    q::sim::VirtualClock still;
    q::sim::FirmwareTime time{still};
    q::sim::Board board;
    q::sim::EmulatedUsb usb;
    q::usbasp::UsbaspProgrammer programmer;
    std::string reports;
};

std::vector<uint8_t> pattern(std::size_t length, unsigned seed) {
    std::vector<uint8_t> bytes(length);
    std::iota(bytes.begin(), bytes.end(), static_cast<uint8_t>(seed));
    for (std::size_t i = 0; i < length; i += 7) {
        bytes[i] = 0xFF; // erased cells among the written ones
    }
    return bytes;
}

} // namespace

// ---- Settings --------------------------------------------------------------------------------

TEST(Usbasp, SettingsChooseAStepAndASerialNumberOrSayWhatIsWrong) {
    struct Row {
        const char* text;
        const char* sck;    // the step chosen, "" for the firmware's; nullptr: refused
        const char* serial; // or the refusal's words
    };
    for (const Row& row :
         {Row{"", "", ""}, Row{"sck=187.5k", "187.5k", ""}, Row{"sck=187500", "187.5k", ""},
          Row{" sck = 1.5M , serial=0042", "1.5M", "0042"}, Row{"sck=100kHz", "93.75k", ""},
          Row{"sck=10M", "1.5M", ""}, Row{"sck=500", "500", ""}, Row{"sck=499", nullptr, "sck=499"},
          Row{"sck=fast", nullptr, "such as sck=187.5k"},
          Row{"speed=8k", nullptr, "unknown setting 'speed=8k'"}}) {
        SCOPED_TRACE(row.text);
        std::string problem;
        const auto config = q::usbasp::parseConfig(row.text, problem);
        if (row.sck == nullptr) {
            EXPECT_FALSE(config);
            EXPECT_NE(problem.find(row.serial), std::string::npos) << problem;
        } else {
            ASSERT_TRUE(config) << problem;
            EXPECT_EQ(config->sck ? std::string(config->sck->name) : "", row.sck);
            EXPECT_EQ(config->serial, row.serial);
        }
    }
}

// ---- Memories through the blocks -------------------------------------------------------------

namespace {

struct MemoryRow {
    const char* name;
    const char* device;
    Firmware firmware;
    uint32_t flashAddress; // a page start
    uint32_t flashBytes;
    uint32_t eepromAddress;
    uint32_t eepromBytes;
};

class Memories : public ::testing::TestWithParam<MemoryRow> {};

} // namespace

TEST_P(Memories, AreWrittenAndReadBackInBlocks) {
    const MemoryRow& row = GetParam();
    Rig rig(row.device, "", {.firmware = row.firmware});
    ASSERT_EQ(rig.start(), 0x53) << rig.programmer.error();
    const uint32_t page = rig.board.part().flashPageBytes;
    const auto flash = pattern(row.flashBytes, 3);
    ASSERT_EQ(rig.programmer.writeFlash(row.flashAddress, flash, page, nullptr, nullptr), IO_OK)
        << rig.programmer.error();
    const auto eeprom = pattern(row.eepromBytes, 11);
    ASSERT_EQ(rig.programmer.writeEeprom(row.eepromAddress, eeprom, nullptr, nullptr), IO_OK);

    const auto& chip = rig.board.chip();
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), chip.flash.begin() + row.flashAddress));
    const uint32_t end = row.flashAddress + row.flashBytes;
    EXPECT_TRUE(end == chip.flash.size() || chip.flash[end] == 0xFF) << "written past the end";
    EXPECT_EQ(chip.flash[row.flashAddress - 1], 0xFF) << "written before the start";
    EXPECT_TRUE(std::equal(eeprom.begin(), eeprom.end(), chip.eeprom.begin() + row.eepromAddress));

    // Read back from one byte before, across what was written.
    std::vector<uint8_t> back(row.flashBytes + 1);
    ASSERT_EQ(rig.programmer.readMemory(IO_FLASH, row.flashAddress - 1, back, nullptr, nullptr),
              IO_OK);
    EXPECT_EQ(back[0], 0xFF);
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), back.begin() + 1));
    std::vector<uint8_t> eepromBack(row.eepromBytes);
    ASSERT_EQ(rig.programmer.readMemory(IO_EEPROM, row.eepromAddress, eepromBack, nullptr, nullptr),
              IO_OK);
    EXPECT_EQ(eepromBack, eeprom);
    EXPECT_EQ(rig.programmer.release(), IO_OK);
    EXPECT_FALSE(rig.board.programmingEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Usbasp, Memories,
    ::testing::Values(
        MemoryRow{"Atmega328pPartPages", "ATmega328P", Firmware::Current, 0x100, 1001, 3, 450},
        MemoryRow{"Atmega16OlderFirmware", "ATmega16", Firmware::Older, 0x3000, 4096, 0, 512},
        MemoryRow{"Atmega128Beyond64KiB", "ATmega128", Firmware::Current, 0xFF00, 1200, 4000, 96},
        MemoryRow{"Atmega2560Across128KiB", "ATmega2560", Firmware::Current, 0x1FF00, 600, 0, 1},
        MemoryRow{"Atmega2560Top", "ATmega2560", Firmware::Current, 0x3F000, 4095, 0, 1},
        MemoryRow{"Atmega2560OlderFirmware", "ATmega2560", Firmware::Older, 0x1FE00, 1024, 0, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Usbasp, StoppedWriteFinishesThePageItBeganAndSaysSo) {
    Rig rig("ATmega328P");
    ASSERT_EQ(rig.start(), 0x53);
    const auto flash = pattern(1000, 5);
    const auto stop = [](uint32_t /*done*/, void* /*context*/) -> int32_t { return 1; };
    EXPECT_EQ(rig.programmer.writeFlash(0, flash, 128, stop, nullptr), IO_STOPPED);
    const auto& chip = rig.board.chip();
    EXPECT_TRUE(std::equal(flash.begin(), flash.begin() + 256, chip.flash.begin()));
    EXPECT_EQ(chip.flash[256], 0xFF);
}

// ---- Transfers -------------------------------------------------------------------------------

TEST(Usbasp, FlashMovesInFullBlocks) {
    Rig rig("ATmega328P");
    ASSERT_EQ(rig.start(), 0x53);
    const uint32_t before = rig.usb.transfers();
    ASSERT_EQ(rig.programmer.writeFlash(0, pattern(30000, 1), 128, nullptr, nullptr), IO_OK);
    EXPECT_EQ(rig.usb.transfers() - before, 150U);
    std::vector<uint8_t> back(32768);
    ASSERT_EQ(rig.programmer.readMemory(IO_FLASH, 0, back, nullptr, nullptr), IO_OK);
    EXPECT_EQ(rig.usb.transfers() - before, 150U + 164U);
}

// ---- Faults ----------------------------------------------------------------------------------

namespace {

struct FaultRow {
    const char* name;
    const char* settings;
    q::sim::UsbaspSetup setup;
    q::sim::UsbFaults faults;
    const char* simFaults; // the simulator's faults, or clock=HZ: the part's clock (16 MHz)
    bool opens;
    uint8_t echo;      // after programming mode is asked for
    const char* words; // in the error (when it doesn't open) or the report
};

class Faults : public ::testing::TestWithParam<FaultRow> {};

} // namespace

TEST_P(Faults, GiveTheirOneLine) {
    const FaultRow& row = GetParam();
    Rig rig("ATmega328P", row.settings, row.setup, row.faults, row.simFaults);
    ASSERT_EQ(rig.programmer.open() == IO_OK, row.opens) << rig.programmer.error();
    if (!row.opens) {
        EXPECT_NE(rig.programmer.error().find(row.words), std::string::npos)
            << rig.programmer.error();
        EXPECT_EQ(rig.usb.openHandles(), 0) << "a device left open";
        return;
    }
    uint8_t echo = 0xAA;
    ASSERT_EQ(rig.programmer.enable(echo), IO_OK);
    EXPECT_EQ(echo, row.echo);
    EXPECT_NE(rig.reports.find(row.words), std::string::npos) << rig.reports;
}

INSTANTIATE_TEST_SUITE_P(
    Usbasp, Faults,
    ::testing::Values(
        FaultRow{"NoDevice", "", UsbaspSetup{}, UsbFaults{.noDevice = true}, "", false, 0,
                 "lsusb should then list"},
        FaultRow{"OldFirmwareAskedForAClock", "sck=32k", UsbaspSetup{.firmware = Firmware::Oldest},
                 UsbFaults{}, "", false, 0, "slow-clock jumper"},
        FaultRow{"NewChipAtTheDefaultClock", "", UsbaspSetup{}, UsbFaults{}, "clock=1000000", true,
                 0, "try QUILLON_USBASP=sck=187.5k"},
        FaultRow{"SlowChipAtTheChosenClock", "sck=93.75k", UsbaspSetup{}, UsbFaults{},
                 "clock=128000", true, 0, "an ISP clock of 93.75kHz; a target on a slow clock"},
        FaultRow{"SlowChipAtTheSlowest", "sck=500", UsbaspSetup{}, UsbFaults{}, "clock=900", true,
                 0, "the slowest: check the cable"},
        FaultRow{"NoTarget", "", UsbaspSetup{}, UsbFaults{}, "no-target", true, 0,
                 "check the cable"},
        FaultRow{"CloneStallingWhatItDoesntKnow", "sck=32k",
                 UsbaspSetup{.firmware = Firmware::Oldest, .stallsUnknown = true}, UsbFaults{}, "",
                 false, 0, "firmware is too old to set the ISP clock (sck=32k)"},
        FaultRow{"TransferFailsAtOnce", "sck=375k", UsbaspSetup{}, UsbFaults{.failAt = 1}, "",
                 false, 0, "SETISPSCK request failed (LIBUSB_ERROR_IO)"},
        FaultRow{"TransferTimesOut", "sck=375k", UsbaspSetup{}, UsbFaults{.timeoutAt = 2}, "",
                 false, 0, "did not answer its GETCAPABILITIES request within 7 seconds"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Usbasp, SerialNumberPicksOneOfSeveral) {
    struct Row {
        const char* settings;
        const char* words; // in the error; "" when the USBasp opens
    };
    for (const Row& row :
         {Row{"", "2 USBasps (serial numbers: A1, B2): choose one"}, Row{"serial=B2", ""},
          Row{"serial=C3", "no USBasp with the serial number C3 (found: A1, B2)"}}) {
        Rig rig("ATmega328P", row.settings, {}, {}, "", {"A1", "B2"});
        const bool opens = *row.words == '\0';
        EXPECT_EQ(rig.start(), opens ? 0x53 : 0) << row.settings;
        EXPECT_NE(rig.programmer.error().find(row.words), std::string::npos)
            << rig.programmer.error();
        EXPECT_EQ(rig.usb.openHandles(), opens ? 1 : 0) << row.settings;
    }
}

TEST(Usbasp, TransferFailingMidwayStopsTheWrite) {
    Rig rig("ATmega328P", "", {}, {.failAt = 12});
    ASSERT_EQ(rig.start(), 0x53);
    EXPECT_EQ(rig.programmer.writeFlash(0, pattern(30000, 1), 128, nullptr, nullptr), IO_FAILED);
    EXPECT_NE(rig.programmer.error().find("WRITEFLASH request failed"), std::string::npos)
        << rig.programmer.error();
    EXPECT_EQ(rig.usb.transfers(), 12U) << "went on after the failure";
}
