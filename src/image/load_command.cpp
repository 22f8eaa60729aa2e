// SPDX-License-Identifier: MIT
// Loading the download file: opening it, reading it into ImageBuffer and saying why a file was
// not loaded; and "ld", which does only that.
#include "image/load_command.h"

#include <cstdio>
#include <string>

#include "commands/settings.h"
#include "image/image.h"

namespace quillon {

HexLoad readHexFile() {
    if (CommandSettings.downloadFile == nullptr) {
        return {HexLoadStatus::unreadable};
    }
    const HexLoad load = readHexStream(CommandSettings.downloadFile, CommandSettings.fillByte);
    std::fclose(CommandSettings.downloadFile);
    CommandSettings.downloadFile = nullptr;
    return load;
}

std::optional<int32_t> loadDownloadFile(std::string_view fileName) {
    CommandSettings.downloadFileName.assign(fileName);
    CommandSettings.downloadFile = std::fopen(CommandSettings.downloadFileName.c_str(), "r");
    if (CommandSettings.downloadFile == nullptr) {
        std::printf("Can't open download file\n");
        return std::nullopt;
    }
    const HexLoad load = readHexFile();
    switch (load.status) {
    case HexLoadStatus::loaded:
        return load.loadLength;
    case HexLoadStatus::outsideImage:
        std::printf("ERROR - %s has data at address %s, outside the %d-byte image: file not "
                    "loaded, check its address records\n",
                    CommandSettings.downloadFileName.c_str(),
                    std::to_string(load.outsideAddress).c_str(), imageBufferBytes);
        return std::nullopt;
    case HexLoadStatus::binary:
        std::printf("ERROR - %s is not an Intel HEX file (it holds binary data): file not loaded, "
                    "give the .hex file\n",
                    CommandSettings.downloadFileName.c_str());
        return std::nullopt;
    case HexLoadStatus::unreadable:
        std::printf("Can't read download file %s: file not loaded, check that it is a readable "
                    "file\n",
                    CommandSettings.downloadFileName.c_str());
        return std::nullopt;
    }
    return std::nullopt;
}

void loadImage(std::string_view fileName) {
    (void)loadDownloadFile(fileName); // the load length is neither printed nor kept
    // With verification off the settings stay, so "nv" and "sf" also serve the next load.
    if (CommandSettings.verifyMode == VerifyMode::verify) {
        resetSettings();
    }
}

} // namespace quillon
