// Binary-tree match finder for the optimal levels: one descent per position
// both finds every useful match length (each at the nearest distance that
// reaches it) and inserts the position, so no chain is walked twice.
#pragma once
#include <cstdint>
#include <vector>

#include "pack/match_finder.h"

// Positions a search passed over, begin..end-1 (they are not in the trees).
struct PassedOver {
    uint32_t begin;
    uint32_t end;
};

struct TreeFinder {
    std::vector<int32_t> head;        // newest position of each 4-byte hash (the root of its tree), or -1
    std::vector<int32_t> children;    // two per position (ring): smaller and larger suffixes
    std::vector<int32_t> pairHead;    // newest position of each 2-byte value, or -1
    std::vector<int32_t> tripleHead;  // newest position of each 3-byte hash, or -1
    uint32_t inserted;                // positions below this are in the trees (or were passed over)
    uint32_t maxDepth;                // nodes visited per descent
    uint32_t niceLength;              // a match this long ends the descent
    uint32_t passOverLength;          // a match found this long: the positions it covers are passed over (0: never)
    uint32_t passOverEnd;             // the end of the match being passed over (0: none)
    uint32_t passOverDistance;        // and its distance
    std::vector<PassedOver> passedOver;  // in order, so that a rollback rebuilds the trees without them
};

enum : uint32_t {
    kTreeHashBits = 20,
    kTreeRingBits = 21,  // above the window, so a node never meets itself a ring later
    kTreeRing = 1u << kTreeRingBits,
};

// passOverLength 0 searches and inserts every position; otherwise see
// TreeFindMatches.
void TreeFinderInit(TreeFinder* finder, uint32_t maxDepth, uint32_t niceLength, uint32_t passOverLength);

// Finds the matches of pos and inserts it; every position before pos from
// finder->inserted on is inserted first without a search. historySize bytes
// of data are known; `available` of them, from pos on, may be copied (the
// rest of the parsed stretch). Fills candidates of increasing length as
// FindMatches does and returns their count.
// Once a search finds a match of passOverLength or more, the positions that
// match covers, asked for in order, are neither searched nor inserted into
// the trees: each gets the rest of that match as its only candidate (a parse
// takes so long a match whole, and what they hold is found again at the
// match's source). Only their 2- and 3-byte heads are kept.
uint32_t TreeFindMatches(TreeFinder* finder, const uint8_t* data, uint32_t pos, uint32_t available,
                         uint32_t historySize, MatchCandidate* out, uint32_t maxOut);

// Inserts the positions below end without searching them.
void TreeInsertUpTo(TreeFinder* finder, const uint8_t* data, uint32_t end, uint32_t historySize);

// Moves every position the trees hold shift bytes down (those below shift
// are forgotten), for a history whose first shift bytes are dropped. shift
// must be a multiple of kTreeRing, so that each node keeps its children.
void TreeFinderRebase(TreeFinder* finder, uint32_t shift);

// Forgets every position from `from` on: the trees are rebuilt from the
// window before it (positions never leave a tree one by one), as they were
// (the positions passed over stay out).
void TreeFinderRollback(TreeFinder* finder, const uint8_t* data, uint32_t from);
