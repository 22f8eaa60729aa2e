// SPDX-License-Identifier: MIT
// The command interpreter fed arbitrary words against the simulated adapter and ATmega, in
// process. An input is four header bytes and then the words, one a line:
//   byte 0: the part (ATmega48, ATmega88, ATmega16, or an unrecognised signature)
//   byte 1: the fault (none, a dropped page write, a part that hangs, a power loss, a stuck
//           flash byte, MISO stuck low, no target)
//   bytes 2, 3: the instruction or page count for the faults that take one, low byte first
// The target is greeted as at start-up, then every word runs as the prompt runs it (set
// QUILLON_FUZZ_ECHO to see the transcript of an input). Words that
// begin with e or E are left out: "e" ends the process.
//
// Timing: the simulated part runs on a virtual clock that the program's waits move on instead of
// waiting (SimulatedPort), so the fuzzer runs at full speed while the part still wakes 20 ms
// after RESET and stays busy for the data sheet's times: a wait too short loses what follows.
//
// Files: every fopen of the program is sent to a sandbox folder. A few names there hold seed
// files (blink.hex, eeprom.hex, big.hex, odd.hex, ff.hex, empty.hex, prog.bin); any other name
// maps to one of sixteen scratch files, which uploads and "lf" create and later downloads can
// read. The scratch files are removed before each input.
//
// Checked after every word, besides the sanitizers: the target is released, no download stream
// is left open, and a "Target matches" verdict is true of the chip: every byte the comparison
// covers (up to the load length, and for flash up to the chip's last byte that isn't 0xFF) holds
// the image.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "commands/commands.h"
#include "commands/dialogue.h"
#include "commands/settings.h"
#include "commands/state.h"
#include "device/device.h"
#include "device/lock_commands.h"
#include "image/image.h"
#include "link/link.h"
#include "simulated_port.h"

namespace fs = std::filesystem;
namespace q = quillon;

extern "C" std::FILE* __real_fopen(const char* path, const char* mode);

namespace {

fs::path sandbox;
bool sandboxed = false; // only the program's own opens are redirected
// QUILLON_FUZZ_ECHO set: the greeting, each word and its output go to standard error, to see
// what a finding did.
const bool echo = std::getenv("QUILLON_FUZZ_ECHO") != nullptr;

constexpr std::array<std::string_view, 7> seedNames{"blink.hex", "eeprom.hex", "big.hex", "odd.hex",
                                                    "ff.hex",    "empty.hex",  "prog.bin"};
constexpr unsigned scratchFiles = 16;

std::string mappedName(std::string_view path) {
    if (std::find(seedNames.begin(), seedNames.end(), path) != seedNames.end()) {
        return std::string(path);
    }
    uint32_t hash = 2166136261U;
    for (const char c : path) {
        hash = (hash ^ static_cast<uint8_t>(c)) * 16777619U;
    }
    return "f" + std::to_string(hash % scratchFiles);
}

} // namespace

extern "C" std::FILE* __wrap_fopen(const char* path, const char* mode) {
    if (!sandboxed || path == nullptr || *path == '\0') {
        return __real_fopen(path, mode); // an empty name fails as it would anyway
    }
    return __real_fopen((sandbox / mappedName(path)).c_str(), mode);
}

namespace {

void fail(const std::string& what, const std::string& word, const std::string& out) {
    std::fprintf(stderr, "interpreter_fuzz: %s\nword: %s\noutput:\n%s\n", what.c_str(),
                 word.c_str(), out.c_str());
    std::abort();
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// An Intel HEX text of `bytes` from address 0, 16 to a record.
std::string hexText(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (std::size_t at = 0; at < bytes.size(); at += 16) {
        const std::size_t count = std::min<std::size_t>(16, bytes.size() - at);
        std::array<char, 16> head{};
        std::snprintf(head.data(), head.size(), ":%02X%04X00", static_cast<unsigned>(count),
                      static_cast<unsigned>(at));
        text += head.data();
        unsigned sum = count + (at >> 8) + (at & 0xFF);
        for (std::size_t i = 0; i < count; ++i) {
            std::array<char, 3> digits{};
            std::snprintf(digits.data(), digits.size(), "%02X", bytes[at + i]);
            text += digits.data();
            sum += bytes[at + i];
        }
        std::array<char, 4> check{};
        std::snprintf(check.data(), check.size(), "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
        text += check.data();
    }
    return text + ":00000001FF\n";
}

void writeSeed(std::string_view name, const std::string& text) {
    std::ofstream(sandbox / std::string(name), std::ios::binary) << text;
}

void makeSandbox() {
    std::string pattern = (fs::temp_directory_path() / "quillon-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("interpreter_fuzz: mkdtemp");
        std::abort();
    }
    sandbox = pattern;
    const fs::path data = QUILLON_TEST_DATA;
    writeSeed("blink.hex", readFile(data / "avr/blink16.hex"));
    writeSeed("eeprom.hex", readFile(data / "avr/blink16_eeprom.hex"));
    std::vector<uint8_t> big(8192 + 100);
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<uint8_t>(i * 13 + 1);
    }
    writeSeed("big.hex", hexText(big));
    writeSeed("odd.hex", hexText({1, 2, 3, 4, 5}));
    writeSeed("ff.hex", hexText(std::vector<uint8_t>(100, 0xFF)));
    writeSeed("empty.hex", "");
    writeSeed("prog.bin", std::string("\x0c\x94\x2a\x00\x0c\x94:10000000", 15));
}

void removeScratchFiles() {
    std::error_code ignored;
    for (unsigned i = 0; i < scratchFiles; ++i) {
        fs::remove_all(sandbox / ("f" + std::to_string(i)), ignored);
    }
}

void removeSandbox() {
    std::error_code ignored;
    fs::remove_all(sandbox, ignored);
}

q::sim::Config boardConfig(const uint8_t* header) {
    constexpr std::array<const char*, 4> parts{"ATmega48", "ATmega88", "ATmega16", "1e9999"};
    q::sim::Config config;
    config.device = parts[header[0] % parts.size()];
    const uint32_t count = 1U + header[2] + header[3] * 256U;
    switch (header[1] % 8) {
    case 2:
        config.faults.dropPage = 1U + header[2] % 16U;
        break;
    case 3:
        config.faults.muteAfter = count;
        break;
    case 4:
        config.faults.powerLoss = count;
        break;
    case 5:
        config.faults.stuckFlashBytes = {header[2] * 16U};
        break;
    case 6:
        config.faults.misoLow = true;
        break;
    case 7:
        config.faults.noTarget = true;
        break;
    default:
        break;
    }
    return config;
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
    std::fflush(memory);
    stdout = console;
    std::fclose(memory);
    std::string text(buffer, length);
    std::free(buffer);
    return text;
}

std::optional<int32_t> loadLength(const std::string& out) {
    constexpr std::string_view line = "load file length = ";
    const auto at = out.find(line);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    return static_cast<int32_t>(std::strtol(out.c_str() + at + line.size(), nullptr, 10));
}

int32_t lastDataEnd(const std::vector<uint8_t>& memory) {
    for (auto i = static_cast<int32_t>(memory.size()); i > 0; --i) {
        if (memory[static_cast<std::size_t>(i - 1)] != 0xFF) {
            return i;
        }
    }
    return 0;
}

void checkVerdict(const std::string& word, const std::string& out, q::sim::Board& board) {
    if (out.find("Target matches") == std::string::npos) {
        return;
    }
    const std::optional<int32_t> length = loadLength(out);
    if (!length) {
        fail("a match was claimed without a load", word, out);
    }
    const bool flash = word[1] == 'f' || word[1] == 'F';
    const std::vector<uint8_t>& memory = flash ? board.chip().flash : board.chip().eeprom;
    const int32_t covered = flash ? std::max(*length, lastDataEnd(memory)) : *length;
    if (covered > static_cast<int32_t>(memory.size())) {
        fail("a match was claimed for more bytes than the memory has", word, out);
    }
    for (int32_t i = 0; i < covered; ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (memory[at] != q::ImageBuffer[at]) {
            fail("\"Target matches\" but the chip's byte " + std::to_string(i) + " differs", word,
                 out);
        }
    }
}

std::vector<std::string> wordsOf(std::string_view text) {
    std::vector<std::string> words;
    while (!text.empty()) {
        const auto end = text.find('\n');
        words.emplace_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    }
    return words;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    makeSandbox();
    std::atexit(removeSandbox);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    constexpr std::size_t headerBytes = 4;
    if (size < headerBytes) {
        return 0;
    }
    removeScratchFiles();
    q::resetProcessState(); // every input starts alike
    q::testing::SimulatedPort port(boardConfig(data));
    sandboxed = true;
    const std::string greeting = captured([] { q::greetTarget(); });
    if (echo) {
        std::fprintf(stderr, "%s", greeting.c_str());
    }
    const std::string_view text(reinterpret_cast<const char*>(data + headerBytes),
                                size - headerBytes);
    for (const std::string& word : wordsOf(text)) {
        if (!word.empty() && (word[0] == 'e' || word[0] == 'E')) {
            continue; // the exit command ends the process
        }
        const std::string out = captured([&] { (void)q::interpretCommand(word); });
        if (echo) {
            std::fprintf(stderr, "-%s\n%s", word.c_str(), out.c_str());
        }
        if (q::targetReleased != 1) {
            fail("the target was left held", word, out);
        }
        if (q::CommandSettings.downloadFile != nullptr) {
            fail("a download stream was left open", word, out);
        }
        if (word.size() >= 2 && (word[0] == 'd' || word[0] == 'D')) {
            checkVerdict(word, out, port.board());
        }
    }
    sandboxed = false;
    return 0;
}
