#include "tools/solidsetup/tool_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

#include <cstdio>

#ifdef _WIN32

PathKind GetPathKind(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return PathKind::kMissing;
    if (a & FILE_ATTRIBUTE_REPARSE_POINT) return PathKind::kLink;
    return (a & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::kDirectory : PathKind::kFile;
}

bool MakeDirectory(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool MoveReplacing(const std::string& from, const std::string& to) {
    DWORD a = GetFileAttributesA(to.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY)) {
        SetFileAttributesA(to.c_str(), a & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool RemoveFile(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY)) {
        SetFileAttributesA(path.c_str(), a & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    return DeleteFileA(path.c_str()) != 0;
}

#else

PathKind GetPathKind(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return PathKind::kMissing;
    if (S_ISLNK(st.st_mode)) return PathKind::kLink;
    return S_ISDIR(st.st_mode) ? PathKind::kDirectory : PathKind::kFile;
}

bool MakeDirectory(const std::string& path) {
    return mkdir(path.c_str(), 0777) == 0;
}

bool MoveReplacing(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

#endif

#ifdef _WIN32

std::string LastSystemError() {
    DWORD code = GetLastError();
    char text[512] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                  sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == '.')) {
        text[--length] = 0;
    }
    if (length == 0) return "system error " + std::to_string(code);
    return text;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* data, std::string* error) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = "cannot open '" + path + "': " + LastSystemError();
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    bool ok = GetFileInformationByHandle(file, &info) != 0;
    if (ok && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(file);
        *error = "cannot read '" + path + "': it is a folder, not a file";
        return false;
    }
    if (!ok || GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        *error = "cannot read '" + path + "': not a regular file";
        return false;
    }
    uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > 0x7FFFFFFF) {
        CloseHandle(file);
        *error = "cannot read '" + path + "': larger than 2 GB";
        return false;
    }
    data->resize(static_cast<size_t>(size));
    size_t done = 0;
    while (done < data->size()) {
        DWORD got = 0;
        if (!ReadFile(file, data->data() + done, static_cast<DWORD>(data->size() - done), &got, nullptr) || got == 0) {
            *error = "cannot read '" + path + "': " + LastSystemError();
            CloseHandle(file);
            return false;
        }
        done += got;
    }
    CloseHandle(file);
    return true;
}

bool GetFileIdentity(const std::string& path, FileIdentity* identity) {
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool ok = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    if (!ok) return false;
    identity->device = info.dwVolumeSerialNumber;
    identity->index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

#else

std::string LastSystemError() {
    return std::strerror(errno);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* data, std::string* error) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = "cannot open '" + path + "': " + LastSystemError();
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        bool folder = S_ISDIR(st.st_mode);
        close(fd);
        *error = "cannot read '" + path + "': " + (folder ? "it is a folder, not a file" : "not a regular file");
        return false;
    }
    if (st.st_size > 0x7FFFFFFF) {
        close(fd);
        *error = "cannot read '" + path + "': larger than 2 GB";
        return false;
    }
    data->resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < data->size()) {
        ssize_t got = read(fd, data->data() + done, data->size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            *error = "cannot read '" + path + "': " + (got < 0 ? LastSystemError() : "the file got shorter while it was read");
            close(fd);
            return false;
        }
        done += static_cast<size_t>(got);
    }
    close(fd);
    return true;
}

bool GetFileIdentity(const std::string& path, FileIdentity* identity) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    identity->device = static_cast<uint64_t>(st.st_dev);
    identity->index = static_cast<uint64_t>(st.st_ino);
    return true;
}

#endif
