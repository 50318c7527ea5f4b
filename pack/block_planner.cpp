#include "pack/block_planner.h"

#include <cmath>
#include <cstring>

#include "pack/symbol_coder.h"

namespace {

enum : uint32_t {
    kChunkTokens = 128,        // blocks start at multiples of this many tokens
    kTableBlockGuess = 750,    // bits a table block is taken to cost while splitting
    kCountLogTable = 1u << 16, // counts below this have c * log2(c) looked up
    kTableParts = 3,           // literal table, distances, recent lengths: codes of their own
};

// c * log2(c) for the counts below kCountLogTable: the ideal bits of a run
// of n symbols are n * log2(n) minus this summed over the symbols' counts.
const float* CountLogTable() {
    static const std::vector<float> table = [] {
        std::vector<float> t(kCountLogTable);
        for (uint32_t i = 1; i < kCountLogTable; ++i) t[i] = static_cast<float>(i * std::log2(static_cast<double>(i)));
        return t;
    }();
    return table.data();
}

inline double CountLog(const float* table, uint32_t c) {
    return c < kCountLogTable ? table[c] : c * std::log2(static_cast<double>(c));
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
    const size_t chunks = (count + kChunkTokens - 1) / kChunkTokens;
    // Each chunk's counts, kept sparse: a chunk uses few of the 374 symbols.
    std::vector<ChunkCount> entries;
    std::vector<size_t> chunkFirst(chunks + 1);
    uint32_t counts[kTableLengthCount];
    for (size_t c = 0; c < chunks; ++c) {
        chunkFirst[c] = entries.size();
        const size_t last = (c + 1) * kChunkTokens < count ? (c + 1) * kChunkTokens : count;
        CountTokenRange(symbols, c * kChunkTokens, last, counts);
        for (uint32_t s = 0; s < kTableLengthCount; ++s) {
            if (counts[s] != 0) {
                entries.push_back({static_cast<uint16_t>(s), static_cast<uint16_t>(TablePart(s)), counts[s]});
            }
        }
    }
    chunkFirst[chunks] = entries.size();

    // best[b]: the fewest bits of chunks 0..b; from[b]: where its last block starts.
    std::vector<double> best(chunks + 1, 0.0);
    std::vector<size_t> from(chunks + 1, 0);
    std::memset(counts, 0, sizeof(counts));
    const float* countLog = CountLogTable();
    for (size_t b = 1; b <= chunks; ++b) {
        // Grow the last block backwards a chunk at a time, keeping its
        // counts and the sum of c * log2(c) of each part up to date.
        double countLogs[kTableParts] = {};
        uint32_t totals[kTableParts] = {};
        best[b] = HUGE_VAL;
        size_t lowest = 0;  // the first chunk added to the counts
        for (size_t a = b; a-- > 0;) {
            for (size_t e = chunkFirst[a]; e < chunkFirst[a + 1]; ++e) {
                const ChunkCount& entry = entries[e];
                const uint32_t before = counts[entry.symbol];
                counts[entry.symbol] = before + entry.count;
                countLogs[entry.part] += CountLog(countLog, before + entry.count) - CountLog(countLog, before);
                totals[entry.part] += entry.count;
            }
            double own = 0;  // the block's bits under its own code
            for (uint32_t p = 0; p < kTableParts; ++p) own += CountLog(countLog, totals[p]) - countLogs[p];
            if (best[a] + own + kTableBlockGuess < best[b]) {
                best[b] = best[a] + own + kTableBlockGuess;
                from[b] = a;
            }
            // No block starting before a can do better once this one costs a
            // table block more than the best: one code over a'..b costs at
            // least the codes of a'..a and a..b apart, and best[a] is at most
            // best[a'] plus a table block and the code of a'..a.
            if (best[a] + own >= best[b]) {
                lowest = a;
                break;
            }
        }
        for (size_t e = chunkFirst[lowest]; e < chunkFirst[b]; ++e) counts[entries[e].symbol] = 0;
    }

    std::vector<size_t> ends;
    for (size_t b = chunks; b > 0; b = from[b]) ends.push_back(b);
    size_t begin = 0;
    for (size_t j = ends.size(); j-- > 0;) {
        const size_t end = ends[j] * kChunkTokens < count ? ends[j] * kChunkTokens : count;
        ranges->push_back({begin, end});
        begin = end;
    }
}

}  // namespace

void CountTokenRange(const TokenSymbols& symbols, size_t first, size_t last, uint32_t* counts) {
    std::memset(counts, 0, sizeof(uint32_t) * kTableLengthCount);
    for (size_t t = first; t < last; ++t) {
        counts[symbols.main[t]] += 1;
        if (symbols.second[t] != kNoSecond) counts[symbols.second[t]] += 1;
    }
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
