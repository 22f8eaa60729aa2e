// The memory commands as a user runs them: the built program on the simulated adapter and chip
// (build/sim/libio.so), whole transcripts, the chip's state folder and its event trace.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image/hexfile.h"
#include "image/image.h"
#include "program_runner.h"

namespace fs = std::filesystem;
namespace q = quillon;
using q::testing::ProgramOptions;
using q::testing::ProgramRun;

namespace {

const fs::path buildDir = QUILLON_BUILD_DIR;
const fs::path dataDir = fs::path(QUILLON_SOURCE_DIR) / "tests/data/avr";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The number of bytes up to and including the last one that isn't 0xFF.
int trimmedLength(const std::string& bytes) {
    const auto last = bytes.find_last_not_of('\xFF');
    return last == std::string::npos ? 0 : static_cast<int>(last) + 1;
}

// The bytes an Intel HEX file holds from address 0 to its load length.
std::string hexFileBytes(const fs::path& path) {
    const q::HexLoad load = q::readHexText(readFile(path));
    return {q::ImageBuffer.begin(), q::ImageBuffer.begin() + load.loadLength};
}

struct TraceEvent {
    long long micros;
    std::string what;
};

// One simulated chip kept in a state folder of its own, with a trace of what it was sent.
struct SimulatedChip {
    explicit SimulatedChip(std::string deviceName) : device(std::move(deviceName)) {
        folder = fs::temp_directory_path() /
                 ("quillon-memory-" + std::to_string(getpid()) + "-" + std::to_string(++count));
        fs::remove_all(folder);
        fs::create_directories(folder / "chip");
    }
    ~SimulatedChip() { fs::remove_all(folder); }
    SimulatedChip(const SimulatedChip&) = delete;
    SimulatedChip& operator=(const SimulatedChip&) = delete;

    [[nodiscard]] fs::path file(const std::string& name) const { return folder / name; }
    [[nodiscard]] std::string flash() const { return readFile(folder / "chip/flash.bin"); }
    [[nodiscard]] std::string eeprom() const { return readFile(folder / "chip/eeprom.bin"); }

    ProgramRun run(const std::vector<std::string>& args) {
        ProgramOptions options;
        options.args = args;
        options.env["LD_LIBRARY_PATH"] = (buildDir / "sim").string();
        options.env["QUILLON_SIM_DEVICE"] = device;
        options.env["QUILLON_SIM_STATE"] = (folder / "chip").string();
        options.env["QUILLON_SIM_FAULTS"] = faults;
        options.env["QUILLON_SIM_TRACE"] = (folder / "trace.txt").string();
        options.timeout = std::chrono::seconds(120);
        ProgramRun result = q::testing::runProgram(QUILLON_PROGRAM, options);
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(result.status, 0);
        EXPECT_FALSE(entryWaitCameShort()) << "the wait after the reset pulse came out short";
        EXPECT_FALSE(chipWasBusy()) << "the chip ignored an instruction: a wait came out short";
        return result;
    }

    // Every run must keep the chip's timing: the wait after the reset pulse (30000 us asked,
    // from the pulse's last "reset 0" to Programming Enable) is long enough, and the chip never
    // had to ignore an instruction because it was still busy.
    [[nodiscard]] bool chipWasBusy() const {
        const std::vector<TraceEvent> events = trace();
        return std::any_of(events.begin(), events.end(),
                           [](const TraceEvent& e) { return e.what.ends_with(" busy"); });
    }
    [[nodiscard]] bool entryWaitCameShort() const {
        const std::vector<TraceEvent> events = trace();
        for (std::size_t i = 0; i + 1 < events.size(); ++i) {
            if (events[i].what == "reset 0" && events[i + 1].what == "ac530000") {
                return events[i + 1].micros - events[i].micros < 30000;
            }
        }
        return false;
    }

    [[nodiscard]] std::vector<TraceEvent> trace() const {
        std::vector<TraceEvent> events;
        std::istringstream in(readFile(folder / "trace.txt"));
        for (std::string line; std::getline(in, line);) {
            const auto space = line.find(' ');
            events.push_back({std::stoll(line.substr(0, space)), line.substr(space + 1)});
        }
        return events;
    }

    std::string device;
    std::string faults;
    fs::path folder;
    static inline int count = 0;
};

// The output after the greeting line, which the chip's fuses decide; the greeting is checked
// to name the device.
std::string afterGreeting(const ProgramRun& run, const std::string& greetingStart) {
    const std::string out = q::testing::withoutDelayValue(run.out);
    const std::string head = "Delay parameter for 1 usec is N\n" + q::testing::bannerText();
    EXPECT_TRUE(out.starts_with(head)) << out;
    const std::size_t greeting = std::min(out.size(), head.size());
    EXPECT_EQ(out.substr(greeting, greetingStart.size()), greetingStart) << out;
    const std::size_t end = out.find('\n', greeting);
    return end == std::string::npos ? out : out.substr(end + 1);
}

const std::string finished = "\nProgram finished!";

struct MemoryE2E : ::testing::Test {};

std::string downloadLines(const fs::path& file, int length, int flashBytes) {
    return "load file length = " + std::to_string(length) + "\nErase chip\nProgramming\n" +
           std::to_string(length) + " bytes written to target\nRead back target to verify\nRead " +
           std::to_string(flashBytes) + " target flash bytes\nTarget matches " + file.string() +
           "\n";
}

std::string uploadLines(const fs::path& file, int trimmed, int flashBytes) {
    char last[64];
    std::snprintf(last, sizeof last, "Last data value in buffer = %x %d\n",
                  static_cast<unsigned>(trimmed), trimmed);
    return "Read " + std::to_string(flashBytes) + " target flash bytes\n" + last +
           "Write Flash/EEPROM data to " + file.string() + "\n";
}

void downloadThenUpload(SimulatedChip& chip, const std::string& program, int flashBytes) {
    const fs::path hex = dataDir / (program + ".hex");
    const std::string image = readFile(dataDir / (program + ".bin"));
    const fs::path uploaded = chip.file("uploaded.hex");
    const ProgramRun run = chip.run({"-df" + hex.string(), "-uf" + uploaded.string()});
    EXPECT_EQ(afterGreeting(run, "Target " + chip.device + " responding - "),
              downloadLines(hex, static_cast<int>(image.size()), flashBytes) +
                  uploadLines(uploaded, trimmedLength(image), flashBytes) + finished);
    const std::string flash = chip.flash();
    ASSERT_EQ(flash.size(), static_cast<std::size_t>(flashBytes));
    EXPECT_TRUE(flash.starts_with(image));
    EXPECT_EQ(flash.find_first_not_of('\xFF', image.size()), std::string::npos);
    EXPECT_EQ(hexFileBytes(uploaded), image.substr(0, trimmedLength(image)));
}

} // namespace

TEST_F(MemoryE2E, FlashDownloadAndUploadOnAnAtmega16) {
    SimulatedChip chip("ATmega16");
    downloadThenUpload(chip, "blink16", 16384);
}

TEST_F(MemoryE2E, FlashDownloadAndUploadAbove64KiBOnAnAtmega128) {
    SimulatedChip chip("ATmega128");
    downloadThenUpload(chip, "table128", 131072);
}

TEST_F(MemoryE2E, EepromDownloadAndUpload) {
    SimulatedChip chip("ATmega16");
    const fs::path hex = dataDir / "blink16_eeprom.hex";
    const std::string image = readFile(dataDir / "blink16_eeprom.bin");
    const fs::path uploaded = chip.file("eeprom.hex");
    const ProgramRun run = chip.run({"-de" + hex.string(), "-ue" + uploaded.string()});
    const std::string length = std::to_string(image.size());
    EXPECT_EQ(afterGreeting(run, "Target ATmega16 responding - "),
              "load file length = " + length + "\nProgramming\nBytes written to target " + length +
                  "\nRead back target to verify\nRead 512 target EEPROM bytes\n" +
                  "Target matches " + hex.string() + "\nRead 512 target EEPROM bytes\n" +
                  "Write Flash/EEPROM data to " + uploaded.string() + "\n" + finished);
    EXPECT_TRUE(chip.eeprom().starts_with(image));
    EXPECT_EQ(hexFileBytes(uploaded), image.substr(0, trimmedLength(image)));
}

TEST_F(MemoryE2E, NoVerificationServesOneDownloadOnly) {
    SimulatedChip chip("ATmega16");
    const fs::path hex = dataDir / "blink16.hex";
    const int length = static_cast<int>(readFile(dataDir / "blink16.bin").size());
    const ProgramRun run = chip.run({"-nv", "-df" + hex.string(), "-df" + hex.string()});
    EXPECT_EQ(afterGreeting(run, "Target ATmega16 responding - "),
              "load file length = " + std::to_string(length) + "\nErase chip\nProgramming\n" +
                  std::to_string(length) + " bytes written to target\n" +
                  downloadLines(hex, length, 16384) + finished);
}

TEST_F(MemoryE2E, LoadUsesTheFillByteAndResetsItWhenVerifying) {
    SimulatedChip chip("ATmega16");
    const fs::path hex = dataDir / "blink16.hex";
    const ProgramRun run = chip.run(
        {"-sf00", "-ld" + hex.string(), "-sf", "-nv", "-sf00", "-ld" + hex.string(), "-sf"});
    EXPECT_EQ(afterGreeting(run, "Target "),
              "Fill char=0\nFill char=ff\nFill char=0\nFill char=0\n" + finished);
    EXPECT_EQ(chip.flash(), std::string(16384, '\xFF')); // ld never touches the target
}

TEST_F(MemoryE2E, StuckFlashByteFailsTheVerification) {
    SimulatedChip chip("ATmega16");
    chip.faults = "stuck=0x10";
    const fs::path hex = dataDir / "blink16.hex";
    const int length = static_cast<int>(readFile(dataDir / "blink16.bin").size());
    const ProgramRun run = chip.run({"-df" + hex.string()});
    std::string expected = downloadLines(hex, length, 16384);
    expected.replace(expected.find("Target matches"), std::string::npos,
                     "1 bytes mismatched\nERROR - Target does not match " + hex.string() + "\n");
    EXPECT_EQ(afterGreeting(run, "Target ATmega16 responding - "), expected + finished);
}

TEST_F(MemoryE2E, MissingFileLeavesTheChipAlone) {
    SimulatedChip chip("ATmega16");
    (void)chip.run({"-df" + (dataDir / "blink16.hex").string()});
    const std::string programmed = chip.flash();
    const fs::path missing = chip.file("missing.hex");
    const ProgramRun run = chip.run({"-df" + missing.string(), "-de" + missing.string()});
    EXPECT_EQ(afterGreeting(run, "Target ATmega16 responding - "),
              "Can't open download file\nCan't open download file\n" + finished);
    EXPECT_EQ(chip.flash(), programmed);
}

TEST_F(MemoryE2E, OversizedImageIsRefusedBeforeErasing) {
    SimulatedChip chip("ATmega16");
    (void)chip.run({"-df" + (dataDir / "blink16.hex").string()});
    const std::string programmed = chip.flash();
    const fs::path big = dataDir / "table128.hex";
    const ProgramRun run = chip.run({"-df" + big.string()});
    EXPECT_EQ(afterGreeting(run, "Target ATmega16 responding - "),
              "load file length = 65836\nERROR - The image of 65836 bytes is larger than the "
              "16384-byte flash of the ATmega16: chip not erased, use a file made for this "
              "device\n" +
                  finished);
    EXPECT_EQ(chip.flash(), programmed);
    for (const TraceEvent& e : chip.trace()) {
        EXPECT_NE(e.what, "ac800000") << "chip erase sent";
    }
}

TEST_F(MemoryE2E, UnrecognisedTargetIsLeftAlone) {
    SimulatedChip chip("1e9999");
    const fs::path uploaded = chip.file("never.hex");
    const ProgramRun run = chip.run(
        {"-nv", "-df" + (dataDir / "blink16.hex").string(), "-uf" + uploaded.string(), "-sf"});
    const std::string line = "ERROR - Target processor unrecognized: %s skipped, check the "
                             "cable, the target's power and that it is a supported ATmega\n";
    std::string df = line;
    std::string uf = line;
    df.replace(df.find("%s"), 2, "flash download");
    uf.replace(uf.find("%s"), 2, "flash upload");
    EXPECT_EQ(afterGreeting(run, "Target Processor Unrecognized but responding - "),
              df + uf + "Fill char=ff\n" + finished);
    EXPECT_FALSE(fs::exists(uploaded));
    for (const TraceEvent& e : chip.trace()) {
        // Only Programming Enable, the signature and the fuses are read; no memory instruction.
        EXPECT_TRUE(e.what.starts_with("reset") || e.what.starts_with("ac53") ||
                    e.what.starts_with("30") || e.what.starts_with("50") ||
                    e.what.starts_with("58"))
            << e.what;
    }
}

// The waits after Chip Erase, each page write and each EEPROM byte, as the chip saw them: the
// next instruction comes no sooner than the time asked, and the chip is never busy.
TEST_F(MemoryE2E, WaitsAfterEraseAndWritesAreKept) {
    SimulatedChip chip("ATmega16");
    (void)chip.run({"-nv", "-df" + (dataDir / "blink16.hex").string(),
                    "-de" + (dataDir / "blink16_eeprom.hex").string()});
    const std::vector<TraceEvent> events = chip.trace();
    struct Gap {
        std::string instruction;
        long long micros; // to the next event
        int asked;
    };
    std::vector<Gap> gaps;
    for (std::size_t i = 0; i + 1 < events.size(); ++i) {
        const std::string& w = events[i].what;
        const long long micros = events[i + 1].micros - events[i].micros;
        if (w.starts_with("ac800000")) {
            gaps.push_back({w, micros, 14000});
        } else if (w.starts_with("4c")) {
            gaps.push_back({w, micros, w.starts_with("4c008000") ? 10500 : 9500});
        } else if (w.starts_with("c0")) {
            gaps.push_back({w, micros, 11500});
        }
    }
    // blink16: 148 words, two full 64-word pages and one of 20; then 15 EEPROM bytes.
    ASSERT_EQ(gaps.size(), 1U + 3U + 15U);
    EXPECT_EQ(gaps[3].instruction.substr(0, 8), "4c008000");

    for (const Gap& g : gaps) {
        EXPECT_GE(g.micros, g.asked) << g.instruction;
        EXPECT_FALSE(g.instruction.ends_with(" busy")) << g.instruction;
    }
}
