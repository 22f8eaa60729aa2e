// SPDX-License-Identifier: MIT
// The GPIO backend against the fake chip (fake_gpio_chip.h), whose log shows each call with the
// lines' states it leaves, in the order sck, mosi, reset, miso, enable.
#include "fake_gpio_chip.h"
#include "gpio_adapter.h"

using quillon::testing::Recorder;

namespace {

quillon::testing::FakeGpioChip chip;

constexpr quillon::gpio::GpioSystem fakeSystem{
    Recorder::open,
    [](int fd, unsigned long request, void* argument) { return chip.ioctl(fd, request, argument); },
    Recorder::close,
    [](const char*) { return std::string("gpio"); },
    Recorder::report,
    Recorder::clock};

} // namespace

const std::string o = "open:/dev/gpiochip0 info ", claimed = o + "quillon:11:10:25:9:iiii close:3 ",
                  driven = claimed + "get:1 =df config:00ii config:001i ",
                  s = "379= 378-3 378-2 378-6 379=";

TEST(Gpio, PortBitsMoveTheLinesEachChangeHeldGivenBackReleasedAndFailuresExplainedOnce) {
    quillon::testing::check(
        chip,
        {{"", "", 0,
          "378+0 379?5 378+1 379?7 378-4 378-3 378-2 378-6 378+6 378-7 378+5 378+4 379?6",
          claimed + "get:1 =-1 get:1 =0 config:00ii config:001i set:000i set:001i set:000i "
                    "set:010i set:110i get:1 =-1 config:iiii close:4 ",
          2, ""},
         {" enable = 24 ,mosi=7, hold=0", "", 0, "378-3 378-2 378+5 379?6",
          o + "quillon:11:7:25:9:24:iiii1 close:3 config:00ii1 config:001i0 set:011i0 get:1 =-1 "
              "config:iiii1 close:4 ",
          0, ""},
         {"chip=/dev/gpiochip2,sck=1,mosi=2,miso=3,reset=4,hold=7", "", 0,
          "378-2 378-6 378-3 378+4 378+3 378+2",
          "open:/dev/gpiochip2 info quillon:1:2:4:3:iiii close:3 config:ii1i set:ii0i config:000i "
          "set:100i config:ii0i config:iiii close:4 ",
          7, ""},
         {"chip=gpiochip1,hold=100000", "", 0, "378=c3 378=53 378= 37a=1 37a= 379?8",
          "open:/dev/gpiochip1 info quillon:11:10:25:9:iiii close:3 config:001i set:100i =53 =ff "
          "=0 config:iiii close:4 ",
          100000, ""},
         {"sck=x", "", 0, s, "=7f =7f ", 0,
          "io library: QUILLON_GPIO: 'sck=x' needs a line number"},
         {"miso=11", "", 0, s, "=7f =7f ", 0, "sck and miso are both line 11"},
         {"hold=100001", "", 0, s, "=7f =7f ", 0, "microseconds from 0 to 100000"},
         {"chip=gpiochip4", "open", ENOENT, s, "open:/dev/gpiochip4! =7f =7f ", 0, "no GPIO chip"},
         {"", "open", EACCES, s, "open:/dev/gpiochip0! =7f =7f ", 0, "-aG gpio $USER"},
         {"reset=54", "", 0, s, o + "close:3 =7f =7f ", 0, "reset=54 is not one"},
         {"", "quillon", EBUSY, s,
          o + "quillon:11:10:25:9:iiii! lineinfo:11 lineinfo:10 close:3 =7f =7f ", 0,
          "line 10 (mosi) is in use by spi0 CS0: free it"},
         {"", "get", EIO, s, claimed + "get:1! close:4 =7f =7f ", 2, "reading MISO failed"},
         {"", "config", EIO, s, claimed + "get:1 =df config:00ii! close:4 =7f ", 2,
          "switching the"},
         {"", "set", EIO, s, driven + "set:000i! close:4 =7f ", 2, "setting the lines failed"},
         {"", "config:iiii", EIO, s, driven + "set:000i get:1 =df config:iiii! close:4 ", 2,
          "io library: /dev/gpiochip0: releasing the lines failed: Input/output error; the adapter "
          "now reads as if nothing were plugged in"}},
        [](const std::string& config) { return quillon::gpio::GpioAdapter(fakeSystem, config); });
}
