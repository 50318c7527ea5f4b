// Inline forms of the bit reader for the engine's own loops: a 16-bit
// look-ahead and an advance, read most significant bit first.
#pragma once
#include <cstdint>
#include <cstring>
#include "unpack/unpack_state.h"

// Callers refill the input when inputPos is above these thresholds. Each
// leaves between the reading position and the buffer's end (8192) room for
// the most that the next stretch of reading takes before the next check,
// three-byte look-ahead included: 30 bytes for a decoding step (at most 51
// bits), 25 for the head of a table block (4 + 19 * 4 bits), 5 for one
// code-length symbol and its extra bits (15 + 7 bits). Each also lies past
// 8160, where the 32 bytes that a refill carries over begin, so that the
// position lands in the carried bytes (inputPos % 32). They decide only when
// refills happen, never which bits are read.
enum : uint32_t {
    kRefillBeforeStep = 8162,
    kRefillBeforeTableBlock = 8167,
    kRefillBeforeLengthSymbol = 8187,
};

inline uint32_t PeekBitsInline(const UnpackState* state) {
    const uint8_t* b = state->inputBuffer + state->inputPos;
    uint32_t bits = (static_cast<uint32_t>(b[0]) << 16) | (static_cast<uint32_t>(b[1]) << 8) | b[2];
    return (bits >> (8 - state->inputBit)) & 0xFFFF;
}

inline void SkipBitsInline(UnpackState* state, uint32_t n) {
    uint32_t t = state->inputBit + n;
    state->inputPos += t >> 3;
    state->inputBit = t & 7;
}

// Reads a field of k bits (0 to 16) as an unsigned number.
inline uint32_t ReadBitsInline(UnpackState* state, uint32_t k) {
    if (k == 0) return 0;
    uint32_t value = PeekBitsInline(state) >> (16 - k);
    SkipBitsInline(state, k);
    return value;
}

// True once no packed byte is left to read and every bit in the buffer that
// came from this entry has been consumed.
inline bool InputExhausted(const UnpackState* state) {
    return state->inputDrained && state->inputPos >= state->inputValidEnd;
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
