#include "pack/match_bytes.h"
#include "pack/parse.h"

namespace {

enum : uint32_t {
    kMissShift = 7,  // every 128 misses in a row, the step over the data grows by one byte
    kCopyHeadInserts = 3,  // positions at a copy's start that enter the finder
};

inline uint32_t Load4(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// Whether sending the copy costs fewer bits than sending its bytes as
// literals; only short copies are weighed (a long one always pays).
inline bool CopyPays(const ParseInput& input, const CopyHistory& copies, uint32_t pos, uint32_t length,
                     uint32_t distance) {
    if (length >= 8) return true;
    CodedSymbol symbol;
    uint32_t price = ChooseCopySymbol(length, distance, copies, input.prices, &symbol);
    uint32_t literals = 0;
    for (uint32_t i = 0; i < length; ++i) literals += input.prices[input.history[pos + i]];
    return price < literals;
}

// Puts at into its hash chain; returns the position that was newest before it.
inline int32_t Insert(MatchFinder* finder, const uint8_t* data, uint32_t at) {
    uint32_t h = FinderHash(finder, data + at);
    int32_t previous = finder->head[h];
    finder->chain[at & (kChainRing - 1)] = previous;
    finder->head[h] = static_cast<int32_t>(at);
    return previous;
}

}  // namespace

void ParseFast(const ParseInput& input, CopyHistory* copies, std::vector<Token>* tokens) {
    MatchFinder* finder = input.finder;
    const uint8_t* data = input.history;
    // Positions whose hashed bytes are all known.
    const uint32_t lookAhead = finder->hashBytes - 1;
    const uint32_t hashEnd = input.historySize > lookAhead ? input.historySize - lookAhead : 0;
    // Positions the finder has not seen yet (the last stretch of the entry
    // before stopped short of its end) go in first.
    MatchFinderInsertUpTo(finder, data, input.begin, input.historySize);
    uint32_t pos = input.begin;
    uint32_t misses = 0;
    while (pos < input.end) {
        const uint32_t available = input.end - pos;
        if (pos >= hashEnd || available < 4) {
            tokens->push_back({1, 0});
            ++pos;
            continue;
        }
        const uint8_t* here = data + pos;
        const uint32_t reach = pos - input.windowStart;
        const uint32_t head = Load4(here);
        uint32_t length = 0;
        uint32_t distance = 0;
        // The recent distances first: they are the cheapest copies to send.
        // The newest one is taken as soon as it matches.
        for (uint32_t k = 0; k < 4; ++k) {
            uint32_t d = RecentDistance(*copies, k);
            if (d == 0 || d > reach || Load4(here - d) != head) continue;
            uint32_t limit = MaxRecentLength(d) < available ? MaxRecentLength(d) : available;
            uint32_t l = AgreeingLength(here, here - d, 4, limit);
            if (l > length + (k > 0 ? 1 : 0)) length = l, distance = d;
            if (k == 0) break;
        }
        int32_t candidate = Insert(finder, data, pos);
        if (length == 0 && candidate >= 0) {
            uint32_t d = pos - static_cast<uint32_t>(candidate);
            if (d <= kMaxCopyDistance && d <= reach && Load4(data + candidate) == head) {
                uint32_t limit = MaxLongLength(d) < available ? MaxLongLength(d) : available;
                uint32_t l = AgreeingLength(here, data + candidate, 4, limit);
                if (l >= MinLongLength(d)) length = l, distance = d;
            }
        }
        if (length == 0 || !CopyPays(input, *copies, pos, length, distance)) {
            // Data that keeps missing is passed over faster: a long run of
            // misses takes ever bigger steps, each byte a literal.
            uint32_t step = 1 + (misses++ >> kMissShift);
            if (step > available) step = available;
            for (uint32_t i = 0; i < step; ++i) tokens->push_back({1, 0});
            pos += step;
            continue;
        }
        misses = 0;
        tokens->push_back({length, distance});
        RecordCopy(copies, length, distance);
        // The first positions of a copy and its last one enter the finder:
        // enough to find the next repeat without indexing all of it.
        const uint32_t copyEnd = pos + length;
        for (uint32_t at = pos + 1; at < pos + kCopyHeadInserts && at < copyEnd && at < hashEnd; ++at) {
            Insert(finder, data, at);
        }
        if (copyEnd - 1 >= pos + kCopyHeadInserts && copyEnd - 1 < hashEnd) Insert(finder, data, copyEnd - 1);
        pos = copyEnd;
    }
    // The finder has seen everything up to here but the positions skipped.
    const uint32_t done = pos < hashEnd ? pos : hashEnd;
    if (done > finder->inserted) finder->inserted = done;
}
