// Table blocks: the code lengths of the three alphabets, sent in a 19-symbol
// bit-length code as changes (modulo 16) against the previous block's lengths,
// with runs of the previous length (16) and of zeros (17, 18).
#pragma once
#include <cstdint>

#include "pack/bit_output.h"
#include "pack/pack_format.h"

// Bits every table block starts with: its two flags and the 4-bit length of
// each bit-length symbol.
enum : uint32_t { kTableBlockHeaderBits = 2 + 4 * kBitLengthAlphabet };

// Writes one table block for the kTableLengthCount lengths. previousLengths
// holds what the decoder holds (kTableLengthCount bytes, zero after a reset)
// and is updated to the new lengths. The block chooses by itself whether
// coding against the previous lengths pays.
void WriteTableBlock(BitOutput* writer, const uint8_t* lengths, uint8_t* previousLengths);

// The size in bits that WriteTableBlock would write.
uint32_t TableBlockBits(const uint8_t* lengths, const uint8_t* previousLengths);

// Prices in bits of the 16 change symbols (a length minus its base, modulo
// 16) in the cheapest table block for lengths, and that block's size in bits
// (what TableBlockBits gives) in blockBits. Returns the block's base:
// previousLengths, or zeros when coding against them is cheaper.
const uint8_t* TableChangePrices(const uint8_t* lengths, const uint8_t* previousLengths, uint32_t* prices,
                                 uint32_t* blockBits);
