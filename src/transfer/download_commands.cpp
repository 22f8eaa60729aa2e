// Placeholder bodies of the download commands until programming is in place.
#include "transfer/transfer.h"

namespace quillon {

void downloadFlash(std::string_view) {}
void downloadEeprom(std::string_view) {}

} // namespace quillon
