// SPDX-License-Identifier: MIT
// Programmers that carry instructions and blocks themselves (the simulated library's instruction
// level): one that only carries instructions, one whose firmware doesn't wait after its writes,
// one that fails partway, one that isn't there.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "commands/interpreter.h"
#include "link/programmer.h"
#include "session.h"

namespace q = quillon;
using q::testing::scratchFile;
using q::testing::Session;

namespace {

constexpr auto instructionLevel = q::sim::Level::instruction;

// Three pages and a bit of an ATmega48 (64-byte pages) and as much EEPROM, none of it erased.
std::string threePagesAndABit() {
    std::string text;
    for (int record = 0; record < 13; ++record) {
        char line[64];
        unsigned sum = 0x10 + static_cast<unsigned>(record * 16 >> 8) + (record * 16 & 0xFF);
        std::snprintf(line, sizeof line, ":10%04X00", record * 16);
        text += line;
        for (int i = 0; i < 16; ++i) {
            const unsigned byte = (record * 16 + i) * 7 % 251;
            sum += byte;
            std::snprintf(line, sizeof line, "%02X", byte);
            text += line;
        }
        std::snprintf(line, sizeof line, "%02X\n", (0x100 - sum % 0x100) % 0x100);
        text += line;
    }
    return text + ":00000001FF\n";
}

bool released(Session& s) {
    return q::Link.targetReleased == 1 && !s.port.board().programmingEnabled();
}

} // namespace

// Without the block entry points the program builds pages and reads from the library's single
// instructions, and its own waits give the chip the time each write takes.
TEST(Programmers, OneThatOnlyCarriesInstructionsGetsThePagesBuiltAndTheWaitsFromTheProgram) {
    Session s("ATmega48", {}, instructionLevel);
    q::ProgrammerLibrary.WriteFlash = nullptr;
    q::ProgrammerLibrary.ReadMemory = nullptr;
    q::ProgrammerLibrary.WriteEeprom = nullptr;
    const std::string image = scratchFile("pages.hex", threePagesAndABit());
    EXPECT_TRUE(s.run("df" + image).ends_with("Target matches " + image + "\n"));
    EXPECT_TRUE(s.run("de" + image).ends_with("Target matches " + image + "\n"));
    for (std::size_t i = 0; i < 208; ++i) {
        EXPECT_EQ(s.chip().flash[i], i * 7 % 251) << i;
        EXPECT_EQ(s.chip().eeprom[i], i * 7 % 251) << i;
    }
}

// A firmware that doesn't wait after its own writes loses them, as on a real chip, and the
// verification says so.
TEST(Programmers, OneWhoseFirmwareSkipsItsWaitsFailsTheVerification) {
    q::sim::Faults faults;
    faults.skipWaits = true;
    Session s("ATmega48", faults, instructionLevel);
    const std::string image = scratchFile("pages.hex", threePagesAndABit());
    for (const char* word : {"df", "de"}) {
        const std::string out = s.run(word + image);
        EXPECT_TRUE(out.ends_with("ERROR - Target does not match " + image + "\n")) << out;
        EXPECT_TRUE(released(s)) << word;
    }
}

// A programmer that stops answering at any point of a download (the erase, the pages, the
// verification), an upload or a fuse or lock command stops the command with its reason: the
// target released, no success line, no file written.
TEST(Programmers, OneThatFailsPartwayStopsTheCommandWithItsReason) {
    const std::string image = scratchFile("pages.hex", threePagesAndABit());
    const std::string upload = scratchFile("up.hex", "kept\n");
    for (const auto& [word, failingCall] :
         std::vector<std::pair<std::string, uint32_t>>{{"df" + image, 10},
                                                       {"df" + image, 16},
                                                       {"df" + image, 19},
                                                       {"df" + image, 21},
                                                       {"de" + image, 17},
                                                       {"de" + image, 50},
                                                       {"uf" + upload, 11},
                                                       {"uf" + upload, 15},
                                                       {"gf", 11},
                                                       {"pf1e4", 9},
                                                       {"gl", 9}}) {
        q::sim::Faults faults;
        faults.failingCall = failingCall;
        Session s("ATmega48", faults, instructionLevel);
        const std::string out = s.run(word);
        const std::string letters(q::matchCommand(word)->entry->letters);
        EXPECT_NE(out.find("ERROR - Programmer failed during " + letters +
                           ": the simulated programmer stopped answering"),
                  std::string::npos)
            << word << " " << failingCall << ": " << out;
        for (const char* success : {"Target matches", "Write Flash/EEPROM data to"}) {
            EXPECT_EQ(out.find(success), std::string::npos) << word << ": " << out;
        }
        EXPECT_TRUE(released(s)) << word;
        std::ifstream kept(upload);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "kept\n") << word;
    }
}

// Failing from the greeting on, and not being there at all, are each said in one line.
TEST(Programmers, OneThatIsMissingOrFailsAtOnceIsNamed) {
    q::sim::Faults failing;
    failing.failingCall = 2;
    EXPECT_EQ(Session("ATmega48", failing, instructionLevel).greeting,
              "ERROR - Programmer failed during the greeting: the simulated programmer stopped "
              "answering (QUILLON_SIM_FAULTS programmer-fail=2)\n");
    q::sim::Faults missing;
    missing.noAdapter = true;
    Session s("ATmega48", missing, instructionLevel);
    EXPECT_EQ(s.greeting, "");
    EXPECT_EQ(q::programmer().absence(),
              "no simulated programmer is plugged in (QUILLON_SIM_FAULTS no-adapter)");
}
