// Canonical prefix codes with a length limit: code lengths from symbol
// counts (Huffman's, and package-merge where the limit binds, so that it
// costs as little as possible) and the codes the decoder assigns to those
// lengths.
#pragma once
#include <cstdint>

// Writes a length for each of the count symbols: 0 for a symbol that never
// occurs, else 1 to maxBits, with the least total of count times length
// that the limit allows. A single occurring symbol gets length 1.
void BuildLimitedLengths(const uint32_t* frequencies, uint32_t count, uint32_t maxBits, uint8_t* lengths);

// Canonical codes: shorter codes first, and within one length by symbol value.
void AssignCanonicalCodes(const uint8_t* lengths, uint32_t count, uint16_t* codes);
