// SPDX-License-Identifier: MIT
#include "link/bit_bang_programmer.h"

#include "link/link.h"
#include "platform/platform.h"

namespace quillon {

bool BitBangProgrammer::present() {
    return loopBackPresent();
}

std::string BitBangProgrammer::absence() const {
    if (PortLibrary.module == nullptr && !platform::libraryLoadError().empty()) {
        return std::string("Port I/O library ") + portLibraryName +
               " can't be loaded: " + platform::libraryLoadError();
    }
    if (PortLibrary.module == nullptr) {
        return std::string("Port I/O library ") + portLibraryName + " not found (looked for " +
               platform::libraryFileName(portLibraryName) + ")";
    }
    if (!PortLibrary.usable()) {
        return std::string("Port I/O library ") + portLibraryName +
               " lacks SetPortBit, ClrPortBit or GetPortBit";
    }
    return {};
}

uint8_t BitBangProgrammer::enterProgrammingMode() {
    driveProgrammingMode();
    // The echo comes in byte 3; byte 4 goes out unread.
    sendByte(isp::programmingEnable[0]);
    sendByte(isp::programmingEnable[1]);
    const uint8_t echo = transferByte(isp::programmingEnable[2]);
    sendByte(isp::programmingEnable[3]);
    return echo;
}

void BitBangProgrammer::release() {
    driveRelease();
}

uint8_t BitBangProgrammer::transact(const Instruction& instruction) {
    sendByte(instruction[0]);
    sendByte(instruction[1]);
    sendByte(instruction[2]);
    return transferByte(instruction[3]);
}

void BitBangProgrammer::send(const Instruction& instruction) {
    for (const uint8_t byte : instruction) {
        sendByte(byte);
    }
}

} // namespace quillon
