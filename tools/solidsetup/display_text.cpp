#include "tools/solidsetup/display_text.h"

#include <cstdio>

#include "tools/solidsetup/name_encoding.h"

namespace {

#ifdef _WIN32
const bool kLocalIsUtf8 = false;
#else
const bool kLocalIsUtf8 = true;
#endif

std::string HexEscape(unsigned char c) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
    return buffer;
}

// Length of the UTF-8 sequence starting at i, or 0 when it is not valid.
size_t Utf8SequenceLength(const std::string& text, size_t i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (length == 0 || i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
    }
    return length;
}

}  // namespace

std::string EscapeControls(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            out += HexEscape(c);
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else if (!kLocalIsUtf8) {
            out += static_cast<char>(c);  // an ANSI console: every byte above 0x7F is a character
            ++i;
        } else {
            size_t length = Utf8SequenceLength(text, i);
            // U+0080 to U+009F are the C1 controls (CSI among them).
            bool c1 = length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
            if (length == 0 || c1) {
                out += HexEscape(c);
                ++i;
            } else {
                out += text.substr(i, length);
                i += length;
            }
        }
    }
    return out;
}

std::string DisplayArchiveName(const std::string& stored) {
    std::string local;
    if (!ArchiveNameToLocal(stored, &local)) local = stored;
    return EscapeControls(local);
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80 ? 1 : Utf8SequenceLength(text, i);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F || length == 0) {
            // Controls, and bytes that are not UTF-8 (a name that could not be
            // converted), as the code point of the byte.
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04X", c);
            out += buffer;
        } else {
            out += text.substr(i, length);
            i += length;
            continue;
        }
        ++i;
    }
    return out + "\"";
}

std::string WithThousands(uint64_t value) {
    std::string digits = std::to_string(value);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string CountOf(uint64_t count, const char* noun, bool thousands) {
    std::string number = thousands ? WithThousands(count) : std::to_string(count);
    std::string word = noun;
    if (count != 1) word = word.back() == 'y' ? word.substr(0, word.size() - 1) + "ies" : word + "s";
    return number + " " + word;
}

std::string LocalArchiveName(const std::string& stored) {
    std::string local;
    return ArchiveNameToLocal(stored, &local) ? local : stored;
}
