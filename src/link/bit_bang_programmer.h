// SPDX-License-Identifier: MIT
// The bit-banging programmer: the adapter's lines driven one port bit at a time through the io
// library's port entry points (a parallel port, GPIO lines, the simulated adapter). Each
// instruction is 32 clock cycles set line by line; the waits are the program's own.
#pragma once

#include "link/programmer.h"

namespace quillon {

class BitBangProgrammer final : public Programmer {
  public:
    [[nodiscard]] bool present() override;
    [[nodiscard]] std::string absence() const override;
    [[nodiscard]] uint8_t enterProgrammingMode() override;
    void release() override;
    [[nodiscard]] uint8_t transact(const Instruction& instruction) override;
    // Clocks the four bytes without reading MISO.
    void send(const Instruction& instruction) override;
};

} // namespace quillon
