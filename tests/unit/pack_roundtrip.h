// Helpers of the compressor's tests: build an archive from named byte
// strings, read it back through the real archive pass, and sample data.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "archive/extract_archive.h"
#include "pack/archive_writer.h"
#include "util/crc32.h"

namespace packtest {

struct Entry {
    std::string name;
    std::vector<uint8_t> data;
};

struct Built {
    std::vector<uint8_t> archive;
    std::vector<EntryResult> results;
};

// threads: 0 leaves the encoder's default (one per core).
inline Built BuildArchive(const std::vector<Entry>& entries, int level, bool storeWhenLarger = true,
                          uint32_t threads = 0) {
    Built built;
    ArchiveWriter writer;
    ArchiveWriterInit(&writer, level);
    writer.storeWhenLarger = storeWhenLarger;
    if (threads != 0) writer.encoder.threads = threads;
    AppendArchiveStart(&built.archive);
    for (const Entry& e : entries) {
        ArchiveEntry info = {e.name, 0x5A8C6000u, kAttributeArchive};
        built.results.push_back(AppendArchiveEntry(&writer, info, e.data.data(), e.data.size(), &built.archive));
    }
    return built;
}

struct Collected {
    std::vector<std::string> names;
    std::vector<std::vector<uint8_t>> contents;
};

inline int CollectEntry(char* nameBuffer, const uint8_t* data, uint32_t size, void* userData) {
    Collected* collected = static_cast<Collected*>(userData);
    if (data == nullptr) {
        collected->names.push_back(nameBuffer);
        nameBuffer[0] = 1;  // deliver in memory, verified
        return 0;
    }
    collected->contents.emplace_back(data, data + size);
    return 0;
}

// A file of its own per test, removed when the test ends.
struct TempFile {
    std::string path;
    explicit TempFile(const std::string& tag) {
        path = ::testing::TempDir() + "pack_" + tag + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".rar";
    }
    ~TempFile() { std::remove(path.c_str()); }
};

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
}

// Packs, extracts through the archive pass, and compares every entry.
inline void ExpectRoundTrip(const std::vector<Entry>& entries, int level, bool storeWhenLarger = true,
                            Built* builtOut = nullptr) {
    Built built = BuildArchive(entries, level, storeWhenLarger);
    TempFile file("rt");
    WriteFile(file.path, built.archive);
    Collected collected;
    int result = ExtractArchive(file.path.c_str(), CollectEntry, &collected);
    ASSERT_EQ(result, kExtractOk) << "level " << level;
    ASSERT_EQ(collected.names.size(), entries.size());
    ASSERT_EQ(collected.contents.size(), entries.size()) << "an entry failed its checksum";
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(collected.names[i], entries[i].name);
        ASSERT_EQ(collected.contents[i].size(), entries[i].data.size()) << entries[i].name;
        EXPECT_TRUE(collected.contents[i] == entries[i].data) << entries[i].name << " level " << level;
    }
    if (builtOut) *builtOut = std::move(built);
}

inline std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

// English-like text from a small vocabulary: many matches at all distances.
inline std::vector<uint8_t> TextBytes(size_t n, uint32_t seed) {
    static const char* const kWords[] = {"setup",  "the",   "archive", "window", "copy",  "distance", "length",
                                         "table",  "code",  "entry",   "solid",  "file",  "install",  "folder",
                                         "symbol", "block", "of",      "and",    "to",    "a",        "in"};
    std::mt19937 rng(seed);
    std::vector<uint8_t> v;
    v.reserve(n);
    while (v.size() < n) {
        const char* w = kWords[rng() % (sizeof(kWords) / sizeof(kWords[0]))];
        for (const char* p = w; *p && v.size() < n; ++p) v.push_back(static_cast<uint8_t>(*p));
        if (v.size() < n) v.push_back(rng() % 11 == 0 ? '\n' : ' ');
    }
    return v;
}

// Executable-like bytes: code with repeated instruction patterns, tables of
// little-endian addresses and zero padding.
inline std::vector<uint8_t> BinaryBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v;
    v.reserve(n);
    uint32_t address = 0x401000;
    while (v.size() < n) {
        switch (rng() % 4) {
            case 0:
                for (int i = 0; i < 16; ++i) v.push_back(static_cast<uint8_t>(rng() % 8 == 0 ? rng() : 0x90 + i % 4));
                break;
            case 1:
                for (int i = 0; i < 8; ++i) {
                    address += rng() % 64;
                    for (int k = 0; k < 4; ++k) v.push_back(static_cast<uint8_t>(address >> (8 * k)));
                }
                break;
            case 2:
                v.insert(v.end(), rng() % 40, 0);
                break;
            default: {
                static const uint8_t kPrologue[] = {0x55, 0x8B, 0xEC, 0x83, 0xEC, 0x10, 0x53, 0x56, 0x57};
                v.insert(v.end(), kPrologue, kPrologue + sizeof(kPrologue));
                v.push_back(static_cast<uint8_t>(rng()));
            }
        }
    }
    v.resize(n);
    return v;
}

}  // namespace packtest
