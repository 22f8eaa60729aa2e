// SPDX-License-Identifier: MIT
// "ld": loads an Intel HEX file into ImageBuffer without touching the target.
#include "commands/commands.h"
#include "image/hexfile.h"

namespace quillon {

void loadImage(std::string_view fileName) {
    (void)loadDownloadFile(fileName); // the load length is neither printed nor kept
    // With verification off the settings stay, so "nv" and "sf" also serve the next load.
    if (CommandSettings.verifyMode == 'v') {
        resetSettings();
    }
}

} // namespace quillon
