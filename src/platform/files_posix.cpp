// SPDX-License-Identifier: MIT
// POSIX side of the file helpers: stat, readlink, mkstemp, fsync and rename.
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"

namespace quillon::platform {

namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The permissions a file created now gets: those of the file it replaces, or 0666 less the
// process's umask, as for a file opened with "w".
mode_t newFileMode(const std::string& target) {
    struct stat old {};
    if (stat(target.c_str(), &old) == 0) {
        return old.st_mode & 07777;
    }
    const mode_t mask = umask(0);
    (void)umask(mask);
    return 0666 & ~mask;
}

} // namespace

PathInfo inspectPath(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT && !path.empty()) {
            return {PathKind::missing};
        }
        return {PathKind::unreachable, path.empty() ? ENOENT : errno};
    }
    if (S_ISREG(info.st_mode)) {
        return {PathKind::regular, 0, access(path.c_str(), W_OK) == 0};
    }
    return {S_ISDIR(info.st_mode) ? PathKind::folder : PathKind::other};
}

std::string followLinks(const std::string& path) {
    std::string current = path;
    constexpr int maxLinks = 40; // as the kernel allows; a loop then fails where it's opened
    for (int i = 0; i < maxLinks; ++i) {
        std::array<char, 4096> target{};
        const ssize_t length = readlink(current.c_str(), target.data(), target.size() - 1);
        if (length < 0) {
            break; // no link (or nothing there): this is the file
        }
        const std::string next(target.data(), static_cast<std::size_t>(length));
        if (next.front() == '/') {
            current = next;
        } else {
            current = folderOf(current).append("/").append(next);
        }
    }
    return current;
}

std::string errorText(int error) {
    return std::strerror(error);
}

NewFile createFileBeside(const std::string& target) {
    NewFile created;
    const std::size_t slash = target.rfind('/');
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    const std::string prefix = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    created.path = prefix + "." + base + ".XXXXXX";
    const int fd = mkstemp(created.path.data());
    if (fd < 0) {
        created.error = errno;
        return created;
    }
    if (fchmod(fd, newFileMode(target)) != 0 || (created.file = fdopen(fd, "w")) == nullptr) {
        created.error = errno;
        close(fd);
        unlink(created.path.c_str());
    }
    return created;
}

int finishFile(std::FILE* file) {
    int error = 0;
    if (std::fflush(file) != 0 || std::ferror(file) != 0) {
        error = errno != 0 ? errno : EIO;
    } else if (fsync(fileno(file)) != 0) {
        error = errno;
    }
    if (std::fclose(file) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

int replaceFile(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        return errno;
    }
    // The rename itself lives in the folder: put that on the disk too.
    const int folder = open(folderOf(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        (void)fsync(folder);
        close(folder);
    }
    return 0;
}

void removeFile(const std::string& path) {
    (void)unlink(path.c_str());
}

} // namespace quillon::platform
