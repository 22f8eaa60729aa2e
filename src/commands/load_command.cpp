// SPDX-License-Identifier: MIT
// Loading the download file: opening it, reading and checking it whole into the image and saying
// why a file was not loaded; and "ld", which does only that.
#include "commands/load_command.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <string>

#include "commands/settings.h"
#include "commands/state.h"
#include "image/image.h"
#include "platform/files.h"

namespace quillon {

namespace {

// What is wrong with a damaged record, for the message that names its line.
std::string faultText(const HexLoad& load) {
    switch (load.fault) {
    case HexFault::checksum: {
        std::array<char, 80> text{};
        std::snprintf(text.data(), text.size(), "its checksum is %02x, but its bytes need %02x",
                      static_cast<unsigned>(load.checksumGiven),
                      static_cast<unsigned>(load.checksumNeeded));
        return text.data();
    }
    case HexFault::notHex: {
        const auto c = static_cast<char>(load.character);
        std::array<char, 80> text{};
        if (load.character > 0x20 && load.character < 0x7F) {
            std::snprintf(text.data(), text.size(), "'%c' is not a hexadecimal digit", c);
        } else {
            std::snprintf(text.data(), text.size(),
                          "the character 0x%02x is not a hexadecimal "
                          "digit",
                          static_cast<unsigned>(load.character));
        }
        return text.data();
    }
    case HexFault::shortLine:
        return "the record is shorter than its byte count (" + std::to_string(load.byteCount) +
               ") says";
    case HexFault::unfinished:
        return "the file ends inside this record";
    case HexFault::addressLength:
        return "an address record (type 0" + std::to_string(load.recordType) +
               ") needs 2 data bytes, not " + std::to_string(load.byteCount);
    case HexFault::none:
        break;
    }
    return "damaged record";
}

void printNotLoaded(const HexLoad& load) {
    const char* name = Process.settings.downloadFileName.c_str();
    switch (load.status) {
    case HexLoadStatus::loaded:
        break;
    case HexLoadStatus::outsideImage:
        std::printf("ERROR - %s has data at address %s, outside the %d-byte image: file not "
                    "loaded, check its address records\n",
                    name, std::to_string(load.outsideAddress).c_str(), imageBufferBytes);
        break;
    case HexLoadStatus::binary:
        std::printf("ERROR - %s is not an Intel HEX file (it holds binary data): file not loaded, "
                    "give the .hex file\n",
                    name);
        break;
    case HexLoadStatus::unreadable:
        std::printf("Can't read download file %s: file not loaded, check that it is a readable "
                    "file\n",
                    name);
        break;
    case HexLoadStatus::malformed:
        std::printf("ERROR - %s line %d: %s: file not loaded, nothing changed on the target\n",
                    name, load.line, faultText(load).c_str());
        break;
    case HexLoadStatus::noData:
        std::printf("ERROR - %s holds no Intel HEX data record: file not loaded, nothing changed "
                    "on the target, give the .hex file\n",
                    name);
        break;
    }
}

} // namespace

HexLoad readHexFile() {
    if (Process.settings.downloadFile == nullptr) {
        return {HexLoadStatus::unreadable};
    }
    const HexLoad load = readHexStream(Process.settings.downloadFile.get(),
                                       Process.settings.fillByte, Process.buffers.image);
    Process.settings.downloadFile.reset();
    return load;
}

std::optional<int32_t> loadDownloadFile(std::string_view fileName) {
    Process.settings.downloadFileName.assign(fileName);
    const std::string& name = Process.settings.downloadFileName;
    // A FIFO would block the open until some writer came; a device may never end.
    const platform::PathInfo path = platform::inspectPath(name);
    if (path.kind == platform::PathKind::other) {
        std::printf("ERROR - %s is not a regular file (a FIFO or a device): file not loaded, give "
                    "the .hex file\n",
                    name.c_str());
        return std::nullopt;
    }
    Process.settings.downloadFile.reset(std::fopen(name.c_str(), "r"));
    if (Process.settings.downloadFile == nullptr) {
        const int error = errno;
        std::printf("Can't open download file\n");
        std::printf("Reason: %s\n", platform::errorText(error).c_str());
        return std::nullopt;
    }
    const HexLoad load = readHexFile();
    if (load.status == HexLoadStatus::loaded) {
        return load.loadLength;
    }
    printNotLoaded(load);
    return std::nullopt;
}

void loadImage(std::string_view fileName) {
    (void)loadDownloadFile(fileName); // the load length is neither printed nor kept
    // With verification off the settings stay, so "nv" and "sf" also serve the next load.
    if (Process.settings.verifyMode == VerifyMode::verify) {
        resetSettings();
    }
}

} // namespace quillon
