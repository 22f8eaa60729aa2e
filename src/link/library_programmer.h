// SPDX-License-Identifier: MIT
// A programmer that carries instructions itself, reached through the io library's programmer
// extension (io.h; the slots of ProgrammerLibrary). Block operations the library offers go to
// it whole; the others are built from its single instructions with the program's waits.
#pragma once

#include "link/programmer.h"

namespace quillon {

class LibraryProgrammer final : public Programmer {
  public:
    // Opens the programmer once; later calls answer as the first did.
    [[nodiscard]] bool present() override;
    [[nodiscard]] std::string absence() const override;
    [[nodiscard]] uint8_t enterProgrammingMode() override;
    void release() override;
    [[nodiscard]] uint8_t transact(const Instruction& instruction) override;
    void writeFlash(std::span<const uint8_t> data, int32_t pageWords,
                    const BlockProgress& progress) override;
    void read(Memory memory, std::span<uint8_t> data, const BlockProgress& progress) override;
    void writeEeprom(std::span<const uint8_t> data, const BlockProgress& progress) override;
};

} // namespace quillon
