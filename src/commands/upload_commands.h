// SPDX-License-Identifier: MIT
// The upload commands "uf" and "ue".
#pragma once

#include <string_view>

namespace quillon {

// "uf": reads the flash back into an Intel HEX file.
void uploadFlash(std::string_view fileName);
// "ue": reads the EEPROM back into an Intel HEX file.
void uploadEeprom(std::string_view fileName);

} // namespace quillon
