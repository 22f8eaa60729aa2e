// SPDX-License-Identifier: MIT
// Files as the commands need them: what a path names (without opening it, so that a FIFO can't
// block the program), the system's reason for a failure, and replacing a file whole: a new file
// written beside it and renamed over it only once every byte is on the disk.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace quillon::platform {

// A stream of the C library that is closed when it is let go: reset, reassigned or destroyed.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using OpenFile = std::unique_ptr<std::FILE, FileCloser>;

enum class PathKind {
    missing,     // nothing of that name (yet): a new file may be made
    regular,     // a regular file
    folder,      // a folder
    other,       // a FIFO, a device, a socket: reading or writing it may block or reach hardware
    unreachable, // the path can't be looked at (a part of it is no folder, no permission...)
};

struct PathInfo {
    PathKind kind = PathKind::missing;
    int error = 0;         // with unreachable: the system's error number
    bool writable = false; // with regular: this process may write it
};

// What path names, following symbolic links.
[[nodiscard]] PathInfo inspectPath(const std::string& path);

// The file a chain of symbolic links ends at (the path itself when it is no link), so that
// replacing it keeps the links. A link to a missing file gives the missing file's path.
[[nodiscard]] std::string followLinks(const std::string& path);

// The system's text for an error number ("No such file or directory").
[[nodiscard]] std::string errorText(int error);

// A new, empty file in the folder of `target`, open for writing as text, that is to replace
// `target` (with target's permissions when it exists). file is null on failure, error then
// says why.
struct NewFile {
    std::FILE* file = nullptr;
    std::string path;
    int error = 0;
};
[[nodiscard]] NewFile createFileBeside(const std::string& target);

// Flushes the file, has the system put it on the disk and closes it: 0, or the error number of
// the first step that failed (the file is closed all the same).
[[nodiscard]] int finishFile(std::FILE* file);

// Renames `from` over `to` in one step, so that `to` is either the old or the whole new file,
// and makes the rename last: 0, or the error number.
[[nodiscard]] int replaceFile(const std::string& from, const std::string& to);

void removeFile(const std::string& path);

} // namespace quillon::platform
