// Win32 side of the platform seam: the real API.
#include <windows.h>
#include <share.h>

#include <cerrno>
#include <cstdio>

#include "platform/platform.h"
#include "platform/output_name.h"

FILE* OpenArchiveForReading(const char* path) {
    return _fsopen(path, "rb", _SH_DENYWR);
}

FILE* CreateOutputFile(const char* path) {
    if (IsUncreatableFileName(path)) {
    SetLastError(ERROR_INVALID_NAME);
        errno = EINVAL;
        return nullptr;
    }
    return std::fopen(path, "w+b");
}

namespace {

// 100-ns intervals between 1601-01-01 and 1970-01-01.
const int64_t kEpochDifference = 116444736000000000LL;

// MS-DOS local time to UTC with the offset in force on that date. The plain
// LocalFileTimeToFileTime applies today's offset to every date, so a file
// dated in summer would be an hour off when installed in winter (and the
// other way round) wherever daylight saving time is kept.
bool DosTimeToUtcFileTime(uint32_t dosTime, FILETIME* utc) {
    FILETIME local;
    SYSTEMTIME localTime, utcTime;
    return DosDateTimeToFileTime(static_cast<WORD>(dosTime >> 16), static_cast<WORD>(dosTime & 0xFFFF), &local) &&
           FileTimeToSystemTime(&local, &localTime) &&
           TzSpecificLocalTimeToSystemTime(nullptr, &localTime, &utcTime) && SystemTimeToFileTime(&utcTime, utc);
}

// UTC to MS-DOS local time with the offset in force on that date; false when
// the time has no MS-DOS form (before 1980 or after 2107).
bool UtcFileTimeToDosTime(const FILETIME& utc, WORD* date, WORD* time) {
    SYSTEMTIME utcTime, localTime;
    FILETIME local;
    return FileTimeToSystemTime(&utc, &utcTime) && SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &localTime) &&
           SystemTimeToFileTime(&localTime, &local) && FileTimeToDosDateTime(&local, date, time);
}

}  // namespace

void ApplyEntryTimeAndAttributes(const char* path, uint32_t dosTime, uint32_t attributes) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        FILETIME created, accessed, written;
        if (GetFileTime(file, &created, &accessed, &written) && DosTimeToUtcFileTime(dosTime, &written)) {
            SetFileTime(file, &created, &accessed, &written);
        }
        CloseHandle(file);
    }
    SetFileAttributesA(path, attributes);
}

bool DeleteFilePath(const char* path) {
    return DeleteFileA(path) != 0;
}

bool PathExists(const char* path) {
    return path != nullptr && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool GetPathAttributes(const char* path, uint32_t* attributes) {
    DWORD a = path ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
    if (a == INVALID_FILE_ATTRIBUTES) return false;
    *attributes = a;
    return true;
}

uint32_t UnixTimeToDosTime(int64_t unixTime) {
    ULARGE_INTEGER value;
    value.QuadPart = static_cast<ULONGLONG>(unixTime * 10000000LL + kEpochDifference);
    FILETIME utc;
    utc.dwLowDateTime = value.LowPart;
    utc.dwHighDateTime = value.HighPart;
    WORD date = 0, time = 0;
    if (!UtcFileTimeToDosTime(utc, &date, &time)) {
        return (1u << 21) | (1u << 16);
    }
    return (static_cast<uint32_t>(date) << 16) | time;
}

int64_t DosTimeToUnixTime(uint32_t dosTime) {
    FILETIME utc;
    if (!DosTimeToUtcFileTime(dosTime, &utc)) return -1;
    ULARGE_INTEGER value;
    value.LowPart = utc.dwLowDateTime;
    value.HighPart = utc.dwHighDateTime;
    return (static_cast<int64_t>(value.QuadPart) - kEpochDifference) / 10000000LL;
}

bool IsLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != 0;
}

int CompareNoCase(const char* a, const char* b) {
    return lstrcmpiA(a, b);
}

void ConvertWideToAnsi(const uint16_t* source, int sourceLength, char* dest, int capacity) {
    if (dest == nullptr || capacity <= 0) return;
    dest[0] = 0;
    if (source == nullptr) return;
    int n = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(source), sourceLength, dest,
                                capacity - 1, nullptr, nullptr);
    if (n <= 0) {
        // The text did not fit: convert as much as fits, one unit less each time.
        int units = 0;
        while (sourceLength < 0 ? source[units] != 0 : units < sourceLength) ++units;
        n = 0;
        while (units > 0 && n <= 0) {
            n = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(source), units, dest, capacity - 1,
                                    nullptr, nullptr);
            if (n <= 0) units = units * 3 / 4 < units - 1 ? units * 3 / 4 : units - 1;
        }
        if (n < 0) n = 0;
    }
    if (n > capacity - 1) n = capacity - 1;
    dest[n] = 0;
}

void ConvertAnsiToWide(const char* source, int sourceLength, uint16_t* dest, int capacity) {
    if (dest == nullptr || capacity <= 0) return;
    dest[0] = 0;
    if (source == nullptr) return;
    int n = MultiByteToWideChar(CP_ACP, 0, source, sourceLength, reinterpret_cast<wchar_t*>(dest), capacity - 1);
    if (n <= 0) {
        int bytes = 0;
        while (sourceLength < 0 ? source[bytes] != 0 : bytes < sourceLength) ++bytes;
        n = 0;
        while (bytes > 0 && n <= 0) {
            n = MultiByteToWideChar(CP_ACP, 0, source, bytes, reinterpret_cast<wchar_t*>(dest), capacity - 1);
            if (n <= 0) bytes = bytes * 3 / 4 < bytes - 1 ? bytes * 3 / 4 : bytes - 1;
        }
        if (n < 0) n = 0;
    }
    if (n > capacity - 1) n = capacity - 1;
    dest[n] = 0;
}

void AdviseLargePages(void*, size_t) {
    // Large pages on Windows need the lock-pages privilege, which a
    // publisher's account seldom has: the normal pages stay.
}
