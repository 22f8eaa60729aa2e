// SPDX-License-Identifier: MIT
// Bad input from the file system against the built program on a simulated ATmega16 that holds
// a program: files that are missing, unreadable, folders, binary, huge or cut short, and upload
// paths that can't be written. Each gives its message, the chip and existing files keep their
// data, and the next command works.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "program_runner.h"
#include "simulated_chip.h"

namespace fs = std::filesystem;
namespace q = quillon;
using q::testing::ProgramRun;
using q::testing::SimulatedChip;

namespace {

const fs::path dataDir = fs::path(QUILLON_SOURCE_DIR) / "tests/data/avr";
const std::string blinkHex = (dataDir / "blink16.hex").string();
const std::string blink = q::testing::readWholeFile(dataDir / "blink16.bin");
const std::string blinkUploaded = q::testing::withoutErasedTail(blink);

bool has(const std::string& out, const std::string& text) {
    return out.find(text) != std::string::npos;
}

// An ATmega16 that holds the blink program.
struct ProgrammedChip : SimulatedChip {
    ProgrammedChip() : SimulatedChip("ATmega16", 16384, 512) {
        const ProgramRun run = this->run({"-df" + blinkHex});
        EXPECT_TRUE(has(run.out, "Target matches " + blinkHex)) << run.out;
    }
};

// The lines one upload of the blink program prints.
std::string uploadOf(const std::string& path) {
    return "Read 16384 target flash bytes\nLast data value in buffer = " +
           [] {
               std::array<char, 32> text{};
               std::snprintf(text.data(), text.size(), "%x %d",
                             static_cast<unsigned>(blinkUploaded.size()),
                             static_cast<int>(blinkUploaded.size()));
               return std::string(text.data());
           }() +
           "\nWrite Flash/EEPROM data to " + path + "\n";
}

} // namespace

TEST(BadFiles, DownloadsOfFilesThatCantBeLoadedLeaveTheChipAlone) {
    ProgrammedChip chip;
    const fs::path folder = chip.file("folder.hex");
    fs::create_directories(folder);
    const fs::path binary = chip.file("prog.bin");
    fs::copy_file(dataDir / "blink16.bin", binary);
    const std::string missing = chip.file("missing.hex").string();
    const fs::path good = chip.file("good.hex");

    const ProgramRun run =
        chip.run({"-df" + missing, "-df", "-df" + folder.string(), "-df/proc/self/mem",
                  "-de" + binary.string(), "-ld" + binary.string(), "-df" + binary.string(),
                  "-uf" + good.string()});
    const std::string out = run.out;
    EXPECT_FALSE(has(out, "Erase chip")) << out;
    EXPECT_FALSE(has(out, "Target matches")) << out;
    EXPECT_NE(out.find("Can't open download file\nCan't open download file\n"), std::string::npos)
        << out;
    EXPECT_TRUE(has(out, "Can't read download file " + folder.string() +
                             ": file not loaded, check that it is a readable file\n"));
    EXPECT_TRUE(has(out, "Can't read download file /proc/self/mem: file not loaded"));
    const std::string refused = "ERROR - " + binary.string() +
                                " is not an Intel HEX file (it holds binary data): file not "
                                "loaded, give the .hex file\n";
    EXPECT_NE(out.find(refused + refused + refused), std::string::npos) << out;
    // The next command works, and the chip still holds its program.
    EXPECT_TRUE(has(out, uploadOf(good.string())));
    EXPECT_EQ(q::testing::hexFileBytes(good), blinkUploaded);
    EXPECT_TRUE(chip.flash().starts_with(blink));
}

TEST(BadFiles, UploadsToPathsThatCantBeWrittenSaySoAndKeepExistingFiles) {
    ProgrammedChip chip;
    const fs::path plain = chip.file("plain.txt");
    q::testing::writeWholeFile(plain, "a regular file\n");
    const fs::path kept = chip.file("kept.hex");
    q::testing::writeWholeFile(kept, "an earlier upload\n");
    // Even root can't write a file marked immutable; where chattr can't mark it, the case is
    // left out.
    const bool immutable =
        std::system(("chattr +i '" + kept.string() + "' 2>/dev/null").c_str()) == 0;
    const std::string noFolder = chip.file("no/such/folder/out.hex").string();
    const std::string underFile = (plain / "out.hex").string();
    const fs::path good = chip.file("good.hex");

    std::vector<std::string> args{"-uf" + noFolder, "-ue" + underFile, "-uf",
                                  "-uf/sys/kernel/notes", "-uf/dev/full"};
    if (immutable) {
        args.push_back("-uf" + kept.string());
    }
    args.push_back("-uf" + good.string());
    const ProgramRun run = chip.run(args);
    if (immutable) {
        (void)std::system(("chattr -i '" + kept.string() + "'").c_str());
    }
    const std::string out = run.out;
    for (const std::string& path : {noFolder, underFile, std::string()}) {
        EXPECT_TRUE(has(out, "Can't open output file " + path + "\n")) << path << "\n" << out;
    }
    EXPECT_TRUE(has(out, "Can't open output file /sys/kernel/notes\n") ||
                !fs::exists("/sys/kernel/notes"))
        << out;
    EXPECT_TRUE(has(out, "ERROR - Can't write all of /dev/full: the file is incomplete, check "
                         "the free space and the path\n"))
        << out;
    if (immutable) {
        EXPECT_TRUE(has(out, "Can't open output file " + kept.string() + "\n")) << out;
    }
    EXPECT_EQ(q::testing::readWholeFile(kept), "an earlier upload\n");
    EXPECT_EQ(q::testing::readWholeFile(plain), "a regular file\n");
    EXPECT_TRUE(has(out, uploadOf(good.string())));
    EXPECT_EQ(q::testing::hexFileBytes(good), blinkUploaded);
}

TEST(BadFiles, AFiftyMegabyteFileLoadsInSeconds) {
    // The blink program's records over and over, 50 MB of them: the image is the program's.
    ProgrammedChip chip;
    const fs::path huge = chip.file("huge.hex");
    const std::string records = q::testing::readWholeFile(blinkHex);
    {
        std::ofstream out(huge, std::ios::binary);
        for (std::size_t written = 0; written < 50'000'000; written += records.size()) {
            out << records;
        }
    }
    const auto start = std::chrono::steady_clock::now();
    const ProgramRun run = chip.run({"-df" + huge.string(), "-gf"}, "", std::chrono::seconds(60));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_TRUE(has(run.out, "load file length = " + std::to_string(blink.size()) + "\n"))
        << run.out;
    EXPECT_TRUE(has(run.out, "Target matches " + huge.string() + "\n")) << run.out;
    EXPECT_TRUE(has(run.out, "Fuse bytes: ")) << run.out;
    fs::remove(huge);
}

TEST(BadFiles, AFileEndingInsideARecordLoadsWhatItHolds) {
    // The last record loses its second half: its missing data bytes take the fill byte, and
    // the chip holds exactly what was loaded.
    ProgrammedChip chip;
    const std::string records = q::testing::readWholeFile(blinkHex);
    const auto lastRecord = records.rfind(":10", records.rfind(":00000001FF"));
    ASSERT_NE(lastRecord, std::string::npos);
    const fs::path cut = chip.file("cut.hex");
    q::testing::writeWholeFile(cut, records.substr(0, lastRecord + 9 + 16));
    const fs::path good = chip.file("good.hex");
    const ProgramRun run = chip.run({"-df" + cut.string(), "-uf" + good.string()});
    EXPECT_TRUE(has(run.out, "Target matches " + cut.string() + "\n")) << run.out;
    // Whole 16-byte records before it, then 8 of its bytes.
    const auto keptBytes = static_cast<std::size_t>(
        std::count(records.begin(), records.begin() + static_cast<long>(lastRecord), ':') * 16 + 8);
    const std::string flash = chip.flash();
    EXPECT_EQ(flash.substr(0, keptBytes), blink.substr(0, keptBytes));
    EXPECT_EQ(flash.find_first_not_of('\xFF', keptBytes), std::string::npos);
    EXPECT_EQ(q::testing::hexFileBytes(good), q::testing::withoutErasedTail(flash));
}

TEST(BadFiles, RecordsInAnyOrderAreAllProgrammed) {
    // The first record moved behind the others, as when two files are joined high one first.
    SimulatedChip chip("ATmega16", 16384, 512);
    const std::string records = q::testing::readWholeFile(blinkHex);
    const auto second = records.find(':', 1);
    const auto end = records.rfind(":00000001FF");
    const fs::path joined = chip.file("joined.hex");
    q::testing::writeWholeFile(joined, records.substr(second, end - second) +
                                           records.substr(0, second) + records.substr(end));
    const ProgramRun run = chip.run({"-df" + joined.string()});
    EXPECT_TRUE(has(run.out, "load file length = " + std::to_string(blink.size()) + "\n"))
        << run.out;
    EXPECT_TRUE(chip.flash().starts_with(blink));
}
