// SPDX-License-Identifier: MIT
// Binding the io port library: load it by name and resolve its thirteen entry points.
#include <cstdlib>

#include "link/link.h"
#include "platform/platform.h"

namespace quillon {

namespace {

template <typename Slot>
void resolve(Slot& slot, const char* name) {
    slot = reinterpret_cast<Slot>(platform::findEntryPoint(PortLibrary.module, name));
}

} // namespace

int bindPortLibrary() {
    PortLibrary = PortLibraryEntries{};
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

    static bool exitHandlerRegistered = false;
    if (!exitHandlerRegistered) {
        exitHandlerRegistered = std::atexit(unbindPortLibrary) == 0;
    }
    return 0;
}

void unbindPortLibrary() {
    void* const module = PortLibrary.module;
    PortLibrary = PortLibraryEntries{};
    platform::freeLibrary(module);
}

} // namespace quillon
