#include "tools/solidsetup/tool_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
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
