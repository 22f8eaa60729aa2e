// SPDX-License-Identifier: MIT
// The port-I/O library "io": bit and byte access to PC I/O ports.
//
// quillon loads this library by name at run time (io.dll on Windows, libio.so elsewhere) and
// resolves these thirteen entry points (and the programmer extension's, further below). Any
// library that exports them with these signatures can be dropped in: the simulated adapter
// (io/sim), the Linux parallel-port backend (io/ppdev), the Linux GPIO backend (io/gpio), the
// Windows one over InpOut32 (io/inpout), or any other port-I/O DLL with the usual io.dll entry
// points.
//
// On Windows the entry points use the __stdcall convention and are exported undecorated
// (SetPortBit, not SetPortBit@8: the DLL is linked with --kill-at, see io/CMakeLists.txt);
// elsewhere they use the platform's C convention.
#ifndef QUILLON_IO_H
#define QUILLON_IO_H

#include <stdint.h> // NOLINT(modernize-deprecated-headers): C programs include this too

#if defined(_WIN32)
#define IO_CALL __stdcall
#define IO_EXPORT __declspec(dllexport)
#else
#define IO_CALL
#define IO_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Byte, word and double-word access to a port.
IO_EXPORT void IO_CALL PortOut(uint16_t port, uint8_t value);
IO_EXPORT void IO_CALL PortWordOut(uint16_t port, uint16_t value);
IO_EXPORT void IO_CALL PortDWordOut(uint16_t port, uint32_t value);
IO_EXPORT uint8_t IO_CALL PortIn(uint16_t port);
IO_EXPORT uint16_t IO_CALL PortWordIn(uint16_t port);
IO_EXPORT uint32_t IO_CALL PortDWordIn(uint16_t port);

// Single bits (0-7) of a port. SetPortBit and ClrPortBit change one bit of the port's output
// latch and leave the other seven as they were. GetPortBit answers -1 (all ones) when the bit
// reads 1 and 0 when it reads 0.
IO_EXPORT void IO_CALL SetPortBit(uint16_t port, uint8_t bit);
IO_EXPORT void IO_CALL ClrPortBit(uint16_t port, uint8_t bit);
IO_EXPORT void IO_CALL NotPortBit(uint16_t port, uint8_t bit);
IO_EXPORT int16_t IO_CALL GetPortBit(uint16_t port, uint8_t bit);

// Shift a port's value one place; the bit shifted in is `fill` (0 or 1). Returns the bit that
// was shifted out (-1 for 1, 0 for 0).
IO_EXPORT int16_t IO_CALL RightPortShift(uint16_t port, int16_t fill);
IO_EXPORT int16_t IO_CALL LeftPortShift(uint16_t port, int16_t fill);

// Nonzero when the library can reach the ports.
IO_EXPORT int16_t IO_CALL IsDriverInstalled(void);

// ---- The programmer extension ---------------------------------------------------------------
//
// A library for a programmer that carries whole instructions or pages itself (one with firmware
// of its own, on USB or a serial port, or an SPI controller) exports the entry points below.
// quillon resolves them beside the thirteen when it loads the library: when ProgrammerVersion is
// there and answers IO_PROGRAMMER_VERSION, quillon drives the target through these entry points
// only and never calls the port entry points (such a library need not export them); otherwise it
// drives the adapter's lines bit by bit through the port entry points.
//
// Required in version 1: ProgrammerVersion, ProgrammerOpen, ProgrammerEnable, ProgrammerRelease,
// ProgrammerInstruction, ProgrammerError. Optional: ProgrammerWriteFlash, ProgrammerReadMemory,
// ProgrammerWriteEeprom; without one of them quillon builds that operation from single
// instructions and waits the data sheet's fixed times after each write itself.
//
// Every call but ProgrammerVersion and ProgrammerError answers an IoResult. IO_FAILED means the
// programmer itself failed (it is gone, it stopped answering, it answered out of step);
// ProgrammerError then says why in one line. A target that doesn't answer is not a failure:
// its answers read as whatever the lines carried (0x00 or 0xFF), as on a bare adapter.
// quillon calls the entry points from one thread, one at a time.

enum IoProgrammerVersion { IO_PROGRAMMER_VERSION = 1 };

enum IoResult {
    IO_OK = 0,      // done
    IO_FAILED = 1,  // not done; ProgrammerError says why
    IO_STOPPED = 2, // the progress function asked to stop; the data so far was carried
};

enum IoMemory { IO_FLASH = 0, IO_EEPROM = 1 };

// Called by the block operations after each block the programmer carried, with the bytes done so
// far of this call (counted from its first byte). Answers 0 to go on; anything else stops the
// operation at the end of the block, and the operation answers IO_STOPPED. `context` is the one
// the caller gave.
// NOLINTNEXTLINE(modernize-use-using): C programs include this too
typedef int32_t(IO_CALL* IoProgress)(uint32_t bytesDone, void* context);

// IO_PROGRAMMER_VERSION: the version of this extension the library implements.
IO_EXPORT int32_t IO_CALL ProgrammerVersion(void);

// Reaches the programmer: opens its device or port, checks that it is a programmer of the kind
// and answers. quillon calls it once, at start-up, and keeps the programmer for the whole run;
// the library lets go of it when it is unloaded. IO_FAILED: no usable programmer (quillon prints
// ProgrammerError's line and runs no command).
IO_EXPORT int32_t IO_CALL ProgrammerOpen(void);

// Puts the target into serial programming mode: SCK low, RESET low (a positive pulse on RESET
// after SCK went low), at least 20 ms, then Programming Enable (ac 53 00 00). *echo receives the
// byte the target shifted out during the instruction's third byte: 0x53 when it is in step. A
// programmer that can't see that byte writes 0x53 when its firmware saw the target accept the
// instruction, else 0.
IO_EXPORT int32_t IO_CALL ProgrammerEnable(uint8_t* echo);

// Lets the target go: RESET released, the programmer's outputs off or harmless, so the target
// runs its program. The programmer itself stays open; ProgrammerEnable may follow.
IO_EXPORT int32_t IO_CALL ProgrammerRelease(void);

// Clocks one four-byte serial programming instruction (instruction[0] first) and stores the four
// bytes the target shifted out meanwhile in answer[0..3]; a reading instruction's result is
// answer[3], the only byte quillon reads. A programmer that sees only the fourth byte leaves
// answer[0..2] as 0. It waits for nothing: after a write, quillon waits itself.
IO_EXPORT int32_t IO_CALL ProgrammerInstruction(const uint8_t* instruction, uint8_t* answer);

// Optional. Programs `length` bytes of flash (even) from byte address `address` (the start of a
// page of `pageBytes` bytes) out of `data`: loads the page buffer, writes every page it touched
// (the last one too when only partly loaded) at its own address, sends Load Extended Address for
// flash beyond 128 KiB, and after each page write waits until the target is done (quillon adds
// no wait of its own). Nothing is erased first.
IO_EXPORT int32_t IO_CALL ProgrammerWriteFlash(uint32_t address, const uint8_t* data,
                                               uint32_t length, uint32_t pageBytes,
                                               IoProgress progress, void* context);

// Optional. Reads `length` bytes of `memory` (an IoMemory) from byte address `address` into
// `data`; flash bytes in memory order (a word's low byte first).
IO_EXPORT int32_t IO_CALL ProgrammerReadMemory(int32_t memory, uint32_t address, uint8_t* data,
                                               uint32_t length, IoProgress progress, void* context);

// Optional. Writes `length` EEPROM bytes from byte address `address`, waiting after each write
// until the target is done (quillon adds no wait of its own).
IO_EXPORT int32_t IO_CALL ProgrammerWriteEeprom(uint32_t address, const uint8_t* data,
                                                uint32_t length, IoProgress progress,
                                                void* context);

// One line (no newline) that says why the last call answered IO_FAILED and, where it can, what
// to do about it; "" when nothing failed. Valid until the next call into the library.
IO_EXPORT const char* IO_CALL ProgrammerError(void);

#ifdef __cplusplus
}

// ---- The adapter's lines ----------------------------------------------------------------------
//
// Which bit of the standard parallel port is which line of the programming adapter (README.md,
// "Building the adapter"): the program drives these, and every library that plays the adapter
// (the simulated one, the GPIO one) answers on them.
namespace quillon {

inline constexpr uint16_t dataPort = 888;   // 0x378: the adapter's output lines
inline constexpr uint16_t statusPort = 889; // 0x379: its input lines; the port inverts bit 7

// Data-port bits.
inline constexpr uint8_t loopBackOutA = 0;
inline constexpr uint8_t loopBackOutB = 1;
inline constexpr uint8_t enableLow = 2;  // line buffer enable, reset half (low = on)
inline constexpr uint8_t enableHigh = 3; // line buffer enable, SCK/MOSI/MISO half (low = on)
inline constexpr uint8_t sckLine = 4;
inline constexpr uint8_t mosiLine = 5;
inline constexpr uint8_t resetLine6 = 6; // either reset line low pulls RESET low
inline constexpr uint8_t resetLine7 = 7;
// Status-port bits.
inline constexpr uint8_t loopBackInA = 5; // follows loopBackOutA
inline constexpr uint8_t misoLine = 6;    // 1 when the target doesn't drive it
inline constexpr uint8_t loopBackInB = 7; // reads the inverse of loopBackOutB
// Status bits 0 to 4 have nothing on them and read 1. With nothing plugged in every input
// floats high, so the status port reads this (bit 7 inverted):
inline constexpr uint8_t unusedStatusBits = 0x1F;
inline constexpr uint8_t statusWithNothingPlugged = 0x7F;

// A port bit's mask.
[[nodiscard]] constexpr uint8_t bitMask(uint8_t bit) {
    return static_cast<uint8_t>(1U << bit);
}

} // namespace quillon
#endif

#endif
