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

// Lengths that also weigh what sending each one costs: symbol s at length l
// (0: no code) costs frequencies[s] * l bits plus lengthPrices[s * (maxBits
// + 1) + l]. Every symbol with a frequency gets 1 to maxBits; one without
// gets 0, or a length where keeping it is cheaper to send. The code is
// complete whenever two or more symbols get one, and the total cost close to
// the least (a heuristic: without prices it may cost a little more than
// BuildLimitedLengths). Frequencies below 2^26, at most 2^maxBits symbols.
// Integer arithmetic only, so the same on every machine.
void BuildPricedLengths(const uint32_t* frequencies, uint32_t count, uint32_t maxBits, const uint32_t* lengthPrices,
                        uint8_t* lengths);

// Canonical codes: shorter codes first, and within one length by symbol value.
void AssignCanonicalCodes(const uint8_t* lengths, uint32_t count, uint16_t* codes);
