// The few file operations the extract command needs beyond the archive pass,
// on the host's own API (paths are narrow strings, as in the archive).
#pragma once
#include <string>

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
