// SPDX-License-Identifier: MIT
// How long the memory commands take, and how much of it is the programmer's own work rather than
// the fixed waits the chip needs: a full-flash "df" with verification and a full-flash "uf" on
// a simulated ATmega128, each from start-up to release, on both levels of the simulated library
// (the port entry points bit by bit, and the programmer extension), and reading and writing a
// 128 KiB Intel HEX image. Every wait of the program goes through a wait function of the
// benchmark's, which times it; the simulated firmware times its own.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "commands/download_commands.h"
#include "commands/load_command.h"
#include "commands/settings.h"
#include "commands/state.h"
#include "commands/upload_commands.h"
#include "device/device.h"
#include "image/hex_writer.h"
#include "image/image.h"
#include "link/link.h"
#include "platform/platform.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

Clock::duration waited{};
int64_t nominalMicros = 0;

std::string readWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The wait function in force during the benchmark: the real wait, timed.
void timedWait(int32_t micros) {
    const auto t0 = Clock::now();
    quillon::calibratedWait(micros);
    waited += Clock::now() - t0;
    nominalMicros += micros;
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Sends the commands' own output to /dev/null while a measurement runs.
class QuietStdout {
  public:
    QuietStdout() {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        if (std::freopen("/dev/null", "w", stdout) == nullptr) {
            std::perror("/dev/null");
        }
    }
    ~QuietStdout() {
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
    }
    QuietStdout(const QuietStdout&) = delete;
    QuietStdout& operator=(const QuietStdout&) = delete;

  private:
    int saved_;
};

// A 128 KiB image without erased bytes, so every page is programmed and verified.
void fillFullImage() {
    for (std::size_t i = 0; i < 131072; ++i) {
        quillon::Process.buffers.readBack[i] = static_cast<uint8_t>((i * 13 + (i >> 9)) % 255);
    }
}

template <typename Step>
double bestOf(int runs, Step step) {
    std::vector<double> times;
    for (int n = 0; n < runs; ++n) {
        const auto t0 = Clock::now();
        step();
        times.push_back(seconds(Clock::now() - t0));
    }
    return *std::min_element(times.begin(), times.end());
}

void hexBenchmarks(const fs::path& file) {
    using namespace quillon;
    fillFullImage();
    double writeTime = 0;
    {
        QuietStdout quiet;
        writeTime = bestOf(20, [&] {
            (void)writeHexFile(file.string(), Process.buffers.readBack, 131072,
                               AddressRecordType::linear);
        });
    }
    const double readTime = bestOf(20, [&] {
        Process.settings.downloadFile.reset(std::fopen(file.c_str(), "r"));
        (void)readHexFile();
    });
    std::printf("Intel HEX writer, 128 KiB image (%ju-byte file): %.2f ms (best of 20; target "
                "under 20 ms)\n",
                static_cast<uintmax_t>(fs::file_size(file)), writeTime * 1000);
    std::printf("Intel HEX reader, the same file:                %.2f ms (best of 20; target "
                "under 20 ms)\n",
                readTime * 1000);
}

struct Measurement {
    double wall = 0;
    double waits = 0; // the program's waits and, on the instruction level, its firmware's
    int64_t nominal = 0;
};

// The simulated library's firmware waits so far (instruction level), in seconds.
double firmwareWaits() {
    using Reader = int64_t(IO_CALL*)();
    const auto reader = reinterpret_cast<Reader>(quillon::platform::findEntryPoint(
        quillon::PortLibrary.module, "SimulatedFirmwareWaitNanos"));
    return reader != nullptr ? static_cast<double>(reader()) / 1e9 : 0.0;
}

// One run as the program makes it: start-up (library, calibration, table, settings), the
// target taken into programming mode, the command, the release, the library freed.
template <typename Command>
Measurement programRun(Command command) {
    using namespace quillon;
    waited = {};
    nominalMicros = 0;
    const auto t0 = Clock::now();
    {
        QuietStdout quiet;
        if (bindPortLibrary() != 0) {
            return {};
        }
        calibrateDelay();

        resetSettings();
        (void)adapterPresent(); // opens a programmer of its own
        connectTarget();
        command();
        releaseTarget();
        waited += std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(firmwareWaits()));
        unbindPortLibrary();
    }
    return {seconds(Clock::now() - t0), seconds(waited), nominalMicros};
}

void report(const char* what, const Measurement& m, const char* target) {
    const double own = m.wall - m.waits;
    std::printf(
        "%s\n  wall %.3f s, waiting %.3f s (the program's nominal %.3f s), programmer's own "
        "cost %.3f s = %.1f%% of the wall time (%s)\n",
        what, m.wall, m.waits, static_cast<double>(m.nominal) / 1e6, own, 100.0 * own / m.wall,
        target);
}

} // namespace

int main(int argc, char** argv) {
    using namespace quillon;
    const fs::path folder =
        fs::temp_directory_path() / ("quillon-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path image = folder / "full128.hex";
    setWaitFunction(timedWait);
    Process.settings.addressRecordType = AddressRecordType::linear;
    Process.settings.trimUpload = UploadTrim::trimmed;
    hexBenchmarks(image);

    const std::string library = argc > 1 ? argv[1] : "";
    if (library.empty() || !fs::exists(library)) {
        std::printf("No simulated io library (build/sim/libio.so): the transfer benchmarks are "
                    "skipped\n");
        fs::remove_all(folder);
        return 0;
    }
    // The simulated chip keeps its memories in a folder between the two runs.
    setenv("QUILLON_SIM_DEVICE", "ATmega128", 1);
    setenv("QUILLON_SIM_STATE", (folder / "chip").c_str(), 1);
    unsetenv("QUILLON_SIM_FAULTS");
    unsetenv("QUILLON_SIM_TRACE");

    std::printf("Simulated ATmega128\n");
    Measurement df;
    Measurement uf;
    const fs::path uploaded = folder / "uploaded.hex";
    for (const char* level : {"bit", "instruction"}) {
        setenv("QUILLON_SIM_LEVEL", level, 1);
        df = programRun([&] { downloadFlash(image.string()); });
        if (df.wall == 0) {
            std::printf("The io library could not be loaded: check LD_LIBRARY_PATH\n");
            return 1;
        }
        uf = programRun([&] { uploadFlash(uploaded.string()); });
        std::printf("On the %s level (Link.delayUnits %d):\n", level, Link.delayUnits);
        report("Full-flash df (131072 bytes, 512 pages) with verification:", df,
               "target: own cost under 10%");
        report("Full-flash uf (131072 bytes):", uf, "target: own cost under 1 s");
    }
    const std::string left = readWhole(image);
    const std::string right = readWhole(uploaded);
    std::printf("Uploaded file %s the downloaded one\n",
                left == right && !left.empty() ? "is identical to" : "DIFFERS from");
    fs::remove_all(folder);
    return left == right ? 0 : 1;
}
