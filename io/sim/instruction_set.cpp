// SPDX-License-Identifier: MIT
// Decoding the serial programming instructions. Bytes are named b1 to b4 in the order they
// arrive; addresses wrap at the memory's size, as the part ignores the address bits it doesn't
// have.
#include "sim/instruction_set.h"

#include <algorithm>

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

InstructionSet::InstructionSet(Part part, Chip chip, const Clock& clock, Trace& trace,
                               std::unique_ptr<StateFiles> files, Cells& cells)
    : part_(std::move(part)), chip_(std::move(chip)), clock_(clock), trace_(trace),
      files_(std::move(files)), cells_(cells), flashPage_(part_.flashPageBytes, 0xFF),
      eepromPage_(part_.eepromPageBytes, 0xFF) {}

uint8_t InstructionSet::byteIn(unsigned index, uint32_t frame) {
    auto next = static_cast<uint8_t>(frame); // echo the byte just received
    if (!enabled_) {
        // Until programming is enabled the part only answers Programming Enable, with the 0x53
        // of byte 2 during byte 3, and only when both bytes arrived where it expects them: a
        // part out of step by some bits doesn't recognise the instruction and stays silent.
        next = index == 2 && (frame & 0xFFFFU) == 0xAC53 ? uint8_t{0x53} : uint8_t{0x00};
    }
    if (index == 3) {
        readWhileBusy_ = false;
        if (enabled_) {
            if (const auto value = answer(frame & 0xFFFFFFU)) {
                const bool poll = (frame >> 16 & 0xFFU) == 0xF0;
                if (!poll && busy()) {
                    readWhileBusy_ = true;
                    next = polling(frame & 0xFFFFFFU) ? uint8_t{0xFF} : next;
                } else {
                    next = *value;
                }
            }
        }
    }
    return next;
}

void InstructionSet::reset() {
    enabled_ = false;
    readWhileBusy_ = false;
    extendedAddress_ = 0;
    std::fill(flashPage_.begin(), flashPage_.end(), uint8_t{0xFF});
    eepromPageLoaded_ = 0;
}

bool InstructionSet::arrived(uint32_t frame) {
    const bool poll = (frame >> 24) == 0xF0;
    const bool ignored = !poll && (readWhileBusy_ || busy());
    readWhileBusy_ = false;
    trace_.instruction(frame, ignored);
    return ignored;
}

void InstructionSet::act(uint32_t frame, bool ignored, bool awake) {
    if (ignored) {
        return;
    }
    if (!enabled_) {
        enabled_ = (frame >> 16) == 0xAC53 && awake;
        return;
    }
    execute(frame);
}

void InstructionSet::powerDown() {
    enabled_ = false;
    busyPending_ = false;
}

bool InstructionSet::busy() const {
    if (!busyPending_) {
        return false;
    }
    busyPending_ = clock_.now() < busyUntil_;
    return busyPending_;
}

void InstructionSet::startBusy(Micros time) {
    busyUntil_ = clock_.now() + time * cells_.timeScale();
    busyPending_ = true;
    writing_ = {};
}

void InstructionSet::startWriting(Micros time, bool flash, uint32_t first, uint32_t bytes) {
    startBusy(time);
    writing_ = {flash, first, bytes};
}

bool InstructionSet::polling(uint32_t frame) const {
    const Bytes in = split(frame << 8);
    uint32_t address = 0;
    if (in.b1 == 0x20 || in.b1 == 0x28) {
        address = 2 * flashWord(in.b2, in.b3) + (in.b1 == 0x28 ? 1 : 0);
    } else if (in.b1 == 0xA0) {
        address = eepromAddress(in.b2, in.b3);
    } else {
        return false;
    }
    return writing_.flash == (in.b1 != 0xA0) && address >= writing_.first &&
           address - writing_.first < writing_.bytes;
}

uint32_t InstructionSet::flashWord(uint8_t high, uint8_t low) const {
    const uint32_t word = (uint32_t{extendedAddress_} << 16) | (uint32_t{high} << 8) | low;
    return word & (part_.flashWords() - 1);
}

uint32_t InstructionSet::eepromAddress(uint8_t high, uint8_t low) const {
    return ((uint32_t{high} << 8) | low) & (part_.eepromBytes - 1);
}

// The answer of a reading instruction, given its first three bytes (in bits 23..0); nothing
// for an instruction that doesn't read.
std::optional<uint8_t> InstructionSet::answer(uint32_t frame) const {
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

void InstructionSet::execute(uint32_t frame) {
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

} // namespace quillon::sim
