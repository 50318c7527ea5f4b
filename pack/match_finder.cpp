#include "pack/match_finder.h"

#include <cstring>

#include "pack/match_bytes.h"
#include "pack/pack_format.h"
#include "platform/platform.h"

namespace {

inline uint32_t Hash3(const uint8_t* p) { return HashOf3(p, kTripleHashBits); }
inline uint32_t Pair(const uint8_t* p) { return PairAt(p); }
inline uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
    return AgreeingLength(a, b, 0, limit);
}

}  // namespace

void MatchFinderInit(MatchFinder* finder, uint32_t maxDepth, uint32_t niceLength, uint32_t hashBits,
                     uint32_t hashBytes) {
    finder->hashBits = hashBits;
    finder->hashBytes = hashBytes;
    ResetPositions(&finder->head, size_t(1) << hashBits);
    ResetPositions(&finder->chain, kChainRing);
    ResetPositions(&finder->pairHead, size_t(1) << 16);
    ResetPositions(&finder->tripleHead, size_t(1) << kTripleHashBits);
    finder->inserted = 0;
    finder->maxDepth = maxDepth;
    finder->niceLength = niceLength;
}

void MatchFinderInsertUpTo(MatchFinder* finder, const uint8_t* data, uint32_t end, uint32_t historySize) {
    // A position needs the bytes after it that its hashes read.
    const uint32_t lookAhead = finder->hashBytes - 1;
    uint32_t limit = historySize >= lookAhead ? historySize - lookAhead : 0;
    if (end < limit) limit = end;
    for (uint32_t pos = finder->inserted; pos < limit; ++pos) {
        uint32_t h = FinderHash(finder, data + pos);
        finder->chain[pos & (kChainRing - 1)] = finder->head[h];
        finder->head[h] = static_cast<int32_t>(pos);
        finder->pairHead[Pair(data + pos)] = static_cast<int32_t>(pos);
        finder->tripleHead[Hash3(data + pos)] = static_cast<int32_t>(pos);
    }
    if (limit > finder->inserted) finder->inserted = limit;
}

void ResetPositions(std::vector<int32_t>* positions, size_t size) {
    if (positions->capacity() < size) {
        // Reserved memory is not touched yet: advised now, it is filled
        // with large pages from the start.
        std::vector<int32_t>().swap(*positions);
        positions->reserve(size);
        AdviseLargePages(positions->data(), size * sizeof(int32_t));
    }
    positions->assign(size, -1);
}

void RebasePositions(std::vector<int32_t>* positions, uint32_t shift) {
    const int32_t s = static_cast<int32_t>(shift);
    for (int32_t& p : *positions) p = p >= s ? p - s : -1;
}

void MatchFinderRebase(MatchFinder* finder, uint32_t shift) {
    RebasePositions(&finder->head, shift);
    RebasePositions(&finder->chain, shift);
    RebasePositions(&finder->pairHead, shift);
    RebasePositions(&finder->tripleHead, shift);
    finder->inserted = finder->inserted >= shift ? finder->inserted - shift : 0;
}

void MatchFinderRollback(MatchFinder* finder, const uint8_t* data, uint32_t from) {
    const uint32_t lookAhead = finder->hashBytes - 1;
    const uint32_t target = from >= lookAhead ? from - lookAhead : 0;
    if (finder->inserted <= target) return;
    if (finder->inserted - target >= kChainRing - kMaxCopyDistance) {
        // Too much to take back exactly: rebuild from the window before it.
        MatchFinderInit(finder, finder->maxDepth, finder->niceLength, finder->hashBits, finder->hashBytes);
        finder->inserted = target > kMaxCopyDistance ? target - kMaxCopyDistance : 0;
        MatchFinderInsertUpTo(finder, data, target, from);
        finder->inserted = target;
        return;
    }
    for (uint32_t pos = finder->inserted; pos-- > target;) {
        uint32_t h = FinderHash(finder, data + pos);
        if (finder->head[h] == static_cast<int32_t>(pos)) finder->head[h] = finder->chain[pos & (kChainRing - 1)];
    }
    // The pair and triple tables keep only the newest position: forget the
    // positions taken out and enter again those a short copy can reach.
    for (int32_t& slot : finder->pairHead) {
        if (slot >= static_cast<int32_t>(target)) slot = -1;
    }
    for (int32_t& slot : finder->tripleHead) {
        if (slot >= static_cast<int32_t>(target)) slot = -1;
    }
    for (uint32_t pos = target > kTripleReach ? target - kTripleReach : 0; pos < target; ++pos) {
        finder->pairHead[Pair(data + pos)] = static_cast<int32_t>(pos);
        finder->tripleHead[Hash3(data + pos)] = static_cast<int32_t>(pos);
    }
    finder->inserted = target;
}

uint32_t FindMatches(const MatchFinder* finder, const uint8_t* data, uint32_t pos, uint32_t available,
                     MatchCandidate* out, uint32_t maxOut) {
    uint32_t count = 0;
    if (available < 2) return 0;
    const uint8_t* here = data + pos;
    uint32_t best = 1;

    // 2-byte copies go only as short copies.
    int32_t pairPos = finder->pairHead[Pair(here)];
    if (pairPos >= 0 && static_cast<uint32_t>(pairPos) < pos &&
        pos - static_cast<uint32_t>(pairPos) <= kShortCopyReach) {
        out[count++] = {2, pos - static_cast<uint32_t>(pairPos)};
        best = 2;
    }
    if (available < 3 || count >= maxOut) return count;

    uint32_t limit = available < kMaxCopyLength ? available : kMaxCopyLength;
    // The newest position with the same 3-byte hash, for short and 3-byte copies.
    int32_t triple = finder->tripleHead[Hash3(here)];
    if (triple >= 0 && static_cast<uint32_t>(triple) < pos && pos - static_cast<uint32_t>(triple) < kTripleReach) {
        uint32_t distance = pos - static_cast<uint32_t>(triple);
        uint32_t length = MatchLength(here, data + triple, limit);
        if (length > MaxLongLength(distance)) length = MaxLongLength(distance);
        if (length >= 3) {
            out[count++] = {length, distance};
            best = length;
            if (length >= finder->niceLength || length >= limit || count >= maxOut) return count;
        }
    }
    if (available < finder->hashBytes) return count;
    int32_t candidate = finder->head[FinderHash(finder, here)];
    uint32_t depth = finder->maxDepth;
    while (candidate >= 0 && depth-- > 0) {
        uint32_t distance = pos - static_cast<uint32_t>(candidate);
        if (candidate >= static_cast<int32_t>(pos)) {
            candidate = finder->chain[static_cast<uint32_t>(candidate) & (kChainRing - 1)];
            continue;
        }
        if (distance > kMaxCopyDistance) break;
        const uint8_t* there = data + candidate;
        if (there[best] == here[best] || best >= limit) {
            uint32_t length = MatchLength(here, there, limit);
            uint32_t maxLength = MaxLongLength(distance);
            if (length > maxLength) length = maxLength;
            if (length > best && length >= MinLongLength(distance)) {
                best = length;
                if (count == maxOut) {
                    out[count - 1] = {length, distance};
                } else {
                    out[count++] = {length, distance};
                }
                if (length >= finder->niceLength || length >= limit) break;
            }
        }
        if (depth == 0) break;  // no need to fetch a link that is not followed
        candidate = finder->chain[static_cast<uint32_t>(candidate) & (kChainRing - 1)];
    }
    return count;
}
