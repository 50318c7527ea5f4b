// The match finder: the candidates it offers, and taking an entry back out
// of it when that entry is stored instead of compressed.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "pack/match_finder.h"
#include "pack/pack_format.h"

namespace {

std::vector<uint8_t> Noise(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng() % 4);  // a small alphabet: many short matches
    return v;
}

std::vector<MatchCandidate> Find(MatchFinder* finder, const std::vector<uint8_t>& data, uint32_t pos, uint32_t end) {
    MatchFinderInsertUpTo(finder, data.data(), pos, end);
    MatchCandidate out[32];
    uint32_t n = FindMatches(finder, data.data(), pos, end - pos, out, 32);
    return std::vector<MatchCandidate>(out, out + n);
}

TEST(PackMatchFinder, CandidatesAreRealSendableAndGrowing) {
    std::vector<uint8_t> data = Noise(200000, 1);
    MatchFinder finder;
    MatchFinderInit(&finder, 64, 258, kChainHashBits, 4);
    for (uint32_t pos = 0; pos < data.size(); pos += 37) {
        std::vector<MatchCandidate> found = Find(&finder, data, pos, static_cast<uint32_t>(data.size()));
        uint32_t previous = 0;
        for (const MatchCandidate& m : found) {
            ASSERT_GT(m.length, previous);
            previous = m.length;
            ASSERT_GE(m.distance, 1u);
            ASSERT_LE(m.distance, pos);
            ASSERT_LE(pos + m.length, data.size());
            ASSERT_EQ(std::memcmp(&data[pos], &data[pos - m.distance], m.length), 0);
            if (m.length == 2) {
                ASSERT_LE(m.distance, 256u);
            } else {
                ASSERT_GE(m.length, MinLongLength(m.distance));
                ASSERT_LE(m.length, MaxLongLength(m.distance));
            }
        }
    }
}

TEST(PackMatchFinder, RollbackForgetsAnEntryCompletely) {
    // Two finders: one sees A, B (taken back), C; the other only A, C. After
    // the rollback both must offer the same candidates everywhere in C.
    for (uint32_t bSize : {10u, 5000u, 1200000u}) {
        std::vector<uint8_t> a = Noise(300000, 2);
        std::vector<uint8_t> b = Noise(bSize, 3);
        std::vector<uint8_t> c = Noise(100000, 4);
        std::memcpy(c.data() + 500, b.data(), std::min<size_t>(bSize, 3000));  // C would match B

        MatchFinder withB;
        MatchFinder without;
        MatchFinderInit(&withB, 32, 258, kChainHashBits, 4);
        MatchFinderInit(&without, 32, 258, kChainHashBits, 4);
        std::vector<uint8_t> history = a;
        history.insert(history.end(), b.begin(), b.end());
        MatchFinderInsertUpTo(&withB, history.data(), static_cast<uint32_t>(history.size()),
                              static_cast<uint32_t>(history.size()));
        MatchFinderRollback(&withB, history.data(), static_cast<uint32_t>(a.size()));
        history.resize(a.size());
        history.insert(history.end(), c.begin(), c.end());

        std::vector<uint8_t> plain = a;
        plain.insert(plain.end(), c.begin(), c.end());
        const uint32_t end = static_cast<uint32_t>(plain.size());
        for (uint32_t pos = static_cast<uint32_t>(a.size()); pos < end; pos += 13) {
            std::vector<MatchCandidate> x = Find(&withB, history, pos, end);
            std::vector<MatchCandidate> y = Find(&without, plain, pos, end);
            ASSERT_EQ(x.size(), y.size()) << "B of " << bSize << " bytes, position " << pos;
            for (size_t i = 0; i < x.size(); ++i) {
                ASSERT_EQ(x[i].length, y[i].length);
                ASSERT_EQ(x[i].distance, y[i].distance);
            }
        }
    }
}

// Fresh tables (large enough to be offered large pages, and small), and a
// table reused after use, all hold nothing but "none" at the asked size.
TEST(PackMatchFinder, ResetTablesHoldOnlyNone) {
    for (size_t size : {size_t(1) << 22, size_t(1000), size_t(0)}) {
        std::vector<int32_t> table;
        ResetPositions(&table, size);
        ASSERT_EQ(table.size(), size);
        for (int32_t p : table) ASSERT_EQ(p, -1);
        for (size_t i = 0; i < table.size(); i += 4099) table[i] = static_cast<int32_t>(i);
        ResetPositions(&table, size / 2);
        ASSERT_EQ(table.size(), size / 2);
        for (int32_t p : table) ASSERT_EQ(p, -1);
    }
}

}  // namespace
