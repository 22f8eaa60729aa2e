// SPDX-License-Identifier: MIT
// Loading the download file into the image: the first steps of "df", "de" and "ld", and "ld"
// itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "image/hex_reader.h"

namespace quillon {

// readHexStream for Process.settings.downloadFile, which must be open for reading, with the
// settings' fill byte; closes it.
[[nodiscard]] HexLoad readHexFile();

// The first steps of "df", "de" and "ld": takes fileName as the download file name, opens it
// and reads it into the image. Returns the load length, or nothing after printing why the
// file was not loaded (it could not be opened or read, or it reaches outside the image).
[[nodiscard]] std::optional<int32_t> loadDownloadFile(std::string_view fileName);

// "ld": loads an Intel HEX file into the image without touching the target.
void loadImage(std::string_view fileName);

} // namespace quillon
