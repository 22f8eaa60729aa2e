// SPDX-License-Identifier: MIT
// The programmer: whatever carries the serial programming instructions to the target. Today's
// adapter on the parallel port or GPIO lines is driven bit by bit from here (the bit-banging
// programmer); a programmer with firmware of its own (a USB stick, an Arduino, an SPI controller)
// takes whole instructions and pages through the io library's programmer extension (io.h).
// The instructions (device/instructions.h) and the memory transfers call only this interface,
// so nothing above the link knows which programmer runs.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>

#include "link/isp.h"

namespace quillon {

// Waits in microseconds after the memory writes: Chip Erase, each full flash page, the last
// partly filled page, each EEPROM byte. Nothing polls the target's busy flag.
inline constexpr int32_t chipEraseMicros = 14000;
inline constexpr int32_t fullPageMicros = 9500;
inline constexpr int32_t lastPageMicros = 10500;
inline constexpr int32_t eepromByteMicros = 11500;

// The programmer itself failed: it is gone, stopped answering or answered out of step. what()
// is one line that says why and, where it can, what to do. The command that met it stops.
class ProgrammerFailure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class Memory { flash, eeprom };

// Told the bytes done so far after each step of a block operation.
using BlockProgress = std::function<void(int32_t bytesDone)>;

class Programmer {
  public:
    Programmer() = default;
    Programmer(const Programmer&) = delete;
    Programmer& operator=(const Programmer&) = delete;
    virtual ~Programmer() = default;

    // True when the programmer is there and usable. Asked once at start-up.
    [[nodiscard]] virtual bool present() = 0;
    // Why present() said no, in one line; empty when there is nothing to add.
    [[nodiscard]] virtual std::string absence() const = 0;

    // Resets the target into serial programming mode and sends Programming Enable; returns what
    // the target echoed in byte 3 (isp::programmingEnableEcho when it is in step).
    [[nodiscard]] virtual uint8_t enterProgrammingMode() = 0;
    // Lets the target go and run. Never fails: a programmer that is gone has let go already.
    virtual void release() = 0;

    // One instruction; the byte the target answered during byte 4.
    [[nodiscard]] virtual uint8_t transact(const Instruction& instruction) = 0;
    // One instruction whose answer nobody reads.
    virtual void send(const Instruction& instruction) { (void)transact(instruction); }

    // The block operations. These defaults build them from single instructions and wait the
    // fixed times above after each write; a programmer that carries blocks itself overrides
    // them and waits (or polls) as its firmware does.
    //
    // Programs `data` (an even count of bytes) into flash from word 0, `pageWords` words a page,
    // the last page even when partly filled; Load Extended Address 0 first and before every
    // further 64K words. Progress after every word.
    virtual void writeFlash(std::span<const uint8_t> data, int32_t pageWords,
                            const BlockProgress& progress);
    // Reads `data.size()` bytes of `memory` from address 0; flash in whole words (an even
    // count), with Load Extended Address as for writeFlash. Progress after every word or byte.
    virtual void read(Memory memory, std::span<uint8_t> data, const BlockProgress& progress);
    // Writes `data` into the EEPROM from address 0, byte by byte. Progress after every byte.
    virtual void writeEeprom(std::span<const uint8_t> data, const BlockProgress& progress);
};

// The programmer in use: the io library's own when it carries instructions (its
// ProgrammerVersion answers the extension's version), otherwise the bit-banging one over the
// library's port entry points.
[[nodiscard]] Programmer& programmer();

} // namespace quillon
