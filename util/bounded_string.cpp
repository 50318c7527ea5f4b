#include "util/bounded_string.h"

#include <cstring>

#include "platform/platform.h"

namespace {

int TextLength(const char* text) {
    return static_cast<int>(std::strlen(text));
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Index of the last backslash or slash, or -1. The scan steps over double-byte
// characters of the ANSI code page, whose trail byte may be 0x5C ("\\"):
// inside a character it is never a separator.
int LastSeparator(const char* path) {
    int last = -1;
    for (int i = 0; path[i] != 0; ++i) {
        if (IsLeadByte(static_cast<unsigned char>(path[i])) && path[i + 1] != 0) {
            ++i;
        } else if (IsSeparator(path[i])) {
            last = i;
        }
    }
    return last;
}

// Appends source behind dest's text; when it must cut, respectDoubleByte keeps
// a double-byte character whole by ending the text before its lead byte.
int AppendWithin(const char* source, char* dest, int size, bool respectDoubleByte) {
    if (size <= 0 || source == nullptr || dest == nullptr) return kStringDone;
    int length = TextLength(dest);
    int room = size - 1 - length;
    if (room <= 0) return kStringNoRoom;
    int sourceLength = TextLength(source);
    if (sourceLength <= room) {
        std::memcpy(dest + length, source, static_cast<size_t>(sourceLength) + 1);
        return kStringDone;
    }
    int take = room;
    if (respectDoubleByte) {
        // Walk whole characters; a lead byte whose trail would not fit ends the text.
        int i = 0;
        while (i < room) {
            if (IsLeadByte(static_cast<unsigned char>(source[i])) && source[i + 1] != 0) {
                if (i + 1 >= room) break;
                i += 2;
            } else {
                i += 1;
            }
        }
        take = i;
    }
    std::memcpy(dest + length, source, static_cast<size_t>(take));
    dest[length + take] = 0;
    dest[size - 1] = 0;
    return kStringTruncated;
}

}  // namespace

int ProbePath(const char* path) {
    return PathExists(path) ? 0 : -1;
}

void CopyBounded(const char* source, char* dest, int size) {
    if (dest == nullptr) return;
    if (size <= 0) return;  // lstrcpynA writes nothing into a buffer of no size
    dest[0] = 0;
    if (source == nullptr) return;
    int i = 0;
    while (i < size - 1 && source[i] != 0) {
        dest[i] = source[i];
        ++i;
    }
    dest[i] = 0;
}

int AppendBounded(const char* source, char* dest, int size) {
    return AppendWithin(source, dest, size, true);
}

int AppendBoundedBytes(const char* source, char* dest, int size) {
    return AppendWithin(source, dest, size, false);
}

int AssignBounded(const char* source, char* dest, int size) {
    if (dest != nullptr && size > 0) dest[0] = 0;
    return AppendBounded(source, dest, size);
}

void AppendClipped(const char* source, char* dest, int size) {
    if (dest == nullptr) return;
    int length = TextLength(dest);
    if (length < size) CopyBounded(source, dest + length, size - length);
}

void EnsureTrailingSeparator(char* path, int size) {
    if (path == nullptr || path[0] == 0) return;
    // The last character, not the last byte: a trail byte may be 0x5C.
    if (LastSeparator(path) != TextLength(path) - 1) AppendBounded("\\", path, size);
}

int JoinPath(const char* name, char* path, int size) {
    if (name == nullptr || path == nullptr || name[0] == 0) return kStringDone;
    if (IsSeparator(name[0])) ++name;
    EnsureTrailingSeparator(path, size);
    return AppendBounded(name, path, size);
}

void CutToDirectory(char* path) {
    int cut = LastSeparator(path);
    if (cut < 0) cut = 0;
    if (cut == 2 && path[1] == ':') cut = 3;
    path[cut] = 0;
}

int FileNameOffset(const char* path) {
    return LastSeparator(path) + 1;
}

void WideToNarrow(const uint16_t* wide, char* narrow, int size) {
    if (narrow == nullptr || size <= 0) return;
    narrow[0] = 0;
    if (wide == nullptr) return;
    ConvertWideToAnsi(wide, -1, narrow, size);
    narrow[size - 1] = 0;
}

void NarrowToWide(const char* narrow, uint16_t* wide, int count) {
    if (wide == nullptr || count <= 0) return;
    wide[0] = 0;
    if (narrow == nullptr) return;
    ConvertAnsiToWide(narrow, -1, wide, count);
    wide[count - 1] = 0;
}
