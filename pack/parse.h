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
};

// Greedy parse (lazy: also tries a literal first when the next position
// offers a better copy). Updates history with the copies it makes.
void ParseGreedy(const ParseInput& input, bool lazy, CopyHistory* copies, std::vector<Token>* tokens);

// Near-optimal parse: shortest path over prices. `passes` > 1 prices each
// further pass with code lengths built from the previous pass's result.
void ParseOptimal(const ParseInput& input, uint32_t passes, CopyHistory* copies, std::vector<Token>* tokens);
