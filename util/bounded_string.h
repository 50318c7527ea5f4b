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

// 0 when something (a folder or a file) exists at path, -1 otherwise: the
// convention of access(), so "found" is the zero result.
int ProbePath(const char* path);

// The three copies differ in how they cut a text that does not fit:
// CopyBounded cuts byte-wise, at size - 1 bytes, and may split a double-byte
// character; AssignBounded and AppendBounded keep double-byte characters of
// the ANSI code page whole, ending the text before a lead byte whose trail
// byte would not fit. A null or empty source leaves dest empty (or unchanged,
// for the appends); a size of 0 or less writes nothing.

// Copies at most size - 1 bytes of source into dest, byte-wise, and terminates it.
void CopyBounded(const char* source, char* dest, int size);
// Appends source behind dest's text, keeping double-byte characters whole.
// Returns kStringDone, kStringTruncated when it had to cut, or kStringNoRoom
// when dest was already full.
int AppendBounded(const char* source, char* dest, int size);
// AppendBounded, but cuts byte-wise.
int AppendBoundedBytes(const char* source, char* dest, int size);
// Empties dest, then AppendBounded: a copy that keeps double-byte characters whole.
int AssignBounded(const char* source, char* dest, int size);
// Appends source behind dest's text, byte-wise (CopyBounded into what is left).
void AppendClipped(const char* source, char* dest, int size);

// Appends a backslash unless the path is empty or already ends with "\" or "/".
void EnsureTrailingSeparator(char* path, int size);
// Appends name (without a leading separator) to path with one separator
// between them; returns what AppendBounded returns. An empty name changes nothing.
int JoinPath(const char* name, char* path, int size);
// Cuts path at its last separator: "C:\a\b.txt" gives "C:\a", "C:\a" gives
// "C:\" (the drive root keeps its separator), a bare name gives "".
void CutToDirectory(char* path);
// The offset of the file name in path: just past its last separator, or 0.
int FileNameOffset(const char* path);
// Converts from UTF-16 to the ANSI code page, at most size bytes with the
// terminator; dest is always terminated.
void WideToNarrow(const uint16_t* wide, char* narrow, int size);
// Converts from the ANSI code page to UTF-16, at most count units with the
// terminator; dest is always terminated.
void NarrowToWide(const char* narrow, uint16_t* wide, int count);
