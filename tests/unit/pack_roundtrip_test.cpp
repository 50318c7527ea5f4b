// Archives written by the compressor, read back through the real archive
// pass: every entry is verified by its checksum and compared byte for byte.
#include <algorithm>
#include <cstring>
#include <fstream>

#include "pack/parse.h"
#include "tests/unit/pack_roundtrip.h"

using namespace packtest;

namespace {

const int kAllLevels[] = {1, 2, 3, 4, 5};

TEST(PackRoundTrip, SmallSizesAtEveryLevel) {
    for (int level : kAllLevels) {
        std::vector<Entry> entries;
        for (size_t size : {0, 1, 2, 3, 259, 260, 261}) {
            entries.push_back({"size" + std::to_string(size) + ".txt", TextBytes(size, 7 + size)});
        }
        // Compressed even where storing would be smaller, to exercise tiny streams.
        ExpectRoundTrip(entries, level, false);
        ExpectRoundTrip(entries, level, true);
    }
}

TEST(PackRoundTrip, WindowSizedEntriesAtEveryLevel) {
    const size_t kMB = 1u << 20;
    for (int level : kAllLevels) {
        std::vector<Entry> entries = {
            {"exactly1mb.bin", BinaryBytes(kMB, 1)},
            {"over1mb.txt", TextBytes(kMB + 3, 2)},
            {"again.bin", BinaryBytes(kMB / 2, 1)},  // the same bytes as the first, a window back
        };
        ExpectRoundTrip(entries, level);
    }
}

TEST(PackRoundTrip, TwentyMegabytes) {
    std::vector<uint8_t> big = BinaryBytes(20u << 20, 9);
    // Runs and copies of earlier parts, so every distance range is used.
    std::memset(big.data() + (3u << 20), 0, 500000);
    std::memcpy(big.data() + (9u << 20), big.data() + (9u << 20) - 0xFFF00, 70000);
    ExpectRoundTrip({{"big.dat", big}}, kDefaultLevel);
}

// A DLL of the installed Wine when there is one: real PE code and data.
std::vector<uint8_t> RealExecutable() {
    static const char* const kPaths[] = {"/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/atl.dll",
                                         "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/cabinet.dll"};
    for (const char* path : kPaths) {
        std::ifstream in(path, std::ios::binary);
        if (in) return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
    return BinaryBytes(300000, 4);
}

TEST(PackRoundTrip, KindsOfDataAtEveryLevel) {
    std::vector<uint8_t> runs(300000, 'x');
    for (size_t i = 0; i < runs.size(); i += 70000) runs[i] = 'y';
    std::vector<uint8_t> pattern;
    for (int i = 0; i < 50000; ++i) pattern.push_back(static_cast<uint8_t>("abcab"[i % 5]));
    for (int level : kAllLevels) {
        Built built;
        ExpectRoundTrip({{"random.bin", RandomBytes(70000, 3)},
                         {"text.txt", TextBytes(200000, 4)},
                         {"program.dll", RealExecutable()},
                         {"runs.dat", runs},
                         {"pattern.dat", pattern},
                         {"random2.bin", RandomBytes(5000, 8)}},
                        level, true, &built);
        EXPECT_TRUE(built.results[0].stored) << "random bytes do not shrink";
        EXPECT_FALSE(built.results[1].stored);
        EXPECT_LT(built.results[3].packedSize, 2000u) << "a long run costs almost nothing";
        // Random bytes compressed all the same decode too.
        ExpectRoundTrip({{"random.bin", RandomBytes(70000, 3)}}, level, false);
    }
}

// Random filler with planted copies: at each distance, bytes that repeat
// what stood that far back, with the given length.
std::vector<uint8_t> PlantedCopies(const std::vector<std::pair<uint32_t, uint32_t>>& copies, uint32_t seed) {
    std::vector<uint8_t> data = RandomBytes(16, seed);
    std::mt19937 rng(seed);
    for (const auto& copy : copies) {
        uint32_t distance = copy.first;
        uint32_t length = copy.second;
        while (data.size() < distance + 64) data.push_back(static_cast<uint8_t>(rng()));
        for (int twice = 0; twice < 2; ++twice) {
            size_t from = data.size() - distance;
            for (uint32_t i = 0; i < length; ++i) data.push_back(data[from + i]);
            // A byte that breaks the copy, then a few random ones.
            data.push_back(static_cast<uint8_t>(data[data.size() - distance] ^ 0x5A));
            for (int i = 0; i < 3; ++i) data.push_back(static_cast<uint8_t>(rng()));
        }
    }
    return data;
}

TEST(PackRoundTrip, CopiesAroundEveryLengtheningThreshold) {
    std::vector<std::pair<uint32_t, uint32_t>> copies;
    for (uint32_t distance : {0xFFu, 0x100u, 0x101u, 0x102u, 0x1FFFu, 0x2000u, 0x2001u, 0x3FFFFu, 0x40000u, 0x40001u,
                              0xFFFFFu, 0x100000u}) {
        for (uint32_t length : {2u, 3u, 4u, 5u, 6u, 257u, 258u, 259u, 260u}) copies.push_back({distance, length});
    }
    // Planting in one growing buffer puts copies ever farther apart; split
    // into groups so each stays within the window.
    for (int level : kAllLevels) {
        for (size_t group = 0; group < copies.size(); group += 9) {
            std::vector<std::pair<uint32_t, uint32_t>> some(copies.begin() + group, copies.begin() + group + 9);
            ExpectRoundTrip({{"planted.bin", PlantedCopies(some, static_cast<uint32_t>(group))}}, level, false);
        }
    }
}

// A solid run far longer than the window: the encoder drops what no copy
// can reach any more, and still finds copies a window back, also after an
// entry was taken back because it did not shrink.
TEST(PackRoundTrip, LongRunsKeepOnlyTheReachableHistory) {
    const size_t kMB = 1u << 20;
    std::vector<uint8_t> pattern = RandomBytes(1024, 3);
    // Quick to pack at every level: one 1 KB pattern over and over.
    auto filler = [&](size_t size, int seed) {
        std::vector<uint8_t> bytes(size);
        for (size_t j = 0; j < size; ++j) bytes[j] = pattern[(j * 7 + seed) % pattern.size()];
        return bytes;
    };
    std::vector<uint8_t> code = BinaryBytes(700000, 7);
    // Noise taken back before the history passes 3 MB with the code; the
    // text entry starts with a drop; the code's second copy must be found
    // where the drop moved the first, and its third after more noise is
    // taken back behind the drop.
    const std::vector<Entry> entries = {
        {"filler0.bin", filler(kMB, 0)},         {"filler1.bin", filler(kMB, 1)},
        {"filler2.bin", filler(400000, 2)},      {"noise.bin", RandomBytes(100000, 8)},
        {"code.bin", code},                      {"text.txt", TextBytes(50000, 4)},
        {"code-again.bin", code},                {"noise-again.bin", RandomBytes(100000, 9)},
        {"code-third.bin", code}};
    for (int level : kAllLevels) {
        ArchiveWriter writer;
        ArchiveWriterInit(&writer, level);
        std::vector<uint8_t> archive;
        AppendArchiveStart(&archive);
        std::vector<EntryResult> results;
        for (const Entry& e : entries) {
            ArchiveEntry info = {e.name, 0x5A8C6000u, kAttributeArchive};
            results.push_back(AppendArchiveEntry(&writer, info, e.data.data(), e.data.size(), &archive));
        }
        // Without the drop the whole run, 4.6 MB, would still be held.
        EXPECT_LT(writer.encoder.history.size(), 3 * kMB) << "level " << level << ": old history kept";
        EXPECT_TRUE(results[3].stored);
        EXPECT_TRUE(results[7].stored);
        EXPECT_LT(results[6].packedSize, 7000u) << "level " << level << ": the copy 750 KB back was not found";
        EXPECT_LT(results[8].packedSize, 7000u) << "level " << level << ": the copy 700 KB back was not found";

        TempFile file("long");
        WriteFile(file.path, archive);
        Collected collected;
        ASSERT_EQ(ExtractArchive(file.path.c_str(), CollectEntry, &collected), kExtractOk) << "level " << level;
        ASSERT_EQ(collected.contents.size(), entries.size());
        for (size_t i = 0; i < entries.size(); ++i) EXPECT_TRUE(collected.contents[i] == entries[i].data) << i;
    }
}

TEST(PackRoundTrip, CopiesReachTheWholeWindow) {
    // A block that comes back exactly one window later: only a copy at the
    // largest distance (0x100000) finds it.
    std::vector<uint8_t> data = RandomBytes(kMaxCopyDistance + 300, 21);
    std::memcpy(data.data() + kMaxCopyDistance, data.data(), 300);
    for (int level : kAllLevels) {
        MatchFinder finder;
        MatchFinderInit(&finder, 64, 258, kChainHashBits, 4);
        uint32_t prices[kTableLengthCount];
        for (uint32_t& p : prices) p = 8;
        const uint32_t size = static_cast<uint32_t>(data.size());
        ParseInput input = {data.data(), 0, size, 0, &finder, prices, nullptr, nullptr, size, nullptr};
        CopyHistory copies = {};
        std::vector<Token> tokens;
        ParseGreedy(input, false, &copies, &tokens);
        bool found = false;
        for (const Token& t : tokens) found |= t.distance == kMaxCopyDistance;
        EXPECT_TRUE(found);

        Built built;
        ExpectRoundTrip({{"window.bin", data}}, level, false, &built);
        // The same without the repeat costs the 300 bytes more.
        std::vector<uint8_t> unrepeated = data;
        std::vector<uint8_t> tail = RandomBytes(300, 22);
        std::memcpy(unrepeated.data() + kMaxCopyDistance, tail.data(), tail.size());
        Built plain = BuildArchive({{"window.bin", unrepeated}}, level, false);
        EXPECT_LT(built.results[0].packedSize + 250, plain.results[0].packedSize) << "level " << level;
    }
}

TEST(PackRoundTrip, RecordsUseRecentDistancesAndRepeats) {
    // Fixed-size records with a changing field: copies at the same distance
    // again and again, which the recent-distance and repeat symbols carry.
    std::vector<uint8_t> data;
    std::mt19937 rng(2);
    std::vector<uint8_t> record = RandomBytes(40, 77);
    for (int i = 0; i < 20000; ++i) {
        record[rng() % 40] = static_cast<uint8_t>(rng());
        data.insert(data.end(), record.begin(), record.end());
        if (i % 3 == 0) data.push_back(static_cast<uint8_t>(i));
    }
    for (int level : kAllLevels) {
        MatchFinder finder;
        MatchFinderInit(&finder, 32, 64, kChainHashBits, 4);
        TreeFinder tree;
        TreeFinderInit(&tree, 32, 64, 0);
        uint32_t prices[kTableLengthCount];
        for (uint32_t& p : prices) p = 7;
        const uint32_t size = static_cast<uint32_t>(data.size());
        ParseInput input = {data.data(), 0, size, 0, &finder, prices, nullptr, &tree, size, nullptr};
        CopyHistory copies = {};
        std::vector<Token> tokens;
        if (level >= 4) {
            StretchMatches matches;
            FindStretchMatches(input, &matches);
            std::vector<size_t> blockStarts;
            ParseOptimal(input, matches, {false, 1, false, 0}, &copies, &tokens, &blockStarts);
        } else {
            ParseGreedy(input, level == 3, &copies, &tokens);
        }
        uint32_t counts[kTableLengthCount];
        CopyHistory start = {};
        CountTokenSymbols(tokens.data(), tokens.size(), data.data(), start, prices, counts);
        uint32_t recent = counts[257] + counts[258] + counts[259] + counts[260];
        EXPECT_GT(counts[kSymRepeatLast] + recent, 1000u) << "level " << level;
        EXPECT_GT(recent, 100u) << "level " << level;
        ExpectRoundTrip({{"records.dat", data}}, level);
    }
}

TEST(PackRoundTrip, ManySmallEntriesInOneSolidRun) {
    std::vector<Entry> entries;
    std::mt19937 rng(12);
    for (int i = 0; i < 400; ++i) {
        size_t size = rng() % 3 == 0 ? rng() % 8 : rng() % 3000;
        std::vector<uint8_t> data = (i % 5 == 0) ? BinaryBytes(size, i) : TextBytes(size, i % 17);
        entries.push_back({"dir" + std::to_string(i % 7) + "\\file" + std::to_string(i) + ".txt", data});
    }
    for (int level : kAllLevels) {
        ExpectRoundTrip(entries, level, true);
        ExpectRoundTrip(entries, level, false);
    }
}

TEST(PackRoundTrip, StoredEntryInTheMiddleOfASolidRun) {
    std::vector<uint8_t> text = TextBytes(100000, 1);
    for (int level : kAllLevels) {
        Built built;
        ExpectRoundTrip({{"a.txt", text},
                         {"noise.bin", RandomBytes(200000, 5)},
                         {"b.txt", text},  // refers back past the stored entry
                         {"empty.txt", {}},
                         {"c.txt", TextBytes(50000, 2)}},
                        level, true, &built);
        EXPECT_FALSE(built.results[0].stored);
        EXPECT_TRUE(built.results[1].stored);
        EXPECT_FALSE(built.results[2].stored);
        EXPECT_LT(built.results[2].packedSize, 2000u) << "the second copy of the text is one long run of copies";
        EXPECT_TRUE(built.results[3].stored);
    }
}

TEST(PackRoundTrip, HeadersCarryTheFieldsTheReaderExpects) {
    Built built = BuildArchive({{"sub\\first.txt", TextBytes(5000, 1)},
                                {"noise.bin", RandomBytes(3000, 2)},
                                {"second.txt", TextBytes(4000, 3)}},
                               3);
    const std::vector<uint8_t>& a = built.archive;
    const uint8_t marker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
    ASSERT_EQ(std::memcmp(a.data(), marker, 7), 0);
    auto u16 = [&](size_t at) { return static_cast<uint32_t>(a[at] | (a[at + 1] << 8)); };
    auto u32 = [&](size_t at) { return u16(at) | (u16(at + 2) << 16); };
    EXPECT_EQ(a[9], 0x73);
    EXPECT_EQ(u16(10), 0x0008u);
    EXPECT_EQ(u16(12), 13u);
    EXPECT_EQ(u16(7), Crc32Of(a.data() + 9, 11) & 0xFFFF);

    size_t at = 20;
    const uint16_t expectedFlags[3] = {0x8080, 0x8080, 0x8090};  // solid only on the later compressed entry
    const uint8_t expectedMethod[3] = {0x35, 0x30, 0x35};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(a[at + 2], 0x74);
        uint32_t headSize = u16(at + 5);
        uint32_t nameSize = u16(at + 26);
        EXPECT_EQ(headSize, 32 + nameSize);
        EXPECT_EQ(u16(at + 3), expectedFlags[i]) << i;
        EXPECT_EQ(a[at + 15], 2);   // Win32
        EXPECT_EQ(a[at + 24], 20);  // unpack version
        EXPECT_EQ(a[at + 25], expectedMethod[i]) << i;
        EXPECT_EQ(u32(at + 28), 0x20u);
        EXPECT_EQ(u16(at), Crc32Of(a.data() + at + 2, headSize - 2) & 0xFFFF);
        at += headSize + u32(at + 7);
    }
    EXPECT_EQ(at, a.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(a.data()) + 20 + 32, 13), "sub\\first.txt");
}

TEST(PackRoundTrip, NewTablesWhenStatisticsDrift) {
    for (int level : {1, 3, 5}) {
        ArchiveWriter writer;
        ArchiveWriterInit(&writer, level);
        std::vector<uint8_t> archive;
        AppendArchiveStart(&archive);
        // Text, then executable bytes, then text again, all in one entry.
        std::vector<uint8_t> mixed = TextBytes(300000, 1);
        std::vector<uint8_t> binary = BinaryBytes(300000, 2);
        std::vector<uint8_t> text = TextBytes(300000, 3);
        mixed.insert(mixed.end(), binary.begin(), binary.end());
        mixed.insert(mixed.end(), text.begin(), text.end());
        AppendArchiveEntry(&writer, {"mixed.dat", 0, kAttributeArchive}, mixed.data(), mixed.size(), &archive);
        EXPECT_GE(writer.encoder.tables.blocksSent, 3u) << "level " << level;
        // More of the same text: the tables carried over still fit (the
        // optimal levels may still find a block of its own worth its cost,
        // and the fastest one takes copies without weighing the code in
        // force, so it may need a symbol the code lacks).
        uint32_t before = writer.encoder.tables.blocksSent;
        std::vector<uint8_t> more = TextBytes(2000, 4);
        AppendArchiveEntry(&writer, {"more.txt", 0, kAttributeArchive}, more.data(), more.size(), &archive);
        EXPECT_LE(writer.encoder.tables.blocksSent, before + (level == 3 ? 0 : 1)) << "level " << level;

        TempFile file("drift");
        WriteFile(file.path, archive);
        Collected collected;
        ASSERT_EQ(ExtractArchive(file.path.c_str(), CollectEntry, &collected), kExtractOk);
        ASSERT_EQ(collected.contents.size(), 2u);
        EXPECT_TRUE(collected.contents[0] == mixed);
        EXPECT_TRUE(collected.contents[1] == more);
    }
}

}  // namespace
