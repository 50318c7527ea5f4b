#include "util/setup_text.h"

#include <cstring>

#include "platform/platform.h"
#include "util/bounded_string.h"

namespace {

const int kLineSize = 260;
const int kTitleSize = 128;
const int kVersionSize = 32;
// "Language" and the one character after it ('=' or a blank).
const int kLanguageNameOffset = 9;

int Length(const char* text) {
    return static_cast<int>(std::strlen(text));
}

bool IsDoubleByteStart(const char* p) {
    return IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != 0;
}

// Index of the first byte of text that is one of stops (or the terminator),
// stepping over double-byte characters.
int FindStop(const char* text, const char* stops) {
    int i = 0;
    while (text[i] != 0 && std::strchr(stops, text[i]) == nullptr) i += IsDoubleByteStart(text + i) ? 2 : 1;
    return i;
}

void CutAt(char* text, char stop) {
    char* p = std::strchr(text, stop);
    if (p != nullptr) *p = 0;
}

}  // namespace

const char* FindTextMultibyte(const char* text, const char* needle) {
    size_t needleLength = std::strlen(needle);
    for (const char* p = text; *p != 0; p += IsDoubleByteStart(p) ? 2 : 1) {
        if (std::strncmp(p, needle, needleLength) == 0) return p;
    }
    return nullptr;
}

void ParseTitleLine(const char* contents, char* title, char* version) {
    char line[kLineSize] = "";
    title[0] = 0;
    version[0] = 0;
    AppendBoundedBytes(contents, line, kLineSize);
    int end = FindStop(line, "\n\r([");
    if (end == 0) return;
    if (line[end - 1] == ' ') --end;  // one blank before a note goes with it
    line[end] = 0;
    char* marker = std::strstr(line, " Version ");
    if (marker != nullptr) {
        *marker = 0;
        AssignBounded(marker + 9, version, kVersionSize);
    }
    AssignBounded(line, title, kTitleSize);
}

void ReadKeyValue(const char* contents, const char* key, char* field, int size) {
    // Only the first occurrence counts, even inside a longer word.
    const char* found = std::strstr(contents, key);
    if (found == nullptr) return;
    const char* after = found + Length(key);
    if (*after != '=') return;
    AssignBounded(after + 1, field, size);
    CutAt(field, '\r');
    CutAt(field, '\n');
}

void ParseLanguageName(const uint8_t* contents, uint32_t size, char* name) {
    char line[kLineSize] = "";
    name[0] = 0;
    if (size >= 2 && contents[0] == 0xFF && contents[1] == 0xFE) {
        // UTF-16 little-endian: convert what the entry holds, up to its first
        // zero unit, never reading past the delivered bytes.
        uint16_t wide[kLineSize];
        uint32_t available = (size - 2) / 2;
        int count = 0;
        while (count < kLineSize - 1 && static_cast<uint32_t>(count) < available) {
            uint16_t unit = static_cast<uint16_t>(contents[2 + 2 * count] | (contents[3 + 2 * count] << 8));
            if (unit == 0) break;
            wide[count++] = unit;
        }
        wide[count] = 0;
        WideToNarrow(wide, line, kLineSize);
    } else {
        // The delivered contents end with one zero byte.
        CopyBounded(reinterpret_cast<const char*>(contents), line, kLineSize);
    }
    if (line[0] != '[') return;
    const char* word = FindTextMultibyte(line, "Language");
    if (word == nullptr) return;
    if (Length(word) > kLanguageNameOffset) CopyBounded(word + kLanguageNameOffset, name, kLineSize);
    CutAt(name, '(');
    CutAt(name, '=');
    CutAt(name, '\r');
    CutAt(name, '\n');
}
