// The few operating-system services that the portable code needs.
// platform_win32.cpp calls the real API; platform_posix.cpp behaves like
// Windows with the ANSI code page 1252 (or 932, switched on by tests).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

// Opens an archive for reading, with writing by others denied while it is open.
FILE* OpenArchiveForReading(const char* path);
// Creates (or truncates) an output file for reading and writing ("w+b").
// A name Windows cannot hold as it stands (see IsUncreatableFileName) is not
// created: null, as for any file that cannot be created.
FILE* CreateOutputFile(const char* path);
// Local time, in this file, is the system's zone with the offset in force on
// the date concerned (daylight saving time included), not today's offset.
// Gives a written file the entry's last-write time (MS-DOS local time: date in
// the high 16 bits, time in the low 16 bits) and its attributes. Creation and
// access times are kept. Failures are ignored.
void ApplyEntryTimeAndAttributes(const char* path, uint32_t dosTime, uint32_t attributes);
// Deletes a file; returns true on success.
bool DeleteFilePath(const char* path);
// Returns true when a file or folder exists at the path.
bool PathExists(const char* path);
// Reads a file's attributes in Windows form (0x01 read-only, 0x10 folder,
// 0x20 archive); returns false when the file cannot be queried.
bool GetPathAttributes(const char* path, uint32_t* attributes);
// Converts a Unix-style time (seconds since 1970, UTC) to MS-DOS local time.
uint32_t UnixTimeToDosTime(int64_t unixTime);
// Converts MS-DOS local time to seconds since 1970, UTC.
int64_t DosTimeToUnixTime(uint32_t dosTime);

// True when the byte begins a double-byte character in the ANSI code page.
bool IsLeadByte(unsigned char byte);
// Case-insensitive comparison under the ANSI code page (lstrcmpiA); double-byte
// characters are compared as they are. Returns <0, 0 or >0.
int CompareNoCase(const char* a, const char* b);
// Conversions between UTF-16 and the ANSI code page. Both write at most
// capacity units including the terminator and always terminate (capacity > 0).
// The source ends at its terminator or after sourceLength units (-1: terminator).
void ConvertWideToAnsi(const uint16_t* source, int sourceLength, char* dest, int capacity);
void ConvertAnsiToWide(const char* source, int sourceLength, uint16_t* dest, int capacity);

// Asks that memory about to be filled and then read at random (a finder's
// tables) be backed by large pages where the system offers them, so that
// fewer lookups miss the address translation cache. Only whole large pages
// inside the range are affected; contents never change; where the system has
// no such pages, or declines, nothing happens.
void AdviseLargePages(void* data, size_t bytes);

#ifndef _WIN32
// Tests only: 1252 (the default) or 932 (Shift-JIS lead bytes 0x81-0x9F, 0xE0-0xFC).
void SetAnsiCodePageForTests(int codePage);
#endif
