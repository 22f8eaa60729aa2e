// SPDX-License-Identifier: MIT
// The memory commands as a user runs them: downloads, verification and uploads on the simulated
// chip, above 64 KiB and 128 KiB too, with the chip's memories, the files written and the
// instructions sent. Transcripts in expected/.
#include "simulated_chip.h"

using namespace quillon::testing;

namespace {

std::string olderEeprom() {
    std::string bytes;
    for (int i = 0; i < 512; ++i) {
        bytes += static_cast<char>(i % 251);
    }
    return bytes;
}

// A small image whose records cross the 64 KiB boundary, with an extended segment address
// record (ATmega128); the ATmega2560 has sparse2560.
const std::string sparse128 = ":0400000001020304F2\n:08FFF800A0A1A2A3A4A5A6A7E5\n:020000021000EC\n"
                              ":08000000B0B1B2B3B4B5B6B75C\n:010103005AA1\n:00000001FF\n";
const std::string sparseRoundTrip = "-df$DIR/sparse.hex -uf$DIR/up4.hex -t2 -uf$DIR/up2.hex";

// Bytes at the first and the last address of a memory, erased between them.
std::string ends(std::size_t size, char first, char last) {
    return first + std::string(size - 2, '\xFF') + last;
}

} // namespace

TEST_P(Transcript, OfTheMemoryCommands) {
    expectTranscript(GetParam(), QUILLON_SOURCE_DIR "/tests/e2e/memory/expected");
}

namespace {

const std::vector<ChipCase> memoryCases{
    // A blank flash uploads whole; "de" then "ue"; "sf00" serves the next "ld" and falls back
    // after it unless "nv" is on, and "ld" leaves the chip alone; "nv" serves one "df" only;
    // "df" then "uf", also to a file it can't open or fully write. "de" compares the
    // image's bytes only: the EEPROM isn't erased, its older data stays.
    ChipCase{"DownloadsAndUploadsOnAnAtmega16",
             "ATmega16",
             "-uf$DIR/blank.hex -de$DATA/blink16_eeprom.hex -ue$DIR/up_eeprom.hex -sf00 "
             "-ld$DATA/blink16.hex -sf -nv -sf00 -ld$DATA/blink16.hex -sf -df$DATA/blink16.hex "
             "-df$DATA/blink16.hex -uf$DIR/up.hex -uf$DIR/no/such/folder.hex -uf/dev/full",
             {{"chip/eeprom.bin", olderEeprom()}}},
    ChipCase{"Above64KiBOnAnAtmega128", "ATmega128", sparseRoundTrip, {{"sparse.hex", sparse128}}},
    ChipCase{
        "Above128KiBOnAnAtmega2560", "ATmega2560", sparseRoundTrip, {{"sparse.hex", sparse2560}}},
    // A byte that never changes fails the verification: the image's first and last byte,
    // which stay erased, and older data beyond the image, which the erase leaves.
    ChipCase{"StuckBytesFailTheVerification",
             "ATmega16",
             "-df$DATA/blink16.hex",
             {{"chip/flash.bin", ends(0x3001, '\xFF', '\0') + std::string(0xFFF, '\xFF')}},
             "stuck=0,stuck=0x127,stuck=0x3000"},
    // Uploads reach the first and the last byte of each memory.
    ChipCase{"UploadsFromTheFirstToTheLastByte",
             "ATmega48",
             "-uf$DIR/flash.hex -ue$DIR/eeprom.hex",
             {{"chip/flash.bin", ends(4096, '\x11', '\x5a')},
              {"chip/eeprom.bin", ends(256, '\x22', '\x5a')}}},
    // An image that fills the flash exactly is programmed; one byte more, in flash or
    // EEPROM, is refused, as is one past the image buffer's end (364000 bytes).
    ChipCase{"ImagesUpToTheMemorysSize",
             "ATmega48",
             "-df$DIR/full.hex -df$DIR/over.hex -de$DIR/eover.hex -df$DIR/bufferend.hex "
             "-df$DIR/beyond.hex",
             {{"full.hex", ":010FFF005A97\n"},
              {"over.hex", ":011000005A95\n"},
              {"eover.hex", ":010100005AA4\n"},
              {"bufferend.hex", ":020000040005F5\n:018DDF001182\n"},
              {"beyond.hex", ":020000040005F5\n:018DE0001181\n"}}}};

} // namespace

INSTANTIATE_TEST_SUITE_P(MemoryE2E, Transcript, ::testing::ValuesIn(memoryCases), caseName);
// The same through a programmer that carries instructions and blocks itself: the same output
// and memories; the trace shows the instructions its firmware chose.
INSTANTIATE_TEST_SUITE_P(MemoryE2EInstructionLevel, Transcript,
                         ::testing::ValuesIn(atInstructionLevel(memoryCases)), caseName);
