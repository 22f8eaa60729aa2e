// SPDX-License-Identifier: MIT
// The SPI backend against the fake spidev and GPIO chip (fake_spidev.h) wired to a simulated
// ATmega328P on a virtual clock that moves only with the backend's waits and the scripts'.
#include "fake_spidev.h"
#include "spi_programmer.h"

#include <sstream>

namespace {

namespace q = quillon;
using q::testing::hex;

q::testing::FakeSpidev fake;
q::sim::VirtualClock virtualTime; // shared by the rows, each board starting from its time

constexpr q::io::LinuxSystem fakeSystem{
    [](const char* path, int) { return fake.open(path); },
    [](int fd, unsigned long request, void* argument) { return fake.ioctl(fd, request, argument); },
    [](int fd) { return fake.close(fd); },
    [](const char*) { return std::string("spi"); },
    q::testing::Recorder::report,
    [] { return static_cast<int64_t>(virtualTime.now().count()); },
    [](int64_t nanoseconds) { virtualTime.advance(std::chrono::nanoseconds(nanoseconds)); }};

struct Row {
    std::string name;
    std::string config;  // QUILLON_SPI
    std::string failing; // the start of the fake's call that fails with `error`
    int error;
    uint32_t clockHz;   // the part's clock
    std::string faults; // the simulated board's
    // Words: open, enable, release; sig reads the signature; page writes 0x1234 to flash word 0
    // and reads it back; reset shows the RESET line ('0' low, 'i' released).
    std::string script;
    std::string results;  // each word's result ("!" for a failure), then the RESET line
                          // once the backend has ended
    std::string message;  // a part of error() after the last failure, "" for none
    std::string log = {}; // the fake's whole log, when given
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

class Spi : public ::testing::TestWithParam<Row> {};

std::string play(q::spi::SpiProgrammer& programmer, const std::string& word) {
    std::array<uint8_t, 4> in{};
    const auto send = [&](std::array<uint8_t, 4> out) { return programmer.instruction(out, in); };
    if (word == "open") {
        return programmer.open() ? "open" : "open!";
    }
    if (word == "enable") {
        uint8_t echo = 0;
        return programmer.enable(echo) ? hex(echo) : "enable!";
    }
    if (word == "release") {
        return programmer.release() ? "release" : "release!";
    }
    if (word == "reset") {
        return std::string(1, fake.reset);
    }
    std::string read;
    if (word == "sig") {
        for (uint8_t i = 0; i < 3; ++i) {
            if (!send({0x30, 0x00, i, 0x00})) {
                return "sig!";
            }
            read += hex(in[3]);
        }
        return read;
    }
    // page: the page buffer's word 0, the page written, its time waited, word 0 read back.
    if (!send({0x40, 0x00, 0x00, 0x34}) || !send({0x48, 0x00, 0x00, 0x12}) ||
        !send({0x4C, 0x00, 0x00, 0x00})) {
        return "page!";
    }
    virtualTime.advance(std::chrono::microseconds(10500));
    for (const uint8_t opcode : {0x28, 0x20}) {
        if (!send({opcode, 0x00, 0x00, 0x00})) {
            return "page!";
        }
        read += hex(in[3]);
    }
    return read;
}

} // namespace

TEST_P(Spi, ProgramsThroughTheControllerWithResetOnAGpioLine) {
    const Row& row = GetParam();
    q::sim::Problems problems;
    q::sim::Config config{.device = "ATmega328P",
                          .stateDir = "",
                          .faults = q::sim::parseFaults(row.faults, problems),
                          .traceFile = "",
                          .keepTrace = false,
                          .clockHz = row.clockHz};
    q::sim::Board board(config, virtualTime);
    q::sim::IspWire wire(board, [](std::chrono::microseconds wait) { virtualTime.advance(wait); });
    fake = {};
    fake.failing = row.failing;
    fake.error = row.error;
    fake.wire = &wire;
    q::testing::Recorder::recording = &fake;
    std::string results;
    std::string message;
    {
        q::spi::SpiProgrammer programmer(fakeSystem, row.config);
        EXPECT_EQ(fake.log, ""); // nothing before open
        std::istringstream words(row.script);
        for (std::string word; words >> word;) {
            results += play(programmer, word) + " ";
            message = programmer.error().empty() ? message : programmer.error();
        }
    }
    results += fake.reset;
    EXPECT_EQ(results, row.results);
    EXPECT_EQ(fake.held, std::set<int>{}) << "descriptors left open";
    EXPECT_EQ(message.empty(), row.message.empty()) << message;
    EXPECT_NE(message.find(row.message), std::string::npos) << message;
    EXPECT_TRUE(message.empty() || message.starts_with("io library: ")) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos);
    EXPECT_TRUE(fake.messages.empty()); // nothing printed: the program shows error()
    if (!row.log.empty()) {
        EXPECT_EQ(fake.log, row.log);
    }
}

namespace {

const std::string opened = "open:/dev/spidev0.0 mode:0 bits:8 speed:200000 "
                           "open:/dev/gpiochip0 info quillon:25:i close:3 ";

INSTANTIATE_TEST_SUITE_P(
    Rows, Spi,
    ::testing::Values(
        Row{"Defaults", "", "", 0, 1000000, "", "open enable reset sig page release reset",
            "open 53 0 1e950f 1234 release i i", "",
            opened + "config:0 config:1 config:0 xfer:ac530000@200000>00005300 "
                     "xfer:30000000@200000>0030001e xfer:30000100@200000>00300095 "
                     "xfer:30000200@200000>0030000f xfer:40000034@200000>00400000 "
                     "xfer:48000012@200000>34480000 xfer:4c000000@200000>124c0000 "
                     "xfer:28000000@200000>00280012 xfer:20000000@200000>00200034 config:i "
                     "close:4 close:5 "},
        Row{"OtherDeviceChipAndLine", " device = spidev1.2 ,reset=gpiochip2:17,speed=100000", "", 0,
            1000000, "", "open enable sig", "open 53 1e950f i", "",
            "open:/dev/spidev1.2 mode:0 bits:8 speed:100000 open:/dev/gpiochip2 info "
            "quillon:17:i close:3 config:0 config:1 config:0 xfer:ac530000@100000>00005300 "
            "xfer:30000000@100000>0030001e xfer:30000100@100000>00300095 "
            "xfer:30000200@100000>0030000f config:i close:4 close:5 "},
        Row{"AFastClockFollowsAFastSck", "speed=2000000", "", 0, 16000000, "", "open enable sig",
            "open 53 1e950f i", ""},
        Row{"TheTargetLetGoAtTheEnd", "reset=/dev/gpiochip0:24", "", 0, 1000000, "", "open enable",
            "open 53 i", ""},
        Row{"NoTargetIsNoFailure", "", "", 0, 1000000, "no-target", "open enable sig release",
            "open ff ffffff release i", ""},
        Row{"TooFastForTheFactoryClock", "speed=250000", "", 0, 1000000, "",
            "open enable reset enable", "open enable! i enable! i",
            "the target doesn't answer at speed=250000 Hz, too fast for its clock, but does at "
            "125000: name speed=125000 or slower in QUILLON_SPI"},
        Row{"TooFastForA128kHzClock", "", "", 0, 128000, "", "open enable", "open enable! i",
            "but does at 25000: name speed=25000"},
        Row{"TooFastForA16MHzClock", "speed=4000000", "", 0, 16000000, "", "open enable",
            "open enable! i", "name speed=2000000 or slower"},
        Row{"NoSpidev", "", "open:/dev/spidev", ENOENT, 1000000, "", "open", "open! i",
            "turn the SPI controller on (dtparam=spi=on in /boot/firmware/config.txt, or "
            "raspi-config"},
        Row{"SpidevDenied", "", "open:/dev/spidev", EACCES, 1000000, "", "open", "open! i",
            "io library: /dev/spidev0.0: permission denied: join the spi and gpio groups"},
        Row{"ChipDenied", "", "open:/dev/gpiochip", EACCES, 1000000, "", "open", "open! i",
            "io library: /dev/gpiochip0: permission denied: join the spi and gpio"},
        Row{"NoSuchChip", "reset=gpiochip7", "open:/dev/gpiochip", ENOENT, 1000000, "", "open",
            "open! i", "/dev/gpiochip7 not found: this computer has no GPIO chip of that name"},
        Row{"ResetLineBusy", "reset=10", "quillon", EBUSY, 1000000, "", "open", "open! i",
            "io library: /dev/gpiochip0: line 10 (RESET) is in use by spi0 CS0: stop the program "
            "that holds it, or wire RESET to a free line and name it with reset= in QUILLON_SPI"},
        Row{"ResetLineBusyUnnamed", "", "quillon", EBUSY, 1000000, "", "open", "open! i",
            "line 25 (RESET) is in use by another program"},
        Row{"NoSuchLine", "reset=54", "", 0, 1000000, "", "open", "open! i",
            "/dev/gpiochip0 has 54 lines, numbered from 0; line 54 (RESET) is not one of them"},
        Row{"NotAnSpiDevice", "device=/dev/ttyS0", "mode", ENOTTY, 1000000, "", "open", "open! i",
            "/dev/ttyS0: setting SPI mode 0 failed: it is not an SPI device"},
        Row{"TransferFailsMidway", "", "xfer:30000100", EIO, 1000000, "", "open enable sig reset",
            "open 53 sig! i i",
            "io library: /dev/spidev0.0: the transfer failed: Input/output error; the target is "
            "released"},
        Row{"ResetFailsWhenDriven", "", "config:0", EIO, 1000000, "", "open enable",
            "open enable! i", "/dev/gpiochip0: driving RESET failed: Input/output error"},
        Row{"ReleaseFails", "", "config:i", EIO, 1000000, "", "open enable release",
            "open 53 release! 0", "/dev/gpiochip0: releasing RESET failed"},
        Row{"BadSpeed", "speed=fast", "", 0, 1000000, "", "open", "open! i",
            "QUILLON_SPI: 'speed=fast' needs the SCK rate in Hz from 1000 to 8000000"},
        Row{"SpeedAboveTheController", "speed=8000001", "", 0, 1000000, "", "open", "open! i",
            "'speed=8000001' needs"},
        Row{"BadReset", "reset=gpiochip0:x", "", 0, 1000000, "", "open", "open! i",
            "'reset=gpiochip0:x' needs a GPIO chip and line, such as reset=gpiochip0:25"},
        Row{"UnknownSetting", "sck=11", "", 0, 1000000, "", "open", "open! i",
            "'sck=11' is not one of device=, reset=, speed="}),
    [](const ::testing::TestParamInfo<Row>& info) { return info.param.name; });

} // namespace
