// SPDX-License-Identifier: MIT
// The command settings: what the settings words change and the memory commands read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace quillon {

struct CommandSettingsRecord {
    std::string downloadFileName; // "df", "de", "ld"
    std::string uploadFileName;   // "uf", "ue"
    std::string logFileName;      // "lf"
    std::string mismatchFileName; // "mf"
    char verifyMode = 'v';        // 'v' verify after a download, 'n' don't
    char outputMode = 'n';        // 'n', 'v' (verbose) or 'q' (quiet); nothing consults it
    uint8_t fillByte = 0xFF;      // the image's value where no HEX record puts data
    uint8_t logOpen = 0;
    std::FILE* logFile = nullptr;      // opened by "lf", closed by "e" or at exit
    std::FILE* downloadFile = nullptr; // open only while a download or load reads it
    int32_t addressRecordType = 4;     // 4: type 04 address records in uploads, else type 02
    int32_t trimUpload = 1;            // nonzero: uploads end at the last byte that isn't 0xFF
};

inline CommandSettingsRecord CommandSettings;

// Restores verifyMode, fillByte, outputMode, logOpen and the four file names to their defaults.
// addressRecordType, trimUpload and the two streams keep their values.
void resetSettings();

} // namespace quillon
