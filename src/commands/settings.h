// SPDX-License-Identifier: MIT
// The command settings: what the settings words change and the memory commands read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "image/hex_writer.h"
#include "platform/files.h"

namespace quillon {

// Whether a download is read back and compared with its file.
enum class VerifyMode : char {
    verify = 'v',
    skip = 'n',
};

// The output mode that "m" and "q" choose; nothing consults it.
enum class OutputMode : char {
    normal = 'n',
    verbose = 'v',
    quiet = 'q',
};

// How long an upload's file is: the memory up to its last byte that isn't 0xFF, or all of it.
// Held as the 32-bit value it has always been, any value but wholeMemory meaning trimmed.
enum class UploadTrim : int32_t {
    wholeMemory = 0,
    trimmed = 1,
};

struct CommandSettingsRecord {
    std::string downloadFileName; // "df", "de", "ld"
    std::string uploadFileName;   // "uf", "ue"
    std::string logFileName;      // "lf"
    std::string mismatchFileName; // "mf"
    VerifyMode verifyMode = VerifyMode::verify;
    OutputMode outputMode = OutputMode::normal;
    uint8_t fillByte = 0xFF; // the image's value where no HEX record puts data
    uint8_t logOpen = 0;
    platform::OpenFile logFile;      // opened by "lf", closed by "e" or at exit
    platform::OpenFile downloadFile; // open only while a download or load reads it
    AddressRecordType addressRecordType = AddressRecordType::linear; // the uploads' records
    UploadTrim trimUpload = UploadTrim::trimmed;
};

// Restores verifyMode, fillByte, outputMode, logOpen and the four file names to their defaults.
// addressRecordType, trimUpload and the two streams keep their values.
void resetSettings();

} // namespace quillon
