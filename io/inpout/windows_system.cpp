// SPDX-License-Identifier: MIT
// The operating-system side of the InpOut32 backend on Windows: the folder of io.dll, InpOut's
// DLL loaded from there and its three entry points, standard error, QueryPerformanceCounter.
#include <windows.h>

#include <cstdio>

#include "inpout_ports.h"

namespace quillon::inpout {

namespace {

// InpOut32's entry points, __stdcall in its 32-bit DLL (the 64-bit one has one convention).
using Inp32Call = short(__stdcall*)(short port);
using Out32Call = void(__stdcall*)(short port, short data);
using DriverOpenCall = BOOL(__stdcall*)();

Inp32Call inp32 = nullptr;
Out32Call out32 = nullptr;
DriverOpenCall driverOpenCall = nullptr;

std::string utf8(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? static_cast<std::size_t>(size) : 1U, '\0');
    (void)WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, result.data(), size, nullptr, nullptr);
    result.resize(result.size() - 1);
    return result;
}

std::wstring wide(const std::string& text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring result(size > 0 ? static_cast<std::size_t>(size) : 1U, L'\0');
    (void)MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, result.data(), size);
    result.resize(result.size() - 1);
    return result;
}

std::string systemOwnFolder() {
    HMODULE self = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&systemOwnFolder), &self) == 0) {
        return {};
    }
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = 0;
    while ((length = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()))) ==
           path.size()) {
        path.resize(path.size() * 2);
    }
    path.resize(length);
    const auto slash = path.find_last_of(L"\\/");
    return utf8(slash == std::wstring::npos ? std::wstring{} : path.substr(0, slash + 1));
}

template <typename Call>
Call entryPoint(HMODULE module, const char* name) {
    return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

LoadResult systemLoad(const std::string& path) {
    // By full path, so that no other copy on the search path is taken; its own dependencies
    // are looked for beside it.
    HMODULE module = LoadLibraryExW(wide(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) {
        return LoadResult::NoLibrary;
    }
    inp32 = entryPoint<Inp32Call>(module, "Inp32");
    out32 = entryPoint<Out32Call>(module, "Out32");
    driverOpenCall = entryPoint<DriverOpenCall>(module, "IsInpOutDriverOpen");
    if (inp32 == nullptr || out32 == nullptr || driverOpenCall == nullptr) {
        (void)FreeLibrary(module);
        inp32 = nullptr;
        out32 = nullptr;
        driverOpenCall = nullptr;
        return LoadResult::NoEntryPoints;
    }
    return LoadResult::Loaded; // stays loaded until the process ends
}

bool systemDriverOpen() {
    return driverOpenCall() != FALSE;
}

uint8_t systemInp(uint16_t port) {
    return static_cast<uint8_t>(inp32(static_cast<short>(port)));
}

void systemOut(uint16_t port, uint8_t value) {
    out32(static_cast<short>(port), static_cast<short>(value));
}

void systemReport(const std::string& message) {
    std::fputs(message.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

int64_t systemNanoseconds() {
    static const int64_t frequency = [] {
        LARGE_INTEGER ticks{};
        (void)QueryPerformanceFrequency(&ticks);
        return ticks.QuadPart > 0 ? ticks.QuadPart : int64_t{1};
    }();
    LARGE_INTEGER now{};
    (void)QueryPerformanceCounter(&now);
    // Seconds and the remainder apart, so that a long uptime doesn't overflow.
    return now.QuadPart / frequency * 1000000000 +
           now.QuadPart % frequency * 1000000000 / frequency;
}

} // namespace

const InpOutSystem& windowsSystem() {
    static const InpOutSystem system{systemOwnFolder, systemLoad,   systemDriverOpen, systemInp,
                                     systemOut,       systemReport, systemNanoseconds};
    return system;
}

} // namespace quillon::inpout
