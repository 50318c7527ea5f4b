// POSIX side of the platform seam. Text behaves as under the Windows ANSI code
// page 1252; tests may switch to 932 to exercise double-byte handling (its
// conversions then go through the C library's CP932 converter).
#include <fcntl.h>
#include <iconv.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/platform.h"
#include "platform/output_name.h"

namespace {

int gCodePage = 1252;

// Code page 1252's characters 0x80 to 0x9F; 0 where the code page has none.
const uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0,
};

uint16_t AnsiToUnit(unsigned char c) {
    if (c >= 0x80 && c < 0xA0) {
        uint16_t u = kCp1252High[c - 0x80];
        return u ? u : c;  // undefined bytes map to the C1 controls, as Windows does
    }
    return c;
}

unsigned char UnitToAnsi(uint16_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<unsigned char>(u);
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] == u) return static_cast<unsigned char>(0x80 + i);
    }
    if (u >= 0x80 && u < 0xA0) return static_cast<unsigned char>(u);
    return '?';
}

unsigned char FoldAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

bool DecodeDosTime(uint32_t dosTime, std::tm* out) {
    uint32_t date = dosTime >> 16;
    uint32_t time = dosTime & 0xFFFF;
    std::memset(out, 0, sizeof *out);
    out->tm_mday = static_cast<int>(date & 31);
    out->tm_mon = static_cast<int>((date >> 5) & 15) - 1;
    out->tm_year = static_cast<int>(date >> 9) + 80;
    out->tm_sec = static_cast<int>(time & 31) * 2;
    out->tm_min = static_cast<int>((time >> 5) & 63);
    out->tm_hour = static_cast<int>(time >> 11);
    out->tm_isdst = -1;
    // The same bounds as DosDateTimeToFileTime: such a time is not applied.
    return out->tm_mday >= 1 && out->tm_mon >= 0 && out->tm_mon <= 11 && out->tm_sec <= 59 &&
           out->tm_min <= 59 && out->tm_hour <= 23;
}

}  // namespace

void SetAnsiCodePageForTests(int codePage) {
    gCodePage = codePage;
}

FILE* OpenArchiveForReading(const char* path) {
    return std::fopen(path, "rb");
}

FILE* CreateOutputFile(const char* path) {
    if (IsUncreatableFileName(path)) {
        errno = EINVAL;
        return nullptr;
    }
    return std::fopen(path, "w+b");
}

void ApplyEntryTimeAndAttributes(const char* path, uint32_t dosTime, uint32_t attributes) {
    std::tm local;
    if (DecodeDosTime(dosTime, &local)) {
        time_t when = std::mktime(&local);
        if (when != static_cast<time_t>(-1)) {
            struct timespec times[2];
            times[0].tv_sec = 0;
            times[0].tv_nsec = UTIME_OMIT;  // access time kept
            times[1].tv_sec = when;
            times[1].tv_nsec = 0;
            utimensat(AT_FDCWD, path, times, 0);
        }
    }
    struct stat st;
    if (stat(path, &st) == 0) {
        mode_t mode = st.st_mode & 07777;
        if (attributes & 0x01) {
            mode &= static_cast<mode_t>(~0222);
        } else {
            mode |= S_IWUSR;
        }
        chmod(path, mode);
    }
}

bool DeleteFilePath(const char* path) {
    return unlink(path) == 0;
}

bool PathExists(const char* path) {
    struct stat st;
    return path != nullptr && stat(path, &st) == 0;
}

bool GetPathAttributes(const char* path, uint32_t* attributes) {
    struct stat st;
    if (path == nullptr || stat(path, &st) != 0) return false;
    uint32_t a = S_ISDIR(st.st_mode) ? 0x10 : 0x20;
    if ((st.st_mode & S_IWUSR) == 0) a |= 0x01;
    *attributes = a;
    return true;
}

uint32_t UnixTimeToDosTime(int64_t unixTime) {
    time_t t = static_cast<time_t>(unixTime);
    std::tm local;
    if (localtime_r(&t, &local) == nullptr || local.tm_year < 80) {
        return (1u << 21) | (1u << 16);  // 1980-01-01 00:00:00, the earliest DOS time
    }
    if (local.tm_year > 207) local.tm_year = 207;
    uint32_t date = static_cast<uint32_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    uint32_t time = static_cast<uint32_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    return (date << 16) | time;
}

int64_t DosTimeToUnixTime(uint32_t dosTime) {
    std::tm local;
    if (!DecodeDosTime(dosTime, &local)) return -1;
    return static_cast<int64_t>(std::mktime(&local));
}

bool IsLeadByte(unsigned char byte) {
    if (gCodePage == 932) return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    return false;
}

int CompareNoCase(const char* a, const char* b) {
    const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
    for (;;) {
        bool lead = IsLeadByte(*x) && x[1] != 0;
        unsigned char cx = lead ? *x : FoldAscii(*x);
        unsigned char cy = (IsLeadByte(*y) && y[1] != 0) ? *y : FoldAscii(*y);
        if (cx != cy) return cx < cy ? -1 : 1;
        if (cx == 0) return 0;
        if (lead) {
            ++x;
            ++y;
            if (*x != *y) return *x < *y ? -1 : 1;
        }
        ++x;
        ++y;
    }
}

namespace {

// Code page 932 through the C library's converter (Shift-JIS as Windows has
// it). Converts sourceBytes bytes; writes at most capacityBytes bytes and
// returns the count written. A character that does not fit ends the text,
// as does one that cannot be converted.
size_t ConvertWithIconv(const char* to, const char* from, const char* source, size_t sourceBytes, char* dest,
                        size_t capacityBytes) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return 0;
    char* in = const_cast<char*>(source);
    char* out = dest;
    size_t inLeft = sourceBytes, outLeft = capacityBytes;
    iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    return capacityBytes - outLeft;
}

}  // namespace

void ConvertWideToAnsi(const uint16_t* source, int sourceLength, char* dest, int capacity) {
    if (dest == nullptr || capacity <= 0) return;
    if (gCodePage == 932) {
        int units = 0;
        while ((sourceLength < 0 || units < sourceLength) && source[units] != 0) ++units;
        std::string little;
        for (int i = 0; i < units; ++i) {
            little += static_cast<char>(source[i] & 0xFF);
            little += static_cast<char>(source[i] >> 8);
        }
        size_t n = ConvertWithIconv("CP932", "UTF-16LE", little.data(), little.size(), dest,
                                    static_cast<size_t>(capacity - 1));
        dest[n] = 0;
        return;
    }
    int out = 0;
    for (int i = 0; (sourceLength < 0 || i < sourceLength) && source[i] != 0 && out < capacity - 1; ++i) {
        dest[out++] = static_cast<char>(UnitToAnsi(source[i]));
    }
    dest[out] = 0;
}

void ConvertAnsiToWide(const char* source, int sourceLength, uint16_t* dest, int capacity) {
    if (dest == nullptr || capacity <= 0) return;
    if (gCodePage == 932) {
        size_t bytes = 0;
        while ((sourceLength < 0 || static_cast<int>(bytes) < sourceLength) && source[bytes] != 0) ++bytes;
        std::string little(static_cast<size_t>(capacity - 1) * 2, '\0');
        size_t n = ConvertWithIconv("UTF-16LE", "CP932", source, bytes, &little[0], little.size()) / 2;
        for (size_t i = 0; i < n; ++i) {
            dest[i] = static_cast<uint16_t>(static_cast<unsigned char>(little[2 * i]) |
                                            (static_cast<unsigned char>(little[2 * i + 1]) << 8));
        }
        dest[n] = 0;
        return;
    }
    int out = 0;
    for (int i = 0; (sourceLength < 0 || i < sourceLength) && source[i] != 0 && out < capacity - 1; ++i) {
        dest[out++] = AnsiToUnit(static_cast<unsigned char>(source[i]));
    }
    dest[out] = 0;
}

void AdviseLargePages(void* data, size_t bytes) {
#ifdef MADV_HUGEPAGE
    // Transparent huge pages are often given only where asked for.
    const uintptr_t kLargePage = uintptr_t(1) << 21;
    uintptr_t begin = reinterpret_cast<uintptr_t>(data);
    uintptr_t end = begin + bytes;
    uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}
