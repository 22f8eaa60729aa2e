// SPDX-License-Identifier: MIT
// The built program with the USBasp io library over the emulated USBasp on the simulated chip
// (tests/usbasp-emulated/libio.so): the memory, fuse and lock commands in blocks and single
// instructions, beyond 128 KiB, at a chosen ISP clock; and what a user meets when the USBasp
// isn't there, may not be opened, fails or times out during a transfer, has old firmware, or
// the target needs a slower clock. Transcripts in expected/; the trace shows every instruction the
// part received, and any it ignored for being busy.
#include "hex_image.h"
#include "simulated_chip.h"

using namespace quillon::testing;

namespace {

const std::string emulated = QUILLON_BUILD_DIR "/tests/usbasp-emulated";

// A case on the emulated USBasp: QUILLON_EMULATED_USBASP and QUILLON_USBASP as given, the part
// on a 16 MHz crystal unless its clock is given.
ChipCase usbasp(std::string name, std::string device, std::string args, std::string emulation = "",
                std::string settings = "", std::string clock = "16000000") {
    ChipCase c{std::move(name), std::move(device), std::move(args)};
    c.env = {{"LD_LIBRARY_PATH", emulated},
             {"QUILLON_EMULATED_USBASP", std::move(emulation)},
             {"QUILLON_USBASP", std::move(settings)},
             {"QUILLON_SIM_CLOCK", std::move(clock)}};
    c.firmwareWaits = true;
    return c;
}

ChipCase withFiles(ChipCase c, std::map<std::string, std::string> files) {
    c.files = std::move(files);
    return c;
}

const std::string blink = "-df$DATA/blink16.hex";

} // namespace

TEST_P(Transcript, OfTheUsbasp) {
    expectTranscript(GetParam(), QUILLON_SOURCE_DIR "/tests/e2e/usbasp/expected");
}

INSTANTIATE_TEST_SUITE_P(
    UsbaspE2E, Transcript,
    ::testing::Values(
        // df with its verification, uf, de and ue through the blocks of an ATmega328P.
        usbasp("MemoriesOfAnAtmega328P", "ATmega328P",
               blink + " -uf$DIR/up.hex -de$DATA/blink16_eeprom.hex -ue$DIR/up_eeprom.hex"),
        // Fuses and lock bits by single instructions; the locked chip then uploads nothing
        // readable, and a download erases the lock away.
        usbasp("FusesAndLockOfAnAtmega328P", "ATmega328P",
               "-gf -pfae2,d9,fd -gf -pf2d8 -gf2 -a -gf -pl3c -pl3c -gl -uf$DIR/locked.hex " +
                   blink + " -gl"),
        // Beyond 64 KiB by SETLONGADDRESS, beyond 128 KiB by the firmware's Load Extended
        // Address; firmware from 2009 leaves that to the host.
        withFiles(usbasp("Above128KiBOnAnAtmega2560", "ATmega2560",
                         "-df$DIR/sparse.hex -uf$DIR/up.hex"),
                  {{"sparse.hex", sparse2560}}),
        withFiles(usbasp("Above128KiBWithFirmwareFrom2009", "ATmega2560", "-df$DIR/sparse.hex",
                         "firmware=2009"),
                  {{"sparse.hex", sparse2560}}),
        // A factory-new chip at 1 MHz: no answer at the firmware's 375 kHz, with the sck= to
        // try; at that clock, or with the slow-clock jumper, it programs.
        usbasp("NewChipAtTheFirmwaresClock", "ATmega328P", blink, "", "", "1000000"),
        usbasp("NewChipAtSck187k", "ATmega328P", blink, "", "sck=187.5k", "1000000"),
        usbasp("NewChipWithTheSlowClockJumper", "ATmega328P", blink + " -gf", "jumper", "sck=1.5M",
               "1000000"),
        // Old firmware can't set the clock: with sck= nothing runs; without, it programs.
        usbasp("OldFirmwareAskedForAClock", "ATmega16", blink, "firmware=2007", "sck=32k"),
        usbasp("OldFirmwareAtItsOwnClock", "ATmega16", blink, "firmware=2007"),
        // No USBasp, only a V-USB stranger with its ids, no permission, a bad setting, several
        // USBasps and the serial number that picks one.
        usbasp("NoUsbasp", "ATmega328P", "-i " + blink, "no-device,stranger"),
        usbasp("PermissionDenied", "ATmega328P", "-i", "denied"),
        usbasp("UnknownSetting", "ATmega328P", "-i", "", "speed=fast"),
        usbasp("SeveralUsbaspsAndNoSerial", "ATmega328P", "-i", "serials=0042+0043"),
        usbasp("SerialPicksOne", "ATmega328P", "-i", "serials=0042+0043", "serial=0043"),
        // A transfer fails during the flash write, or times out during the read-back of an
        // upload: the command says why and prints no success line; so do the commands after it.
        withFiles(usbasp("TransferFailsMidDownload", "ATmega328P", "-df$DIR/image.hex -i",
                         "fail-at=14"),
                  {{"image.hex", hexImage(2000, [](unsigned i) { return i % 251; })}}),
        usbasp("TransferTimesOutMidUpload", "ATmega328P", "-uf$DIR/up.hex -gf", "timeout-at=40")),
    caseName);
