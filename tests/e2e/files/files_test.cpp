// SPDX-License-Identifier: MIT
// Bad input from the file system against the built program on a simulated ATmega16: files that
// are missing, unreadable, folders, binary, too large or cut short, records out of order, and
// upload paths that can't be written. Each gives its message, the chip and existing files keep
// their data, and the next command works. Transcripts in expected/.
#include "simulated_chip.h"

using namespace quillon::testing;

namespace {

const std::string blink = dataDir + "/blink16.bin";

} // namespace

TEST_P(Transcript, OfTheFileCommands) {
    expectTranscript(GetParam(), QUILLON_SOURCE_DIR "/tests/e2e/files/expected");
}

INSTANTIATE_TEST_SUITE_P(
    BadFiles, Transcript,
    ::testing::Values(
        // Files that don't load, or hold more than the memory, leave the programmed chip as it
        // was: no erase, programming or verification; the settings are reset all the same.
        ChipCase{
            "RefusedFilesLeaveTheChipAlone",
            "ATmega16",
            "-df$DATA/blink16.hex -df$DIR/missing.hex -de$DIR/missing.hex -df$DIR/outside.hex "
            "-de$DIR/outside.hex -df$DATA/table128.hex -de$DATA/table128.hex -sf00 -df$DIR -sf",
            {{"outside.hex", ":020000040007F3\n:0100000001FE\n"}}},
        ChipCase{"UnloadableDownloadsThenAnUpload",
                 "ATmega16",
                 "-df$DIR/missing.hex -df -df$DIR/chip -df/proc/self/mem -de$DIR/prog.bin "
                 "-ld$DIR/prog.bin -df$DIR/prog.bin -uf$DIR/good.hex",
                 {{"chip/flash.bin", erasedAfter(fileText(blink), 16384)},
                  {"prog.bin", fileText(blink)}}},
        ChipCase{"UploadsToPathsThatCantBeWritten",
                 "ATmega16",
                 "-uf$DIR/no/such/folder/out.hex -ue$DIR/plain.txt/out.hex -uf -uf/dev/full "
                 "-ue$DIR/good.hex",
                 {{"plain.txt", "a regular file\n"},
                  {"chip/eeprom.bin", erasedAfter("\x01\x02\x03", 512)}}},
        // Records come in any order; the image reaches to the end of the highest. A file that
        // ends inside a record is refused whole.
        ChipCase{"RecordsInAnyOrderAndAFileCutShort",
                 "ATmega16",
                 "-df$DIR/joined.hex -sf00 -df$DIR/cut.hex",
                 {{"joined.hex", ":02001000AABB89\n:0400000001020304F2\n:00000001FF\n"},
                  {"cut.hex", ":0400000001020304F2\n:08001000112233"}}},
        // Whatever can't be trusted whole is refused before the chip is touched: no erase, no
        // programming, the chip keeps the program. What loses nothing stays: a record without
        // data bytes at ffff asks for no room.
        ChipCase{
            .name = "DamagedDownloadsLeaveTheChipAsItWas",
            .device = "ATmega16",
            .args = "-df/dev/null -df$DIR/empty.hex -df$DIR/README -df$DIR/blink.c -df$DIR/sum.hex "
                    "-de$DIR/digit.hex -df$DIR/short.hex -df$DIR/cut.hex -df$DIR/fifo -de$DIR/fifo "
                    "-ld$DIR/sum.hex -de$DIR/zero.hex",
            .files = {{"chip/flash.bin", erasedAfter(fileText(blink), 16384)},
                      {"empty.hex", ""},
                      {"README", "Build with make, then program the .hex file.\n"},
                      {"blink.c", "int main(void) { for (;;) { PORTB ^= 1; } }\n"},
                      {"sum.hex", ":0400000001020304F2\n:0400040005060708D9\n:00000001FF\n"},
                      {"digit.hex", ":0400000001020304F2\n:040004000506O708DA\n"},
                      {"short.hex", ":0400000001020304F2\r\n:04000400050607\r\n:00000001FF\r\n"},
                      {"cut.hex", ":0400000001020304F2\n:0400040005060708"},
                      {"zero.hex", ":00FFFF0002\n:0200000011AA43\n"}},
            .timeout = std::chrono::milliseconds(60000),
            .fifos = {"fifo"}},
        // Uploads that can't be finished leave the file as it was; a FIFO, a device or a folder
        // is refused without waiting for anything.
        ChipCase{.name = "UploadsRefusedForWhatIsNoRegularFile",
                 .device = "ATmega16",
                 .args = "-uf$DIR/fifo -ue$DIR/fifo -uf/dev/null -uf$DIR/chip -ue$DIR/kept.hex",
                 .files = {{"chip/flash.bin", erasedAfter(fileText(blink), 16384)},
                           {"chip/eeprom.bin", erasedAfter("\x01\x02\x03", 512)},
                           {"kept.hex", "an earlier upload\n"}},
                 .timeout = std::chrono::milliseconds(60000),
                 .fifos = {"fifo"}}),
    caseName);
