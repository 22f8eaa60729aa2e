// SPDX-License-Identifier: MIT
#include "sim/chip.h"

namespace quillon::sim {

Chip Chip::fresh(const Part& part) {
    Chip chip;
    chip.flash.assign(part.flashBytes, 0xFF);
    chip.eeprom.assign(part.eepromBytes, 0xFF);
    chip.lowFuse = part.lowFuse;
    chip.highFuse = part.highFuse;
    chip.extendedFuse = part.extendedFuse;
    chip.lock = 0xFF;
    for (std::size_t i = 0; i < chip.calibration.size(); ++i) {
        chip.calibration[i] = static_cast<uint8_t>(factoryCalibration - 3 * i);
    }
    return chip;
}

} // namespace quillon::sim
