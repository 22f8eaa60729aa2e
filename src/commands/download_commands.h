// SPDX-License-Identifier: MIT
// The download commands "df" and "de".
#pragma once

#include <string_view>

namespace quillon {

// "df": loads an Intel HEX file, programs it into flash and verifies it.
void downloadFlash(std::string_view fileName);
// "de": the same into EEPROM.
void downloadEeprom(std::string_view fileName);

} // namespace quillon
