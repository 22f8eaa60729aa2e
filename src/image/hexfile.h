// The Intel HEX reader and writer, and the load and upload commands.
#pragma once

#include <string_view>

namespace quillon {

// "ld": loads an Intel HEX file into ImageBuffer without touching the target.
void loadImage(std::string_view fileName);
// "uf": reads the flash back into an Intel HEX file.
void uploadFlash(std::string_view fileName);
// "ue": reads the EEPROM back into an Intel HEX file.
void uploadEeprom(std::string_view fileName);

} // namespace quillon
