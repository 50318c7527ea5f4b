// The whole archive pass over arbitrary bytes. The callback answers entry by
// entry with a mix of discard, memory delivery and files in a scratch folder,
// and checks what every delivery promises.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "archive/extract_archive.h"

namespace {

struct Scratch {
    std::string folder;
    std::string archive;
    unsigned entries = 0;
    uint32_t lastQuerySize = 0;
};

// The scratch folder's name, kept in a plain array so that it is still there
// when the exit handler removes the folder.
char gScratchFolder[64];

void RemoveScratch() {
    unlink((std::string(gScratchFolder) + "/input.rar").c_str());
    rmdir(gScratchFolder);
}

Scratch& TheScratch() {
    static Scratch scratch = [] {
        Scratch s;
        char pattern[] = "/tmp/solidsetup-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (made == nullptr) std::abort();
        std::memcpy(gScratchFolder, pattern, sizeof pattern);
        std::atexit(RemoveScratch);
        s.folder = made;
        s.archive = s.folder + "/input.rar";
        return s;
    }();
    return scratch;
}

int FuzzCallback(char* nameBuffer, const uint8_t* data, uint32_t size, void* userData) {
    Scratch* s = static_cast<Scratch*>(userData);
    if (data != nullptr) {
        // A delivery: exactly the size of the query, then one zero byte.
        if (size != s->lastQuerySize || data[size] != 0) std::abort();
        volatile uint8_t sum = 0;
        for (uint32_t i = 0; i < size; ++i) sum = static_cast<uint8_t>(sum + data[i]);
        return 0;
    }
    s->lastQuerySize = size;
    unsigned choice = s->entries++ % 4;
    if (choice == 0) {
        nameBuffer[0] = 0;
    } else if (choice == 1 || choice == 2) {
        nameBuffer[0] = choice == 1 ? 1 : 7;
    } else {
        std::snprintf(nameBuffer, 260, "%s/out%u", s->folder.c_str(), s->entries % 3);
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Scratch& s = TheScratch();
    FILE* file = std::fopen(s.archive.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    s.entries = 0;
    ExtractArchive(s.archive.c_str(), FuzzCallback, &s);
    for (int i = 0; i < 3; ++i) unlink((s.folder + "/out" + std::to_string(i)).c_str());
    return 0;
}
