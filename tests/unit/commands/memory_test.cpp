// SPDX-License-Identifier: MIT
// Downloads on the simulated board: every part's whole flash and EEPROM, and the ranges the
// verification compares.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "commands/state.h"
#include "image/hex_writer.h"
#include "image/image.h"
#include "session.h"

namespace q = quillon;
using q::testing::Session;

namespace {

// length bytes that neither repeat within 256 KiB nor look erased for long, written to an Intel
// HEX file; the file's path.
std::string hexFile(const std::string& name, std::size_t length, std::string& bytes) {
    bytes.resize(length);
    uint32_t value = 1;
    for (char& byte : bytes) {
        value = value * 1103515245U + 12345U;
        byte = static_cast<char>(value >> 16);
    }
    std::copy(bytes.begin(), bytes.end(), q::Process.buffers.readBack.begin());
    std::string path = q::testing::scratchFile(name, "");
    (void)q::testing::printed([&] {
        (void)q::writeHexFile(path, q::Process.buffers.readBack, static_cast<int32_t>(length),
                              q::AddressRecordType::linear);
    });
    return path;
}

// Every part on both levels of the simulated library: driven bit by bit, and by a programmer
// that carries instructions and blocks itself.
class EveryPart : public ::testing::TestWithParam<std::tuple<q::sim::Part, q::sim::Level>> {};

std::string partAndLevel(const ::testing::TestParamInfo<EveryPart::ParamType>& info) {
    return std::get<0>(info.param).name +
           (std::get<1>(info.param) == q::sim::Level::bit ? "_bit" : "_instruction");
}

} // namespace

// Every part the simulator knows, whose memories must have the sizes of its row of the device
// table, takes an image as large as its flash, every page of it and beyond 64 KiB and 128 KiB
// where it has them, and one as large as its EEPROM, each written and read back whole. The
// default fuses of the first seven rows are this program's own, not the factory's.
TEST_P(EveryPart, TakesImagesAsLargeAsItsMemories) {
    const std::string name = std::get<0>(GetParam()).name;
    const std::set<std::string> own{"ATmega16",  "ATmega32",  "ATmega48", "ATmega88",
                                    "ATmega168", "ATmega644", "ATmega128"};
    Session s(name, {}, std::get<1>(GetParam()));
    EXPECT_EQ(s.greeting, "Target " + name + " responding - default fuses " +
                              (own.contains(name) ? "not set\n" : "set\n"));
    const std::size_t flashBytes = s.chip().flash.size();
    const std::size_t eepromBytes = s.chip().eeprom.size();
    std::string flash;
    std::string eeprom;
    const std::string f = hexFile("f.hex", flashBytes, flash);
    const std::string n = std::to_string(flashBytes);
    const std::string e = hexFile("e.hex", eepromBytes, eeprom);
    const std::string m = std::to_string(eepromBytes);
    EXPECT_TRUE(
        s.run("df" + f).ends_with("Read " + n + " target flash bytes\nTarget matches " + f + "\n"));
    EXPECT_TRUE(s.run("de" + e).ends_with("Read " + m + " target EEPROM bytes\nTarget matches " +
                                          e + "\n"));
    EXPECT_EQ(std::string(s.chip().flash.begin(), s.chip().flash.end()), flash);
    EXPECT_EQ(std::string(s.chip().eeprom.begin(), s.chip().eeprom.end()), eeprom);
}

INSTANTIATE_TEST_SUITE_P(Parts, EveryPart,
                         ::testing::Combine(::testing::ValuesIn(q::sim::knownParts()),
                                            ::testing::Values(q::sim::Level::bit,
                                                              q::sim::Level::instruction)),
                         partAndLevel);

// The verification compares from the image's first byte to its end, also where the chip stayed
// erased, and on to the flash's last byte where older data stayed through the erase (an
// ATmega48's flash: 4096 bytes).
TEST(Verification, ComparesFromTheFirstByteToTheImagesEndAndTheLastByteNotErased) {
    for (const auto& [stuck, older] :
         std::vector<std::pair<uint32_t, uint8_t>>{{0x000, 0xFF}, {0x100, 0xFF}, {0xFFF, 0x00}}) {
        q::sim::Faults faults;
        faults.stuckFlashBytes = {stuck};
        Session s("ATmega48", faults);
        s.chip().flash[stuck] = older;
        std::string image;
        const std::string hex = hexFile("image.hex", 0x101, image);
        const std::string out = s.run("df" + hex);
        EXPECT_EQ(out.substr(out.find("flash bytes\n") + 12),
                  "1 bytes mismatched\nERROR - Target does not match " + hex + "\n")
            << stuck;
    }
}
