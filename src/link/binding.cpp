// SPDX-License-Identifier: MIT
// Binding the io port library: load it by name and resolve its thirteen entry points and those
// of its programmer extension.
#include <cstdlib>

#include "link/link.h"
#include "platform/platform.h"

namespace quillon {

namespace {

template <typename Slot>
void resolve(Slot& slot, const char* name) {
    slot = reinterpret_cast<Slot>(platform::findEntryPoint(PortLibrary.module, name));
}

void resolveProgrammerExtension() {
    ProgrammerLibraryEntries& entries = ProgrammerLibrary;
    resolve(entries.Version, "ProgrammerVersion");
    resolve(entries.Open, "ProgrammerOpen");
    resolve(entries.Enable, "ProgrammerEnable");
    resolve(entries.Release, "ProgrammerRelease");
    resolve(entries.Instruction, "ProgrammerInstruction");
    resolve(entries.Error, "ProgrammerError");
    resolve(entries.WriteFlash, "ProgrammerWriteFlash");
    resolve(entries.ReadMemory, "ProgrammerReadMemory");
    resolve(entries.WriteEeprom, "ProgrammerWriteEeprom");
    acceptProgrammerLibrary();
}

} // namespace

void acceptProgrammerLibrary() {
    const ProgrammerLibraryEntries& e = ProgrammerLibrary;
    ProgrammerLibrary.accepted = e.Version != nullptr && e.Open != nullptr && e.Enable != nullptr &&
                                 e.Release != nullptr && e.Instruction != nullptr &&
                                 e.Error != nullptr && e.Version() == IO_PROGRAMMER_VERSION;
}

int bindPortLibrary() {
    PortLibrary = PortLibraryEntries{};
    ProgrammerLibrary = ProgrammerLibraryEntries{};
    PortLibrary.module = platform::loadLibrary(portLibraryName);
    if (PortLibrary.module == nullptr) {
        return 1;
    }
    resolve(PortLibrary.PortOut, "PortOut");
    resolve(PortLibrary.PortWordOut, "PortWordOut");
    resolve(PortLibrary.PortDWordOut, "PortDWordOut");
    resolve(PortLibrary.PortIn, "PortIn");
    resolve(PortLibrary.PortWordIn, "PortWordIn");
    resolve(PortLibrary.PortDWordIn, "PortDWordIn");
    resolve(PortLibrary.SetPortBit, "SetPortBit");
    resolve(PortLibrary.ClrPortBit, "ClrPortBit");
    resolve(PortLibrary.NotPortBit, "NotPortBit");
    resolve(PortLibrary.GetPortBit, "GetPortBit");
    resolve(PortLibrary.RightPortShift, "RightPortShift");
    resolve(PortLibrary.LeftPortShift, "LeftPortShift");
    resolve(PortLibrary.IsDriverInstalled, "IsDriverInstalled");
    resolveProgrammerExtension();

    static bool exitHandlerRegistered = false;
    if (!exitHandlerRegistered) {
        exitHandlerRegistered = std::atexit(unbindPortLibrary) == 0;
    }
    return 0;
}

void unbindPortLibrary() {
    void* const module = PortLibrary.module;
    PortLibrary = PortLibraryEntries{};
    ProgrammerLibrary = ProgrammerLibraryEntries{};
    platform::freeLibrary(module);
}

} // namespace quillon
