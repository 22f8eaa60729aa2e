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
        // ends inside a record loads what it holds, its missing bytes taking the fill byte.
        ChipCase{"RecordsInAnyOrderAndAFileCutShort",
                 "ATmega16",
                 "-df$DIR/joined.hex -sf00 -df$DIR/cut.hex",
                 {{"joined.hex", ":02001000AABB89\n:0400000001020304F2\n:00000001FF\n"},
                  {"cut.hex", ":0400000001020304F2\n:08001000112233"}}}),
    caseName);
