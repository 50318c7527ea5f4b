// Hash-chain match finder over the encoder's history: every byte that has
// entered the decoder's window, compressed entries only, in order.
#pragma once
#include <cstdint>
#include <vector>

#include "pack/match_bytes.h"

struct MatchCandidate {
    uint32_t length;
    uint32_t distance;
};

struct MatchFinder {
    std::vector<int32_t> head;      // newest position of each 4-byte hash, or -1
    std::vector<int32_t> chain;     // previous position with the same hash, per position (ring)
    std::vector<int32_t> pairHead;  // newest position of each 2-byte value, or -1
    std::vector<int32_t> tripleHead;  // newest position of each 3-byte hash, or -1
    uint32_t inserted;              // positions below this are in the chains
    uint32_t maxDepth;              // candidates looked at per search
    uint32_t niceLength;            // a match this long ends the search
    uint32_t hashBits;              // size of head: 2^hashBits entries
    uint32_t hashBytes;             // bytes hashed for head: 4, or 5 (fewer chance meetings)
};

enum : uint32_t {
    kFastHashBits = 17,  // a table that stays in the cache, for the fastest level
    kChainHashBits = 18,  // fewer strangers on a chain, so that a short walk meets real matches
    kTripleHashBits = 16,
    kTripleReach = 0x2000,  // 3-byte copies cannot reach farther
    kChainRingBits = 21,  // twice the window: a rollback within one window is exact
    kChainRing = 1u << kChainRingBits,
};

void MatchFinderInit(MatchFinder* finder, uint32_t maxDepth, uint32_t niceLength, uint32_t hashBits,
                     uint32_t hashBytes);

// The head slot of the position at p (finder->hashBytes bytes from p are read).
inline uint32_t FinderHash(const MatchFinder* finder, const uint8_t* p) {
    return finder->hashBytes == 5 ? HashOf5(p, finder->hashBits) : HashOf4(p, finder->hashBits);
}
// Inserts the positions below end whose hash bytes lie within the history's
// historySize bytes (data is the whole history).
void MatchFinderInsertUpTo(MatchFinder* finder, const uint8_t* data, uint32_t end, uint32_t historySize);
// Makes the table size entries of -1 (none). A table allocated afresh is
// first offered large pages, which the finders' scattered lookups favour.
void ResetPositions(std::vector<int32_t>* positions, size_t size);
// Moves every position in the table shift bytes down; those below shift
// become -1 (none).
void RebasePositions(std::vector<int32_t>* positions, uint32_t shift);

// Moves every position the finder holds shift bytes down (those below shift
// are forgotten), for a history whose first shift bytes are dropped. shift
// must be a multiple of kChainRing, so that each position keeps its link.
void MatchFinderRebase(MatchFinder* finder, uint32_t shift);

// Takes out again every position whose hash looked at a byte from `from` on,
// so that the history can be cut back to `from` bytes.
void MatchFinderRollback(MatchFinder* finder, const uint8_t* data, uint32_t from);

// Finds matches for position pos: the positions before it must have been
// inserted, pos itself not yet; `available` bytes of the current entry
// start at pos.
// Fills up to maxOut candidates of increasing length, each the nearest found
// of its length, that the format can send as a long copy (3 bytes or more,
// 4 from 0x2000, 5 from 0x40000) or, for 2 bytes, as a short copy. Returns
// the count.
uint32_t FindMatches(const MatchFinder* finder, const uint8_t* data, uint32_t pos, uint32_t available,
                     MatchCandidate* out, uint32_t maxOut);

// Length of the common run of a and b, at most limit bytes.
inline uint32_t CommonLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
    return AgreeingLength(a, b, 0, limit);
}
