// SPDX-License-Identifier: MIT
// The GPIO backend against a fake chip that logs every call by line number: "open
// /dev/gpiochip0; request 11 10 25 9 out 24=1; config out 11=0 10=1; set 25=0; get 9 -> 1; ".
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <linux/gpio.h>
#include <map>
#include <tuple>
#include <vector>

#include "gpio_adapter.h"

using quillon::gpio::GpioAdapter;

namespace {

struct FakeChip {
    std::string log;
    std::vector<std::string> messages;
    std::string failing; // the call that fails ("open", "request", ...) with `error`
    int error = 0;
    uint32_t usedLine = 0; // answers as in use by "spi0 CS0"
    std::vector<uint32_t> offsets;
    bool miso = true;
    int64_t now = 0;
    std::vector<int64_t> changes; // when each line change was made

    bool fails(const std::string& call) {
        log += call;
        errno = error;
        if (call == failing) {
            log += " failed; ";
        }
        return call == failing;
    }
    void logConfig(const gpio_v2_line_config& config) {
        EXPECT_EQ(config.flags, GPIO_V2_LINE_FLAG_INPUT);
        if (config.num_attrs > 0) {
            EXPECT_EQ(config.attrs[0].attr.flags, GPIO_V2_LINE_FLAG_OUTPUT);
            log += " out";
        }
        for (std::size_t i = 0; i < offsets.size() && config.num_attrs > 0; ++i) {
            if ((config.attrs[0].mask >> i & 1U) != 0) {
                EXPECT_EQ(config.attrs[1].mask >> i & 1U, 1U);
                log += " " + std::to_string(offsets[i]) + "=" +
                       std::to_string(config.attrs[1].attr.values >> i & 1U);
            }
        }
    }
};

FakeChip* chip = nullptr;

int fakeIoctl(int fd, unsigned long request, void* argument) {
    if (request == GPIO_GET_CHIPINFO_IOCTL) {
        EXPECT_EQ(fd, 3);
        static_cast<gpiochip_info*>(argument)->lines = 54;
        return chip->fails("chipinfo") ? -1 : (chip->log += "; ", 0);
    }
    if (request == GPIO_V2_GET_LINEINFO_IOCTL) {
        auto* info = static_cast<gpio_v2_line_info*>(argument);
        chip->log += "lineinfo " + std::to_string(info->offset) + "; ";
        info->flags = info->offset == chip->usedLine ? GPIO_V2_LINE_FLAG_USED : 0;
        std::snprintf(info->consumer, sizeof info->consumer, "spi0 CS0");
        return 0;
    }
    if (request == GPIO_V2_GET_LINE_IOCTL) {
        EXPECT_EQ(fd, 3);
        auto* lines = static_cast<gpio_v2_line_request*>(argument);
        EXPECT_STREQ(lines->consumer, "quillon");
        chip->offsets.assign(lines->offsets, lines->offsets + lines->num_lines);
        if (chip->fails("request")) {
            return -1;
        }
        for (const uint32_t offset : chip->offsets) {
            chip->log += " " + std::to_string(offset);
        }
        chip->logConfig(lines->config);
        chip->log += "; ";
        lines->fd = 4;
        return 0;
    }
    EXPECT_EQ(fd, 4);
    auto* values = static_cast<gpio_v2_line_values*>(argument);
    if (request == GPIO_V2_LINE_GET_VALUES_IOCTL) {
        EXPECT_EQ(values->mask, 1U << 3); // MISO alone
        values->bits = chip->miso ? 1U << 3 : 0;
        return chip->fails("get") ? -1 : (chip->log += chip->miso ? " 1; " : " 0; ", 0);
    }
    chip->changes.push_back(chip->now);
    if (request == GPIO_V2_LINE_SET_CONFIG_IOCTL) {
        if (chip->fails("config")) {
            return -1;
        }
        chip->logConfig(*static_cast<gpio_v2_line_config*>(argument));
        chip->log += "; ";
        return 0;
    }
    EXPECT_EQ(request, GPIO_V2_LINE_SET_VALUES_IOCTL);
    if (chip->fails("set")) {
        return -1;
    }
    for (std::size_t i = 0; i < chip->offsets.size(); ++i) {
        if ((values->mask >> i & 1U) != 0) {
            chip->log += " " + std::to_string(chip->offsets[i]) + "=" +
                         std::to_string(values->bits >> i & 1U);
        }
    }
    chip->log += "; ";
    return 0;
}

constexpr quillon::gpio::GpioSystem fakeSystem{
    [](const char* path, int flags) {
        EXPECT_EQ(flags & O_ACCMODE, O_RDWR);
        return chip->fails(std::string("open ") + path) ? -1 : (chip->log += "; ", 3);
    },
    fakeIoctl,
    [](int fd) {
        chip->log += "close " + std::to_string(fd) + "; ";
        return 0;
    },
    [](const char*) { return std::string("gpio"); },
    [](const std::string& message) { chip->messages.push_back(message); },
    [] { return chip->now += 100; }};

struct GpioTest : ::testing::Test {
    FakeChip fake;
    void SetUp() override { chip = &fake; }
};

// The program's adapter test, its entry into programming mode with one bit of a byte, and its
// release of the target.
void programmerSession(GpioAdapter& lines) {
    for (const auto& [bit, level, status, reads] :
         std::vector<std::tuple<unsigned, bool, unsigned, int>>{
             {0, true, 5, -1}, {0, false, 5, 0}, {1, true, 7, 0}, {1, false, 7, -1}}) {
        lines.setBit(888, bit, level);
        EXPECT_EQ(lines.getBit(889, status), reads);
    }
    chip->log += "| ";
    for (const auto& [bit, level] : std::vector<std::pair<unsigned, bool>>{{7, true},
                                                                           {5, true},
                                                                           {4, false},
                                                                           {3, false},
                                                                           {2, false},
                                                                           {6, false},
                                                                           {7, false},
                                                                           {7, true},
                                                                           {6, true},
                                                                           {7, false},
                                                                           {6, false},
                                                                           {5, false},
                                                                           {4, true}}) {
        lines.setBit(888, bit, level);
    }
    chip->miso = false;
    EXPECT_EQ(lines.getBit(889, 6), 0);
    for (const auto& [bit, level] : std::vector<std::pair<unsigned, bool>>{
             {4, false}, {7, true}, {6, true}, {3, true}, {2, true}}) {
        lines.setBit(888, bit, level);
    }
    chip->log += "| ";
}

} // namespace

TEST_F(GpioTest, PortBitsMoveTheLinesReleasedWhileTheDriversAreOffAndGivenBackAtTheEnd) {
    const std::string loopBack = "; close 3; get 1; get 1; get 1; get 1; | ";
    for (const auto& [config, expected] : std::vector<std::pair<std::string, std::string>>{
             {"", "open /dev/gpiochip0; chipinfo; request 11 10 25 9" + loopBack +
                      "config out 11=0 10=1; config out 11=0 10=1 25=1; set 25=0; set 25=1; "
                      "set 25=0; set 10=0; set 11=1; get 0; set 11=0; set 25=1; config out 25=1; "
                      "config; | config out 11=0 10=0; config; close 4; "},
             {" enable = 24 ,mosi=7, hold=0",
              "open /dev/gpiochip0; chipinfo; request 11 7 25 9 24 out 24=1" + loopBack +
                  "config out 11=0 7=1 24=1; config out 11=0 7=1 25=1 24=0; set 25=0; set 25=1; "
                  "set 25=0; set 7=0; set 11=1; get 0; set 11=0; set 25=1; config out 25=1 24=1; "
                  "config out 24=1; | config out 11=0 7=0 24=1; config out 24=1; close 4; "}}) {
        SCOPED_TRACE(config);
        fake = FakeChip();
        {
            GpioAdapter lines(fakeSystem, config);
            programmerSession(lines);
            EXPECT_TRUE(lines.claimed());
            lines.setBit(888, 3, false); // left driven: given back released
        }
        EXPECT_EQ(fake.log, expected);
        EXPECT_TRUE(fake.messages.empty());
    }
}

TEST_F(GpioTest, EveryLineChangeIsHeldForTheHoldTime) {
    for (const auto& [config, hold] : std::vector<std::pair<std::string, int64_t>>{
             {"", 2000}, {"hold=7", 7000}, {"hold=0", 0}}) {
        fake = FakeChip();
        GpioAdapter lines(fakeSystem, config);
        programmerSession(lines);
        ASSERT_EQ(fake.changes.size(), 11U);
        for (std::size_t i = 1; i < fake.changes.size(); ++i) {
            const int64_t gap = fake.changes[i] - fake.changes[i - 1];
            EXPECT_GE(gap, hold) << config << " change " << i;
            EXPECT_LT(gap, hold + 1000) << config << " change " << i;
        }
    }
}

TEST_F(GpioTest, LinesThatCantBeHadAreExplainedOnceAndReadAsNothingPluggedIn) {
    const std::string opened = "open /dev/gpiochip0; chipinfo; ";
    const std::string claimed = opened + "request 11 10 25 9; close 3; ";
    for (const auto& [config, call, error, log, mention] :
         std::vector<std::tuple<std::string, std::string, int, std::string, std::string>>{
             {"sck=x", "", 0, "", "io library: QUILLON_GPIO: 'sck=x' needs a line number"},
             {"chip=", "", 0, "", "'chip=' needs a GPIO chip, such as chip=gpiochip0"},
             {"miso=11", "", 0, "", "sck and miso are both line 11; each needs a line of its own"},
             {"enable=9", "", 0, "", "miso and enable are both line 9"},
             {"hold=100001", "", 0, "", "'hold=100001' needs microseconds from 0 to 100000"},
             {"clock=3", "", 0, "", "'clock=3' is not one of chip=, sck="},
             {"chip=gpiochip4", "open /dev/gpiochip4", ENOENT, "open /dev/gpiochip4 failed; ",
              "io library: /dev/gpiochip4 not found: this computer has no GPIO chip"},
             {"chip=/dev/x", "open /dev/x", EACCES, "open /dev/x failed; ",
              "/dev/x: permission denied: join the group that owns it, gpio (sudo usermod -aG "
              "gpio $USER), then log in again"},
             {"reset=54", "", 0, opened + "close 3; ",
              "/dev/gpiochip0 has 54 lines, numbered from 0; reset=54 is not one of them"},
             {"", "request", EBUSY, opened + "request failed; lineinfo 11; lineinfo 10; close 3; ",
              "line 10 (mosi) is in use by spi0 CS0: free it (for the SPI driver on a Raspberry "
              "Pi: dtparam=spi=off"},
             {"", "request", EINVAL, opened + "request failed; close 3; ",
              "requesting the lines failed"},
             {"", "get", EIO, claimed + "config out 11=0 10=0; get failed; close 4; ",
              "reading MISO failed"},
             {"", "config", EIO, claimed + "get 1; config failed; close 4; ",
              "switching the lines failed"}}) {
        SCOPED_TRACE(testing::Message() << config << " " << call);
        fake = FakeChip();
        fake.failing = call;
        fake.error = error;
        fake.usedLine = 10;
        {
            GpioAdapter lines(fakeSystem, config);
            if (call != "get") {
                EXPECT_EQ(lines.in(889), call == "config" ? 0xDF : 0x7F);
            }
            lines.setBit(888, 3, false);
            lines.setBit(888, 0, false);
            EXPECT_EQ(lines.in(889), 0x7F); // the loop-back no longer follows
            EXPECT_FALSE(lines.claimed());
        }
        EXPECT_EQ(fake.log, log);
        ASSERT_EQ(fake.messages.size(), 1U);
        EXPECT_NE(fake.messages[0].find(mention), std::string::npos) << fake.messages[0];
    }
}
