// SPDX-License-Identifier: MIT
// The thin operating-system layer: loading a library by name, the process clock, the console
// key test and whether standard error is a terminal. Everything that differs between Windows and
// POSIX lives behind these functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon::platform {

// An opaque handle of a loaded library; null when none is loaded.
using LibraryHandle = void*;

// Loads the library with the platform's name for `baseName` ("io" becomes io.dll on Windows and
// libio.so elsewhere), searched the platform's usual way. Returns null when it can't be loaded.
[[nodiscard]] LibraryHandle loadLibrary(std::string_view baseName);

// Why the last loadLibrary failed, in the loader's own words (dlerror, FormatMessage), when the
// library was found but couldn't be loaded (not a library, another architecture, a dependency
// missing); empty when there was no file of that name to load, or nothing failed.
[[nodiscard]] std::string libraryLoadError();

// The file name that loadLibrary looks for, for messages ("libio.so", "io.dll").
[[nodiscard]] std::string libraryFileName(std::string_view baseName);

// The address of an exported entry point, or null when the library has none of that name.
[[nodiscard]] void* findEntryPoint(LibraryHandle library, const char* name);

void freeLibrary(LibraryHandle library);

// The process clock in milliseconds, for timing the delay loop. On POSIX it counts the processor
// time this process has used, so that other busy processes on the machine, which take processor
// time away from the loop, can't make the calibration (and so every wait) too short; where that
// clock isn't available, the monotonic clock. On Windows it is the high-resolution wall clock.
[[nodiscard]] std::int64_t clockMillis();

// True when a key press (or any input) is waiting on the console's standard input. The key is
// not consumed. Standard input at its end, or read from a file, counts as waiting.
[[nodiscard]] bool keyWaiting();

// Blocks until keyWaiting() would answer true, or an interrupt came, without spinning the
// processor. Single-key mode is set only on a terminal of which this process is in the
// foreground, and restored before it returns.
void waitForKey();

// Opens the null device on each of standard input, output and error that is closed, so that no
// file the program or its io library opens later takes their place. Call it first.
void openStandardStreams();

// From here on Ctrl-C (SIGINT), SIGTERM, SIGHUP and SIGQUIT (on Windows Ctrl-C, Ctrl-Break and
// SIGTERM) only note that they came; a signal that was ignored when the program started stays
// ignored. SIGPIPE is ignored: a write to a standard output whose reader went away fails instead.
// The program looks at interruptSignal() at its next byte boundary and in its waits, and stops
// there cleanly. A read of standard input that the signal interrupts ends early.
void watchForInterrupts();

// What a failed write to standard output counts as: SIGPIPE's number, on every platform.
inline constexpr int brokenOutputSignal = 13;

// The first of those signals received, or 0; brokenOutputSignal once a write to standard output
// failed (its reader went away, or its disk is full).
[[nodiscard]] int interruptSignal();

// True when standard error is an interactive terminal (a console window on Windows), where a
// progress bar can be drawn and wiped.
[[nodiscard]] bool errorIsTerminal();

} // namespace quillon::platform
