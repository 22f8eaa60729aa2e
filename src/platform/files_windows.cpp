// SPDX-License-Identifier: MIT
// Windows side of the file helpers: GetFileAttributes, a new file made exclusively,
// FlushFileBuffers and MoveFileEx. Windows programs meet no symbolic links here.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include "platform/files.h"

namespace quillon::platform {

PathInfo inspectPath(const std::string& path) {
    if (path.empty()) {
        return {PathKind::unreachable, ENOENT};
    }
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            return {PathKind::missing};
        }
        return {PathKind::unreachable, error == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES};
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return {PathKind::folder};
    }
    // Names such as NUL or COM1 are devices, which GetFileAttributes reports as files.
    const HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    const DWORD type = handle != INVALID_HANDLE_VALUE ? GetFileType(handle) : FILE_TYPE_DISK;
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
    }
    if (type != FILE_TYPE_DISK) {
        return {PathKind::other};
    }
    return {PathKind::regular, 0, (attributes & FILE_ATTRIBUTE_READONLY) == 0};
}

std::string followLinks(const std::string& path) {
    return path;
}

std::string errorText(int error) {
    return std::strerror(error);
}

NewFile createFileBeside(const std::string& target) {
    NewFile created;
    const std::size_t slash = target.find_last_of("/\\");
    const std::string prefix = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        created.path = prefix + "." + base + "." + std::to_string(GetCurrentProcessId()) + "." +
                       std::to_string(GetTickCount() + attempt);
        const int fd = _open(created.path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_TEXT,
                             _S_IREAD | _S_IWRITE);
        if (fd >= 0) {
            created.file = _fdopen(fd, "w");
            if (created.file == nullptr) {
                created.error = errno;
                _close(fd);
                (void)_unlink(created.path.c_str());
            }
            return created;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    created.error = errno;
    return created;
}

int finishFile(std::FILE* file) {
    int error = 0;
    if (std::fflush(file) != 0 || std::ferror(file) != 0) {
        error = errno != 0 ? errno : EIO;
    } else if (_commit(_fileno(file)) != 0) {
        error = errno;
    }
    if (std::fclose(file) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

int replaceFile(const std::string& from, const std::string& to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ==
        0) {
        return GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    }
    return 0;
}

void removeFile(const std::string& path) {
    (void)_unlink(path.c_str());
}

} // namespace quillon::platform
