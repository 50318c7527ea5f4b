// Inline forms of the bit reader for the engine's own loops: a 16-bit
// look-ahead and an advance, read most significant bit first.
#pragma once
#include <cstdint>
#include <cstring>
#include "archive/extraction_context.h"

// Callers refill the input when inputPos is above these thresholds, which
// keeps every look-ahead (three bytes) inside the buffer.
enum : uint32_t {
    kRefillBeforeStep = 8162,
    kRefillBeforeTableBlock = 8167,
    kRefillBeforeLengthSymbol = 8187,
};

inline uint32_t PeekBitsInline(const ExtractionContext* context) {
    const uint8_t* b = context->inputBuffer + context->inputPos;
    uint32_t bits = (static_cast<uint32_t>(b[0]) << 16) | (static_cast<uint32_t>(b[1]) << 8) | b[2];
    return (bits >> (8 - context->inputBit)) & 0xFFFF;
}

inline void SkipBitsInline(ExtractionContext* context, uint32_t n) {
    uint32_t t = context->inputBit + n;
    context->inputPos += t >> 3;
    context->inputBit = t & 7;
}

// Reads a field of k bits (0 to 16) as an unsigned number.
inline uint32_t ReadBitsInline(ExtractionContext* context, uint32_t k) {
    if (k == 0) return 0;
    uint32_t value = PeekBitsInline(context) >> (16 - k);
    SkipBitsInline(context, k);
    return value;
}

// True once no packed byte is left to read and every bit in the buffer that
// came from this entry has been consumed.
inline bool InputExhausted(const ExtractionContext* context) {
    return context->inputDrained && context->inputPos >= context->inputValidEnd;
}

// Eight buffer bytes as one number, the first byte in the top bits.
inline uint64_t LoadBigEndian64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return __builtin_bswap64(v);
#elif defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return v;
#else
    v = 0;
    for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
    return v;
#endif
}
