// SPDX-License-Identifier: MIT
// The Linux parallel-port backend against a fake operating system that models the port's
// registers and logs every call: "open /dev/parport0; PPWDATA c1; PPRSTATUS -> 80; ".
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <map>
#include <sys/ioctl.h>

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

    bool fails(const std::string& call) const {
        errno = error;
        return call == failing;
    }
};

FakeOs* os = nullptr;

int fakeIoctl(int fd, unsigned long request, void* argument) {
    EXPECT_EQ(fd, 7);
    const std::map<unsigned long, std::pair<std::string, uint8_t*>> requests{
        {PPCLAIM, {"PPCLAIM", nullptr}},           {PPRELEASE, {"PPRELEASE", nullptr}},
        {PPRDATA, {"PPRDATA", &os->data}},         {PPWDATA, {"PPWDATA", &os->data}},
        {PPRSTATUS, {"PPRSTATUS", &os->status}},   {PPRCONTROL, {"PPRCONTROL", &os->control}},
        {PPWCONTROL, {"PPWCONTROL", &os->control}}};
    const auto& [name, reg] = requests.at(request);
    os->log += name;
    if (os->fails(name)) {
        os->log += " failed; ";
        return -1;
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
    [](const std::string& message) { os->messages.push_back(message); }};

struct PpdevTest : ::testing::Test {
    FakeOs fake;
    void SetUp() override { os = &fake; }
};

} // namespace

TEST_F(PpdevTest, ClaimedOnFirstUseEachBitChangeOneWriteFromTheShadowGivenBackAtTheEnd) {
    fake.data = 0xC0; // reset lines high before the program starts
    {
        ParallelPorts ports(fakeSystem);
        ports.releaseAll(); // never used: nothing to give back
        ports.setBit(888, 0, true);
        ports.setBit(888, 6, false);
        ports.setBit(888, 4, true);
        EXPECT_EQ(fake.log, "open /dev/parport0; PPCLAIM; PPRDATA -> c0; PPWDATA c1; PPWDATA 81; "
                            "PPWDATA 91; ");
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
    EXPECT_EQ(fake.log, "PPRELEASE; close 7; open /dev/parport0; PPCLAIM; PPRDATA -> 10; "
                        "PPWDATA 11; PPRELEASE; close 7; ");
    EXPECT_TRUE(fake.messages.empty());
}

TEST_F(PpdevTest, BitReadsAnswerMinusOneOrZeroAndAddressesMapToTheirDevices) {
    ParallelPorts ports(fakeSystem);
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
    EXPECT_EQ(fake.log, "open /dev/parport0; PPCLAIM; PPRDATA -> 00; PPRSTATUS -> 60; "
                        "PPRSTATUS -> 60; open /dev/parport1; PPCLAIM; PPRDATA -> 00; "
                        "PPRCONTROL -> 04; PPWCONTROL 05; open /dev/parport2; PPCLAIM; "
                        "PPRDATA -> 00; PPRSTATUS -> 60; ");
}

TEST_F(PpdevTest, AnUnreachablePortIsExplainedOnceAndReadsAsNothingPluggedIn) {
    // What was opened or claimed is given back at once, and nothing is tried again.
    const std::map<std::string, std::string> calls{
        {"open", "open /dev/parport0; "},
        {"PPCLAIM", "open /dev/parport0; PPCLAIM failed; close 7; "},
        {"PPRDATA", "open /dev/parport0; PPCLAIM; PPRDATA failed; PPRELEASE; close 7; "},
        {"PPWDATA", "open /dev/parport0; PPCLAIM; PPRDATA -> 00; PPWDATA failed; PPRELEASE; "
                    "close 7; "}};
    for (const auto& [call, error, group, mention] :
         std::vector<std::tuple<std::string, int, std::string, std::string>>{
             {"open", ENOENT, "lp", "/dev/parport0 not found: there is no parallel port"},
             {"open", ENXIO, "lp", "not found"},
             {"open", EACCES, "lp",
              "denied: join the group that owns it, lp (sudo usermod -aG lp $USER)"},
             {"open", EACCES, "", "denied: join the group that owns it (see ls -l /dev/parport0)"},
             {"PPCLAIM", EBUSY, "lp", "/dev/parport0 is busy"},
             {"PPCLAIM", EINVAL, "lp", "claim failed"},
             {"PPRDATA", EIO, "lp", "reading the data register failed"},
             {"PPWDATA", EIO, "lp", "writing the data register failed"}}) {
        SCOPED_TRACE(call + " " + std::to_string(error));
        fake = FakeOs(call, error, group);
        {
            ParallelPorts unreachable(fakeSystem);
            unreachable.setBit(888, 2, true);
            unreachable.setBit(888, 3, true);
            EXPECT_EQ(unreachable.getBit(889, 7), 0);
            EXPECT_FALSE(unreachable.standardPortReachable());
        }
        EXPECT_EQ(fake.log, calls.at(call));
        ASSERT_EQ(fake.messages.size(), 1U);
        EXPECT_NE(fake.messages[0].find(mention), std::string::npos) << fake.messages[0];
    }
}
