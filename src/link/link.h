// SPDX-License-Identifier: MIT
// The link to the target: the bound port library, the adapter's lines on the parallel port, the
// calibrated microsecond delay, programming-mode entry and release, and byte transfer.
#pragma once

#include <cstdint>
#include <string>

#include "io/io.h"

namespace quillon {

// ---- Port library binding -----------------------------------------------------------------

// The thirteen entry points of the io library, in the order they are resolved.
struct PortLibraryEntries {
    void* module = nullptr;
    void(IO_CALL* PortOut)(uint16_t, uint8_t) = nullptr;
    void(IO_CALL* PortWordOut)(uint16_t, uint16_t) = nullptr;
    void(IO_CALL* PortDWordOut)(uint16_t, uint32_t) = nullptr;
    uint8_t(IO_CALL* PortIn)(uint16_t) = nullptr;
    uint16_t(IO_CALL* PortWordIn)(uint16_t) = nullptr;
    uint32_t(IO_CALL* PortDWordIn)(uint16_t) = nullptr;
    void(IO_CALL* SetPortBit)(uint16_t, uint8_t) = nullptr;
    void(IO_CALL* ClrPortBit)(uint16_t, uint8_t) = nullptr;
    void(IO_CALL* NotPortBit)(uint16_t, uint8_t) = nullptr;
    int16_t(IO_CALL* GetPortBit)(uint16_t, uint8_t) = nullptr;
    int16_t(IO_CALL* RightPortShift)(uint16_t, int16_t) = nullptr;
    int16_t(IO_CALL* LeftPortShift)(uint16_t, int16_t) = nullptr;
    int16_t(IO_CALL* IsDriverInstalled)() = nullptr;

    // True when the three entry points the programmer calls are all there.
    [[nodiscard]] bool usable() const {
        return SetPortBit != nullptr && ClrPortBit != nullptr && GetPortBit != nullptr;
    }
};

// The bound library; all null until bindPortLibrary succeeds. Tests may fill the slots directly.
inline PortLibraryEntries PortLibrary;

// The programmer extension's entry points (io.h), resolved beside the thirteen.
struct ProgrammerLibraryEntries {
    int32_t(IO_CALL* Version)() = nullptr;
    int32_t(IO_CALL* Open)() = nullptr;
    int32_t(IO_CALL* Enable)(uint8_t*) = nullptr;
    int32_t(IO_CALL* Release)() = nullptr;
    int32_t(IO_CALL* Instruction)(const uint8_t*, uint8_t*) = nullptr;
    const char*(IO_CALL* Error)() = nullptr;
    int32_t(IO_CALL* WriteFlash)(uint32_t, const uint8_t*, uint32_t, uint32_t, IoProgress,
                                 void*) = nullptr;
    int32_t(IO_CALL* ReadMemory)(int32_t, uint32_t, uint8_t*, uint32_t, IoProgress,
                                 void*) = nullptr;
    int32_t(IO_CALL* WriteEeprom)(uint32_t, const uint8_t*, uint32_t, IoProgress, void*) = nullptr;

    // Set by acceptProgrammerLibrary: the library carries instructions itself.
    bool accepted = false;
    // What ProgrammerOpen answered, once asked, and the library's reason when it failed.
    enum class Opened { notYet, yes, no } opened = Opened::notYet;
    std::string absence;
};

// The bound library's extension; all null when it has none. Tests may fill the slots directly,
// then call acceptProgrammerLibrary.
inline ProgrammerLibraryEntries ProgrammerLibrary;

// Sets ProgrammerLibrary.accepted when every required entry point is there and the library
// answers the version this program speaks (IO_PROGRAMMER_VERSION); clears it otherwise.
void acceptProgrammerLibrary();

// The library's name as loaded ("io").
inline constexpr const char* portLibraryName = "io";

// Loads the io library and resolves its entry points. Returns 0 when it was loaded, 1 when not.
// A missing entry point leaves its slot null. Registers unbindPortLibrary to run at exit.
[[nodiscard]] int bindPortLibrary();

// Frees the library and clears every slot.
void unbindPortLibrary();

// ---- Adapter lines ------------------------------------------------------------------------

// The port bits of each line (dataPort, sckLine, misoLine, ...) are io.h's.

// ---- Timing -------------------------------------------------------------------------------

// delayUnits until calibrateDelay has run.
inline constexpr int32_t uncalibratedDelayUnits = 172;

// The count of passes calibrateDelay times.
inline constexpr int32_t calibrationPasses = 80000000;

// Counts down from count to zero; a negative count runs down through the whole 32-bit range.
void busyWait(int32_t count);

// Every wait of the program: hands micros to the wait function in force (calibratedWait unless
// another was installed).
void delayMicros(int32_t micros);

// The calibrated busy wait: about micros microseconds (1.36 times as long, by the calibration's
// margin), and never less than micros by the clock. Returns at once when micros <= 0.
void calibratedWait(int32_t micros);

// What delayMicros does with a wait. Tests install one that records the waits instead of
// waiting, or that moves a simulated target's clock on; the benchmark one that times them.
using WaitFunction = void (*)(int32_t micros);

// Installs `wait` for delayMicros (null: calibratedWait again); returns the one it replaces.
WaitFunction setWaitFunction(WaitFunction wait);

// Link.delayUnits for `passes` passes of busyWait that took elapsedMillis: passes per microsecond,
// truncated, times 1.36, truncated; never below 1. Requires elapsedMillis > 0.
[[nodiscard]] int32_t delayUnitsFor(int64_t elapsedMillis, int64_t passes);

// Times busyWait, sets Link.delayUnits and prints "Delay parameter for 1 usec is %d\n".
void calibrateDelay();

// ---- Adapter and target -------------------------------------------------------------------

// The link layer's part of the process state.
struct LinkState {
    // Passes of busyWait per microsecond (with a margin); set by calibrateDelay.
    int32_t delayUnits = uncalibratedDelayUnits;
    // 1 while the target is released, 0 while it is held in programming mode.
    int32_t targetReleased = 0;
};
inline LinkState Link;

// 1 when the programmer in use (link/programmer.h) is there, else 0.
[[nodiscard]] int adapterPresent();
// Resets the target into programming mode and sends Programming Enable through the programmer
// in use; returns the target's echo (0x53 when it is in step).
[[nodiscard]] uint8_t enterProgrammingMode();
// Lets the target go through the programmer in use.
void releaseTarget();

// ---- The adapter's lines, for the bit-banging programmer -----------------------------------

// The loop-back test: true when the adapter is plugged in. Without a usable port library it
// answers false without touching any port.
[[nodiscard]] bool loopBackPresent();

// Sets data-port bit 4 to 7 high when level is exactly 1, else low; other bits are ignored.
void setLine(unsigned bit, int8_t level);

void enableDrivers();
void disableDrivers();
void idleLines();
void pulseReset(int32_t settleMicros);
// The lines into programming mode (drivers on, RESET low and pulsed, the waits), and out again
// (RESET high, then the drivers off).
void driveProgrammingMode();
void driveRelease();

// When an interrupt signal came (platform::watchForInterrupts): releases a held target (reset
// lines high, then the drivers off), wipes a progress bar, prints one line that says so and ends
// the process through exit() with status 128 + the signal number. Otherwise returns at once.
// sendByte and transferByte look first, so a command stops between two bytes.
void stopIfInterrupted();

// Clocks value out on MOSI, most significant bit first.
void sendByte(uint8_t value);
// Clocks value out and returns the byte read from MISO while SCK was high.
[[nodiscard]] uint8_t transferByte(uint8_t value);

} // namespace quillon
