// Archives made by other archivers, each with the result its README states.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/extract_archive.h"
#include "platform/platform.h"
#include "tests/support/archive_bytes.h"

namespace {

// Answers every query with a memory code, or with an empty name for the
// entries whose names are listed as unwanted; records the calls.
struct Recorder {
    std::vector<std::string> unwanted;
    std::vector<std::string> queries;
    std::vector<std::string> delivered;
    std::vector<std::string> contents;
};

int RecordingCallback(char* name, const uint8_t* data, uint32_t size, void* user) {
    Recorder* r = static_cast<Recorder*>(user);
    if (data == nullptr) {
        r->queries.push_back(name);
        for (const std::string& u : r->unwanted) {
            if (u == name) {
                name[0] = 0;
                return 0;
            }
        }
        name[0] = 1;
        name[1] = 0;
        return 0;
    }
    r->delivered.push_back(r->queries.empty() ? "" : r->queries.back());
    r->contents.emplace_back(reinterpret_cast<const char*>(data), size);
    EXPECT_EQ(data[size], 0);
    return 0;
}

int DiscardAll(char* name, const uint8_t*, uint32_t, void*) {
    name[0] = 0;
    return 0;
}

std::string Real(const char* name) {
    return TestDataPath(std::string("real/") + name);
}

TEST(RealArchives, UnixOwnerEntryDecodes) {
    Recorder r;
    EXPECT_EQ(ExtractArchive(Real("rar2-unix-owner.rar").c_str(), RecordingCallback, &r), 0);
    ASSERT_EQ(r.contents.size(), 1u);
    EXPECT_EQ(r.delivered[0], "file.txt");
    EXPECT_EQ(r.contents[0].size(), 4u);
    EXPECT_EQ(Crc32Of(r.contents[0]), 0x7E3265A8u);
}

TEST(RealArchives, UnixOwnerEntryWrittenToFileGetsArchiveAttribute) {
    std::string dir = MakeTempDir("real-unix");
    struct Target {
        std::string path;
    } target{dir + "/out.txt"};
    auto toFile = [](char* name, const uint8_t* data, uint32_t, void* user) -> int {
        if (data == nullptr) std::snprintf(name, 260, "%s", static_cast<Target*>(user)->path.c_str());
        return 0;
    };
    EXPECT_EQ(ExtractArchive(Real("rar2-unix-owner.rar").c_str(), toFile, &target), 0);
    std::string bytes = ReadFileBytes(target.path);
    EXPECT_EQ(Crc32Of(bytes), 0x7E3265A8u);
    uint32_t attributes = 0;
    ASSERT_TRUE(GetPathAttributes(target.path.c_str(), &attributes));
    EXPECT_EQ(attributes & 0x01u, 0u);  // stored 0x81B4 became 0x20: not read-only
    RemoveTree(dir);
}

TEST(RealArchives, StoredEntriesWithComments) {
    Recorder r;
    EXPECT_EQ(ExtractArchive(Real("rar202-comment-nopsw.rar").c_str(), RecordingCallback, &r), 0);
    EXPECT_EQ(r.delivered, (std::vector<std::string>{"FILE1.TXT", "FILE2.TXT"}));
    for (const std::string& c : r.contents) EXPECT_EQ(c.size(), 7u);
}

TEST(RealArchives, EncryptedEntriesFailUnlessDiscarded) {
    Recorder r;
    EXPECT_EQ(ExtractArchive(Real("rar202-comment-psw.rar").c_str(), RecordingCallback, &r), 3);
    EXPECT_TRUE(r.delivered.empty());
    EXPECT_EQ(ExtractArchive(Real("rar202-comment-psw.rar").c_str(), DiscardAll, nullptr), 0);
}

TEST(RealArchives, OlderMethodIsNotDecoded) {
    Recorder r;
    EXPECT_EQ(ExtractArchive(Real("rar15-comment.rar").c_str(), RecordingCallback, &r), 3);
    EXPECT_EQ(r.queries, std::vector<std::string>{"FILE1.TXT"});

    Recorder second;
    second.unwanted = {"FILE1.TXT"};
    EXPECT_EQ(ExtractArchive(Real("rar15-comment.rar").c_str(), RecordingCallback, &second), 0);
    EXPECT_EQ(second.delivered, std::vector<std::string>{"FILE2.TXT"});
}

TEST(RealArchives, NewerMethodFailsButStoredEntryIsFine) {
    Recorder r;
    EXPECT_EQ(ExtractArchive(Real("seektest.rar").c_str(), RecordingCallback, &r), 3);
    EXPECT_EQ(r.queries, std::vector<std::string>{"stest1.txt"});

    Recorder second;
    second.unwanted = {"stest1.txt"};
    EXPECT_EQ(ExtractArchive(Real("seektest.rar").c_str(), RecordingCallback, &second), 0);
    ASSERT_EQ(second.contents.size(), 1u);
    EXPECT_EQ(second.delivered[0], "stest2.txt");
    EXPECT_EQ(second.contents[0].size(), 2048u);
}

TEST(RealArchives, MarkerBeyondTheScannedWindow) {
    Recorder r;
    EXPECT_EQ(ExtractArchive(Real("rar3-seektest.sfx").c_str(), RecordingCallback, &r), 2);
    EXPECT_TRUE(r.queries.empty());
}

TEST(RealArchives, Volumes) {
    Recorder first;
    EXPECT_EQ(ExtractArchive(Real("rar3-vols.part1.rar").c_str(), RecordingCallback, &first), 3);
    EXPECT_EQ(first.queries.size(), 1u);
    EXPECT_TRUE(first.delivered.empty());

    Recorder second;
    EXPECT_EQ(ExtractArchive(Real("rar3-vols.part2.rar").c_str(), RecordingCallback, &second), 2);
    EXPECT_TRUE(second.queries.empty());
}

TEST(RealArchives, ReadOnlyFileAndDirectoryEntry) {
    Recorder r;
    EXPECT_EQ(ExtractArchive(Real("rar3-readonly-win.rar").c_str(), RecordingCallback, &r), 0);
    EXPECT_EQ(r.queries, std::vector<std::string>{"ro_dir\\ro_file.txt"});

    std::string dir = MakeTempDir("real-ro");
    struct Target {
        std::string path;
        int queries = 0;
    } target{dir + "/ro_file.txt"};
    auto toFile = [](char* name, const uint8_t* data, uint32_t, void* user) -> int {
        Target* t = static_cast<Target*>(user);
        if (data == nullptr) {
            ++t->queries;
            std::snprintf(name, 260, "%s", t->path.c_str());
        }
        return 0;
    };
    EXPECT_EQ(ExtractArchive(Real("rar3-readonly-win.rar").c_str(), toFile, &target), 0);
    EXPECT_EQ(target.queries, 1);
    uint32_t attributes = 0;
    ASSERT_TRUE(GetPathAttributes(target.path.c_str(), &attributes));
    EXPECT_EQ(attributes & 0x01u, 0x01u);
    RemoveTree(dir);
}

}  // namespace
