// SPDX-License-Identifier: MIT
// The help text of the "h" command.
#include <array>
#include <cstdio>

#include "commands/commands.h"

namespace quillon {

namespace {

constexpr std::array helpLines{
    "Command options:\n\n",
    "  -d[f|e]filename - download Hex file to target flash/eeprom using 'filename'\n",
    "  -u[f|e]filename - upload target flash/eeprom contents to 'filename'\n",
    "  -sfxx       - Set fill character - default 0xFF\n",
    "  -pl         - Program lock byte - enter twice to activate\n",
    "  -gl         - Get lock byte\n",
    "  -pfa        - Program all 3 fuse bytes\n",
    "  -gf         - Get fuse bytes\n",
    "  -pf[1|2|3]  - Program fuse byte 1,2 or 3\n",
    "  -gf[1|2|3]  - Get fuse byte 1,2 or 3\n",
    "  -gc         - Get calibration byte\n",
    "  -i          - Identify target processor\n",
    "  -s          - Get target processor statistics\n",
    "  -a          - Automatically program fuse bits with defaults\n",
    "  -nv         - Don't verify target\n",
    "  -h          - output help menu\n\n",
    "  Supported AVRs: ATmega48,ATmega88,ATmega168,ATmega16,ATmega32,ATmega128.\n",
    "  Command line commands require preceeding '-' interactive commands don't.\n",
    "  Leave white space between commands.\n\n",
};

static_assert(helpLines.size() == 19);

} // namespace

void printHelp() {
    for (const char* line : helpLines) {
        std::fputs(line, stdout);
    }
}

} // namespace quillon
