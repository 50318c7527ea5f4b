#include "pack/block_planner.h"

#include <cstring>

#include "pack/symbol_coder.h"

namespace {

enum : uint32_t {
    kChunkTokens = 128,        // blocks start at multiples of this many tokens, or of more:
    kMostChunks = 96,          // the split weighs every pair of chunk boundaries, so a run
                               // of many tokens (incompressible data) gets this many chunks at most
    kTableBlockGuess = 750,    // bits a table block is taken to cost while splitting
    kTableParts = 3,           // literal table, distances, recent lengths: codes of their own
    kLogFractionBits = 16,     // FixedLog2's fraction
    kBitFractionBits = 8,      // the split's costs are counted in 1/256 bits
    kCountLogTable = 1u << 17, // counts below this have their c * log2(c) looked up
};

// log2(x) for x >= 1 in units of 2^-16, by integer arithmetic only: the
// split must come out the same on every machine, so no floating point (whose
// rounding differs between x87 and SSE builds) decides it.
uint32_t FixedLog2(uint32_t x) {
    uint32_t whole = 0;
    while ((x >> whole) > 1) ++whole;
    // x / 2^whole in [1, 2), as a fraction of 2^31; each squaring yields one
    // bit of the logarithm's fraction.
    uint64_t mantissa = static_cast<uint64_t>(x) << (31 - whole);
    uint32_t log = whole << kLogFractionBits;
    for (uint32_t bit = kLogFractionBits; bit-- > 0;) {
        mantissa = (mantissa * mantissa) >> 31;
        if (mantissa >= (uint64_t(1) << 32)) {
            mantissa >>= 1;
            log |= 1u << bit;
        }
    }
    return log;
}

// c * log2(c) in 1/256 bits: the ideal bits of a run of n symbols are
// n * log2(n) minus this summed over the symbols' counts.
uint64_t ComputeCountLog(uint32_t c) {
    return c == 0 ? 0 : (static_cast<uint64_t>(c) * FixedLog2(c)) >> (kLogFractionBits - kBitFractionBits);
}

const uint32_t* CountLogTable() {
    static const std::vector<uint32_t> table = [] {
        std::vector<uint32_t> t(kCountLogTable);
        for (uint32_t c = 0; c < kCountLogTable; ++c) t[c] = static_cast<uint32_t>(ComputeCountLog(c));
        return t;
    }();
    return table.data();
}

inline uint64_t CountLog(const uint32_t* table, uint32_t c) {
    return c < kCountLogTable ? table[c] : ComputeCountLog(c);
}

uint32_t TablePart(uint32_t symbol) {
    return symbol < kDistanceTableOffset ? 0 : symbol < kRecentTableOffset ? 1 : 2;
}

// One symbol's count within a chunk.
struct ChunkCount {
    uint16_t symbol;
    uint16_t part;
    uint32_t count;
};

// Bits of tokens first..last sent with a code of their own (built from their
// counts), the table block included; the code lengths go to lengths.
uint64_t OwnCodeBits(const TokenSymbols& symbols, size_t first, size_t last, const uint8_t* previousLengths,
                     uint8_t* lengths) {
    uint32_t counts[kTableLengthCount];
    CountTokenRange(symbols, first, last, counts);
    BuildTablesFromCounts(counts, lengths);
    return lengths[kSymNewTables] + TableAndSymbolBits(counts, lengths, previousLengths);
}

// Chunk boundaries of the cheapest split by ideal (entropy) bits and a fixed
// guess per table block: a shortest path over the chunk boundaries.
void SplitByEntropy(const TokenSymbols& symbols, size_t count, std::vector<std::pair<size_t, size_t>>* ranges) {
    size_t chunkTokens = (count + kMostChunks - 1) / kMostChunks;
    if (chunkTokens < kChunkTokens) chunkTokens = kChunkTokens;
    const size_t chunks = (count + chunkTokens - 1) / chunkTokens;
    // Each chunk's counts, kept sparse: a chunk uses few of the 374 symbols.
    std::vector<ChunkCount> entries;
    std::vector<size_t> chunkFirst(chunks + 1);
    uint32_t counts[kTableLengthCount];
    for (size_t c = 0; c < chunks; ++c) {
        chunkFirst[c] = entries.size();
        const size_t last = (c + 1) * chunkTokens < count ? (c + 1) * chunkTokens : count;
        CountTokenRange(symbols, c * chunkTokens, last, counts);
        for (uint32_t s = 0; s < kTableLengthCount; ++s) {
            if (counts[s] != 0) {
                entries.push_back({static_cast<uint16_t>(s), static_cast<uint16_t>(TablePart(s)), counts[s]});
            }
        }
    }
    chunkFirst[chunks] = entries.size();

    // best[b]: the fewest bits (in 1/256) of chunks 0..b; from[b]: where its last block starts.
    const uint64_t tableBlock = uint64_t(kTableBlockGuess) << kBitFractionBits;
    std::vector<uint64_t> best(chunks + 1, 0);
    std::vector<size_t> from(chunks + 1, 0);
    std::memset(counts, 0, sizeof(counts));
    const uint32_t* countLog = CountLogTable();
    for (size_t b = 1; b <= chunks; ++b) {
        // Grow the last block backwards a chunk at a time, keeping its
        // counts and the sum of c * log2(c) of each part up to date.
        uint64_t countLogs[kTableParts] = {};
        uint32_t totals[kTableParts] = {};
        best[b] = UINT64_MAX;
        for (size_t a = b; a-- > 0;) {
            for (size_t e = chunkFirst[a]; e < chunkFirst[a + 1]; ++e) {
                const ChunkCount& entry = entries[e];
                const uint32_t before = counts[entry.symbol];
                counts[entry.symbol] = before + entry.count;
                countLogs[entry.part] += CountLog(countLog, before + entry.count) - CountLog(countLog, before);
                totals[entry.part] += entry.count;
            }
            uint64_t own = 0;  // the block's bits under its own code
            for (uint32_t p = 0; p < kTableParts; ++p) {
                const uint64_t whole = CountLog(countLog, totals[p]);
                // Rounding may leave the sum of the parts a little above the whole.
                own += whole > countLogs[p] ? whole - countLogs[p] : 0;
            }
            if (best[a] + own + tableBlock < best[b]) {
                best[b] = best[a] + own + tableBlock;
                from[b] = a;
            }
            // No block starting before a can do better once this one costs a
            // table block more than the best: one code over a'..b costs at
            // least the codes of a'..a and a..b apart, and best[a] is at most
            // best[a'] plus a table block and the code of a'..a.
            if (best[a] + own >= best[b]) break;
        }
        // Clearing every count at once costs less than going back over the
        // entries of a long block.
        std::memset(counts, 0, sizeof(counts));
    }

    std::vector<size_t> ends;
    for (size_t b = chunks; b > 0; b = from[b]) ends.push_back(b);
    size_t begin = 0;
    for (size_t j = ends.size(); j-- > 0;) {
        const size_t end = ends[j] * chunkTokens < count ? ends[j] * chunkTokens : count;
        ranges->push_back({begin, end});
        begin = end;
    }
}

}  // namespace

void CountTokenRange(const TokenSymbols& symbols, size_t first, size_t last, uint32_t* counts) {
    // Tokens without a second symbol count it in a slot past the table's:
    // a test per token whether there is one went wrong too often to guess.
    uint32_t all[kTableLengthCount + 1] = {};
    for (size_t t = first; t < last; ++t) {
        all[symbols.main[t]] += 1;
        const uint32_t second = symbols.second[t];
        all[second == kNoSecond ? kTableLengthCount : second] += 1;
    }
    std::memcpy(counts, all, sizeof(uint32_t) * kTableLengthCount);
}

void PlanBlockRanges(const TokenSymbols& symbols, size_t count, const uint8_t* previousLengths,
                     std::vector<std::pair<size_t, size_t>>* ranges) {
    ranges->clear();
    if (count == 0) {
        ranges->push_back({0, 0});
        return;
    }
    std::vector<std::pair<size_t, size_t>> guessed;
    SplitByEntropy(symbols, count, &guessed);
    // The guess of a table block's cost is rough: neighbours whose real codes
    // (table blocks included) cost no less apart than together are joined.
    uint8_t leftLengths[kTableLengthCount];
    uint8_t rightLengths[kTableLengthCount];
    for (const auto& range : guessed) {
        if (!ranges->empty()) {
            auto& last = ranges->back();
            const uint64_t apart = OwnCodeBits(symbols, last.first, last.second, previousLengths, leftLengths) +
                                   OwnCodeBits(symbols, range.first, range.second, leftLengths, rightLengths);
            const uint64_t joined = OwnCodeBits(symbols, last.first, range.second, previousLengths, rightLengths);
            if (joined <= apart) {
                last.second = range.second;
                continue;
            }
        }
        ranges->push_back(range);
    }
}
