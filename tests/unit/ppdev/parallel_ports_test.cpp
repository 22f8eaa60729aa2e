// SPDX-License-Identifier: MIT
// The Linux parallel-port backend against a fake ppdev that logs each call: "open:/dev/parport0
// excl claim dir:0 rd:c0 wd:c1 ". Every device's registers read c0 (data), 60 (status) and 04.
#include <linux/ppdev.h>
#include <map>
#include <sys/ioctl.h>

#include "parallel_ports.h"
#include "port_test.h"

using quillon::testing::Recorder;

namespace {

struct FakePpdev : Recorder {
} os;

const std::map<unsigned long, std::string> requests{
    {PPEXCL, "excl"},       {PPCLAIM, "claim"}, {PPDATADIR, "dir"},
    {PPRELEASE, "release"}, {PPRDATA, "rd"},    {PPWDATA, "wd"},
    {PPRSTATUS, "rs"},      {PPRCONTROL, "rc"}, {PPWCONTROL, "wc"}};
const std::map<std::string, uint8_t> reads{{"rd", 0xC0}, {"rs", 0x60}, {"rc", 0x04}};

int fakeIoctl(int fd, unsigned long request, void* argument) {
    const std::string call = requests.at(request) + (fd == 3 ? "" : "(wrong descriptor)");
    auto* byte = static_cast<uint8_t*>(argument);
    if (reads.contains(call)) {
        *byte = reads.at(call);
    }
    const std::string value = call == "dir"     ? ":" + std::to_string(*static_cast<int*>(argument))
                              : byte != nullptr ? ":" + quillon::testing::hex(*byte)
                                                : "";
    return os.answer(call + value, 0, call == "dir" || call[0] == 'w');
}

constexpr quillon::ppdev::PortSystem fakeSystem{
    Recorder::open,   fakeIoctl,
    Recorder::close,  [](const char*) { return std::string("lp"); },
    Recorder::report, Recorder::clock};

} // namespace

const std::string claim = " excl claim dir:0 rd:c0 ", o = "open:/dev/parport0 ",
                  p0 = "open:/dev/parport0" + claim, end = "release close:3 ", s = "378+2 379?5";

TEST(Ppdev, ClaimedOnFirstUseEachChangeOneWriteHeldGivenBackAndFailuresExplainedOnce) {
    quillon::testing::check(
        os,
        {{"", "", 0, "378+0 378-6 378+4", p0 + "wd:c1 wd:81 wd:91 " + end, 0, ""},
         {"", "", 0, "379?5 379?7 379?8 379+3 37a+0 37a= 278+1 3be=1 300=ff 300=",
          p0 + "rs:60 =-1 rs:60 =0 =0 rc:04 wc:05 rc:04 =04 open:/dev/parport1" + claim +
              "wd:c2 open:/dev/parport2" + claim + "wc:01 =00 " + end + end + end,
          0, ""},
         {"parport3,hold=7", "", 0, "378+0 378+1",
          "open:/dev/parport3" + claim + "wd:c1 wd:c3 " + end, 7, ""},
         {" hold = 100000 , /dev/parport1 ", "", 0, "278+0 378+1",
          "open:/dev/parport1" + claim + "wd:c2 " + end, 100000, ""},
         {"", "open", ENOENT, s, "open:/dev/parport0! =0 ", 0,
          "(sudo modprobe -a parport_pc ppdev)"},
         {"", "open", EACCES, s, "open:/dev/parport0! =0 ", 0, "(sudo usermod -aG lp $USER)"},
         {"", "excl", EBUSY, s, o + "excl! close:3 =0 ", 0, "is busy: another driver or program"},
         {"", "claim", ENXIO, s, o + "excl claim! close:3 =0 ", 0, "the port (sudo rmmod lp)"},
         {"", "dir", EIO, s, o + "excl claim dir:0! " + end + "=0 ", 0,
          "output failed: Input/output"},
         {"", "wd", EIO, s, p0 + "wd:c4! " + end + "=0 ", 0, "writing the data register"},
         {"", "rs", EIO, s, p0 + "wd:c4 rs:60! " + end + "=0 ", 0, "the status register failed"},
         {"", "release", EIO, s, p0 + "wd:c4 rs:60 =-1 release! close:3 ", 0,
          "io library: /dev/parport0: release failed: Input/output error; the port now reads as if "
          "nothing were plugged in"},
         {"hold=100001", "", 0, s, "=0 ", 0,
          "io library: QUILLON_PARPORT: 'hold=100001' needs microseconds from 0 to 100000"},
         {"parport1,/dev/parport2", "", 0, s, "=0 ", 0, "a second device: name one"},
         {"lp0", "", 0, s, "=0 ", 0, "'lp0' is not a parallel port: name one as"}},
        [](const std::string& config) {
            return quillon::ppdev::ParallelPorts(fakeSystem, config);
        });
}
