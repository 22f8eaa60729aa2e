// SPDX-License-Identifier: MIT
// The memory commands as a user runs them: the built program on the simulated adapter and chip
// (build/sim/libio.so), whole transcripts, the chip's state folder and its event trace.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "image/hex_reader.h"
#include "image/hex_writer.h"
#include "image/image.h"
#include "memory_test_support.h"
#include "program_runner.h"

namespace q = quillon;
using q::testing::readFile;

namespace {

const std::string dataDir = QUILLON_SOURCE_DIR "/tests/data/avr/";

// The bytes an Intel HEX file holds up to its load length, as this program's reader sees them.
std::string hexFileBytes(const std::string& path) {
    const q::HexLoad load = q::readHexText(readFile(path), 0xFF);
    return {q::ImageBuffer.begin(), q::ImageBuffer.begin() + load.loadLength};
}

// The wait the chip must be given after event before next: after the reset pulse, Chip Erase, a
// page write (longer for the last, partly filled page: no test image fills its last page; the
// next page may start with a new extended address) and an EEPROM byte.
int waitAfter(const std::string& event, const std::string& next) {
    if (event == "reset 0" && next.starts_with("ac53")) {
        return 30000;
    }
    if (event.starts_with("ac80")) {
        return 14000;
    }
    if (event.starts_with("4c")) {
        return next.starts_with("40") || next.starts_with("4d000100") ? 9500 : 10500;
    }
    return event.starts_with("c0") ? 11500 : 0;
}

// A simulated chip kept in a state folder of its own; every run of the program against it must
// keep the chip's timing, as its trace shows.
struct Chip {
    explicit Chip(std::string part, std::string faultList = "")
        : device(std::move(part)), faults(std::move(faultList)) {}
    // The output after the greeting line, which must start with greeting.
    std::string run(const std::vector<std::string>& args, const std::string& greeting) {
        q::testing::ProgramOptions options;
        options.args = args;
        options.timeout = timeout;
        options.env = {{"LD_LIBRARY_PATH", QUILLON_BUILD_DIR "/sim"},
                       {"QUILLON_SIM_DEVICE", device},
                       {"QUILLON_SIM_STATE", dir.path.string()},
                       {"QUILLON_SIM_FAULTS", faults},
                       {"QUILLON_SIM_TRACE", dir.file("trace.txt")}};
        const q::testing::ProgramRun run = q::testing::runProgram(QUILLON_PROGRAM, options);
        EXPECT_TRUE(run.status == 0 && !run.timedOut) << run.err;
        trace.clear();
        std::istringstream lines(readFile(dir.file("trace.txt")));
        for (std::string line; std::getline(lines, line);) {
            const auto space = line.find(' ');
            trace.emplace_back(std::stoll(line.substr(0, space)), line.substr(space + 1));
            EXPECT_FALSE(line.ends_with(" busy")) << "the chip ignored an instruction: " << line;
        }
        for (std::size_t i = 0; i + 1 < trace.size(); ++i) {
            EXPECT_GE(trace[i + 1].first - trace[i].first,
                      waitAfter(trace[i].second, trace[i + 1].second))
                << "after " << trace[i].second;
        }
        const std::string out = q::testing::withoutDelayValue(run.out);
        const std::string head = "Delay parameter for 1 usec is N\n" + q::testing::bannerText();
        EXPECT_EQ(out.substr(0, head.size() + greeting.size()), head + greeting) << out;
        return out.substr(std::min(out.size(), out.find('\n', head.size()) + 1));
    }
    [[nodiscard]] long count(const std::string& prefix) const {
        return std::count_if(trace.begin(), trace.end(),
                             [&](const auto& e) { return e.second.starts_with(prefix); });
    }

    std::string device;
    std::string faults;
    std::chrono::milliseconds timeout{120000};            // for one run of the program
    q::testing::ScratchDir dir;                           // the chip's memories and the files
    std::vector<std::pair<long long, std::string>> trace; // microseconds, event
};

const std::string finished = "\nProgram finished!";

std::string downloaded(const std::string& hex, std::size_t length, int flashBytes,
                       const std::string& verdict = "Target matches ") {
    const std::string n = std::to_string(length);
    return "load file length = " + n + "\nErase chip\nProgramming\n" + n +
           " bytes written to target\nRead back target to verify\nRead " +
           std::to_string(flashBytes) + " target flash bytes\n" + verdict + hex + "\n";
}

// The upload's first lines; the file's name follows "Write Flash/EEPROM data to ".
std::string uploaded(std::size_t length, int flashBytes) {
    std::array<char, 64> last{};
    std::snprintf(last.data(), last.size(), "Last data value in buffer = %zx %zu\n", length,
                  length);
    return "Read " + std::to_string(flashBytes) + " target flash bytes\n" + last.data();
}

const std::string writing = "Write Flash/EEPROM data to ";

// length bytes of varied data whose last byte isn't 0xFF, written to an Intel HEX file at path.
std::string hexImage(const std::string& path, std::size_t length) {
    std::string image(length, '\0');
    uint32_t value = 1;
    for (char& byte : image) {
        value = value * 1103515245U + 12345U;
        byte = static_cast<char>(value >> 16);
    }
    image.back() = '\x5A';
    std::copy(image.begin(), image.end(), q::ReadBackBuffer.begin());
    EXPECT_EQ(q::writeHexFile(path, static_cast<int32_t>(length), q::AddressRecordType::linear),
              q::hexFileWritten);
    return image;
}
const std::string blink = dataDir + "blink16.hex";
const std::string blinkEeprom = dataDir + "blink16_eeprom.hex";
const std::string blinkImage = readFile(dataDir + "blink16.bin");
const std::string blinkFlash = blinkImage + std::string(16384 - blinkImage.size(), '\xFF');

} // namespace

// A blank flash uploads whole; "de" then "ue"; "sf00" serves the next "ld" and falls back after
// it unless "nv" is on, and "ld" leaves the chip alone; "nv" serves one "df" only; "df" then
// "uf", also to a file it can't open or fully write. "de" compares the image's bytes only: the
// EEPROM isn't erased, its older data stays.
TEST(MemoryE2E, DownloadsAndUploadsOnAnAtmega16) {
    Chip chip("ATmega16");
    std::string older;
    for (int i = 0; i < 512; ++i) {
        older += static_cast<char>(i % 251);
    }
    std::ofstream(chip.dir.file("eeprom.bin"), std::ios::binary) << older;
    const std::string eeprom = readFile(dataDir + "blink16_eeprom.bin");
    const std::string blank = chip.dir.file("blank.hex");
    const std::string up = chip.dir.file("up.hex");
    const std::string upEeprom = chip.dir.file("up_eeprom.hex");
    const std::string nowhere = chip.dir.file("no/such/folder.hex");
    const std::string e = std::to_string(eeprom.size());
    const std::string verified = downloaded(blink, blinkImage.size(), 16384);
    EXPECT_EQ(chip.run({"-uf" + blank, "-de" + blinkEeprom, "-ue" + upEeprom, "-sf00",
                        "-ld" + blink, "-sf", "-nv", "-sf00", "-ld" + blink, "-sf", "-df" + blink,
                        "-df" + blink, "-uf" + up, "-uf" + nowhere, "-uf/dev/full"},
                       "Target ATmega16 responding - "),
              uploaded(16384, 16384) + writing + blank + "\nload file length = " + e +
                  "\nProgramming\nBytes written to target " + e +
                  "\nRead back target to verify\nRead 512 target EEPROM bytes\nTarget matches " +
                  blinkEeprom + "\nRead 512 target EEPROM bytes\nWrite Flash/EEPROM data to " +
                  upEeprom + "\nFill char=0\nFill char=ff\nFill char=0\nFill char=0\n" +
                  verified.substr(0, verified.find("Read back")) + verified +
                  uploaded(blinkImage.size(), 16384) + writing + up + "\n" +
                  uploaded(blinkImage.size(), 16384) + "Can't open output file " + nowhere + "\n" +
                  uploaded(blinkImage.size(), 16384) + writing +
                  "/dev/full\nERROR - Can't write all of /dev/full: the file is incomplete, check "
                  "the free space and the path\n" +
                  finished);
    // 15 EEPROM bytes, two erases of three pages each (blink16: two full 64-word pages and one
    // of 20 words), each write given its time as run() checks; Load Extended Address before each
    // programming and each read of the flash.
    EXPECT_EQ(std::vector<long>(
                  {chip.count("c0"), chip.count("ac80"), chip.count("4c"), chip.count("4d000000")}),
              std::vector<long>({15, 2, 6, 7}));
    EXPECT_EQ(hexFileBytes(blank), std::string(16384, '\xFF'));
    EXPECT_EQ(hexFileBytes(upEeprom), eeprom + older.substr(eeprom.size()));
    EXPECT_EQ(readFile(chip.dir.file("flash.bin")), blinkFlash);
    EXPECT_EQ(hexFileBytes(up), blinkImage);
}

TEST(MemoryE2E, DownloadAndUploadAbove64KiBOnAnAtmega128) {
    Chip chip("ATmega128");
    const std::string hex = dataDir + "table128.hex";
    const std::string image = readFile(dataDir + "table128.bin");
    const std::string up = chip.dir.file("up.hex");
    EXPECT_EQ(chip.run({"-df" + hex, "-uf" + up}, "Target ATmega128 responding - "),
              downloaded(hex, image.size(), 131072) + uploaded(image.size(), 131072) + writing +
                  up + "\n" + finished);
    EXPECT_EQ(readFile(chip.dir.file("flash.bin")),
              image + std::string(131072 - image.size(), '\xFF'));
    EXPECT_EQ(hexFileBytes(up), image); // its last byte isn't 0xFF
}

// Every part, new from the factory: its greeting, and an image of two pages and three bytes
// programmed, verified and uploaded in its flash; the EEPROM upload reads the whole EEPROM.
TEST(MemoryE2E, EveryPartTakesAnImageAcrossItsPages) {
    struct Row {
        std::string name;
        int flashBytes, pageBytes, eepromBytes;
        std::string fuses;
    };
    const std::vector<Row> rows{
        {"ATmega16", 16384, 128, 512, "not set"},    {"ATmega32", 32768, 128, 1024, "not set"},
        {"ATmega48", 4096, 64, 256, "not set"},      {"ATmega88", 8192, 64, 512, "not set"},
        {"ATmega168", 16384, 128, 512, "not set"},   {"ATmega644", 65536, 256, 2048, "not set"},
        {"ATmega128", 131072, 256, 4096, "not set"}, {"ATmega8", 8192, 64, 512, "set"},
        {"ATmega162", 16384, 128, 512, "set"},       {"ATmega64", 65536, 256, 2048, "set"},
        {"ATmega48P", 4096, 64, 256, "set"},         {"ATmega88P", 8192, 64, 512, "set"},
        {"ATmega168P", 16384, 128, 512, "set"},      {"ATmega328", 32768, 128, 1024, "set"},
        {"ATmega328P", 32768, 128, 1024, "set"},     {"ATmega328PB", 32768, 128, 1024, "set"},
        {"ATmega164P", 16384, 128, 512, "set"},      {"ATmega324P", 32768, 128, 1024, "set"},
        {"ATmega324PA", 32768, 128, 1024, "set"},    {"ATmega644P", 65536, 256, 2048, "set"},
        {"ATmega1284", 131072, 256, 4096, "set"},    {"ATmega1284P", 131072, 256, 4096, "set"},
        {"ATmega640", 65536, 256, 4096, "set"},      {"ATmega1280", 131072, 256, 4096, "set"},
        {"ATmega1281", 131072, 256, 4096, "set"},    {"ATmega2560", 262144, 256, 4096, "set"},
        {"ATmega2561", 262144, 256, 4096, "set"},    {"ATmega8U2", 8192, 128, 512, "set"},
        {"ATmega16U2", 16384, 128, 512, "set"},      {"ATmega32U4", 32768, 128, 1024, "set"},
    };
    for (const Row& row : rows) {
        Chip chip(row.name);
        const std::string hex = chip.dir.file("image.hex");
        const std::string up = chip.dir.file("up.hex");
        const std::string image = hexImage(hex, 2 * row.pageBytes + 3);
        std::string greeting = "Target ";
        greeting.append(row.name).append(" responding - default fuses ").append(row.fuses);
        std::string expected = downloaded(hex, image.size(), row.flashBytes);
        expected.append(uploaded(image.size(), row.flashBytes)).append(writing).append(up);
        expected.append("\nRead ").append(std::to_string(row.eepromBytes));
        expected.append(" target EEPROM bytes\n").append(writing).append(up).append("e\n");
        EXPECT_EQ(chip.run({"-df" + hex, "-uf" + up, "-ue" + up + "e"}, greeting.append("\n")),
                  expected.append(finished))
            << row.name;
        EXPECT_EQ(readFile(chip.dir.file("flash.bin")),
                  image + std::string(row.flashBytes - image.size(), '\xFF'))
            << row.name;
        EXPECT_EQ(hexFileBytes(up), image) << row.name;
    }
}

// Flash above 128 KiB: an image across 64 KiB and 128 KiB goes in and comes out whole, in
// uploads with either kind of address record; a byte above 128 KiB that keeps older data
// through the erase fails the next verification.
TEST(MemoryE2E, FlashAbove128KiBOnAnAtmega2560) {
    Chip chip("ATmega2560");
    chip.timeout = std::chrono::minutes(3); // 514 pages, each given its full wait, then 3 reads
    const std::string hex = chip.dir.file("image.hex");
    const std::string up4 = chip.dir.file("up4.hex");
    const std::string up2 = chip.dir.file("up2.hex");
    const std::string image = hexImage(hex, 0x20000 + 0x105);
    const std::string greeting = "Target ATmega2560 responding - ";
    EXPECT_EQ(chip.run({"-df" + hex, "-uf" + up4, "-t2", "-uf" + up2}, greeting),
              downloaded(hex, image.size(), 262144) + uploaded(image.size(), 262144) + writing +
                  up4 + "\n" + uploaded(image.size(), 262144) + writing + up2 + "\n" + finished);
    EXPECT_EQ(readFile(chip.dir.file("flash.bin")),
              image + std::string(262144 - image.size(), '\xFF'));
    EXPECT_EQ(hexFileBytes(up4), image);
    EXPECT_EQ(hexFileBytes(up2), image);
    EXPECT_NE(image[0x20101], '\xFF');
    chip.faults = "stuck=0x20101";
    EXPECT_EQ(chip.run({"-df" + blink}, greeting),
              downloaded(blink, blinkImage.size(), 262144,
                         "1 bytes mismatched\nERROR - Target does not match ") +
                  finished);
}

// A byte that never changes fails the verification: the image's last byte, which stays erased
// (the trimmed read-back ends before it), or older data beyond the image, which the erase leaves.
TEST(MemoryE2E, StuckFlashBytesFailTheVerification) {
    Chip chip("ATmega16");
    for (const char* stuck : {"stuck=0x127", "stuck=0x3000"}) {
        chip.faults = stuck;
        std::ofstream(chip.dir.file("flash.bin"), std::ios::binary)
            << std::string(0x3000, '\xFF') + '\0' + std::string(0xFFF, '\xFF');
        EXPECT_EQ(chip.run({"-df" + blink}, "Target ATmega16 responding - "),
                  downloaded(blink, blinkImage.size(), 16384,
                             "1 bytes mismatched\nERROR - Target does not match ") +
                      finished);
    }
}

// Files that don't load, or hold more than the memory, leave the programmed chip as it was: no
// erase, programming or verification; the settings are reset all the same.
TEST(MemoryE2E, RefusedFilesLeaveTheChipAlone) {
    Chip chip("ATmega16");
    const std::string missing = chip.dir.file("missing.hex");
    const std::string outside = chip.dir.file("outside.hex");
    std::ofstream(outside) << ":020000040007F3\n:0100000001FE\n";
    const std::string big = dataDir + "table128.hex";
    const std::string folder = chip.dir.path.string();
    const std::string refused = "ERROR - " + outside +
                                " has data at address 458752, outside the 364000-byte image: file "
                                "not loaded, check its address records\n";
    const std::string larger = "load file length = 65836\nERROR - The image of 65836 bytes is "
                               "larger than the ";
    EXPECT_EQ(chip.run({"-df" + blink, "-df" + missing, "-de" + missing, "-df" + outside,
                        "-de" + outside, "-df" + big, "-de" + big, "-sf00", "-df" + folder, "-sf"},
                       "Target ATmega16 responding - "),
              downloaded(blink, blinkImage.size(), 16384) +
                  "Can't open download file\nCan't open download file\n" + refused + refused +
                  larger +
                  "16384-byte flash of the ATmega16: chip not erased, use a file made for this "
                  "device\n" +
                  larger +
                  "512-byte EEPROM of the ATmega16: nothing written, use a file made for this "
                  "device\nFill char=0\nCan't read download file " +
                  folder + ": file not loaded, check that it is a readable file\nFill char=ff\n" +
                  finished);
    EXPECT_EQ(std::vector<long>(
                  {chip.count("ac80"), chip.count("4c"), chip.count("4d"), chip.count("c0")}),
              std::vector<long>({1, 3, 2, 0}));
    EXPECT_EQ(readFile(chip.dir.file("flash.bin")), blinkFlash);
}

// Only Programming Enable, the signature and the fuses are read; no memory instruction, no file;
// the settings are reset after each command all the same.
TEST(MemoryE2E, UnrecognisedTargetIsLeftAlone) {
    Chip chip("1e9999");
    const std::string up = chip.dir.file("never.hex");
    const std::string line = "ERROR - Target processor unrecognized: %s skipped, check the "
                             "cable, the target's power and that it is a supported ATmega\n";
    std::string expected = "Fill char=0\n";
    for (const char* command :
         {"flash download", "EEPROM download", "flash upload", "EEPROM upload"}) {
        expected += std::string(line).replace(line.find("%s"), 2, command);
    }
    EXPECT_EQ(chip.run({"-sf00", "-df" + blink, "-de" + blinkEeprom, "-uf" + up, "-ue" + up, "-sf"},
                       "Target Processor Unrecognized but responding - "),
              expected + "Fill char=ff\n" + finished);
    EXPECT_FALSE(std::filesystem::exists(up));
    EXPECT_EQ(chip.count("reset") + chip.count("ac53") + chip.count("30") + chip.count("50") +
                  chip.count("58"),
              static_cast<long>(chip.trace.size()));
}
