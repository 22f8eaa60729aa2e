// SPDX-License-Identifier: MIT
// The InpOut32 backend against a fake InpOut DLL that keeps the registers and logs each call:
// "load C:\q\inpoutx64.dll open in:378:c0 out:378:c1 ". Failing "load" with error 1 is a
// missing DLL, with error 2 one without InpOut's entry points; failing "open" a closed driver.
#include <map>

#include "inpout_ports.h"
#include "port_test.h"

using quillon::testing::hex;

using quillon::testing::Recorder;

namespace {

struct FakeInpOut : Recorder {
    std::map<uint16_t, uint8_t> registers{{0x378, 0xC0}, {0x37A, 4}, {0x27A, 0x0B}, {0x3BD, 0x60}};
} dll;

constexpr quillon::inpout::InpOutSystem fakeSystem{
    [] { return std::string("C:\\q\\"); },
    [](const std::string& path) {
        return quillon::inpout::LoadResult{dll.answer("load " + path, 0) == 0 ? 0 : dll.error};
    },
    [] { return dll.answer("open", 1) == 1; },
    [](uint16_t port) {
        return static_cast<uint8_t>(
            dll.answer("in:" + hex(port) + ":" + hex(dll.registers[port]), dll.registers[port]));
    },
    [](uint16_t port, uint8_t value) {
        dll.answer("out:" + hex(port) + ":" + hex(dll.registers[port] = value), 0, true);
    },
    Recorder::report,
    Recorder::clock};

} // namespace

const std::string load = "load C:\\q\\inpoutx64.dll",
                  opened =
                      load + " open in:378:c0 in:37a:04 in:278:00 in:27a:0b in:3bc:00 in:3be:00 ",
                  s = "378+2 378=ff 379?5 378=";

TEST(InpOut, LoadedOnFirstUseEachChangeOneWriteFromTheShadowsHeldAndFailuresExplainedOnce) {
    // The DLL loaded and the shadows read from the registers.
    quillon::testing::check(
        dll,
        {{"", "", 0, "378+0 378-6 378+4", opened + "out:378:c1 out:378:81 out:378:91 ", 0, ""},
         {"", "", 0, "37a+0 27a-3 3be+7 379+3 378+8 300=ff 300= 3bd?5 3bd?7 3bd?8 27a=",
          opened +
              "out:37a:05 out:27a:03 out:3be:80 =00 in:3bd:60 =-1 in:3bd:60 =0 =0 in:27a:03 =03 ",
          0, ""},
         {" hold = 250 ,", "", 0, "278=10 278+0", opened + "out:278:10 out:278:11 ", 250, ""},
         {"hold=100000", "", 0, "378-7 378-6", opened + "out:378:40 out:378:00 ", 100000, ""},
         {"", "load", 1, s, load + "! =0 =00 ", 0,
          "io library: C:\\q\\inpoutx64.dll not found: put InpOut32's inpoutx64.dll beside "
          "quillon.exe and run its "
          "InstallDriver.exe once as administrator; the port now reads as if nothing were plugged "
          "in"},
         {"", "load", 2, s, load + "! =0 =00 ", 0, "has no Inp32, Out32 or IsInpOutDriverOpen"},
         {"", "open", 0, s, load + " open! =0 =00 ", 0,
          "driver is not open: run InpOut32's InstallDriver.exe"},
         {"hold=2x", "", 0, s, "=0 =00 ", 0,
          "io library: QUILLON_INPOUT: 'hold=2x' needs microseconds from 0 to 100000"},
         {"hold=1,speed=9", "", 0, s, "=0 =00 ", 0, "'speed=9' is not hold="}},
        [](const std::string& config) { return quillon::inpout::InpOutPorts(fakeSystem, config); });
}
