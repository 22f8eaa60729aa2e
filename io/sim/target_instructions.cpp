// SPDX-License-Identifier: MIT
// What the target does with each serial programming instruction. Bytes are named b1 to b4 in
// the order they arrive; addresses wrap at the memory's size, as the part ignores the address
// bits it doesn't have.
#include <algorithm>

#include "sim/target.h"

namespace quillon::sim {

namespace {

struct Bytes {
    uint8_t b1, b2, b3, b4;
};

Bytes split(uint32_t frame) {
    return {static_cast<uint8_t>(frame >> 24), static_cast<uint8_t>(frame >> 16),
            static_cast<uint8_t>(frame >> 8), static_cast<uint8_t>(frame)};
}

} // namespace

uint32_t Target::flashWord(uint8_t high, uint8_t low) const {
    const uint32_t word = (uint32_t{extendedAddress_} << 16) | (uint32_t{high} << 8) | low;
    return word & (part_.flashWords() - 1);
}

uint32_t Target::eepromAddress(uint8_t high, uint8_t low) const {
    return ((uint32_t{high} << 8) | low) & (part_.eepromBytes - 1);
}

// The answer of a reading instruction, given its first three bytes (in bits 23..0); nothing
// for an instruction that doesn't read.
std::optional<uint8_t> Target::answer(uint32_t frame) const {
    const Bytes in = split(frame << 8);
    switch (in.b1) {
    case 0x20: // Read Program Memory, low byte
    case 0x28: // high byte
        if (readingLocked()) {
            return 0xFF;
        }
        return chip_.flash[2 * flashWord(in.b2, in.b3) + (in.b1 == 0x28 ? 1 : 0)];
    case 0xA0: // Read EEPROM Memory
        return readingLocked() ? uint8_t{0xFF} : chip_.eeprom[eepromAddress(in.b2, in.b3)];
    case 0x30: { // Read Signature Byte
        const unsigned index = in.b3 & 0x03U;
        return index < part_.signature.size() ? part_.signature[index] : uint8_t{0xFF};
    }
    case 0x58: // Read Lock bits, Read Fuse High bits
        if (in.b2 == 0x00) {
            return chip_.lock;
        }
        if (in.b2 == 0x08) {
            return chip_.highFuse;
        }
        return std::nullopt;
    case 0x50: // Read Fuse bits, Read Extended Fuse bits
        if (in.b2 == 0x00) {
            return chip_.lowFuse;
        }
        if (in.b2 == 0x08) {
            return chip_.extendedFuse;
        }
        return std::nullopt;
    case 0x38: // Read Calibration Byte
        return chip_.calibration[part_.calibrationBytes > 1 ? (in.b3 & 0x03U) : 0U];
    case 0xF0: // Poll RDY/BSY
        return busy() ? uint8_t{0x01} : uint8_t{0x00};
    default:
        return std::nullopt;
    }
}

void Target::execute(uint32_t frame) {
    const Bytes in = split(frame);
    switch (in.b1) {
    case 0xAC:
        if ((in.b2 & 0xE0U) == 0x80) {
            chipErase();
        } else if ((in.b2 & 0xE0U) == 0xE0) {
            writeLock(in.b4);
        } else if (in.b2 == 0xA0) {
            writeFuse(chip_.lowFuse, in.b4);
        } else if (in.b2 == 0xA8) {
            writeFuse(chip_.highFuse, storedHighFuse(in.b4));
        } else if (in.b2 == 0xA4 && part_.extendedBits != 0) {
            writeFuse(chip_.extendedFuse, storedExtendedFuse(part_, in.b4));
        }
        break; // Programming Enable again: nothing to do
    case 0x4D: // Load Extended Address byte
        extendedAddress_ = in.b3;
        break;
    case 0x40: // Load Program Memory Page, low byte
    case 0x48: // high byte
        flashPage_[2 * (in.b3 & (part_.flashPageWords() - 1)) + (in.b1 == 0x48 ? 1 : 0)] = in.b4;
        break;
    case 0x4C: // Write Program Memory Page
        writeFlashPage(flashWord(in.b2, in.b3));
        break;
    case 0xC0: // Write EEPROM Memory
        writeEepromByte(eepromAddress(in.b2, in.b3), in.b4);
        break;
    case 0xC1: // Load EEPROM Memory Page
        if (part_.eepromPageAccess) {
            const unsigned offset = in.b3 & (part_.eepromPageBytes - 1);
            eepromPage_[offset] = in.b4;
            eepromPageLoaded_ |= 1U << offset;
        }
        break;
    case 0xC2: // Write EEPROM Memory Page
        if (part_.eepromPageAccess) {
            writeEepromPage(eepromAddress(in.b2, in.b3));
        }
        break;
    default: // reads answered already, and instructions the part doesn't have
        break;
    }
}

void Target::flashChanged(uint32_t offset, uint32_t length) {
    if (files_) {
        files_->flashChanged(chip_, offset, length);
    }
}

void Target::chipErase() {
    // Stuck bytes keep their value through the erase.
    std::vector<uint8_t> kept;
    kept.reserve(stuck_.size());
    for (const uint32_t address : stuck_) {
        kept.push_back(chip_.flash[address]);
    }
    std::fill(chip_.flash.begin(), chip_.flash.end(), uint8_t{0xFF});
    for (std::size_t i = 0; i < stuck_.size(); ++i) {
        chip_.flash[stuck_[i]] = kept[i];
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

void Target::writeFlashPage(uint32_t word) {
    if (programmingLocked()) {
        return;
    }
    if (++pageWrites_ == dropPage_) {
        // The write is lost: the part is busy as usual, but the page keeps what it held.
        std::fill(flashPage_.begin(), flashPage_.end(), uint8_t{0xFF});
        startBusy(part_.flashPageWrite);
        return;
    }
    // Programming only clears bits: a page that wasn't erased ends up as old AND new.
    const uint32_t first = (word & ~(part_.flashPageWords() - 1)) * 2;
    for (uint32_t i = 0; i < part_.flashPageBytes; ++i) {
        const uint32_t address = first + i;
        if (std::find(stuck_.begin(), stuck_.end(), address) == stuck_.end()) {
            chip_.flash[address] &= flashPage_[i];
        }
    }
    std::fill(flashPage_.begin(), flashPage_.end(), uint8_t{0xFF});
    flashChanged(first, part_.flashPageBytes);
    startBusy(part_.flashPageWrite);
}

void Target::writeEepromByte(uint32_t address, uint8_t data) {
    if (programmingLocked()) {
        return;
    }
    chip_.eeprom[address] = data; // the part erases the byte and writes it
    if (files_) {
        files_->eepromChanged(chip_, address, 1);
    }
    startBusy(part_.eepromWrite);
}

void Target::writeEepromPage(uint32_t address) {
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
    startBusy(part_.eepromWrite);
}

void Target::writeFuse(uint8_t& fuse, uint8_t value) {
    if (programmingLocked()) {
        return; // lock bits also lock the fuses
    }
    fuse = value;
    if (files_) {
        files_->fusesChanged(chip_);
    }
    startBusy(part_.fuseWrite);
}

void Target::writeLock(uint8_t value) {
    // Lock bits can only be programmed (1 to 0); only Chip Erase clears them.
    chip_.lock = storedLock(part_, chip_.lock & value);
    if (files_) {
        files_->fusesChanged(chip_);
    }
    startBusy(part_.fuseWrite);
}

} // namespace quillon::sim
