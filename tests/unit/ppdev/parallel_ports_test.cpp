// SPDX-License-Identifier: MIT
// The Linux parallel-port backend against a fake operating system that models the port's
// registers and logs every call: "open /dev/parport0; PPDATADIR 0; PPWDATA c1; PPRSTATUS -> 80; ",
// with a clock that moves on 100 ns at each reading.
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <map>
#include <sys/ioctl.h>
#include <tuple>
#include <vector>

#include "parallel_ports.h"

using quillon::ppdev::ParallelPorts;

namespace {

struct FakeOs {
    explicit FakeOs(std::string failingCall = "", int failure = 0, std::string ownerGroup = "lp")
        : failing(std::move(failingCall)), error(failure), group(std::move(ownerGroup)) {}
    std::string log;
    std::vector<std::string> messages;
    std::string failing; // the call that fails ("open", "PPCLAIM", ...) with `error`
    int error;
    std::string group;
    uint8_t data = 0, status = 0xFF, control = 0;
    int64_t now = 0;
    std::vector<int64_t> changes; // when each line change was made

    bool fails(const std::string& call) const {
        errno = error;
        return call == failing;
    }
};

FakeOs* os = nullptr;

int fakeIoctl(int fd, unsigned long request, void* argument) {
    EXPECT_EQ(fd, 7);
    const std::map<unsigned long, std::pair<std::string, uint8_t*>> requests{
        {PPEXCL, {"PPEXCL", nullptr}},
        {PPDATADIR, {"PPDATADIR", nullptr}},
        {PPCLAIM, {"PPCLAIM", nullptr}},
        {PPRELEASE, {"PPRELEASE", nullptr}},
        {PPRDATA, {"PPRDATA", &os->data}},
        {PPWDATA, {"PPWDATA", &os->data}},
        {PPRSTATUS, {"PPRSTATUS", &os->status}},
        {PPRCONTROL, {"PPRCONTROL", &os->control}},
        {PPWCONTROL, {"PPWCONTROL", &os->control}}};
    const auto& [name, reg] = requests.at(request);
    os->log += name;
    if (os->fails(name)) {
        os->log += " failed; ";
        return -1;
    }
    if (request == PPDATADIR || request == PPWDATA || request == PPWCONTROL) {
        os->changes.push_back(os->now);
    }
    if (request == PPDATADIR) {
        os->log += " " + std::to_string(*static_cast<int*>(argument));
    }
    if (reg != nullptr) {
        auto* byte = static_cast<uint8_t*>(argument);
        const bool writing = request == PPWDATA || request == PPWCONTROL;
        (writing ? *reg : *byte) = writing ? *byte : *reg;
        std::array<char, 8> value{};
        std::snprintf(value.data(), value.size(), writing ? " %02x" : " -> %02x", *byte);
        os->log += value.data();
    }
    os->log += "; ";
    return 0;
}

constexpr quillon::ppdev::PortSystem fakeSystem{
    [](const char* path, int flags) {
        os->log += std::string("open ") + path +
                   ((flags & O_ACCMODE) == O_RDWR ? "; " : " not read-write; ");
        return os->fails("open") ? -1 : 7;
    },
    fakeIoctl,
    [](int fd) {
        os->log += "close " + std::to_string(fd) + "; ";
        return 0;
    },
    [](const char*) { return os->group; },
    [](const std::string& message) { os->messages.push_back(message); },
    [] { return os->now += 100; }};

struct PpdevTest : ::testing::Test {
    FakeOs fake;
    void SetUp() override { os = &fake; }
};

} // namespace

TEST_F(PpdevTest, ClaimedOnFirstUseEachBitChangeOneWriteFromTheShadowGivenBackAtTheEnd) {
    fake.data = 0xC0; // reset lines high before the program starts
    {
        ParallelPorts ports(fakeSystem, "");
        ports.releaseAll(); // never used: nothing to give back
        ports.setBit(888, 0, true);
        ports.setBit(888, 6, false);
        ports.setBit(888, 4, true);
        EXPECT_EQ(fake.log, "open /dev/parport0; PPEXCL; PPCLAIM; PPDATADIR 0; PPRDATA -> c0; "
                            "PPWDATA c1; PPWDATA 81; PPWDATA 91; ");
        // Shifts and toggles keep the shadow in step: each change starts from what they left.
        EXPECT_EQ(ports.shiftLeft(888, 0), -1);
        ports.toggleBit(888, 7);
        EXPECT_EQ(ports.shiftRight(888, 1), 0);
        ports.setBit(888, 1, true);
        EXPECT_EQ(fake.data, 0xD3);
        fake.log.clear();
        ports.releaseAll(); // the next use claims afresh, from the lines as they are then
        fake.data = 0x10;
        ports.setBit(888, 0, true);
    } // and the library's end gives the port back
    EXPECT_EQ(
        fake.log,
        "PPRELEASE; close 7; open /dev/parport0; PPEXCL; PPCLAIM; PPDATADIR 0; PPRDATA -> 10; "
        "PPWDATA 11; PPRELEASE; close 7; ");
    EXPECT_TRUE(fake.messages.empty());
}

TEST_F(PpdevTest, BitReadsAnswerMinusOneOrZeroAndAddressesMapToTheirDevices) {
    ParallelPorts ports(fakeSystem, "");
    fake.status = 0x60; // as the hardware shows it, BUSY already inverted
    EXPECT_EQ(ports.getBit(889, 5), -1);
    EXPECT_EQ(ports.getBit(889, 7), 0);
    EXPECT_EQ(ports.getBit(889, 8), 0); // no such bit
    ports.setBit(889, 3, true);         // the status register can't be written
    ports.out(0x300, 0xFF);             // nor can a port that isn't there
    EXPECT_EQ(ports.in(0x300), 0);
    fake.control = 0x04;
    ports.setBit(0x27A, 0, true); // the second port's control register: read, then write
    EXPECT_EQ(ports.in(0x3BD), 0x60);
    EXPECT_EQ(fake.log,
              "open /dev/parport0; PPEXCL; PPCLAIM; PPDATADIR 0; PPRDATA -> 00; PPRSTATUS -> 60; "
              "PPRSTATUS -> 60; open /dev/parport1; PPEXCL; PPCLAIM; PPDATADIR 0; PPRDATA -> 00; "
              "PPRCONTROL -> 04; PPWCONTROL 05; open /dev/parport2; PPEXCL; PPCLAIM; "
              "PPDATADIR 0; PPRDATA -> 00; PPRSTATUS -> 60; ");
}

TEST_F(PpdevTest, TheSettingNamesTheStandardPortsDeviceAndHoldsEveryLineChange) {
    const std::string claim = "; PPEXCL; PPCLAIM; PPDATADIR 0; PPRDATA -> 00; ";
    // The fake's ports share their registers: the second starts from what the first left.
    const std::string second = "open /dev/parport1; PPEXCL; PPCLAIM; PPDATADIR 0; PPRDATA -> 03; "
                               "PPWDATA 03; ";
    for (const auto& [config, device, hold, secondPort] :
         std::vector<std::tuple<std::string, std::string, int64_t, std::string>>{
             {"", "/dev/parport0", 0, second},
             {"parport3,", "/dev/parport3", 0, second},
             {" hold = 7 , /dev/parport1 ", "/dev/parport1", 7000, ""}, // 0x278 is then nothing
             {"hold=100000", "/dev/parport0", 100000000, second}}) {
        SCOPED_TRACE(config);
        fake = FakeOs();
        ParallelPorts ports(fakeSystem, config);
        EXPECT_TRUE(ports.standardPortReachable());
        ports.setBit(888, 0, true);
        ports.setBit(888, 1, true);
        ports.out(890, 0x04);
        ports.setBit(0x278, 0, true);
        std::string expected = "open ";
        expected.append(device).append(claim).append("PPWDATA 01; PPWDATA 03; PPWCONTROL 04; ");
        EXPECT_EQ(fake.log, expected + secondPort);
        ASSERT_GE(fake.changes.size(), 4U);
        for (std::size_t i = 1; i < 4; ++i) {
            const int64_t gap = fake.changes[i] - fake.changes[i - 1];
            EXPECT_GE(gap, hold) << "change " << i;
            EXPECT_LT(gap, hold + 1000) << "change " << i;
        }
        EXPECT_TRUE(fake.messages.empty());
    }
}

TEST_F(PpdevTest, AnUnreachablePortIsExplainedOnceAndReadsAsNothingPluggedIn) {
    // What was opened or claimed is given back at once, and nothing is tried again.
    const std::string opened = "open /dev/parport0; ";
    const std::string claimed = opened + "PPEXCL; PPCLAIM; ";
    const std::map<std::string, std::string> calls{
        {"", ""},
        {"open", opened},
        {"PPEXCL", opened + "PPEXCL failed; close 7; "},
        {"PPCLAIM", opened + "PPEXCL; PPCLAIM failed; close 7; "},
        {"PPDATADIR", claimed + "PPDATADIR failed; PPRELEASE; close 7; "},
        {"PPRDATA", claimed + "PPDATADIR 0; PPRDATA failed; PPRELEASE; close 7; "},
        {"PPWDATA", claimed + "PPDATADIR 0; PPRDATA -> 00; PPWDATA failed; PPRELEASE; close 7; "}};
    for (const auto& [config, call, error, mention] :
         std::vector<std::tuple<std::string, std::string, int, std::string>>{
             {"", "open", ENOENT, "/dev/parport0 not found: there is no parallel port"},
             {"", "open", ENXIO, "not found"},
             {"", "open", EACCES,
              "denied: join the group that owns it, lp (sudo usermod -aG lp $USER)"},
             {"", "open", EPERM,
              "join the group that owns it, usually lp (see ls -l /dev/parport0)"},
             {"", "PPEXCL", EBUSY,
              "/dev/parport0 is busy: another driver or program holds the "
              "parallel port (the printer driver: sudo rmmod lp)"},
             {"", "PPEXCL", EINVAL, "claiming the port exclusively failed"},
             {"", "PPCLAIM", ENXIO,
              "claiming the port failed: another driver, usually the printer "
              "driver lp, uses the port (sudo rmmod lp)"},
             {"", "PPDATADIR", EIO, "switching the data lines to output failed"},
             {"", "PPRDATA", EIO, "reading the data register failed"},
             {"", "PPWDATA", EIO, "writing the data register failed"},
             {"hold=100001", "", 0, "QUILLON_PARPORT: 'hold=100001' needs microseconds from 0 to"},
             {"hold=-1", "", 0, "'hold=-1' needs microseconds"},
             {"hold=", "", 0, "'hold=' needs microseconds"},
             {"hold=2ms", "", 0, "'hold=2ms' needs microseconds"},
             {"lp0", "", 0, "'lp0' is not a parallel port: name one as parport1 or /dev/parport1"},
             {"parport", "", 0, "'parport' is not a parallel port"},
             {"parport1,/dev/parport2", "", 0, "'/dev/parport2' is a second device"},
             {"speed=3", "", 0, "'speed=3' is neither a device nor hold="}}) {
        SCOPED_TRACE(config + call + " " + std::to_string(error));
        fake = FakeOs(call, error, error == EPERM ? "" : "lp");
        {
            ParallelPorts unreachable(fakeSystem, config);
            unreachable.setBit(888, 2, true);
            unreachable.setBit(888, 3, true);
            EXPECT_EQ(unreachable.getBit(889, 7), 0);
            EXPECT_FALSE(unreachable.standardPortReachable());
        }
        EXPECT_EQ(fake.log, calls.at(call));
        ASSERT_EQ(fake.messages.size(), 1U);
        const std::string& message = fake.messages[0];
        EXPECT_EQ(message.rfind("io library: ", 0), 0U) << message;
        EXPECT_NE(message.find(mention), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
}
