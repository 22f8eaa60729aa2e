// SPDX-License-Identifier: MIT
// Windows side of the platform layer: LoadLibraryA, the tick count, the console key test, and
// the interrupt signals.
#include "platform/platform.h"

#include <conio.h>
#include <csignal>
#include <cstdio>
#include <windows.h>

namespace quillon::platform {

std::string libraryFileName(std::string_view baseName) {
    return std::string(baseName) + ".dll";
}

namespace {

std::string loadError; // the loader's reason for the last failed loadLibrary, or empty

} // namespace

LibraryHandle loadLibrary(std::string_view baseName) {
    // LoadLibraryA searches the program's folder first, then the system's usual places.
    const std::string name = libraryFileName(baseName);
    HMODULE library = LoadLibraryA(name.c_str());
    loadError.clear();
    const DWORD error = library == nullptr ? GetLastError() : ERROR_SUCCESS;
    if (library == nullptr && error != ERROR_MOD_NOT_FOUND) {
        char* text = nullptr;
        const DWORD length =
            FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
        loadError = length > 0 ? std::string(text, length) : "error " + std::to_string(error);
        LocalFree(text);
        while (!loadError.empty() && (loadError.back() == '\n' || loadError.back() == '\r')) {
            loadError.pop_back();
        }
        loadError = name + ": " + loadError;
    }
    return reinterpret_cast<LibraryHandle>(library);
}

std::string libraryLoadError() {
    return loadError;
}

void* findEntryPoint(LibraryHandle library, const char* name) {
    if (library == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void freeLibrary(LibraryHandle library) {
    if (library != nullptr) {
        FreeLibrary(static_cast<HMODULE>(library));
    }
}

std::int64_t clockMillis() {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER now{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<std::int64_t>(now.QuadPart * 1000 / frequency.QuadPart);
}

namespace {

volatile std::sig_atomic_t receivedSignal = 0;

// Only this is done inside the handler (which Windows runs on a thread of its own).
void noteSignal(int signal) {
    if (receivedSignal == 0) {
        receivedSignal = signal;
    }
}

} // namespace

void watchForInterrupts() {
    for (const int signal : {SIGINT, SIGBREAK, SIGTERM}) {
        if (std::signal(signal, noteSignal) == SIG_IGN) {
            (void)std::signal(signal, SIG_IGN);
        }
    }
}

void openStandardStreams() {
    // The C runtime hands a console program valid standard streams (or none it would reuse).
}

int interruptSignal() {
    if (receivedSignal == 0 && std::ferror(stdout) != 0) {
        return brokenOutputSignal;
    }
    return receivedSignal;
}

bool keyWaiting() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    switch (GetFileType(input)) {
    case FILE_TYPE_CHAR: {
        DWORD mode = 0;
        if (GetConsoleMode(input, &mode) != 0) {
            return _kbhit() != 0;
        }
        return true; // a character device that is not a console, such as NUL
    }
    case FILE_TYPE_PIPE: {
        DWORD available = 0;
        if (PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr) != 0) {
            return available > 0;
        }
        // The writer has gone: end of input, no key can come. A pipe that can't be peeked
        // at all (Wine's pipes from the Unix side) gives no answer here; waitForKey reads it.
        return GetLastError() == ERROR_BROKEN_PIPE;
    }
    default:
        return true; // a file, or no standard input at all
    }
}

void waitForKey() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD available = 0;
    if (GetFileType(input) == FILE_TYPE_PIPE &&
        PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr) == 0 &&
        GetLastError() != ERROR_BROKEN_PIPE) {
        // A pipe that can't be peeked is waited on by reading from it: one byte, or the end of
        // the input, ends the wait. The program ends right after, so the byte is not missed.
        char key = 0;
        DWORD got = 0;
        (void)ReadFile(input, &key, 1, &got, nullptr);
        return;
    }
    while (receivedSignal == 0 && !keyWaiting()) {
        Sleep(10);
    }
}

bool errorIsTerminal() {
    // A console answers GetConsoleMode; a pipe, a file or NUL does not.
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

} // namespace quillon::platform
