// Where a run of parsed tokens should start code tables of its own: each
// table block costs hundreds of bits, so a new code pays only where the
// statistics of the symbols change enough.
#pragma once
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// The symbols each token of a run is sent with.
struct TokenSymbols {
    std::vector<uint16_t> main;    // literal-table symbol
    std::vector<uint16_t> second;  // distance or recent-length symbol (index into the 374 lengths), or kNoSecond
};

// Counts the symbols of tokens first..last into counts (374, cleared first).
void CountTokenRange(const TokenSymbols& symbols, size_t first, size_t last, uint32_t* counts);

// Splits tokens 0..count into ranges, each to be sent with a code built from
// its own counts, so that the symbols and table blocks together cost about
// the fewest bits. The ranges are in order, cover every token, and none is
// empty (one range 0..0 when count is 0). previousLengths: the lengths the
// first table block would be sent against.
void PlanBlockRanges(const TokenSymbols& symbols, size_t count, const uint8_t* previousLengths,
                     std::vector<std::pair<size_t, size_t>>* ranges);
