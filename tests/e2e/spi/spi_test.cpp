// SPDX-License-Identifier: MIT
// The SPI library run by the built program against the fake spidev and RESET line wired to the
// simulated chip (tests/io_spi_fake/libio.so): downloads, verification and uploads of flash and
// EEPROM, fuses, a part above 128 KiB, and the faults a user meets, with the chip's memories and
// the instructions it received. Transcripts in expected/. And the launcher with the real library.
#include "simulated_chip.h"

using namespace quillon::testing;

namespace {

ChipCase spi(std::string name, std::string device, std::string args,
             std::map<std::string, std::string> env = {}, std::string faults = "") {
    ChipCase c{std::move(name), std::move(device), std::move(args)};
    c.faults = std::move(faults);
    c.library = "tests/io_spi_fake";
    c.env = std::move(env);
    return c;
}

// The fake's planted fault: its calls starting with `call` fail with `error`.
std::map<std::string, std::string> failing(const std::string& call, int error) {
    return {{"QUILLON_TEST_SPIDEV", call + "=" + std::to_string(error)}};
}

ChipCase withFile(ChipCase c, const std::string& name, const std::string& contents) {
    c.files[name] = contents;
    return c;
}

} // namespace

TEST_P(Transcript, ThroughTheSpiController) {
    expectTranscript(GetParam(), QUILLON_SOURCE_DIR "/tests/e2e/spi/expected");
}

INSTANTIATE_TEST_SUITE_P(
    SpiE2E, Transcript,
    ::testing::Values(
        spi("FlashDownloadedVerifiedAndUploaded", "ATmega16",
            "-df$DATA/blink16.hex -uf$DIR/up.hex"),
        spi("EepromDownloadedAndUploaded", "ATmega16",
            "-de$DATA/blink16_eeprom.hex -ue$DIR/up_eeprom.hex"),
        spi("FusesWrittenAndRead", "ATmega328P", "-pfae2,d9,fd -gf -pf1ff -gf1"),
        // An Arduino Mega's part on its 16 MHz crystal, SCK at an eighth of it.
        withFile(spi("Above128KiBOnAnAtmega2560", "ATmega2560", "-df$DIR/sparse.hex -uf$DIR/up.hex",
                     {{"QUILLON_SIM_CLOCK", "16000000"}, {"QUILLON_SPI", "speed=2000000"}}),
                 "sparse.hex", sparse2560),
        spi("ASlowTargetAtASlowEnoughSpeed", "ATmega16", "-df$DATA/blink16.hex",
            {{"QUILLON_SIM_CLOCK", "128000"}, {"QUILLON_SPI", "speed=25000"}}),
        spi("NoTargetAnswersAtAnySpeed", "ATmega16", "-i", {}, "no-target"),
        // Each fault says what to do in one line and runs nothing; the target is let go.
        spi("NoSpiDevice", "ATmega16", "-df$DATA/blink16.hex",
            {{"QUILLON_TEST_SPIDEV", "open:/dev/spidev=" + std::to_string(ENOENT)},
             {"QUILLON_SPI", " device = spidev1.2 "}}),
        spi("NoPermission", "ATmega16", "-i", failing("open:/dev/spidev", EACCES)),
        spi("NoPermissionForTheGpioChip", "ATmega16", "-i", failing("open:/dev/gpiochip", EACCES)),
        spi("ResetLineBusy", "ATmega16", "-df$DATA/blink16.hex",
            {{"QUILLON_TEST_SPIDEV", "quillon=" + std::to_string(EBUSY)},
             {"QUILLON_SPI", "reset=10"}}),
        spi("NoSuchGpioChip", "ATmega16", "-i",
            {{"QUILLON_TEST_SPIDEV", "open:/dev/gpiochip=" + std::to_string(ENOENT)},
             {"QUILLON_SPI", "reset=gpiochip7"}}),
        spi("NoSuchResetLine", "ATmega16", "-i", {{"QUILLON_SPI", "reset=gpiochip2:54"}}),
        spi("NotAnSpiDevice", "ATmega16", "-i",
            {{"QUILLON_TEST_SPIDEV", "mode=" + std::to_string(ENOTTY)},
             {"QUILLON_SPI", "device=/dev/ttyS0"}}),
        spi("SettingsItCantUse", "ATmega16", "-i", {{"QUILLON_SPI", "speed=8000001,reset=x:1"}}),
        spi("ResetCantBeDriven", "ATmega16", "-i", failing("config:0", EIO)),
        spi("TransferFailsMidway", "ATmega16", "-df$DATA/blink16.hex -uf$DIR/up.hex",
            {{"QUILLON_TEST_SPIDEV", "transfer=40"}}),
        spi("TooFastForTheTargetsClock", "ATmega16", "-df$DATA/blink16.hex",
            {{"QUILLON_SIM_CLOCK", "128000"}})),
    caseName);

TEST(SpiLauncher, RunsTheProgramWithTheSpiLibraryWhichNamesAMissingDevice) {
    ProgramOptions options;
    options.env = {{"QUILLON_SPI", "device=/dev/quillon-test-no-spidev"}};
    const ProgramRun run = runProgram(QUILLON_BUILD_DIR "/quillon-spi", options);
    EXPECT_NE(run.out.find("\nio library: /dev/quillon-test-no-spidev not found: turn the SPI "
                           "controller on (dtparam=spi=on in /boot/firmware/config.txt"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\nTarvik not installed\n"), std::string::npos);
}
