// SPDX-License-Identifier: MIT
// The port-I/O library "io": bit and byte access to PC I/O ports.
//
// quillon loads this library by name at run time (io.dll on Windows, libio.so elsewhere) and
// resolves these thirteen entry points. Any library that exports them with these signatures can
// be dropped in: the simulated adapter (io/sim), the Linux parallel-port backend (io/ppdev), the
// Linux GPIO backend (io/gpio), the Windows one over InpOut32 (io/inpout), or any other port-I/O
// DLL with the usual io.dll entry points.
//
// On Windows the entry points use the __stdcall convention and are exported undecorated
// (SetPortBit, not SetPortBit@8: the DLL is linked with --kill-at, see cmake/windows.cmake);
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

#ifdef __cplusplus
}
#endif

#endif
