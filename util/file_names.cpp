#include "util/file_names.h"

#include <cstring>

#include "platform/platform.h"
#include "util/bounded_string.h"

namespace {

const char* const kDeviceNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

bool IsReservedDeviceName(const char* name) {
    // The part before the first dot, without trailing blanks, decides.
    char stem[8];
    int length = 0;
    while (name[length] != 0 && name[length] != '.') {
        if (length == static_cast<int>(sizeof stem) - 1) return false;  // longer than any device name
        stem[length] = Upper(name[length]);
        ++length;
    }
    while (length > 0 && stem[length - 1] == ' ') --length;
    stem[length] = 0;
    for (const char* device : kDeviceNames) {
        if (std::strcmp(stem, device) == 0) return true;
    }
    if (length == 4 && (std::strncmp(stem, "COM", 3) == 0 || std::strncmp(stem, "LPT", 3) == 0)) {
        unsigned char digit = static_cast<unsigned char>(stem[3]);
        return (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
    }
    return false;
}

const char* UnsafeFileNameReason(const char* name) {
    if (name == nullptr || name[0] == 0) return "the name is empty";
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return "it names the current or the parent folder";
    const unsigned char* p = reinterpret_cast<const unsigned char*>(name);
    unsigned char last = 0;
    while (*p != 0) {
        if (IsLeadByte(*p) && p[1] != 0) {
            p += 2;
            last = 'x';  // a double-byte character never ends a name in a dot or blank
            continue;
        }
        unsigned char c = *p++;
        if (c < 32) return "it contains a control character";
        if (c == ':') return "it contains a colon (a drive or an alternate data stream)";
        if (c == '\\' || c == '/') return "it contains a path separator";
        if (std::strchr("*?\"<>|", c) != nullptr) return "it contains a character that file names cannot hold";
        last = c;
    }
    // Windows drops trailing dots and blanks, which would write another file.
    if (last == '.' || last == ' ') return "it ends with a dot or a blank";
    if (IsReservedDeviceName(name)) return "it is a reserved device name";
    return nullptr;
}

const char* InstalledFileName(const char* entryName) {
    if (entryName == nullptr) return nullptr;
    const char* fileName = entryName + FileNameOffset(entryName);
    if (UnsafeFileNameReason(fileName) != nullptr) return nullptr;
    size_t length = std::strlen(fileName);
    // The installation settings are read by the setup, never installed.
    if (length > 4 && CompareNoCase(fileName + length - 4, ".INF") == 0) return nullptr;
    return fileName;
}
