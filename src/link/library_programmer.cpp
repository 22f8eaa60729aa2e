// SPDX-License-Identifier: MIT
#include "link/library_programmer.h"

#include <string>

#include "link/link.h"
#include "platform/platform.h"

namespace quillon {

namespace {

// The library's own line for the last failure, or a plain one when it gives none.
std::string libraryError(const char* operation) {
    const char* text = ProgrammerLibrary.Error != nullptr ? ProgrammerLibrary.Error() : nullptr;
    if (text == nullptr || *text == '\0') {
        return std::string("the programmer failed during ") + operation;
    }
    return text;
}

// Stops the command on a failure; on a stop asked for by the progress function, the interrupt
// that asked for it ends the run.
void check(int32_t result, const char* operation) {
    if (result == IO_STOPPED) {
        stopIfInterrupted();
    }
    if (result != IO_OK) {
        throw ProgrammerFailure(libraryError(operation));
    }
}

// The progress function the library calls: passes the count on and asks to stop when an
// interrupt came.
int32_t IO_CALL onProgress(uint32_t bytesDone, void* context) {
    (*static_cast<const BlockProgress*>(context))(static_cast<int32_t>(bytesDone));
    return platform::interruptSignal() != 0 ? 1 : 0;
}

uint32_t size32(std::size_t size) {
    return static_cast<uint32_t>(size);
}

} // namespace

bool LibraryProgrammer::present() {
    using Opened = ProgrammerLibraryEntries::Opened;
    if (ProgrammerLibrary.opened == Opened::notYet) {
        const bool ok = ProgrammerLibrary.Open() == IO_OK;
        ProgrammerLibrary.opened = ok ? Opened::yes : Opened::no;
        ProgrammerLibrary.absence = ok ? "" : libraryError("opening");
    }
    return ProgrammerLibrary.opened == Opened::yes;
}

std::string LibraryProgrammer::absence() const {
    return ProgrammerLibrary.absence;
}

uint8_t LibraryProgrammer::enterProgrammingMode() {
    stopIfInterrupted();
    uint8_t echo = 0;
    check(ProgrammerLibrary.Enable(&echo), "Programming Enable");
    return echo;
}

void LibraryProgrammer::release() {
    (void)ProgrammerLibrary.Release(); // a programmer that is gone holds nothing
}

uint8_t LibraryProgrammer::transact(const Instruction& instruction) {
    stopIfInterrupted();
    Instruction answer{};
    check(ProgrammerLibrary.Instruction(instruction.data(), answer.data()), "an instruction");
    return answer[3];
}

void LibraryProgrammer::writeFlash(std::span<const uint8_t> data, int32_t pageWords,
                                   const BlockProgress& progress) {
    if (ProgrammerLibrary.WriteFlash == nullptr) {
        Programmer::writeFlash(data, pageWords, progress);
        return;
    }
    stopIfInterrupted();
    check(ProgrammerLibrary.WriteFlash(0, data.data(), size32(data.size()),
                                       static_cast<uint32_t>(pageWords) * 2U, onProgress,
                                       const_cast<BlockProgress*>(&progress)),
          "a flash write");
}

void LibraryProgrammer::read(Memory memory, std::span<uint8_t> data,
                             const BlockProgress& progress) {
    if (ProgrammerLibrary.ReadMemory == nullptr) {
        Programmer::read(memory, data, progress);
        return;
    }
    stopIfInterrupted();
    check(ProgrammerLibrary.ReadMemory(memory == Memory::flash ? IO_FLASH : IO_EEPROM, 0,
                                       data.data(), size32(data.size()), onProgress,
                                       const_cast<BlockProgress*>(&progress)),
          memory == Memory::flash ? "a flash read" : "an EEPROM read");
}

void LibraryProgrammer::writeEeprom(std::span<const uint8_t> data, const BlockProgress& progress) {
    if (ProgrammerLibrary.WriteEeprom == nullptr) {
        Programmer::writeEeprom(data, progress);
        return;
    }
    stopIfInterrupted();
    check(ProgrammerLibrary.WriteEeprom(0, data.data(), size32(data.size()), onProgress,
                                        const_cast<BlockProgress*>(&progress)),
          "an EEPROM write");
}

} // namespace quillon
