// The archive pass over hand-made archives: result codes, the callback
// protocol, files written, verified, timed and deleted.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/extract_archive.h"
#include "platform/platform.h"
#include "tests/support/archive_bytes.h"
#include "tests/support/bit_writer.h"
#include "unpack/unpack.h"

namespace {

// What the callback answers to each query, by entry name: "" discards, a
// string starting with a byte below 32 is a memory code, anything else is a
// file name inside the test's folder.
struct Script {
    std::string dir;
    std::vector<std::pair<std::string, std::string>> answers;
    std::string defaultAnswer = std::string(1, '\x01');
    int stopAtQuery = -1;     // return non-zero from this query call (0-based)
    int stopAtDelivery = -1;  // return non-zero from this delivery call
    std::vector<std::string> queries;
    std::vector<uint32_t> querySizes;
    std::vector<std::string> deliveries;  // the name buffer as delivered
    std::vector<std::string> contents;
    std::vector<bool> terminated;
};

int ScriptCallback(char* name, const uint8_t* data, uint32_t size, void* user) {
    Script* s = static_cast<Script*>(user);
    if (data == nullptr) {
        int index = static_cast<int>(s->queries.size());
        s->queries.push_back(name);
        s->querySizes.push_back(size);
        std::string answer = s->defaultAnswer;
        for (const auto& a : s->answers) {
            if (a.first == name) answer = a.second;
        }
        if (!answer.empty() && static_cast<unsigned char>(answer[0]) >= 32) answer = s->dir + "/" + answer;
        std::snprintf(name, 260, "%s", answer.c_str());
        return index == s->stopAtQuery ? 1 : 0;
    }
    int index = static_cast<int>(s->deliveries.size());
    s->deliveries.push_back(name);
    s->contents.emplace_back(reinterpret_cast<const char*>(data), size);
    s->terminated.push_back(data[size] == 0);
    return index == s->stopAtDelivery ? 1 : 0;
}

class PassTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = MakeTempDir("pass");
        script_.dir = dir_;
    }
    void TearDown() override { RemoveTree(dir_); }

    int Run(const std::string& archiveBytes) {
        std::string path = dir_ + "/archive.rar";
        WriteFileBytes(path, archiveBytes);
        return ExtractArchive(path.c_str(), ScriptCallback, &script_);
    }
    std::string Out(const std::string& name) const { return dir_ + "/" + name; }

    std::string dir_;
    Script script_;
};

// A compressed entry coded with the fixed-length test codes.
TestEntry CompressedEntry(const std::string& name, const std::string& data, const std::string& packed,
                          bool solid) {
    TestEntry e;
    e.name = name;
    e.data = data;
    e.packed = packed;
    e.method = 0x35;
    e.flags = static_cast<uint16_t>(0x8000 | (solid ? 0x0010 : 0));
    return e;
}

// Two solid entries, the second copying from the first.
std::vector<TestEntry> SolidPair() {
    StreamWriter first;
    first.TableBlock();
    first.Literals("The quick brown fox jumps over the lazy dog. ");
    StreamWriter second;
    second.LongCopy(20, 45);
    second.Literals("!");
    return {CompressedEntry("one.txt", "The quick brown fox jumps over the lazy dog. ", first.Bytes(), false),
            CompressedEntry("two.txt", "The quick brown fox !", second.Bytes(), true)};
}

TEST_F(PassTest, MemoryDeliveryOfStoredAndCompressedEntries) {
    std::vector<TestEntry> entries = SolidPair();
    entries.insert(entries.begin(), StoredEntry("a.txt", std::string(35, 'a')));
    script_.answers = {{"one.txt", std::string(1, '\x07')}};
    EXPECT_EQ(Run(StoredArchive(entries)), 0);
    EXPECT_EQ(script_.queries, (std::vector<std::string>{"a.txt", "one.txt", "two.txt"}));
    EXPECT_EQ(script_.querySizes, (std::vector<uint32_t>{35, 45, 21}));
    ASSERT_EQ(script_.contents.size(), 3u);
    EXPECT_EQ(script_.contents[0], std::string(35, 'a'));
    EXPECT_EQ(script_.contents[2], "The quick brown fox !");
    EXPECT_EQ(script_.deliveries[1], std::string(1, '\x07'));  // the code comes back unchanged
    for (bool t : script_.terminated) EXPECT_TRUE(t);
}

TEST_F(PassTest, DiscardedEntriesAreStillDecodedForTheSolidRun) {
    script_.answers = {{"one.txt", ""}};
    EXPECT_EQ(Run(StoredArchive(SolidPair())), 0);
    EXPECT_EQ(script_.deliveries.size(), 1u);
    ASSERT_EQ(script_.contents.size(), 1u);
    EXPECT_EQ(script_.contents[0], "The quick brown fox !");
}

TEST_F(PassTest, EmptyAnswersWriteNothing) {
    script_.defaultAnswer = "";
    std::vector<TestEntry> entries = SolidPair();
    entries.push_back(StoredEntry("s.txt", "stored"));
    EXPECT_EQ(Run(StoredArchive(entries)), 0);
    EXPECT_EQ(script_.queries.size(), 3u);
    EXPECT_TRUE(script_.deliveries.empty());
}

TEST_F(PassTest, NoEntriesNoCalls) {
    EXPECT_EQ(Run(StoredArchive({})), 0);
    EXPECT_TRUE(script_.queries.empty());
}

TEST_F(PassTest, FilesGetContentsTimeAndAttributes) {
    std::vector<TestEntry> entries = SolidPair();
    TestEntry ro = StoredEntry("ro.txt", "read only");
    ro.attr = 0x21;
    entries.push_back(ro);
    script_.defaultAnswer = "x";
    script_.answers = {{"one.txt", "one"}, {"two.txt", "two"}, {"ro.txt", "ro"}};
    EXPECT_EQ(Run(StoredArchive(entries)), 0);
    EXPECT_EQ(ReadFileBytes(Out("one")), "The quick brown fox jumps over the lazy dog. ");
    EXPECT_EQ(ReadFileBytes(Out("two")), "The quick brown fox !");
    EXPECT_EQ(ReadFileBytes(Out("ro")), "read only");
    EXPECT_TRUE(script_.deliveries.empty());

    uint32_t attributes = 0;
    ASSERT_TRUE(GetPathAttributes(Out("ro").c_str(), &attributes));
    EXPECT_EQ(attributes & 0x01u, 0x01u);
    ASSERT_TRUE(GetPathAttributes(Out("one").c_str(), &attributes));
    EXPECT_EQ(attributes & 0x01u, 0u);

    // The last-write time is the entry's local DOS time, as a UTC instant.
    int64_t expected = DosTimeToUnixTime(kTestDosTime);
    ASSERT_GT(expected, 0);
    std::error_code ec;
    auto written = std::filesystem::last_write_time(Out("one"), ec);
    ASSERT_FALSE(ec);
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
        written - std::filesystem::file_time_type::clock::now() + std::chrono::system_clock::now().time_since_epoch());
    EXPECT_NEAR(static_cast<double>(seconds.count()), static_cast<double>(expected), 2.0);
}

TEST_F(PassTest, ExistingFileIsTruncated) {
    WriteFileBytes(Out("s"), std::string(1000, 'z'));
    script_.defaultAnswer = "s";
    EXPECT_EQ(Run(StoredArchive({StoredEntry("s.txt", "short")})), 0);
    EXPECT_EQ(ReadFileBytes(Out("s")), "short");
}

TEST_F(PassTest, FlippedPackedByteDeletesOnlyThatFile) {
    std::vector<TestEntry> entries = {StoredEntry("first.txt", "first")};
    std::vector<TestEntry> pair = SolidPair();
    entries.insert(entries.end(), pair.begin(), pair.end());
    entries.push_back(StoredEntry("last.txt", "last"));
    entries[1].packed[30] ^= 0x04;
    WriteFileBytes(Out("one"), "was here before");
    script_.answers = {{"first.txt", "first"}, {"one.txt", "one"}, {"two.txt", "two"}, {"last.txt", "last"}};
    EXPECT_EQ(Run(StoredArchive(entries)), 3);
    EXPECT_EQ(ReadFileBytes(Out("first")), "first");
    EXPECT_FALSE(FileExists(Out("one")));
    EXPECT_FALSE(FileExists(Out("two")));
    EXPECT_FALSE(FileExists(Out("last")));
    EXPECT_EQ(script_.queries.size(), 2u);
}

TEST_F(PassTest, ChecksumFailureInMemoryIsNotDelivered) {
    TestEntry bad = StoredEntry("bad.txt", "contents");
    bad.overrideCrc = true;
    bad.crc = 0x12345678;
    EXPECT_EQ(Run(StoredArchive({bad, StoredEntry("after.txt", "x")})), 3);
    EXPECT_TRUE(script_.deliveries.empty());
    EXPECT_EQ(script_.queries.size(), 1u);
}

TEST_F(PassTest, StoredEntryIsCappedAtItsSize) {
    TestEntry e = StoredEntry("s.txt", "exactly this");
    e.usePacked = true;
    e.packed = "exactly this and then some more";
    script_.defaultAnswer = "s";
    EXPECT_EQ(Run(StoredArchive({e})), 0);
    EXPECT_EQ(ReadFileBytes(Out("s")), "exactly this");
}

TEST_F(PassTest, EntryShorterThanItsSizeFailsEvenWithMatchingChecksum) {
    // The checksum covers the bytes present, but the header promises more:
    // a memory delivery must never hand over fewer bytes than its size.
    TestEntry e = StoredEntry("s.txt", "present");
    e.overrideUnpSize = true;
    e.unpSize = 5000;
    EXPECT_EQ(Run(StoredArchive({e})), 3);
    EXPECT_TRUE(script_.deliveries.empty());

    script_.defaultAnswer = "s";
    EXPECT_EQ(Run(StoredArchive({e})), 3);
    EXPECT_FALSE(FileExists(Out("s")));
}

TEST_F(PassTest, NegativeOrHugeSizeInMemoryFails) {
    TestEntry e = StoredEntry("s.txt", "");
    e.overrideUnpSize = true;
    e.unpSize = -1;
    EXPECT_EQ(Run(StoredArchive({e})), 3);
    EXPECT_TRUE(script_.deliveries.empty());
    e.unpSize = 0x7FFFFFFF;
    EXPECT_EQ(Run(StoredArchive({e})), 3);
    EXPECT_TRUE(script_.deliveries.empty());
}

// A header claiming far more than its packed data can produce: memory is not
// reserved for it, and written to a file it still ends as soon as the data does.
TEST_F(PassTest, ClaimedSizeBeyondWhatThePackedDataCanProduceFails) {
    std::vector<TestEntry> entries = SolidPair();
    entries.resize(1);
    entries[0].overrideUnpSize = true;
    entries[0].unpSize = 100 << 20;
    script_.defaultAnswer = std::string(1, '\x01');
    EXPECT_EQ(Run(StoredArchive(entries)), 3);
    EXPECT_TRUE(script_.deliveries.empty());
    script_.defaultAnswer = "big.bin";
    EXPECT_EQ(Run(StoredArchive(entries)), 3);
    EXPECT_FALSE(FileExists(Out("big.bin")));
}

TEST_F(PassTest, QueryReturningNonZeroEndsThePass) {
    script_.defaultAnswer = "f";
    script_.stopAtQuery = 0;
    EXPECT_EQ(Run(StoredArchive({StoredEntry("a.txt", "a"), StoredEntry("b.txt", "b")})), 0);
    EXPECT_EQ(script_.queries.size(), 1u);
    EXPECT_FALSE(FileExists(Out("f")));
}

TEST_F(PassTest, DeliveryReturningNonZeroEndsThePass) {
    script_.stopAtDelivery = 0;
    EXPECT_EQ(Run(StoredArchive({StoredEntry("a.txt", "a"), StoredEntry("b.txt", "b")})), 0);
    EXPECT_EQ(script_.queries.size(), 1u);
    EXPECT_EQ(script_.deliveries.size(), 1u);
}

TEST_F(PassTest, DirectoriesAndLabelsGetNoQuery) {
    TestEntry dir = StoredEntry("folder", "");
    dir.attr = 0x10;
    TestEntry unixDir = StoredEntry("udir", "");
    unixDir.hostOs = 3;
    unixDir.flags = 0x80E0;
    unixDir.attr = 0x41ED;
    TestEntry label = StoredEntry("label", "");
    label.attr = 0x08;
    EXPECT_EQ(Run(StoredArchive({dir, unixDir, label, StoredEntry("f.txt", "f")})), 0);
    // A volume label is queried like a file, but nothing is made of it.
    EXPECT_EQ(script_.queries, (std::vector<std::string>{"label", "f.txt"}));
    EXPECT_EQ(script_.contents, std::vector<std::string>{"f"});
}

TEST_F(PassTest, DirectoryCarryingDataIsSkippedWhole) {
    // The data looks like a block header; it must not be read as one.
    TestEntry dir = StoredEntry("folder", BlockBytes(0x74, 0x8000, 11, "") + std::string(40, '\x01'));
    dir.attr = 0x10;
    EXPECT_EQ(Run(StoredArchive({dir, StoredEntry("f.txt", "f")})), 0);
    EXPECT_EQ(script_.queries, std::vector<std::string>{"f.txt"});
    EXPECT_EQ(script_.contents, std::vector<std::string>{"f"});
}

TEST_F(PassTest, SubBlocksAndOtherBlocksArePassedOver) {
    std::string bytes = MarkerBytes() + MainHeaderBytes(0x0008, 20) + EntryBytes(StoredEntry("a.txt", "a")) +
                        BlockBytes(0x77, 0x8000, 11, "subdata") + BlockBytes(0x75, 0x0000, 9) +
                        EntryBytes(StoredEntry("b.txt", "b")) + BlockBytes(0x7B, 0x4000, 7);
    EXPECT_EQ(Run(bytes), 0);
    EXPECT_EQ(script_.contents, (std::vector<std::string>{"a", "b"}));
}

TEST_F(PassTest, NoArchiveResults) {
    EXPECT_EQ(ExtractArchive(Out("missing.rar").c_str(), ScriptCallback, &script_), 2);
    EXPECT_EQ(Run("not an archive at all"), 2);
    TestEntry continued = StoredEntry("a.txt", "a");
    continued.flags = 0x8001;
    EXPECT_EQ(Run(StoredArchive({continued})), 2);
    EXPECT_TRUE(script_.queries.empty());
}

TEST_F(PassTest, ContinuedFlagCountsOnlyOnTheFirstEntry) {
    TestEntry dir = StoredEntry("folder", "");
    dir.attr = 0x10;
    TestEntry continued = StoredEntry("a.txt", "a");
    continued.flags = 0x8001;
    EXPECT_EQ(Run(StoredArchive({dir, continued})), 0);
    EXPECT_EQ(script_.contents, std::vector<std::string>{"a"});
}

TEST_F(PassTest, OutputThatCannotBeCreated) {
    script_.answers = {{"a.txt", "a"}, {"b.txt", "no/such/folder/b"}, {"c.txt", "c"}};
    EXPECT_EQ(Run(StoredArchive({StoredEntry("a.txt", "a"), StoredEntry("b.txt", "b"), StoredEntry("c.txt", "c")})),
              -5);
    EXPECT_EQ(ReadFileBytes(Out("a")), "a");
    EXPECT_FALSE(FileExists(Out("c")));
    EXPECT_EQ(script_.queries.size(), 2u);
}

TEST_F(PassTest, EntriesThatCannotBeDecoded) {
    TestEntry encrypted = SolidPair()[0];
    encrypted.flags |= 0x0004;
    encrypted.packed[3] ^= 0x55;  // as if enciphered
    script_.defaultAnswer = "e";
    EXPECT_EQ(Run(StoredArchive({encrypted})), 3);
    EXPECT_FALSE(FileExists(Out("e")));

    TestEntry old = StoredEntry("old.txt", "old");
    old.method = 0x33;
    old.unpVer = 15;
    old.usePacked = true;
    old.packed = "xyz";
    EXPECT_EQ(Run(StoredArchive({old})), 3);
    TestEntry oldEmpty = old;
    oldEmpty.data = "";
    EXPECT_EQ(Run(StoredArchive({oldEmpty})), 0);
}

TEST_F(PassTest, EntryCutShortByTheEndOfTheFileFails) {
    std::string whole = StoredArchive(SolidPair());
    EXPECT_EQ(Run(whole.substr(0, whole.size() - 1)), 3);
    EXPECT_EQ(script_.contents.size(), 1u);  // the first entry is whole

    script_ = Script();
    script_.dir = dir_;
    std::string stored = StoredArchive({StoredEntry("big.bin", std::string(5000, 'b'))});
    EXPECT_EQ(Run(stored.substr(0, stored.size() - 4900)), 3);
    EXPECT_TRUE(script_.contents.empty());
}

// The pass decodes every compressed entry with the engine it is given, and
// only those: stored entries never reach it. An engine that writes nothing
// makes the compressed entries fail their check.
int gDecoderCalls = 0;
std::vector<int> gDecoderSolid;
void CountingDecoder(UnpackState* state, uint8_t* window, int solid) {
    ++gDecoderCalls;
    gDecoderSolid.push_back(solid);
    UnpackEntry(state, window, solid);
}
void SilentDecoder(UnpackState*, uint8_t*, int) {
    ++gDecoderCalls;
}

TEST_F(PassTest, CompressedEntriesGoThroughTheGivenDecoder) {
    std::vector<TestEntry> entries = SolidPair();
    entries.insert(entries.begin(), StoredEntry("a.txt", "stored"));
    std::string path = dir_ + "/archive.rar";
    WriteFileBytes(path, StoredArchive(entries));

    gDecoderCalls = 0;
    gDecoderSolid.clear();
    EXPECT_EQ(ExtractArchiveWith(path.c_str(), ScriptCallback, &script_, CountingDecoder), 0);
    EXPECT_EQ(gDecoderCalls, 2);
    EXPECT_EQ(gDecoderSolid, (std::vector<int>{0, 0x10}));
    ASSERT_EQ(script_.contents.size(), 3u);
    EXPECT_EQ(script_.contents[2], "The quick brown fox !");

    gDecoderCalls = 0;
    Script silent;
    silent.dir = dir_;
    EXPECT_EQ(ExtractArchiveWith(path.c_str(), ScriptCallback, &silent, SilentDecoder), 3);
    EXPECT_EQ(gDecoderCalls, 1);  // the first compressed entry fails its check and ends the pass
    EXPECT_EQ(silent.contents, (std::vector<std::string>{"stored"}));
}

}  // namespace
