// The optimal levels: the binary-tree finder against a plain search, the
// output's independence of the thread count, and table blocks placed where
// the statistics change.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "pack/parse.h"
#include "pack/solid_encoder.h"
#include "pack/tree_finder.h"
#include "pack_roundtrip.h"

namespace {

using packtest::BinaryBytes;
using packtest::Built;
using packtest::BuildArchive;
using packtest::ExpectRoundTrip;
using packtest::RandomBytes;
using packtest::TextBytes;

// Bytes of a small alphabet with planted far repeats: many matches of every length.
std::vector<uint8_t> Repetitive(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng() % 3);
    for (int i = 0; i < 200; ++i) {
        size_t length = 4 + rng() % 300;
        size_t from = rng() % (n - length);
        size_t to = rng() % (n - length);
        std::memmove(v.data() + to, v.data() + from, length);
    }
    return v;
}

// The longest copy the format can send from pos as a long copy, by plain search.
uint32_t LongestByHand(const std::vector<uint8_t>& data, uint32_t pos, uint32_t available) {
    uint32_t best = 0;
    uint32_t reach = pos < kMaxCopyDistance ? pos : kMaxCopyDistance;
    for (uint32_t distance = 1; distance <= reach; ++distance) {
        uint32_t limit = available < MaxLongLength(distance) ? available : MaxLongLength(distance);
        uint32_t length = CommonLength(&data[pos], &data[pos - distance], limit);
        if (length >= MinLongLength(distance) && length > best) best = length;
    }
    return best;
}

// What a parse costs under one set of prices, each copy sent by the
// cheapest symbol its history allows; also checks that the tokens cover
// begin..end and that every copy repeats bytes that are there.
uint64_t PriceOfParse(const std::vector<uint8_t>& data, uint32_t begin, uint32_t end, const std::vector<Token>& tokens,
                      const uint32_t* prices) {
    CopyHistory history = {};
    uint64_t total = 0;
    uint32_t pos = begin;
    for (const Token& token : tokens) {
        // A token past the end or a copy from before the data is read no further.
        if (token.length == 0 || token.length > end - pos || token.distance > pos) {
            ADD_FAILURE() << "token of " << token.length << " bytes at distance " << token.distance << " at " << pos;
            return total;
        }
        if (token.distance == 0) {
            total += prices[data[pos]];
        } else {
            EXPECT_EQ(CommonLength(&data[pos], &data[pos - token.distance], token.length), token.length)
                << "at " << pos;
            CodedSymbol symbol;
            const uint32_t price = ChooseCopySymbol(token.length, token.distance, history, prices, &symbol);
            EXPECT_LT(price, kImpossiblePrice) << "at " << pos;
            total += price;
            RecordCopy(&history, token.length, token.distance);
        }
        pos += token.length;
    }
    EXPECT_EQ(pos, end);
    return total;
}

// The optimal parse of begin..end of data, with `prices` as the code in
// force and a tree that holds the positions before begin.
std::vector<Token> ParseUnder(const std::vector<uint8_t>& data, uint32_t begin, uint32_t end, TreeFinder* tree,
                              const uint32_t* prices, const OptimalOptions& options,
                              std::vector<size_t>* blockStarts) {
    const uint32_t size = static_cast<uint32_t>(data.size());
    ParseInput input = {data.data(), begin, end, 0, nullptr, prices, nullptr, tree, size, nullptr};
    StretchMatches matches;
    FindStretchMatches(input, &matches);
    CopyHistory copies = {};
    std::vector<Token> tokens;
    ParseOptimal(input, matches, options, &copies, &tokens, blockStarts);
    return tokens;
}

TEST(TreeFinder, CandidatesAreRealAndTheLongestIsFound) {
    std::vector<uint8_t> data = Repetitive(20000, 3);
    const uint32_t size = static_cast<uint32_t>(data.size());
    TreeFinder finder;
    TreeFinderInit(&finder, 100000, 300, 0);  // unbounded descent: nothing may be missed
    MatchCandidate found[32];
    for (uint32_t pos = 0; pos + 1 < size; ++pos) {
        uint32_t available = size - pos < 300 ? size - pos : 300;
        uint32_t n = TreeFindMatches(&finder, data.data(), pos, available, size, found, 32);
        uint32_t previous = 0;
        for (uint32_t i = 0; i < n; ++i) {
            const MatchCandidate& m = found[i];
            ASSERT_GT(m.length, previous) << "lengths increase, at " << pos;
            previous = m.length;
            ASSERT_GE(m.distance, 1u);
            ASSERT_LE(m.distance, pos);
            ASSERT_LE(m.length, available);
            ASSERT_EQ(CommonLength(&data[pos], &data[pos - m.distance], m.length), m.length) << "at " << pos;
            if (m.length == 2) {
                ASSERT_LE(m.distance, 256u);
            } else {
                ASSERT_GE(m.length, MinLongLength(m.distance));
                ASSERT_LE(m.length, MaxLongLength(m.distance));
            }
        }
        if (pos % 97 == 0 && size - pos >= 4) {
            uint32_t longest = n > 0 ? found[n - 1].length : 0;
            uint32_t expected = LongestByHand(data, pos, available);
            if (expected >= 3) {
                EXPECT_EQ(longest, expected) << "at " << pos;
            }
        }
    }
}

TEST(TreeFinder, NearestDistanceForEachLength) {
    // "abcdefgh" at distance 900 and "abcdefgX" at distance 100: 7 bytes near, 8 far.
    std::vector<uint8_t> data = RandomBytes(2000, 8);
    const uint8_t far[] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
    const uint8_t near[] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'X'};
    std::memcpy(&data[100], far, 8);
    std::memcpy(&data[900], near, 8);
    std::memcpy(&data[1000], far, 8);
    TreeFinder finder;
    TreeFinderInit(&finder, 64, 258, 0);
    MatchCandidate found[16];
    uint32_t n = 0;
    for (uint32_t pos = 0; pos <= 1000; ++pos) {
        n = TreeFindMatches(&finder, data.data(), pos, 2000 - pos, 2000, found, 16);
    }
    ASSERT_GE(n, 2u);
    EXPECT_EQ(found[n - 2].length, 7u);
    EXPECT_EQ(found[n - 2].distance, 100u);
    EXPECT_GE(found[n - 1].length, 8u);
    EXPECT_EQ(found[n - 1].distance, 900u);
}

TEST(TreeFinder, PassesOverWhatALongMatchCovers) {
    // 1000 bytes at 3000 repeat those at 500; bytes 3100..3200, which lie in
    // the part passed over, come back at 5000.
    std::vector<uint8_t> data = RandomBytes(6000, 9);
    std::memcpy(&data[3000], &data[500], 1000);
    std::memcpy(&data[5000], &data[3100], 100);
    const uint32_t size = static_cast<uint32_t>(data.size());
    TreeFinder finder;
    TreeFinderInit(&finder, 64, 258, 64);
    MatchCandidate found[16];
    uint32_t longEnd = 0;
    uint32_t longDistance = 0;
    for (uint32_t pos = 0; pos + 4 < size; ++pos) {
        const uint32_t available = size - pos < 300 ? size - pos : 300;
        const uint32_t n = TreeFindMatches(&finder, data.data(), pos, available, size, found, 16);
        for (uint32_t i = 0; i < n; ++i) {
            ASSERT_LE(found[i].length, available);
            ASSERT_EQ(CommonLength(&data[pos], &data[pos - found[i].distance], found[i].length), found[i].length)
                << "at " << pos;
        }
        if (pos < longEnd) {
            // Passed over: the rest of the long match, and nothing else.
            ASSERT_EQ(n, longEnd - pos >= MinLongLength(longDistance) ? 1u : 0u) << "at " << pos;
            if (n == 1) {
                EXPECT_EQ(found[0].length, longEnd - pos);
                EXPECT_EQ(found[0].distance, longDistance);
            }
        } else if (n != 0 && found[n - 1].length >= 64) {
            EXPECT_TRUE((pos >= 3000 && pos < 4000) || pos == 5000) << "at " << pos;
            longEnd = pos + found[n - 1].length;
            longDistance = found[n - 1].distance;
        }
        if (pos == 4000) {
            // The repeat was taken in long matches (258 bytes at most) up to its end.
            EXPECT_EQ(longEnd, 4000u);
        }
        if (pos == 5000) {
            // Found again, though the trees never took in 3100.
            EXPECT_EQ(longEnd, 5100u);
        }
    }
}

TEST(TreeFinder, RollbackForgetsTheEntryTakenBack) {
    // Entry A is inserted and taken back; B replaces its bytes. No match may
    // lean on A's bytes, though the trees had compared them.
    std::vector<uint8_t> history = Repetitive(30000, 5);
    const uint32_t from = 20000;
    TreeFinder finder;
    TreeFinderInit(&finder, 256, 258, 0);
    MatchCandidate found[32];
    for (uint32_t pos = 0; pos < 30000; ++pos) {
        TreeFindMatches(&finder, history.data(), pos, 30000 - pos, 30000, found, 32);
    }
    TreeFinderRollback(&finder, history.data(), from);
    std::vector<uint8_t> other = RandomBytes(10000, 6);
    std::memcpy(&history[from], other.data(), other.size());
    for (uint32_t pos = from; pos < 30000; ++pos) {
        uint32_t n = TreeFindMatches(&finder, history.data(), pos, 30000 - pos, 30000, found, 32);
        for (uint32_t i = 0; i < n; ++i) {
            ASSERT_EQ(CommonLength(&history[pos], &history[pos - found[i].distance], found[i].length),
                      found[i].length)
                << "at " << pos;
        }
    }
}

// Every candidate the finder gives for positions begin..end-1, searched in
// order with end bytes of history known, as (position, length, distance).
std::vector<uint32_t> SearchEntry(TreeFinder* finder, const std::vector<uint8_t>& history, uint32_t begin,
                                  uint32_t end) {
    std::vector<uint32_t> seen;
    MatchCandidate found[32];
    for (uint32_t pos = begin; pos < end; ++pos) {
        const uint32_t n = TreeFindMatches(finder, history.data(), pos, end - pos, end, found, 32);
        for (uint32_t i = 0; i < n; ++i) seen.insert(seen.end(), {pos, found[i].length, found[i].distance});
    }
    return seen;
}

TEST(TreeFinder, RollbackKeepsOutWhatWasPassedOver) {
    // The first entry repeats itself in long runs, the last of them up to its
    // very end, so that its searches pass over much of it; so does the entry
    // taken back. The last entry must then meet the same trees as if the one
    // taken back had never been.
    std::vector<uint8_t> first = RandomBytes(20000, 3);
    for (uint32_t at = 2000; at + 700 < 19000; at += 3000) std::memcpy(&first[at], &first[at - 1500], 700);
    std::memcpy(&first[19700], &first[1000], 300);
    std::vector<uint8_t> takenBack(first.begin() + 4000, first.begin() + 12000);
    std::vector<uint8_t> last = RandomBytes(12000, 4);
    for (uint32_t at = 0; at + 500 < 12000; at += 2500) std::memcpy(&last[at], &first[at + 1800], 500);

    std::vector<uint8_t> history = first;
    TreeFinder rolledBack;
    TreeFinderInit(&rolledBack, 64, 128, 64);
    SearchEntry(&rolledBack, history, 0, 20000);
    ASSERT_FALSE(rolledBack.passedOver.empty());
    history.insert(history.end(), takenBack.begin(), takenBack.end());
    SearchEntry(&rolledBack, history, 20000, 28000);
    TreeFinderRollback(&rolledBack, history.data(), 20000);
    history.resize(20000);
    history.insert(history.end(), last.begin(), last.end());
    const std::vector<uint32_t> afterRollback = SearchEntry(&rolledBack, history, 20000, 32000);

    TreeFinder straight;
    TreeFinderInit(&straight, 64, 128, 64);
    SearchEntry(&straight, history, 0, 20000);
    EXPECT_TRUE(SearchEntry(&straight, history, 20000, 32000) == afterRollback);
}

TEST(OptimalLevels, OutputIsTheSameForEveryThreadCount) {
    // Several stretches per entry, so the finder thread runs ahead of the parse.
    std::vector<packtest::Entry> entries = {{"a.dll", BinaryBytes(300000, 1)},
                                            {"b.txt", TextBytes(120000, 2)},
                                            {"noise.bin", RandomBytes(70000, 3)},
                                            {"c.dll", BinaryBytes(200000, 1)}};
    for (int level : {4, 5}) {
        Built one = BuildArchive(entries, level, true, 1);
        for (uint32_t threads : {2u, 3u, 8u}) {
            Built more = BuildArchive(entries, level, true, threads);
            EXPECT_TRUE(more.archive == one.archive) << "level " << level << ", " << threads << " threads";
        }
        ExpectRoundTrip(entries, level);
    }
}

TEST(OptimalLevels, NewTableWhereTheDataChangesWithinAStretch) {
    // Text, then executable code, in one entry shorter than a stretch: one
    // code for both costs more than a second table block.
    std::vector<uint8_t> data = TextBytes(16000, 4);
    std::vector<uint8_t> code = BinaryBytes(16000, 5);
    data.insert(data.end(), code.begin(), code.end());
    for (int level : {4, 5}) {
        SolidEncoder encoder;
        SolidEncoderInit(&encoder, level);
        std::vector<uint8_t> packed;
        EncoderCheckpoint checkpoint;
        EncodeEntry(&encoder, data.data(), data.size(), &packed, &checkpoint);
        EXPECT_GE(encoder.tables.blocksSent, 2u) << "level " << level;
        ExpectRoundTrip({{"mixed.bin", data}}, level);
    }
}

TEST(OptimalLevels, CopiesCutShortByTheStretchEndStaySendable) {
    // Random bytes, then their first 64 bytes again 0x40000 back, where a
    // copy needs 5 bytes: a stretch that ends 1 to 8 bytes into the repeat
    // cuts the copy to a length the format may not send, in the quick parse
    // that plans the blocks and in every optimal pass.
    const uint32_t far = 0x40000;
    std::vector<uint8_t> data = RandomBytes(far + 64, 41);
    std::memcpy(data.data() + far, data.data(), 64);
    const uint32_t size = static_cast<uint32_t>(data.size());
    for (uint32_t cut = 1; cut <= 8; ++cut) {
        TreeFinder tree;
        TreeFinderInit(&tree, 32, 64, 0);
        const uint32_t begin = far - 300;
        TreeInsertUpTo(&tree, data.data(), begin, size);
        uint32_t prices[kTableLengthCount];
        for (uint32_t& p : prices) p = 7;
        // One planned pass (level 4) and a planning pass before the final one (level 5).
        for (uint32_t passes : {1u, 2u}) {
            SCOPED_TRACE(testing::Message() << "cut " << cut << ", passes " << passes);
            TreeFinder scratchTree = tree;
            std::vector<size_t> blockStarts;
            std::vector<Token> tokens =
                ParseUnder(data, begin, far + cut, &scratchTree, prices, {true, passes, false, 0}, &blockStarts);
            // Covers the stretch with copies of the bytes there, each one sendable.
            PriceOfParse(data, begin, far + cut, tokens, prices);
            ASSERT_FALSE(blockStarts.empty());
            EXPECT_EQ(blockStarts[0], 0u);
        }
    }
}

TEST(OptimalLevels, SecondArrivalsFindCheaperParses) {
    // Prices under which copies at recent distances are cheap: a path that
    // costs a little more to a node but leaves a useful distance behind can
    // win later, which only the second arrivals see.
    uint32_t prices[kTableLengthCount];
    for (uint32_t i = 0; i < kTableLengthCount; ++i) prices[i] = 6;
    for (uint32_t i = 0; i < 256; ++i) prices[i] = 9;
    prices[kSymRepeatLast] = 4;
    for (uint32_t k = 0; k < 4; ++k) prices[kSymRecentFirst + k] = 4 + k;
    uint64_t with = 0;
    uint64_t without = 0;
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        std::vector<uint8_t> data = seed % 2 == 0 ? Repetitive(60000, seed) : BinaryBytes(60000, seed);
        const uint32_t size = static_cast<uint32_t>(data.size());
        for (bool secondArrivals : {false, true}) {
            TreeFinder tree;
            TreeFinderInit(&tree, 64, 128, 0);
            std::vector<size_t> blockStarts;
            std::vector<Token> tokens =
                ParseUnder(data, 0, size, &tree, prices, {false, 1, secondArrivals, 0}, &blockStarts);
            (secondArrivals ? with : without) += PriceOfParse(data, 0, size, tokens, prices);
        }
    }
    EXPECT_LT(with, without);
}

TEST(OptimalLevels, AnEntryTakenBackLeavesNoTrace) {
    // What the parser learns from an entry goes back with it: the entry
    // after is coded as if the one taken back had never been.
    const std::vector<uint8_t> first = BinaryBytes(150000, 7);
    const std::vector<uint8_t> takenBack = TextBytes(150000, 8);
    const std::vector<uint8_t> last = BinaryBytes(150000, 9);
    for (int level : {4, 5}) {
        std::vector<uint8_t> packed;
        EncoderCheckpoint checkpoint;
        SolidEncoder withRollback;
        SolidEncoderInit(&withRollback, level);
        withRollback.threads = 1;
        EncodeEntry(&withRollback, first.data(), first.size(), &packed, &checkpoint);
        EncodeEntry(&withRollback, takenBack.data(), takenBack.size(), &packed, &checkpoint);
        RollbackEntry(&withRollback, checkpoint);
        EncodeEntry(&withRollback, last.data(), last.size(), &packed, &checkpoint);
        std::vector<uint8_t> expected;
        SolidEncoder straight;
        SolidEncoderInit(&straight, level);
        straight.threads = 1;
        EncodeEntry(&straight, first.data(), first.size(), &expected, &checkpoint);
        EncodeEntry(&straight, last.data(), last.size(), &expected, &checkpoint);
        EXPECT_TRUE(packed == expected) << "level " << level;
    }
}

}  // namespace
