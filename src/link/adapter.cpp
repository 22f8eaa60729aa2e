// SPDX-License-Identifier: MIT
// The adapter's lines: the loop-back test, driving the target into programming mode and out
// again, and clocking bytes over SCK, MOSI and MISO. Every line change is one single-bit write
// to the data port; no step writes the port as a whole.
#include <cstdio>
#include <cstdlib>

#include "link/link.h"
#include "platform/platform.h"
#include "platform/progress.h"

namespace quillon {

namespace {

// Calls into the port library. Without a usable library (see PortLibraryEntries::usable) they
// do nothing and read 0, so no path can call through a null entry point.
void portSet(uint8_t bit) {
    if (PortLibrary.SetPortBit != nullptr) {
        PortLibrary.SetPortBit(dataPort, bit);
    }
}

void portClear(uint8_t bit) {
    if (PortLibrary.ClrPortBit != nullptr) {
        PortLibrary.ClrPortBit(dataPort, bit);
    }
}

int16_t portRead(uint8_t bit) {
    return PortLibrary.GetPortBit != nullptr ? PortLibrary.GetPortBit(statusPort, bit) : int16_t{0};
}

} // namespace

bool loopBackPresent() {
    if (!PortLibrary.usable()) {
        return false;
    }
    // All four steps run; the adapter's status bit 7 is inverted by the port.
    int ok = 1;
    portSet(loopBackOutA);
    ok &= static_cast<int>(portRead(loopBackInA) == -1);
    portClear(loopBackOutA);
    ok &= static_cast<int>(portRead(loopBackInA) == 0);
    portSet(loopBackOutB);
    ok &= static_cast<int>(portRead(loopBackInB) == 0);
    portClear(loopBackOutB);
    ok &= static_cast<int>(portRead(loopBackInB) == -1);
    return ok != 0;
}

void setLine(unsigned bit, int8_t level) {
    if (bit < sckLine || bit > resetLine7) {
        return;
    }
    if (level == 1) {
        portSet(static_cast<uint8_t>(bit));
    } else {
        portClear(static_cast<uint8_t>(bit));
    }
}

void enableDrivers() {
    portClear(enableHigh);
    portClear(enableLow);
}

void disableDrivers() {
    portSet(enableHigh);
    portSet(enableLow);
}

void idleLines() {
    setLine(resetLine7, 1);
    setLine(mosiLine, 1);
    setLine(sckLine, 0);
    enableDrivers();
}

void pulseReset(int32_t settleMicros) {
    delayMicros(10);
    setLine(resetLine7, 1);
    setLine(resetLine6, 1);
    delayMicros(10);
    setLine(resetLine7, 0);
    setLine(resetLine6, 0);
    delayMicros(settleMicros);
}

void driveProgrammingMode() {
    idleLines();
    setLine(resetLine6, 0);
    setLine(resetLine7, 0);
    delayMicros(30000);
    pulseReset(30000);
}

void driveRelease() {
    delayMicros(10);
    setLine(resetLine7, 1);
    setLine(resetLine6, 1);
    delayMicros(10);
    disableDrivers();
}

void stopIfInterrupted() {
    const int signal = platform::interruptSignal();
    if (signal == 0) {
        return;
    }
    if (Link.targetReleased == 0) {
        releaseTarget();
    }
    progress::finish();
    // A standard output that can't be written any more (its reader went away) can't carry it.
    const bool outputBroken = std::ferror(stdout) != 0;
    std::fprintf(outputBroken ? stderr : stdout,
                 "%sInterrupted by signal %d: target released, program ended\n",
                 outputBroken ? "" : "\n", signal);
    std::fflush(stdout);
    std::exit(128 + signal);
}

void sendByte(uint8_t value) {
    stopIfInterrupted();
    setLine(sckLine, 0);
    for (int bit = 7; bit >= 0; --bit) {
        setLine(mosiLine, static_cast<int8_t>((value >> bit) & 1));
        setLine(sckLine, 1);
        setLine(sckLine, 0);
    }
}

uint8_t transferByte(uint8_t value) {
    stopIfInterrupted();
    setLine(sckLine, 0);
    uint8_t received = 0;
    for (int bit = 7; bit >= 0; --bit) {
        setLine(mosiLine, static_cast<int8_t>((value >> bit) & 1));
        setLine(sckLine, 1);
        received = static_cast<uint8_t>(received << 1);
        if (portRead(misoLine) != 0) {
            received |= 1;
        }
        setLine(sckLine, 0);
    }
    return received;
}

} // namespace quillon
