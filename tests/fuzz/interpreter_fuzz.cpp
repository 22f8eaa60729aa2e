// SPDX-License-Identifier: MIT
// The command interpreter fed arbitrary words against the simulated adapter and ATmega, in
// process. An input is four header bytes, then the words, one a line: byte 0 picks the part
// (ATmega48, ATmega88, ATmega8 or an unrecognised signature), byte 1 the fault (none, a dropped
// page write, a part that hangs, a power loss, a stuck flash byte, MISO stuck low, no target),
// bytes 2 and 3 the count of those that take one, low byte first. The target is greeted as at
// start-up, then each word runs as the prompt runs it; words beginning with e or E ("e" ends the
// process) and words with a '/' are left out, so the commands' files stay in the sandbox folder
// the fuzzer works in, and so are downloads and uploads after the first two (each reads a whole
// memory back). It holds a few seed files (blink.hex, eeprom.hex, big.hex, odd.hex,
// ff.hex, empty.hex, prog.bin); whatever an input adds is removed before the next one. The part
// runs on a virtual clock that only the program's waits move on (SimulatedPort).
//
// Checked after every word, besides the sanitizers: the target is released, no download stream
// is left open, and a "Target matches" verdict is true of the chip: every byte the comparison
// covers (up to the load length, and for flash up to the chip's last byte that isn't 0xFF)
// holds the image.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "commands/commands.h"
#include "commands/dialogue.h"
#include "commands/settings.h"
#include "commands/state.h"
#include "image/hex_writer.h"
#include "image/image.h"
#include "simulated_port.h"

namespace fs = std::filesystem;
namespace q = quillon;

namespace {

// In memory where the system has such a folder: every upload is synced to the disk.
std::string sandbox =
    ((fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
     "quillon-fuzz-XXXXXX")
        .string();
constexpr std::array<std::string_view, 7> seeds{"blink.hex", "eeprom.hex", "big.hex", "odd.hex",
                                                "ff.hex",    "empty.hex",  "prog.bin"};

void check(bool good, const std::string& what, const std::string& word, const std::string& out) {
    if (!good) {
        std::fprintf(stderr, "interpreter_fuzz: %s\nword: %s\noutput:\n%s\n", what.c_str(),
                     word.c_str(), out.c_str());
        std::abort();
    }
}

// Runs fn with standard output caught; returns what it printed.
template <typename Fn>
std::string captured(Fn fn) {
    char* buffer = nullptr;
    std::size_t length = 0;
    std::FILE* memory = open_memstream(&buffer, &length);
    std::FILE* const console = stdout;
    stdout = memory;
    fn();
    stdout = console;
    std::fclose(memory);
    std::string text(buffer, length);
    std::free(buffer);
    return text;
}

// A seed HEX file of `length` bytes from ReadBackBuffer, by the program's own writer.
void writeSeed(const char* name, int32_t length) {
    (void)captured([&] {
        (void)q::writeHexFile(name, q::Process.buffers.readBack, length,
                              q::AddressRecordType::linear);
    });
}

q::sim::Config boardConfig(const uint8_t* header) {
    // The smallest flashes (a download reads the whole flash back to verify it), one part without
    // an extended fuse, and an unrecognised signature.
    constexpr std::array<const char*, 4> parts{"ATmega48", "ATmega88", "ATmega8", "1e9999"};
    constexpr std::array<const char*, 8> faults{
        "", "", "drop-page=", "mute-after=", "power-loss=", "stuck=", "miso-low", "no-target"};
    const unsigned kind = header[1] % 8U;
    const unsigned count = kind == 2   ? 1U + header[2] % 16U
                           : kind == 5 ? header[2] * 16U
                                       : 1U + header[2] + header[3] * 256U;
    q::sim::Config config{.device = parts[header[0] % parts.size()]};
    q::sim::Problems none;
    config.faults = q::sim::parseFaults(
        faults[kind] + (kind >= 2 && kind <= 5 ? std::to_string(count) : std::string()), none);
    return config;
}

void checkVerdict(const std::string& word, const std::string& out, q::sim::Board& board) {
    constexpr std::string_view lengthLine = "load file length = ";
    const auto at = out.find(lengthLine);
    if (out.find("Target matches") == std::string::npos) {
        return;
    }
    check(at != std::string::npos, "a match was claimed without a load", word, out);
    const long length = std::strtol(out.c_str() + at + lengthLine.size(), nullptr, 10);
    const bool flash = word[1] == 'f' || word[1] == 'F';
    const std::vector<uint8_t>& memory = flash ? board.chip().flash : board.chip().eeprom;
    const auto lastData =
        std::find_if(memory.rbegin(), memory.rend(), [](uint8_t b) { return b != 0xFF; });
    const auto covered = static_cast<std::ptrdiff_t>(
        flash ? std::max(length, static_cast<long>(memory.rend() - lastData)) : length);
    check(covered <= std::ssize(memory) && std::equal(memory.begin(), memory.begin() + covered,
                                                      q::Process.buffers.image.begin()),
          "\"Target matches\" but the chip doesn't hold the image", word, out);
}

// Downloads and uploads read a whole memory back through the simulated port, bit by bit: some
// 17 ms for the smallest flash under the sanitizers, against well under a millisecond for any
// other word. Two of them an input keep the runs many; the rest of its words still run.
constexpr int maxMemoryWords = 2;

bool readsMemoryBack(const std::string& word) {
    if (word.size() < 2) {
        return false;
    }
    const auto first = static_cast<char>(std::tolower(static_cast<unsigned char>(word[0])));
    const auto second = static_cast<char>(std::tolower(static_cast<unsigned char>(word[1])));
    return (first == 'd' || first == 'u') && (second == 'f' || second == 'e');
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    check(mkdtemp(sandbox.data()) != nullptr && chdir(sandbox.c_str()) == 0, "no sandbox", "", "");
    std::atexit([] { fs::remove_all(sandbox); });
    const fs::path data = QUILLON_TEST_DATA;
    fs::copy_file(data / "avr/blink16.hex", "blink.hex");
    fs::copy_file(data / "avr/blink16_eeprom.hex", "eeprom.hex");
    for (std::size_t i = 0; i < q::Process.buffers.readBack.size(); ++i) {
        q::Process.buffers.readBack[i] = static_cast<uint8_t>(i * 13 + 1);
    }
    writeSeed("big.hex", 8192 + 100);
    writeSeed("odd.hex", 5);
    q::Process.buffers.readBack.fill(0xFF);
    writeSeed("ff.hex", 100);
    std::ofstream("empty.hex").close();
    std::ofstream("prog.bin") << std::string("\x0c\x94\x2a\x00\x0c\x94:10000000", 15);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    for (const auto& entry : fs::directory_iterator(sandbox)) {
        if (std::ranges::count(seeds, entry.path().filename().string()) == 0) {
            fs::remove_all(entry.path());
        }
    }
    q::resetProcessState(); // every input starts alike
    q::testing::SimulatedPort port(boardConfig(data));
    (void)captured([] { q::greetTarget(); });
    std::string_view text(reinterpret_cast<const char*>(data + 4), size - 4);
    int memoryWords = 0;
    while (!text.empty()) {
        const std::string word(text.substr(0, text.find('\n')));
        text.remove_prefix(std::min(text.size(), word.size() + 1));
        if (word.find_first_of("eE") == 0 || word.find('/') != std::string::npos ||
            (readsMemoryBack(word) && ++memoryWords > maxMemoryWords)) {
            continue;
        }
        const std::string out = captured([&] { (void)q::interpretCommand(word); });
        check(q::Link.targetReleased == 1 && q::Process.settings.downloadFile == nullptr,
              "the target was left held or a download stream open", word, out);
        if (word.size() >= 2 && (word[0] == 'd' || word[0] == 'D')) {
            checkVerdict(word, out, port.board());
        }
    }
    return 0;
}
