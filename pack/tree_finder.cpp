#include "pack/tree_finder.h"

#include <cstring>

#include "pack/match_bytes.h"
#include "pack/pack_format.h"

namespace {

const uint32_t kHeadLookAhead = 8;     // positions ahead whose tree root is fetched early
const uint32_t kRootLookAhead = 4;     // positions ahead whose root node's links are fetched early
const int32_t kNone = -1;

// (Every position this finder hashes has four bytes from it.)
inline uint32_t Hash3(const uint8_t* p) { return HashOf3Within4(p, kTripleHashBits); }
inline uint32_t Hash4(const uint8_t* p) { return HashOf4(p, kTreeHashBits); }
inline uint32_t Pair(const uint8_t* p) { return PairAt(p); }
inline uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t start, uint32_t limit) {
    return AgreeingLength(a, b, start, limit);
}

// One descent of pos's tree: re-links the nodes passed around pos, which
// becomes the root. A search (kSearch) also records in out each longer match
// met on the way (the nodes are met newest first, so each length at its
// nearest distance); an insertion records nothing.
// Kept out of line: inlined into the stretch's search loop, its own loop ran
// short of registers and kept the match length on the stack (6% slower at
// level 4).
template <bool kSearch>
__attribute__((noinline)) uint32_t Descend(TreeFinder* finder, const uint8_t* data, uint32_t pos,
                                           uint32_t compareLimit, uint32_t available, uint32_t best,
                                           MatchCandidate* out, uint32_t count, uint32_t maxOut) {
    const uint8_t* here = data + pos;
    uint32_t h = Hash4(here);
    int32_t candidate = finder->head[h];
    finder->head[h] = static_cast<int32_t>(pos);
    int32_t* children = finder->children.data();
    int32_t* smaller = &children[2 * (pos & (kTreeRing - 1))];
    int32_t* larger = smaller + 1;
    uint32_t smallerLength = 0;
    uint32_t largerLength = 0;
    uint32_t depth = finder->maxDepth;
    for (;;) {
        if (candidate < 0 || pos - static_cast<uint32_t>(candidate) > kMaxCopyDistance || depth-- == 0) {
            *smaller = kNone;
            *larger = kNone;
            break;
        }
        const uint32_t distance = pos - static_cast<uint32_t>(candidate);
        const uint8_t* there = data + candidate;
        int32_t* pair = &children[2 * (static_cast<uint32_t>(candidate) & (kTreeRing - 1))];
        // Whichever way the comparison below goes, the next node is one of
        // these two: fetching both links now overlaps the fetch with the
        // comparison instead of waiting for it afterwards. (kNone masks to
        // the last slot, a harmless fetch.)
        __builtin_prefetch(&children[2 * (static_cast<uint32_t>(pair[0]) & (kTreeRing - 1))], 1);
        __builtin_prefetch(&children[2 * (static_cast<uint32_t>(pair[1]) & (kTreeRing - 1))], 1);
        uint32_t known = smallerLength < largerLength ? smallerLength : largerLength;
        uint32_t length = MatchLength(here, there, known, compareLimit);
        if (kSearch && length > best) {
            // The first `known` bytes are measured again: a tree built over a
            // shorter history may promise a common prefix that is not there.
            // (The bytes after them were compared just now.)
            const uint32_t limit = length < available ? length : available;
            const uint32_t promised = known < limit ? known : limit;
            uint32_t usable;
            if (promised < 8 && compareLimit >= 8) {
                // (Most promises are that short: one comparison of eight
                // bytes, which compareLimit says are there, settles it.)
                uint64_t x;
                uint64_t y;
                std::memcpy(&x, here, 8);
                std::memcpy(&y, there, 8);
                const uint32_t agreed = static_cast<uint32_t>(__builtin_ctzll((x ^ y) | (uint64_t(1) << 63)) >> 3);
                usable = agreed < promised ? agreed : promised;
            } else {
                usable = MatchLength(here, there, 0, promised);
            }
            if (usable == promised) usable = limit;
            if (usable > MaxLongLength(distance)) usable = MaxLongLength(distance);
            if (usable > best && usable >= MinLongLength(distance)) {
                best = usable;
                if (count == maxOut) {
                    out[count - 1] = {usable, distance};
                } else {
                    out[count++] = {usable, distance};
                }
            }
        }
        if (length >= compareLimit) {
            // Equal as far as the tree compares: pos takes the node's place.
            *smaller = pair[0];
            *larger = pair[1];
            break;
        }
        if (there[length] < here[length]) {
            *smaller = candidate;
            smaller = &pair[1];
            candidate = *smaller;
            smallerLength = length;
        } else {
            *larger = candidate;
            larger = &pair[0];
            candidate = *larger;
            largerLength = length;
        }
    }
    return count;
}

inline uint32_t CompareLimit(const TreeFinder* finder, uint32_t pos, uint32_t historySize) {
    uint32_t left = historySize - pos;
    return left < finder->niceLength ? left : finder->niceLength;
}

// pos becomes the newest position of its 2-byte value and 3-byte hash.
inline void TakeInShortHeads(TreeFinder* finder, const uint8_t* data, uint32_t pos) {
    finder->pairHead[Pair(data + pos)] = static_cast<int32_t>(pos);
    finder->tripleHead[Hash3(data + pos)] = static_cast<int32_t>(pos);
}

inline void InsertOne(TreeFinder* finder, const uint8_t* data, uint32_t pos, uint32_t historySize) {
    TakeInShortHeads(finder, data, pos);
    Descend<false>(finder, data, pos, CompareLimit(finder, pos, historySize), 0, 0, nullptr, 0, 0);
}

// A position inside a long match found before it: the match, shortened,
// stands for its own search. The short-copy heads still take it in, cheaply.
uint32_t PassOver(TreeFinder* finder, const uint8_t* data, uint32_t pos, uint32_t available, uint32_t historySize,
                  MatchCandidate* out, uint32_t maxOut) {
    if (pos + 4 <= historySize) TakeInShortHeads(finder, data, pos);
    finder->inserted = pos + 1;
    std::vector<PassedOver>& passed = finder->passedOver;
    if (!passed.empty() && passed.back().end == pos) {
        passed.back().end = pos + 1;
    } else {
        passed.push_back({pos, pos + 1});
    }
    const uint32_t distance = finder->passOverDistance;
    uint32_t length = finder->passOverEnd - pos;
    if (length > available) length = available;
    if (maxOut == 0 || length < MinLongLength(distance)) return 0;
    out[0] = {length, distance};
    return 1;
}

}  // namespace

void TreeFinderInit(TreeFinder* finder, uint32_t maxDepth, uint32_t niceLength, uint32_t passOverLength) {
    ResetPositions(&finder->head, size_t(1) << kTreeHashBits);
    ResetPositions(&finder->children, size_t(2) * kTreeRing);
    ResetPositions(&finder->pairHead, size_t(1) << 16);
    ResetPositions(&finder->tripleHead, size_t(1) << kTripleHashBits);
    finder->inserted = 0;
    finder->maxDepth = maxDepth;
    finder->niceLength = niceLength < 4 ? 4 : niceLength;
    finder->passOverLength = passOverLength;
    finder->passOverEnd = 0;
    finder->passOverDistance = 0;
    finder->passedOver.clear();
}

void TreeInsertUpTo(TreeFinder* finder, const uint8_t* data, uint32_t end, uint32_t historySize) {
    // A position needs the four bytes from it for its hash.
    uint32_t limit = historySize >= 4 ? historySize - 3 : 0;
    if (end < limit) limit = end;
    for (uint32_t pos = finder->inserted; pos < limit; ++pos) InsertOne(finder, data, pos, historySize);
    if (limit > finder->inserted) finder->inserted = limit;
}

uint32_t TreeFindMatches(TreeFinder* finder, const uint8_t* data, uint32_t pos, uint32_t available,
                         uint32_t historySize, MatchCandidate* out, uint32_t maxOut) {
    // (Searched in order, the positions before pos are in already.)
    if (finder->inserted < pos) TreeInsertUpTo(finder, data, pos, historySize);
    // The roots of a position a few steps on are fetched now: the heads are
    // too many for the cache beside the trees, and the positions come in order.
    if (pos + kHeadLookAhead + 4 <= historySize) {
        __builtin_prefetch(&finder->pairHead[Pair(data + pos + kHeadLookAhead)], 1);
        __builtin_prefetch(&finder->tripleHead[Hash3(data + pos + kHeadLookAhead)], 1);
        // (A position that will be passed over needs no tree root.)
        if (pos + kHeadLookAhead >= finder->passOverEnd) {
            __builtin_prefetch(&finder->head[Hash4(data + pos + kHeadLookAhead)], 1);
        }
        if (pos + kRootLookAhead >= finder->passOverEnd) {
            // The root's own links, once its head (fetched above a few
            // positions ago) is here: every descent starts by waiting for
            // them otherwise.
            const int32_t root = finder->head[Hash4(data + pos + kRootLookAhead)];
            __builtin_prefetch(&finder->children[2 * (static_cast<uint32_t>(root) & (kTreeRing - 1))], 1);
            if (root >= 0) __builtin_prefetch(data + root);
        }
    }
    if (pos < finder->passOverEnd && pos == finder->inserted) {
        return PassOver(finder, data, pos, available, historySize, out, maxOut);
    }
    if (available < 2 || maxOut == 0 || pos < finder->inserted) return 0;
    const uint8_t* here = data + pos;
    uint32_t count = 0;
    uint32_t best = 1;
    int32_t pairPos = finder->pairHead[Pair(here)];
    if (pairPos >= 0 && pos - static_cast<uint32_t>(pairPos) <= kShortCopyReach) {
        out[count++] = {2, pos - static_cast<uint32_t>(pairPos)};
        best = 2;
    }
    if (historySize - pos < 4) return count;
    int32_t triple = finder->tripleHead[Hash3(here)];
    if (available >= 3 && count < maxOut && triple >= 0 && pos - static_cast<uint32_t>(triple) < kTripleReach) {
        uint32_t distance = pos - static_cast<uint32_t>(triple);
        uint32_t limit = available < MaxLongLength(distance) ? available : MaxLongLength(distance);
        uint32_t length = MatchLength(here, data + triple, 0, limit);
        if (length >= 3) {
            out[count++] = {length, distance};
            best = length;
        }
    }
    TakeInShortHeads(finder, data, pos);
    count = Descend<true>(finder, data, pos, CompareLimit(finder, pos, historySize), available, best, out, count, maxOut);
    finder->inserted = pos + 1;
    if (finder->passOverLength != 0 && count != 0 && out[count - 1].length >= finder->passOverLength) {
        finder->passOverEnd = pos + out[count - 1].length;
        finder->passOverDistance = out[count - 1].distance;
    }
    return count;
}

void TreeFinderRebase(TreeFinder* finder, uint32_t shift) {
    for (std::vector<int32_t>* positions : {&finder->head, &finder->children, &finder->pairHead, &finder->tripleHead}) {
        RebasePositions(positions, shift);
    }
    finder->inserted = finder->inserted >= shift ? finder->inserted - shift : 0;
    finder->passOverEnd = finder->passOverEnd >= shift ? finder->passOverEnd - shift : 0;
    std::vector<PassedOver> kept;
    for (const PassedOver& passed : finder->passedOver) {
        if (passed.end > shift) kept.push_back({passed.begin > shift ? passed.begin - shift : 0, passed.end - shift});
    }
    finder->passedOver.swap(kept);
}

void TreeFinderRollback(TreeFinder* finder, const uint8_t* data, uint32_t from) {
    std::vector<PassedOver> passed;
    passed.swap(finder->passedOver);
    while (!passed.empty() && passed.back().begin >= from) passed.pop_back();
    if (!passed.empty() && passed.back().end > from) passed.back().end = from;
    if (finder->inserted <= (from >= 3 ? from - 3 : 0)) {
        finder->passedOver.swap(passed);
        return;
    }
    TreeFinderInit(finder, finder->maxDepth, finder->niceLength, finder->passOverLength);
    const uint32_t start = from > kMaxCopyDistance ? from - kMaxCopyDistance : 0;
    finder->inserted = start;
    // The positions between those passed over go in, in order.
    for (const PassedOver& skipped : passed) {
        if (skipped.end <= finder->inserted) continue;
        TreeInsertUpTo(finder, data, skipped.begin, from);
        finder->inserted = skipped.end;
    }
    TreeInsertUpTo(finder, data, from, from);
    finder->passedOver.swap(passed);
}
