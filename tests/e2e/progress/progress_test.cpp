// SPDX-License-Identifier: MIT
// The progress bar as a user sees it: a flash download with standard error on a terminal draws
// the bar there and wipes it, and standard output is what it is on a pipe (expected/; every
// other end-to-end case checks that nothing reaches standard error on a pipe).
#include "simulated_chip.h"

using namespace quillon::testing;

TEST(Progress, ABarOnATerminalAndStandardOutputUnchanged) {
    // One byte at the end of half an ATmega16's flash, the rest filled: the page waits of 8 KiB
    // take long enough for the bar to show.
    ChipCase bar{"BarOnATerminal",
                 "ATmega16",
                 "-sf00 -df$DIR/half.hex",
                 {{"half.hex", ":011FFF005A87\n:00000001FF\n"}}};
    bar.terminal = true;
    const std::string err =
        expectTranscript(bar, QUILLON_SOURCE_DIR "/tests/e2e/progress/expected").err;
    ASSERT_NE(err.find("\rProgramming flash ["), std::string::npos) << err;
    EXPECT_NE(err.find("/8192 bytes"), std::string::npos) << err;
    // Every bar is wiped: the terminal ends with spaces between two returns.
    const std::size_t wipe = err.rfind('\r', err.size() - 2);
    EXPECT_EQ(err.back(), '\r');
    EXPECT_EQ(err.find_first_not_of(' ', wipe + 1), err.size() - 1);
}
