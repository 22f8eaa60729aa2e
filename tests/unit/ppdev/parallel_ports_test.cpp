// The Linux parallel-port backend against a fake operating system that records every call and
// models the port's registers (and, when wired, the adapter's loop-back wires).
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <map>
#include <string>
#include <sys/ioctl.h>
#include <vector>

#include "link/link.h"
#include "parallel_ports.h"

namespace q = quillon;
using quillon::ppdev::ParallelPorts;
using quillon::ppdev::PortSystem;

namespace {

std::string hex(uint8_t value) {
    static const char* digits = "0123456789abcdef";
    return {digits[value >> 4], digits[value & 0xF]};
}

// The fake: one log line per call, e.g. "open /dev/parport0", "PPWDATA c1", "PPRSTATUS -> 80".
struct FakeOs {
    std::vector<std::string> log;
    std::vector<std::string> messages;
    std::map<std::string, int> failures; // call name ("open", "PPCLAIM", ...) -> errno
    std::string group = "lp";
    uint8_t data = 0;
    uint8_t status = 0;
    uint8_t control = 0;
    bool wired = false; // status follows the data register like a plugged-in adapter
    int openFlags = 0;
    std::string lastPath;

    static FakeOs* active;

    bool failing(const std::string& call) {
        const auto found = failures.find(call);
        if (found == failures.end()) {
            return false;
        }
        errno = found->second;
        return true;
    }

    uint8_t statusRegister() const {
        if (!wired) {
            return status;
        }
        // Pin 12 (bit 5) follows data bit 0; pin 11 follows data bit 1 and the port shows it
        // inverted in bit 7.
        uint8_t value = status & 0x5FU;
        value |= (data & 0x01U) != 0 ? 0x20U : 0U;
        value |= (data & 0x02U) != 0 ? 0U : 0x80U;
        return value;
    }

    static int open(const char* path, int flags) {
        active->log.push_back(std::string("open ") + path);
        active->openFlags = flags;
        active->lastPath = path;
        return active->failing("open") ? -1 : 7;
    }

    static int close(int fd) {
        active->log.push_back("close " + std::to_string(fd));
        return active->failing("close") ? -1 : 0;
    }

    static int ioctl(int fd, unsigned long request, void* argument) {
        EXPECT_EQ(fd, 7);
        auto* byte = static_cast<uint8_t*>(argument);
        const std::map<unsigned long, std::string> names{
            {PPCLAIM, "PPCLAIM"},      {PPRELEASE, "PPRELEASE"}, {PPRDATA, "PPRDATA"},
            {PPWDATA, "PPWDATA"},      {PPRSTATUS, "PPRSTATUS"}, {PPRCONTROL, "PPRCONTROL"},
            {PPWCONTROL, "PPWCONTROL"}};
        const auto known = names.find(request);
        const std::string name = known != names.end() ? known->second : "unexpected request";
        if (active->failing(name)) {
            active->log.push_back(name + " failed");
            return -1;
        }
        std::string line = name;
        if (request == PPWDATA || request == PPWCONTROL) {
            (request == PPWDATA ? active->data : active->control) = *byte;
            line += " " + hex(*byte);
        } else if (request == PPRDATA || request == PPRSTATUS || request == PPRCONTROL) {
            *byte = request == PPRDATA     ? active->data
                    : request == PPRSTATUS ? active->statusRegister()
                                           : active->control;
            line += " -> " + hex(*byte);
        }
        active->log.push_back(line);
        return 0;
    }

    static std::string deviceGroup(const char*) { return active->group; }
    static void report(const std::string& message) { active->messages.push_back(message); }

    static constexpr PortSystem system{open, ioctl, close, deviceGroup, report};
};

FakeOs* FakeOs::active = nullptr;

struct PpdevTest : ::testing::Test {
    FakeOs os;
    ParallelPorts ports{FakeOs::system};

    void SetUp() override {
        FakeOs::active = &os;
        q::DelayUnits = 1;
    }
    void TearDown() override {
        ports.releaseAll();
        q::PortLibrary = q::PortLibraryEntries{};
    }

    // Points the programmer's port library at the ports, as the real library would be.
    void bindToProgram() { bindToProgramWith(ports); }
    static void bindToProgramWith(ParallelPorts& target) {
        static ParallelPorts* bound = nullptr;
        bound = &target;
        q::PortLibrary = q::PortLibraryEntries{};
        q::PortLibrary.SetPortBit = [](uint16_t p, uint8_t b) { bound->setBit(p, b, true); };
        q::PortLibrary.ClrPortBit = [](uint16_t p, uint8_t b) { bound->setBit(p, b, false); };
        q::PortLibrary.GetPortBit = [](uint16_t p, uint8_t b) { return bound->getBit(p, b); };
    }
};

std::vector<std::string> opens(const std::vector<std::string>& log) {
    std::vector<std::string> found;
    for (const std::string& line : log) {
        if (line.rfind("open", 0) == 0) {
            found.push_back(line);
        }
    }
    return found;
}

} // namespace

TEST_F(PpdevTest, FirstUseClaimsTheDeviceAndEachBitChangeIsOneWriteFromTheShadow) {
    os.data = 0xC0; // reset lines high before the program starts
    ports.setBit(888, 0, true);
    ports.setBit(888, 6, false);
    ports.setBit(888, 4, true);
    const std::vector<std::string> expected{"open /dev/parport0", "PPCLAIM",    "PPRDATA -> c0",
                                            "PPWDATA c1",         "PPWDATA 81", "PPWDATA 91"};
    EXPECT_EQ(os.log, expected);
    EXPECT_EQ(os.openFlags & O_ACCMODE, O_RDWR);
    EXPECT_TRUE(os.messages.empty());
}

TEST_F(PpdevTest, BitReadsAnswerMinusOneOrZeroFromTheRegisterAsTheHardwareShowsIt) {
    os.status = 0x80; // BUSY register bit set: a direct read of 0x379 would show it the same
    EXPECT_EQ(ports.getBit(889, 7), -1);
    EXPECT_EQ(ports.getBit(889, 6), 0);
    os.status = 0x60;
    EXPECT_EQ(ports.getBit(889, 5), -1);
    EXPECT_EQ(ports.getBit(889, 6), -1);
    EXPECT_EQ(ports.getBit(889, 7), 0);
    EXPECT_EQ(ports.getBit(889, 8), 0); // no such bit
    EXPECT_EQ(os.log.back(), "PPRSTATUS -> 60");
    ports.setBit(889, 3, true); // the status register can't be written
    EXPECT_EQ(os.log.back(), "PPRSTATUS -> 60");
}

TEST_F(PpdevTest, StandardAddressesReachTheirDevicesAndOthersReachNothing) {
    os.control = 0x04;
    EXPECT_EQ(ports.in(0x300), 0);
    ports.out(0x300, 0xFF);
    EXPECT_TRUE(os.log.empty());

    ports.setBit(0x27A, 0, true); // control register of the second port: read, then write
    EXPECT_EQ(os.lastPath, "/dev/parport1");
    EXPECT_EQ(os.log.back(), "PPWCONTROL 05");
    EXPECT_EQ(ports.in(0x3BD), 0);
    EXPECT_EQ(os.lastPath, "/dev/parport2");
    EXPECT_EQ(os.log.back(), "PPRSTATUS -> 00");
}

TEST_F(PpdevTest, ShiftsAndToggleKeepTheDataShadowInStep) {
    os.data = 0x81;
    EXPECT_EQ(ports.shiftLeft(888, 0), -1);
    EXPECT_EQ(os.data, 0x02);
    EXPECT_EQ(ports.shiftRight(888, 1), 0);
    EXPECT_EQ(os.data, 0x81);
    ports.toggleBit(888, 7);
    EXPECT_EQ(os.data, 0x01);
    ports.setBit(888, 1, true); // from the shadow, which followed every write
    EXPECT_EQ(os.data, 0x03);
}

TEST_F(PpdevTest, AWiredAdapterPassesTheProgramsLoopBackTest) {
    bindToProgram();
    os.wired = true;
    EXPECT_EQ(q::adapterPresent(), 1);
    EXPECT_EQ(os.data & 0x03, 0); // loop-back lines left low
}

TEST_F(PpdevTest, AnUnreachablePortIsReportedOnceAndReadsAsNothingPluggedIn) {
    struct Case {
        std::string call;
        int error;
        std::vector<std::string> mentions;
    };
    const std::vector<Case> cases{
        {"open", ENOENT, {"/dev/parport0 not found", "modprobe"}},
        {"open", ENXIO, {"not found"}},
        {"open", EACCES, {"permission denied", "group that owns it, lp", "usermod -aG lp"}},
        {"PPCLAIM", EBUSY, {"/dev/parport0 is busy"}},
        {"PPCLAIM", EINVAL, {"claim failed"}},
        {"PPRDATA", EIO, {"reading the data register failed"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call + " " + std::to_string(c.error));
        FakeOs failing;
        failing.failures[c.call] = c.error;
        failing.wired = true; // a working adapter stays unseen without the port
        // cppcheck-suppress danglingLifetime ; each pass points it at its own, before any use
        FakeOs::active = &failing;
        ParallelPorts unreachable(FakeOs::system);
        bindToProgramWith(unreachable);
        EXPECT_EQ(q::adapterPresent(), 0);
        EXPECT_EQ(q::adapterPresent(), 0);
        EXPECT_EQ(unreachable.getBit(889, 7), 0);
        EXPECT_FALSE(unreachable.standardPortReachable());
        ASSERT_EQ(failing.messages.size(), 1U);
        for (const std::string& mention : c.mentions) {
            EXPECT_NE(failing.messages[0].find(mention), std::string::npos) << failing.messages[0];
        }
        EXPECT_EQ(opens(failing.log).size(), 1U); // never tried again
        // Whatever was opened was released and closed exactly once.
        const bool opened = c.call != "open";
        EXPECT_EQ(std::count(failing.log.begin(), failing.log.end(), "close 7"), opened ? 1 : 0);
        const bool claimed = opened && c.call != "PPCLAIM";
        EXPECT_EQ(std::count(failing.log.begin(), failing.log.end(), "PPRELEASE"), claimed ? 1 : 0);
        unreachable.releaseAll(); // nothing more to release
        EXPECT_EQ(std::count(failing.log.begin(), failing.log.end(), "PPRELEASE"), claimed ? 1 : 0);
    }
}

TEST_F(PpdevTest, PermissionHintPointsAtTheDeviceWhenItsGroupIsUnknown) {
    os.failures["open"] = EACCES;
    os.group.clear();
    EXPECT_EQ(ports.getBit(889, 5), 0);
    ASSERT_EQ(os.messages.size(), 1U);
    EXPECT_NE(os.messages[0].find("ls -l /dev/parport0"), std::string::npos) << os.messages[0];
}

TEST_F(PpdevTest, AFailedWriteDropsThePortAndIsReportedOnce) {
    ports.setBit(888, 2, true);
    os.failures["PPWDATA"] = EIO;
    ports.setBit(888, 3, true);
    os.failures.clear();
    ports.setBit(888, 4, true);
    EXPECT_EQ(ports.getBit(889, 7), 0);
    const std::vector<std::string> expected{
        "open /dev/parport0", "PPCLAIM",   "PPRDATA -> 00", "PPWDATA 04",
        "PPWDATA failed",     "PPRELEASE", "close 7"};
    EXPECT_EQ(os.log, expected);
    ASSERT_EQ(os.messages.size(), 1U);
    EXPECT_NE(os.messages[0].find("writing the data register failed"), std::string::npos);
}

TEST_F(PpdevTest, ReleaseGivesThePortBackAndTheNextUseClaimsItAfresh) {
    ports.releaseAll(); // never used: nothing to do
    EXPECT_TRUE(os.log.empty());
    ports.setBit(888, 1, true);
    ports.releaseAll();
    os.data = 0x10; // someone else changed the lines in between
    ports.setBit(888, 0, true);
    const std::vector<std::string> expected{
        "open /dev/parport0", "PPCLAIM", "PPRDATA -> 00", "PPWDATA 02", "PPRELEASE", "close 7",
        "open /dev/parport0", "PPCLAIM", "PPRDATA -> 10", "PPWDATA 11"};
    EXPECT_EQ(os.log, expected);
}

TEST_F(PpdevTest, DestroyingThePortsReleasesAClaimedPort) {
    {
        ParallelPorts scoped(FakeOs::system);
        EXPECT_TRUE(scoped.standardPortReachable());
    }
    const std::vector<std::string> expected{"open /dev/parport0", "PPCLAIM", "PPRDATA -> 00",
                                            "PPRELEASE", "close 7"};
    EXPECT_EQ(os.log, expected);
}
