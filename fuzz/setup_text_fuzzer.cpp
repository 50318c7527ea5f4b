// The parsers of the setup's text files over arbitrary contents, delivered as
// the archive pass delivers them (the bytes, then one zero byte), in the
// single-byte and the double-byte code page; the same bytes as the setup's
// command line and as the uninstaller's appended data.
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "util/file_names.h"
#include "util/setup_command_line.h"
#include "util/setup_text.h"
#include "util/uninstall_data.h"

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

    SetupCommandLine options;
    ParseSetupCommandLine(text, &options);
    if (std::memchr(options.destination, 0, sizeof options.destination) == nullptr ||
        std::memchr(options.logPath, 0, sizeof options.logPath) == nullptr ||
        options.languageCount > kMaxCommandLineLanguages) {
        __builtin_trap();
    }

    // Exactly the bytes of the data, without a terminator.
    std::vector<char> uninstall(data + 1, data + size);
    UninstallData facts;
    if (ParseUninstallData(uninstall.data(), length, &facts)) {
        const char* file = facts.files;
        for (int i = 0; i < facts.fileCount; ++i) {
            size_t left = static_cast<size_t>(uninstall.data() + uninstall.size() - file);
            const char* end = static_cast<const char*>(std::memchr(file, 0, left));
            // Only plain names the setup installs, never a path.
            if (end == nullptr || InstalledFileName(file) != file) __builtin_trap();
            file = end + 1;
        }
    }
    if (size >= 13) UninstallDataLength(data + size - 12, size);
    SetAnsiCodePageForTests(1252);
    return 0;
}
