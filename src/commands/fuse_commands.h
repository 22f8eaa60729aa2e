// SPDX-License-Identifier: MIT
// The fuse commands "gf1" to "gf3", "gf", "a", "pfa" and "pf1" to "pf3". Each takes the text after
// its command letters (possibly empty); those without an argument ignore it. The interpreter
// connects the target before them and releases it afterwards.
#pragma once

#include <string_view>

namespace quillon {

// "gf1", "gf2", "gf3": read the fuses and show the low, high or extended fuse.
void getFuseByte1(std::string_view ignored);
void getFuseByte2(std::string_view ignored);
void getFuseByte3(std::string_view ignored);
// "gf": reads the fuses and shows them as extended, high, low.
void getFuseBytes(std::string_view ignored);
// "a": writes the identified device's default fuses.
void programDefaultFuses(std::string_view ignored);
// "pfa": writes the low, high and extended fuse from three comma-separated hexadecimal values.
void programAllFuses(std::string_view values);
// "pf1", "pf2", "pf3": write the low, high or extended fuse from a hexadecimal value.
void programFuseByte1(std::string_view value);
void programFuseByte2(std::string_view value);
void programFuseByte3(std::string_view value);

// Reads "low,high,extended" into the low, high and extended cell of Target.fuses, each field read
// whole as a hexadecimal value (low eight bits kept). A field without a number leaves its cell as
// it was. True when the text has three fields and each holds a number.
[[nodiscard]] bool parseFuseTriple(std::string_view text);

} // namespace quillon
