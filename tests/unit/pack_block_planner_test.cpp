// Where the optimal levels start new code tables within a stretch.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "pack/block_planner.h"
#include "pack/symbol_coder.h"

namespace {

// Appends count tokens: literals drawn from the bytes first..first+spread-1,
// and every fourth token a long copy (slot symbol and distance symbol) from
// the given slots.
void AppendTokens(TokenSymbols* symbols, size_t count, uint16_t first, uint16_t spread, uint16_t lengthSlot,
                  uint16_t distanceSlot, uint32_t seed) {
    std::mt19937 random(seed);
    for (size_t t = 0; t < count; ++t) {
        if (t % 4 == 3) {
            symbols->main.push_back(static_cast<uint16_t>(kSymLongFirst + lengthSlot + random() % 3));
            symbols->second.push_back(static_cast<uint16_t>(kDistanceTableOffset + distanceSlot + random() % 4));
        } else {
            symbols->main.push_back(static_cast<uint16_t>(first + random() % spread));
            symbols->second.push_back(kNoSecond);
        }
    }
}

std::vector<std::pair<size_t, size_t>> Plan(const TokenSymbols& symbols) {
    static const uint8_t kNoLengths[kTableLengthCount] = {};
    std::vector<std::pair<size_t, size_t>> ranges;
    PlanBlockRanges(symbols, symbols.main.size(), kNoLengths, &ranges);
    return ranges;
}

void ExpectRangesCoverEveryToken(const std::vector<std::pair<size_t, size_t>>& ranges, size_t count) {
    ASSERT_FALSE(ranges.empty());
    EXPECT_EQ(ranges.front().first, 0u);
    EXPECT_EQ(ranges.back().second, count);
    for (size_t r = 0; r < ranges.size(); ++r) {
        if (count != 0) {
            EXPECT_LT(ranges[r].first, ranges[r].second) << "range " << r;
        }
        if (r > 0) {
            EXPECT_EQ(ranges[r].first, ranges[r - 1].second) << "range " << r;
        }
    }
}

TEST(PackBlockPlanner, RangesCoverEveryTokenInOrder) {
    for (size_t count : {0u, 1u, 127u, 128u, 129u, 5000u, 20011u}) {
        TokenSymbols symbols;
        // Statistics that change every 700 tokens, so that most runs split.
        for (size_t done = 0; done < count; done += 700) {
            const size_t part = count - done < 700 ? count - done : 700;
            AppendTokens(&symbols, part, static_cast<uint16_t>((done / 700) % 2 ? 128 : 0), 40, 2, 20,
                         static_cast<uint32_t>(done));
        }
        SCOPED_TRACE(count);
        ExpectRangesCoverEveryToken(Plan(symbols), count);
    }
}

TEST(PackBlockPlanner, OneCodeWhileTheStatisticsStayTheSame) {
    TokenSymbols symbols;
    AppendTokens(&symbols, 30000, 32, 64, 4, 24, 1);
    const auto ranges = Plan(symbols);
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(ranges[0].second, 30000u);
}

TEST(PackBlockPlanner, NewCodeCloseToWhereTheStatisticsChange) {
    // The change falls far from any halving of the run: a split found only
    // by halving lands a few hundred tokens off, or nowhere. A long run (as
    // many tokens as incompressible data gives) is weighed in coarser steps.
    struct Case {
        size_t count;
        size_t change;
        size_t within;
    };
    for (const Case& c : {Case{8192, 2600, 128}, Case{8192, 5300, 128}, Case{65536, 41000, 700}}) {
        TokenSymbols symbols;
        AppendTokens(&symbols, c.change, 0, 16, 0, 10, 2);
        AppendTokens(&symbols, c.count - c.change, 160, 16, 12, 30, 3);
        const auto ranges = Plan(symbols);
        SCOPED_TRACE(c.change);
        ExpectRangesCoverEveryToken(ranges, c.count);
        ASSERT_EQ(ranges.size(), 2u);
        const size_t boundary = ranges[0].second;
        EXPECT_LT(boundary > c.change ? boundary - c.change : c.change - boundary, c.within) << "split at " << boundary;
    }
}

}  // namespace
