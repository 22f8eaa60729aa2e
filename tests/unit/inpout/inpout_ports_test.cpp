// SPDX-License-Identifier: MIT
// The InpOut32 backend against a fake InpOut DLL that models the registers and logs every call
// ("load C:\q\inpoutx64.dll; open; in 378 -> c0; out 378 c1; "), on a clock that moves 100 ns
// each time it is read.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <tuple>
#include <vector>

#include "inpout_ports.h"

using quillon::inpout::InpOutPorts;
using quillon::inpout::LoadResult;

namespace {

struct FakeInpOut {
    LoadResult loads = LoadResult::Loaded;
    bool driverOpen = true;
    std::string log;
    std::vector<std::string> messages;
    std::map<uint16_t, uint8_t> registers;
    int64_t now = 0;
    std::vector<int64_t> writeTimes;

    void note(const char* format, unsigned port, unsigned value) {
        std::array<char, 32> text{};
        std::snprintf(text.data(), text.size(), format, port, value);
        log += text.data();
    }
};

FakeInpOut* fake = nullptr;

constexpr quillon::inpout::InpOutSystem fakeSystem{
    [] { return std::string("C:\\q\\"); },
    [](const std::string& path) {
        fake->log += "load " + path + "; ";
        return fake->loads;
    },
    [] {
        fake->log += "open; ";
        return fake->driverOpen;
    },
    [](uint16_t port) {
        const uint8_t value = fake->registers[port];
        fake->note("in %x -> %02x; ", port, value);
        return value;
    },
    [](uint16_t port, uint8_t value) {
        fake->registers[port] = value;
        fake->writeTimes.push_back(fake->now);
        fake->note("out %x %02x; ", port, value);
    },
    [](const std::string& message) { fake->messages.push_back(message); },
    [] { return fake->now += 100; }};

struct InpOutTest : ::testing::Test {
    FakeInpOut inpout;
    void SetUp() override { fake = &inpout; }
};

} // namespace

TEST_F(InpOutTest, LoadedOnFirstUseEachBitChangeOneWriteFromTheShadows) {
    inpout.registers = {{0x378, 0xC0}, {0x37A, 0x04}, {0x27A, 0x0B}, {0x3BD, 0x60}};
    InpOutPorts ports(fakeSystem, "");
    EXPECT_EQ(inpout.log, ""); // nothing happens before the first access
    ports.setBit(888, 0, true);
    ports.setBit(888, 6, false);
    inpout.registers[0x378] = 0xFF; // what the port reads back doesn't count
    ports.setBit(888, 4, true);
    EXPECT_EQ(inpout.log, "load C:\\q\\" + std::string(quillon::inpout::libraryName) +
                              "; open; in 378 -> c0; in 37a -> 04; in 278 -> 00; in 27a -> 0b; "
                              "in 3bc -> 00; in 3be -> 00; out 378 c1; out 378 81; out 378 91; ");
    inpout.log.clear();
    ports.setBit(0x37A, 0, true);  // the control registers have shadows of their own
    ports.setBit(0x27A, 3, false); // each port's
    ports.toggleBit(0x3BE, 7);
    ports.toggleBit(0x3BE, 7);
    ports.setBit(889, 3, true); // the status register can't be written
    ports.setBit(888, 8, true); // no such bit
    ports.out(0x300, 0xFF);     // nor can a port that isn't there be reached
    EXPECT_EQ(ports.in(0x300), 0);
    EXPECT_EQ(ports.getBit(0x3BD, 5), -1);
    EXPECT_EQ(ports.getBit(0x3BD, 7), 0);
    EXPECT_EQ(ports.getBit(0x3BD, 8), 0);
    EXPECT_EQ(ports.in(0x27A), 0x03);
    EXPECT_EQ(inpout.log, "out 37a 05; out 27a 03; out 3be 80; out 3be 00; in 3bd -> 60; "
                          "in 3bd -> 60; in 27a -> 03; ");
    // Shifts and whole writes keep the shadow in step: each change starts from what they left.
    inpout.registers[0x378] = 0x91;
    EXPECT_EQ(ports.shiftLeft(888, 0), -1);
    EXPECT_EQ(ports.shiftRight(888, 1), 0);
    ports.setBit(888, 1, true);
    ports.out(0x278, 0x10);
    ports.setBit(0x278, 0, true);
    EXPECT_EQ(inpout.registers[0x378], 0x93);
    EXPECT_EQ(inpout.registers[0x278], 0x11);
    EXPECT_TRUE(inpout.messages.empty());
    EXPECT_TRUE(ports.reachable());
}

TEST_F(InpOutTest, EveryLineChangeIsHeldTheConfiguredTime) {
    for (const auto& [config, hold] : std::vector<std::pair<std::string, int64_t>>{
             {"", 0}, {"hold=0", 0}, {"hold=3", 3000}, {" hold = 250 ,", 250000}}) {
        SCOPED_TRACE(config);
        inpout = FakeInpOut{};
        InpOutPorts ports(fakeSystem, config);
        for (unsigned bit = 0; bit < 6; ++bit) {
            ports.setBit(888, bit, true);
            ports.out(0x37A, 0);
        }
        ASSERT_EQ(inpout.writeTimes.size(), 12U);
        for (std::size_t i = 1; i < inpout.writeTimes.size(); ++i) {
            const int64_t gap = inpout.writeTimes[i] - inpout.writeTimes[i - 1];
            EXPECT_GE(gap, hold);
            EXPECT_LE(gap, hold + 200); // and not much longer
        }
    }
    std::string problem;
    EXPECT_EQ(quillon::inpout::parseConfig("hold=100000", problem)->holdMicros, 100000U);
}

TEST_F(InpOutTest, AFailureIsExplainedOnceAndThePortsReadAsNothingPluggedIn) {
    const std::string dll = std::string(quillon::inpout::libraryName);
    for (const auto& [loads, open, config, calls, message] :
         std::vector<std::tuple<LoadResult, bool, std::string, std::string, std::string>>{
             {LoadResult::NoLibrary, true, "", "load",
              std::string("io library: C:\\q\\")
                  .append(dll)
                  .append(" not found: put InpOut32's ")
                  .append(dll)
                  .append(
                      " beside quillon.exe and run its InstallDriver.exe once as administrator")},
             {LoadResult::NoEntryPoints, true, "", "load",
              "has no Inp32, Out32 or IsInpOutDriverOpen"},
             {LoadResult::Loaded, false, "", "load open",
              "io library: InpOut32's driver is not open: run InpOut32's InstallDriver.exe"},
             {LoadResult::Loaded, true, "hold=2x", "",
              "io library: QUILLON_INPOUT: 'hold=2x' needs microseconds from 0 to 100000"},
             {LoadResult::Loaded, true, "hold=100001", "", "from 0 to 100000, such as hold=2"},
             {LoadResult::Loaded, true, "hold=", "", "'hold=' needs microseconds"},
             {LoadResult::Loaded, true, "hold=1,speed=9", "", "'speed=9' is not hold="}}) {
        SCOPED_TRACE(message);
        inpout = FakeInpOut{};
        inpout.loads = loads;
        inpout.driverOpen = open;
        InpOutPorts ports(fakeSystem, config);
        ports.setBit(888, 2, true);
        ports.out(888, 0xFF);
        EXPECT_EQ(ports.getBit(889, 5), 0);
        EXPECT_EQ(ports.in(888), 0);
        EXPECT_FALSE(ports.reachable());
        std::string log = calls.empty() ? "" : "load C:\\q\\" + dll + "; ";
        log += calls == "load open" ? "open; " : "";
        EXPECT_EQ(inpout.log, log);
        ASSERT_EQ(inpout.messages.size(), 1U);
        EXPECT_NE(inpout.messages[0].find(message), std::string::npos) << inpout.messages[0];
        EXPECT_TRUE(calls.empty() ||
                    inpout.messages[0].find("; the port now reads as if nothing were plugged in") !=
                        std::string::npos);
    }
}
