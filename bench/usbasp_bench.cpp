// SPDX-License-Identifier: MIT
// What a USBasp moves for the memory commands: the built program runs "df" of a 30,000-byte
// image and "uf" of the whole flash of an ATmega328P through the emulated USBasp (the tests' io
// library, tests/usbasp-emulated/libio.so), which counts the control transfers and the bytes
// their data stages carried. Goal: the download with its whole-flash read-back in 330 transfers
// at most, flash in full blocks.
//   quillon_usbasp_bench PROGRAM EMULATED-LIBRARY-FOLDER
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr unsigned imageBytes = 30000;
constexpr unsigned goalTransfers = 330;

// An Intel HEX image of `bytes` bytes from address 0, none of them erased.
void writeImage(const fs::path& path, unsigned bytes) {
    std::ofstream out(path);
    for (unsigned address = 0; address < bytes; address += 16) {
        const unsigned count = std::min(16U, bytes - address);
        unsigned sum = count + (address >> 8) + (address & 0xFFU);
        std::array<char, 16> field{};
        std::snprintf(field.data(), field.size(), ":%02X%04X00", count, address);
        out << field.data();
        for (unsigned i = 0; i < count; ++i) {
            const unsigned byte = ((address + i) * 7 + 3) % 255;
            sum += byte;
            std::snprintf(field.data(), field.size(), "%02X", byte);
            out << field.data();
        }
        std::snprintf(field.data(), field.size(), "%02X\n", (0x100 - sum % 0x100) % 0x100);
        out << field.data();
    }
    out << ":00000001FF\n";
}

// Runs the program with `args` on the emulated USBasp; answers its count line.
std::string countedRun(const std::string& program, const std::string& library, const fs::path& dir,
                       const std::string& args) {
    const fs::path count = dir / "count.txt";
    fs::remove(count);
    const std::string command =
        "env LD_LIBRARY_PATH=" + library +
        " QUILLON_SIM_DEVICE=ATmega328P QUILLON_SIM_STATE=" + (dir / "chip").string() +
        " QUILLON_EMULATED_USBASP_COUNT=" + count.string() + " " + program + " " + args +
        " </dev/null >" + (dir / "out.txt").string() + " 2>&1";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "usbasp bench: the run failed: %s\n", command.c_str());
    }
    std::ifstream in(count);
    std::string line;
    std::getline(in, line);
    return line;
}

unsigned transfersIn(const std::string& line) {
    return static_cast<unsigned>(std::strtoul(line.c_str(), nullptr, 10));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PROGRAM EMULATED-LIBRARY-FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path dir =
        fs::temp_directory_path() / ("quillon-usbasp-bench-" + std::to_string(getpid()));
    fs::create_directories(dir / "chip");
    writeImage(dir / "image.hex", imageBytes);
    const std::string download =
        countedRun(argv[1], argv[2], dir, "-df" + (dir / "image.hex").string());
    const std::string upload = countedRun(argv[1], argv[2], dir, "-uf" + (dir / "up.hex").string());
    fs::remove_all(dir);
    std::printf("USBasp, ATmega328P, df of a %u-byte image with its whole-flash read-back: %s "
                "(goal: %u transfers at most)\n",
                imageBytes, download.c_str(), goalTransfers);
    std::printf("USBasp, ATmega328P, uf of the whole flash: %s\n", upload.c_str());
    return transfersIn(download) <= goalTransfers ? 0 : 1;
}
