// The builder's round trip: arbitrary product contents, split into entries and
// packed at a level the input chooses, come back byte for byte through the
// archive pass.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/extract_archive.h"
#include "pack/archive_writer.h"

namespace {

struct Expected {
    std::vector<std::vector<uint8_t>> contents;
    size_t next = 0;
};

int CheckEntry(char* nameBuffer, const uint8_t* data, uint32_t size, void* userData) {
    Expected* expected = static_cast<Expected*>(userData);
    if (data == nullptr) {
        nameBuffer[0] = 1;  // every entry delivered in memory, verified
        return 0;
    }
    if (expected->next >= expected->contents.size()) std::abort();
    const std::vector<uint8_t>& want = expected->contents[expected->next++];
    if (size != want.size() || (size != 0 && std::memcmp(data, want.data(), size) != 0)) std::abort();
    return 0;
}

// The scratch file's name, kept in a plain array so that it is still there
// when the exit handler removes the file.
char gScratchPath[64];

void RemoveScratch() {
    unlink(gScratchPath);
}

std::string ScratchArchive() {
    if (gScratchPath[0] == 0) {
        char pattern[] = "/tmp/solidsetup-roundtrip-XXXXXX";
        int fd = mkstemp(pattern);
        if (fd < 0) std::abort();
        close(fd);
        std::memcpy(gScratchPath, pattern, sizeof pattern);
        std::atexit(RemoveScratch);
    }
    return gScratchPath;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > (1u << 20)) return 0;
    const int level = 1 + data[0] % 5;
    // Entries end at every 0xFF byte of the control stream in data[1]'s
    // pattern; contents may repeat earlier bytes to exercise long copies.
    Expected expected;
    std::vector<uint8_t> current;
    for (size_t i = 2; i < size; ++i) {
        if (data[i] == data[1] && current.size() > 0 && expected.contents.size() < 64) {
            expected.contents.push_back(current);
            current.clear();
            continue;
        }
        current.push_back(data[i]);
        if (data[i] == 0xFE && current.size() > 8) {
            // A burst that repeats the last bytes, as real files do.
            std::vector<uint8_t> tail(current.end() - 8, current.end());
            for (int k = 0; k < 40; ++k) current.insert(current.end(), tail.begin(), tail.end());
        }
    }
    expected.contents.push_back(current);

    std::vector<uint8_t> archive;
    ArchiveWriter writer;
    ArchiveWriterInit(&writer, level);
    AppendArchiveStart(&archive);
    for (size_t i = 0; i < expected.contents.size(); ++i) {
        ArchiveEntry entry = {"entry" + std::to_string(i) + ".bin", 0x5A8C6000u, kAttributeArchive};
        AppendArchiveEntry(&writer, entry, expected.contents[i].data(), expected.contents[i].size(), &archive);
    }
    AppendArchiveEnd(&archive);

    const std::string path = ScratchArchive();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(archive.data(), 1, archive.size(), file);
    std::fclose(file);
    if (ExtractArchive(path.c_str(), CheckEntry, &expected) != 0) std::abort();
    if (expected.next != expected.contents.size()) std::abort();
    return 0;
}
