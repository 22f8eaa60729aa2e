// SPDX-License-Identifier: MIT
// The instructions that change the chip: Chip Erase, page and byte writes, fuses and lock bits.
// Each change reaches the state files before the instruction returns.
#include <algorithm>

#include "sim/instruction_set.h"

namespace quillon::sim {

void InstructionSet::chipErase() {
    for (uint32_t address = 0; address < part_.flashBytes; ++address) {
        if (!cells_.flashByteStuck(address)) {
            chip_.flash[address] = 0xFF;
        }
    }
    const bool eepromKept = (chip_.highFuse & eesaveBit) == 0;
    if (!eepromKept) {
        std::fill(chip_.eeprom.begin(), chip_.eeprom.end(), uint8_t{0xFF});
    }
    chip_.lock = 0xFF;
    if (files_) {
        files_->flashChanged(chip_, 0, part_.flashBytes);
        if (!eepromKept) {
            files_->eepromChanged(chip_, 0, part_.eepromBytes);
        }
        files_->fusesChanged(chip_);
    }
    startBusy(part_.chipErase);
}

void InstructionSet::writeFlashPage(uint32_t word) {
    if (programmingLocked()) {
        return;
    }
    if (cells_.pageWriteLost()) {
        // The part is busy as usual, but the page keeps what it held.
        std::fill(flashPage_.begin(), flashPage_.end(), uint8_t{0xFF});
        const uint32_t first = (word & ~(part_.flashPageWords() - 1)) * 2;
        startWriting(part_.flashPageWrite, true, first, part_.flashPageBytes);
        return;
    }
    // Programming only clears bits: a page that wasn't erased ends up as old AND new.
    const uint32_t first = (word & ~(part_.flashPageWords() - 1)) * 2;
    for (uint32_t i = 0; i < part_.flashPageBytes; ++i) {
        if (!cells_.flashByteStuck(first + i)) {
            chip_.flash[first + i] &= flashPage_[i];
        }
    }
    std::fill(flashPage_.begin(), flashPage_.end(), uint8_t{0xFF});
    if (files_) {
        files_->flashChanged(chip_, first, part_.flashPageBytes);
    }
    startWriting(part_.flashPageWrite, true, first, part_.flashPageBytes);
}

void InstructionSet::writeEepromByte(uint32_t address, uint8_t data) {
    if (programmingLocked()) {
        return;
    }
    chip_.eeprom[address] = data; // the part erases the byte and writes it
    if (files_) {
        files_->eepromChanged(chip_, address, 1);
    }
    startWriting(part_.eepromWrite, false, address, 1);
}

void InstructionSet::writeEepromPage(uint32_t address) {
    if (programmingLocked()) {
        return;
    }
    // Only the bytes loaded since the last page write are written.
    const uint32_t first = address & ~(part_.eepromPageBytes - 1);
    for (uint32_t i = 0; i < part_.eepromPageBytes; ++i) {
        if ((eepromPageLoaded_ >> i & 1U) != 0) {
            chip_.eeprom[first + i] = eepromPage_[i];
        }
    }
    eepromPageLoaded_ = 0;
    if (files_) {
        files_->eepromChanged(chip_, first, part_.eepromPageBytes);
    }
    startWriting(part_.eepromWrite, false, first, part_.eepromPageBytes);
}

void InstructionSet::writeFuse(uint8_t& fuse, uint8_t value) {
    if (programmingLocked()) {
        return; // lock bits also lock the fuses
    }
    fuse = value;
    if (files_) {
        files_->fusesChanged(chip_);
    }
    startBusy(part_.fuseWrite);
}

void InstructionSet::writeLock(uint8_t value) {
    // Lock bits can only be programmed (1 to 0); only Chip Erase clears them.
    chip_.lock = storedLock(part_, chip_.lock & value);
    if (files_) {
        files_->fusesChanged(chip_);
    }
    startBusy(part_.fuseWrite);
}

} // namespace quillon::sim
