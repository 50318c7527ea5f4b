// The few file operations the tool needs beyond the archive pass, on the
// host's own API (paths are narrow strings, as in the archive).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum class PathKind { kMissing, kFile, kDirectory, kLink };

#ifdef _WIN32
const char kToolSeparator = '\\';
#else
const char kToolSeparator = '/';
#endif

// kLink: a symbolic link or another reparse point, never followed.
PathKind GetPathKind(const std::string& path);
bool MakeDirectory(const std::string& path);
// Moves `from` over `to`, replacing a file there (read-only or not).
bool MoveReplacing(const std::string& from, const std::string& to);
// Deletes a file, read-only or not.
bool RemoveFile(const std::string& path);

// Why the last file operation failed, in the system's words (errno on POSIX,
// GetLastError on Windows).
std::string LastSystemError();
// Reads a whole regular file. Refuses folders and devices with a message
// that names the path; the message gives the system's reason on failure.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* data, std::string* error);

// What identifies a file independently of the name it is reached by.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t index = 0;
};
// False when there is no file at the path (links are followed).
bool GetFileIdentity(const std::string& path, FileIdentity* identity);
inline bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.device == b.device && a.index == b.index;
}
