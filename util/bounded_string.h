// Bounded string and path operations on NUL-terminated narrow strings in
// caller-owned buffers. Every operation is bounded by the destination's size,
// never allocates, and truncates instead of failing.
#pragma once
#include <cstdint>

enum : int {
    kStringDone = 0,
    kStringTruncated = 111,  // ERROR_BUFFER_OVERFLOW
    kStringNoRoom = 123,     // ERROR_INVALID_NAME
};

int ProbePath(const char* path);
void CopyBounded(const char* source, char* dest, int size);
int AppendBounded(const char* source, char* dest, int size);
int AppendBoundedBytes(const char* source, char* dest, int size);
int AssignBounded(const char* source, char* dest, int size);
void AppendClipped(const char* source, char* dest, int size);
void EnsureTrailingSeparator(char* path, int size);
int JoinPath(const char* name, char* path, int size);
void CutToDirectory(char* path);
int FileNameOffset(const char* path);
void WideToNarrow(const uint16_t* wide, char* narrow, int size);
void NarrowToWide(const char* narrow, uint16_t* wide, int count);
