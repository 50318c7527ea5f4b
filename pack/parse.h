// Parsers: split a stretch of the current entry into literals and copies.
// Every copy they produce is one the format can send in the copy history
// the stretch starts with (the history evolves the same way whatever symbols
// later send the copies).
#pragma once
#include <cstdint>
#include <vector>

#include "pack/match_finder.h"
#include "pack/pack_format.h"
#include "pack/symbol_coder.h"
#include "pack/tree_finder.h"

// What the optimal parser learns as it goes: the symbol counts of its final
// parses and of the quick parses that planned them, over the stretches so
// far (each older one weighing a quarter less). The quick parse takes the
// longest copy everywhere, the final one weighs every choice: scaling the
// quick counts by how the two differed gives the first pass prices much
// nearer the ones the final parse meets.
struct ParseLearning {
    uint64_t finalCounts[kTableLengthCount];
    uint64_t quickCounts[kTableLengthCount];
    bool known;  // a stretch has gone into the counts
};

struct ParseInput {
    const uint8_t* history;  // every byte of the window so far; the stretch lies inside
    uint32_t begin;          // first position of the stretch
    uint32_t end;            // end of the stretch (never beyond the entry's end)
    uint32_t windowStart;    // copies cannot reach before this position
    MatchFinder* finder;
    const uint32_t* prices;  // symbol prices in bits (374), for the choices
    const TableState* tables;  // the code in force, or null: whether a new one would pay
    TreeFinder* tree;        // the optimal parser's finder (the greedy ones use finder)
    uint32_t historySize;    // bytes of history known (the finder may look past end)
    ParseLearning* learning; // the optimal parser's, kept from stretch to stretch; or null: none
};

// The stretch of the whole input that starts at begin: size bytes, or what
// is left of the input when that is less.
inline ParseInput StretchOf(const ParseInput& whole, uint32_t begin, uint32_t size) {
    ParseInput stretch = whole;
    stretch.begin = begin;
    stretch.end = whole.end - begin > size ? begin + size : whole.end;
    return stretch;
}

// Greedy parse (lazy: also tries a literal first when the next position
// offers a better copy). Updates history with the copies it makes.
void ParseGreedy(const ParseInput& input, bool lazy, CopyHistory* copies, std::vector<Token>* tokens);

// Fastest parse: the last distance and one hash probe per position, each
// copy taken as found; only a few positions of each copy enter the finder,
// and a long run of misses is passed over in growing steps of literals.
void ParseFast(const ParseInput& input, CopyHistory* copies, std::vector<Token>* tokens);

// Matches of every position of a stretch, found once and reused by every
// pass of the optimal parser.
struct StretchMatches {
    std::vector<uint32_t> first;  // index of each position's first candidate; one more at the end
    std::vector<MatchCandidate> candidates;  // the first first.back() of them; the rest is room
};

// Finds (and inserts into input.tree) the matches of every position of the
// stretch. Reads only the history and the tree, so it may run beside the
// parse and coding of the stretch before.
void FindStretchMatches(const ParseInput& input, StretchMatches* matches);

// How the optimal parser goes about a stretch.
struct OptimalOptions {
    bool planned;         // a quick parse first plans the blocks (else one block, priced by input.prices)
    uint32_t passes;      // optimal passes; each but the last only counts symbols to price the next
    bool secondArrivals;  // the final pass also follows a second way into each node
    uint32_t wholeLength; // a copy this long is taken whole, its lengths not weighed (0: the finder's nice length)
};

// Near-optimal parse: shortest path over prices, with the matches found for
// this stretch. When planned, a quick lazy parse first plans blocks (split
// where a code of their own pays for its table) and prices the first pass
// with each block's code (its counts scaled by input.learning, which the
// final pass then updates); each later pass is priced with the code that the
// pass before gave each block. With secondArrivals, the final pass also
// follows at each node the cheapest way in whose newest copy distance
// differs from the cheapest one's (a recent copy there may pay for the
// dearer way in). Appends the tokens, and the index of each block's first
// token to blockStarts (the coder weighs a new table there).
void ParseOptimal(const ParseInput& input, const StretchMatches& matches, const OptimalOptions& options,
                  CopyHistory* copies, std::vector<Token>* tokens, std::vector<size_t>* blockStarts);
