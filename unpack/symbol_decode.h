// Symbol decoding shared by the table reader and the LZ decoder's loop: one
// lookup in the quick table for short codes, the search over the length
// bounds for the rest.
#pragma once
#include <cstdint>
#include "unpack/decode_table.h"

// The symbol for a 16-bit look-ahead by the search over the length bounds;
// stores its code length in *codeLength.
uint32_t SymbolBySearch(const DecodeTable* table, uint32_t lookahead, uint32_t* codeLength);

// Fills table->quick from the bounds, positions and symbols of the table.
void BuildQuickTable(DecodeTable* table);

// The symbol for a 16-bit look-ahead, and its code length in *codeLength.
inline uint32_t SymbolAt(const DecodeTable* table, uint32_t lookahead, uint32_t* codeLength) {
    uint32_t entry = table->quick[lookahead >> (16 - kQuickBits)];
    if (entry != 0) {
        *codeLength = entry & 15;
        return entry >> 4;
    }
    return SymbolBySearch(table, lookahead, codeLength);
}
