// SPDX-License-Identifier: MIT
// The Windows parallel-port backend of the io library: the standard PC port addresses reached
// through InpOut32's DLL (inpout32.dll in a 32-bit build, inpoutx64.dll in a 64-bit one) and
// its kernel driver, with the same single-bit writes as the Linux backend.
//
// The DLL is loaded on the first port access, by full path from the folder of io.dll itself, so
// that another copy on the system's search path is never picked up. Without it, or with its
// driver not open, the library says so once on standard error and the ports read as if nothing
// were plugged in.
//
// Every line change is held for at least the configured time (QUILLON_INPOUT=hold=N, in
// microseconds, 0 by default), so that a fast PC keeps each SCK level long enough for a slowly
// clocked target.
//
// Everything asked of the operating system goes through an InpOutSystem, a table of function
// pointers: the library uses the real calls, the tests fakes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon::inpout {

enum class LoadResult { Loaded, NoLibrary, NoEntryPoints };

// ownFolder names the folder of io.dll, ending in a path separator; load loads the InpOut DLL
// by its full path and resolves Inp32, Out32 and IsInpOutDriverOpen; driverOpen, inp and out
// call them. report shows one message line to the user; nanoseconds reads a monotonic clock.
struct InpOutSystem {
    std::string (*ownFolder)();
    LoadResult (*load)(const std::string& path);
    bool (*driverOpen)();
    uint8_t (*inp)(uint16_t port);
    void (*out)(uint16_t port, uint8_t value);
    void (*report)(const std::string& message);
    int64_t (*nanoseconds)();
};

// LoadLibraryW, GetProcAddress and QueryPerformanceCounter (Windows builds only).
[[nodiscard]] const InpOutSystem& windowsSystem();

// InpOut's DLL for this build's pointer size.
inline constexpr std::string_view libraryName =
    sizeof(void*) == 8 ? "inpoutx64.dll" : "inpout32.dll";

struct InpOutConfig {
    uint32_t holdMicros = 0;
};

// Parses the QUILLON_INPOUT text ("hold=MICROSECONDS"). Nothing, and one line saying why in
// `problem`, for a text it can't use.
[[nodiscard]] std::optional<InpOutConfig> parseConfig(std::string_view text, std::string& problem);

// The standard base addresses; each port has its data, status and control registers at base,
// base + 1 and base + 2.
inline constexpr std::array<uint16_t, 3> portBases{0x378, 0x278, 0x3BC};

class InpOutPorts {
  public:
    // configText: the QUILLON_INPOUT text, read when the DLL is first loaded.
    InpOutPorts(const InpOutSystem& system, std::string configText);

    // A register as the hardware shows it; 0 outside the three ports or without the driver.
    [[nodiscard]] uint8_t in(uint16_t address);
    // Writes a whole data or control register; the status registers and other addresses ignore
    // writes.
    void out(uint16_t address, uint8_t value);
    // Sets (level true) or clears one bit with a single write, the other seven bits coming from
    // the register's shadow, not from reading the port back.
    void setBit(uint16_t address, unsigned bit, bool level);
    // The register's shadow, which toggles start from (0 for an address without one).
    [[nodiscard]] uint8_t latch(uint16_t address) const;
    // Loads the DLL if that has not been tried yet; true when its driver is open.
    [[nodiscard]] bool reachable();

  private:
    enum class State { Untried, Open, Unreachable };
    // A writable register's place in shadows_: data of each port, then control of each port.
    [[nodiscard]] static std::optional<std::size_t> shadowIndex(uint16_t address);
    bool open();
    void write(uint16_t address, std::size_t shadow, uint8_t value);
    void holdLastChange() const;

    const InpOutSystem& system_;
    std::string configText_;
    InpOutConfig config_;
    State state_ = State::Untried;
    std::array<uint8_t, 2 * portBases.size()> shadows_{};
    std::optional<int64_t> lastChange_;
};

} // namespace quillon::inpout
