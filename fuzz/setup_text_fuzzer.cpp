// The parsers of the setup's text files over arbitrary contents, delivered as
// the archive pass delivers them (the bytes, then one zero byte), in the
// single-byte and the double-byte code page.
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "util/setup_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    SetAnsiCodePageForTests(data[0] & 1 ? 932 : 1252);
    // Exactly the delivered bytes and the extra zero, so that any read past
    // them is seen by the sanitizer.
    std::vector<uint8_t> contents(data + 1, data + size);
    contents.push_back(0);
    const char* text = reinterpret_cast<const char*>(contents.data());
    const uint32_t length = static_cast<uint32_t>(size - 1);

    char title[128], version[32];
    ParseTitleLine(text, title, version);
    if (std::memchr(title, 0, sizeof title) == nullptr || std::memchr(version, 0, sizeof version) == nullptr) {
        __builtin_trap();
    }
    char id[4] = "", field[32] = "";
    ReadKeyValue(text, "ID", id, sizeof id);
    ReadKeyValue(text, "Group", field, sizeof field);
    if (std::memchr(id, 0, sizeof id) == nullptr || std::memchr(field, 0, sizeof field) == nullptr) __builtin_trap();
    char name[260];
    ParseLanguageName(contents.data(), length, name);
    if (std::memchr(name, 0, sizeof name) == nullptr) __builtin_trap();
    SetAnsiCodePageForTests(1252);
    return 0;
}
