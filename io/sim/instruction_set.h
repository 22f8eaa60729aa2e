// SPDX-License-Identifier: MIT
// The serial programming instructions over the chip's memories, as the part's data sheet tells
// them: decoding, the answers of reading instructions, busy timing, lock bits, the page buffers,
// and every change written through to the state files.
//
// Until Programming Enable is accepted the part acts on nothing else and shifts out zeros,
// except during byte 3 of a Programming Enable that arrives in step, where it echoes byte 2
// (0x53). Once programming is enabled it shifts out the byte it received before during each
// byte, and a read instruction answers in byte 4. Writes and erases keep the part busy for the
// data sheet's time; an instruction other than Poll RDY/BSY that arrives while busy is ignored.
// Reading a location being written meanwhile answers 0xFF (the data sheets' data polling): any
// byte of the flash page being written, or the EEPROM byte or page being written.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "sim/chip.h"
#include "sim/clock.h"
#include "sim/parts.h"
#include "sim/serial_shifter.h"
#include "sim/state_files.h"
#include "sim/trace.h"

namespace quillon::sim {

// How the part's flash cells and write timer behave. These defaults are a sound part's: every
// write reaches its cells in the data sheet's time.
class Cells {
  public:
    Cells() = default;
    Cells(const Cells&) = delete;
    Cells& operator=(const Cells&) = delete;
    virtual ~Cells() = default;

    // Asked once for each flash page write the part carries out: true when it is lost.
    [[nodiscard]] virtual bool pageWriteLost() { return false; }
    // True for a flash byte that never changes.
    [[nodiscard]] virtual bool flashByteStuck(uint32_t /*address*/) const { return false; }
    // How many times the data sheet's time a write or erase takes.
    [[nodiscard]] virtual int timeScale() const { return 1; }
};

class InstructionSet final : public FrameSink {
  public:
    // `files` may be null; `cells` must outlive the instruction set.
    InstructionSet(Part part, Chip chip, const Clock& clock, Trace& trace,
                   std::unique_ptr<StateFiles> files, Cells& cells);

    [[nodiscard]] uint8_t byteIn(unsigned index, uint32_t frame) override;
    void instruction(uint32_t frame, bool awake) override { act(frame, arrived(frame), awake); }
    void reset() override;

    // A complete instruction came in: traces it and answers whether the part ignores it, being
    // busy. act() then carries it out unless it is ignored.
    [[nodiscard]] bool arrived(uint32_t frame);
    void act(uint32_t frame, bool ignored, bool awake);
    // The supply failed: programming is no longer enabled and a write in progress is over.
    void powerDown();

    [[nodiscard]] const Part& part() const { return part_; }
    [[nodiscard]] Chip& chip() { return chip_; }
    [[nodiscard]] const Chip& chip() const { return chip_; }
    [[nodiscard]] bool busy() const;
    // Programming Enable was accepted since the last reset.
    [[nodiscard]] bool enabled() const { return enabled_; }

  private:
    [[nodiscard]] std::optional<uint8_t> answer(uint32_t frame) const;
    void execute(uint32_t frame);
    void startBusy(Micros time);
    // The part is busy writing `bytes` bytes of flash or EEPROM from byte `first` on.
    void startWriting(Micros time, bool flash, uint32_t first, uint32_t bytes);
    // A read instruction (bits 23..0) of a location being written.
    [[nodiscard]] bool polling(uint32_t frame) const;

    [[nodiscard]] bool programmingLocked() const { return (chip_.lock & 0x03) != 0x03; }
    [[nodiscard]] bool readingLocked() const { return (chip_.lock & 0x03) == 0x00; }
    [[nodiscard]] uint32_t flashWord(uint8_t high, uint8_t low) const;
    [[nodiscard]] uint32_t eepromAddress(uint8_t high, uint8_t low) const;

    // memory_writes.cpp
    void chipErase();
    void writeFlashPage(uint32_t word);
    void writeEepromByte(uint32_t address, uint8_t data);
    void writeEepromPage(uint32_t address);
    void writeFuse(uint8_t& fuse, uint8_t value);
    void writeLock(uint8_t value);

    Part part_;
    Chip chip_;
    const Clock& clock_;
    Trace& trace_;
    std::unique_ptr<StateFiles> files_;
    Cells& cells_;

    bool enabled_ = false;       // Programming Enable was accepted
    bool readWhileBusy_ = false; // a read's answer was withheld because the part was busy
    uint8_t extendedAddress_ = 0;
    std::vector<uint8_t> flashPage_;  // the flash page buffer, page bytes
    std::vector<uint8_t> eepromPage_; // the EEPROM page buffer
    uint32_t eepromPageLoaded_ = 0;   // bit i: eepromPage_[i] was loaded
    Clock::Duration busyUntil_{};
    mutable bool busyPending_ = false; // busyUntil_ may still be ahead
    struct Writing {
        bool flash = false;
        uint32_t first = 0;
        uint32_t bytes = 0; // none: an erase, a fuse or the lock bits
    } writing_;
};

} // namespace quillon::sim
