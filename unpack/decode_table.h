// A canonical prefix code's decode table: the bounds and positions of each
// code length, and the symbols ordered by length.
#pragma once
#include <cstdint>

#include "unpack/lz_format.h"

// Codes of up to this many bits are decoded with one lookup in the quick
// table; longer ones fall back to the search over the length bounds.
enum : uint32_t { kQuickBits = 11 };

struct DecodeTable {
    uint32_t maxNum;
    uint32_t decodeLen[16];
    uint32_t decodePos[16];
    uint32_t decodeNum[kLiteralAlphabet];  // large enough for every alphabet
    // Indexed by the look-ahead's first kQuickBits bits: symbol << 4 | code
    // length, or 0 where the code is longer (or the symbol does not fit).
    uint16_t quick[1u << kQuickBits];
};
