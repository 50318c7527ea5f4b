// Byte-level helpers that both match finders (hash chains and binary trees)
// use: hashes of the next bytes and the length two places agree for.
#pragma once
#include <cstdint>
#include <cstring>

// A hash of the 3 bytes at p, in hashBits bits.
inline uint32_t HashOf3(const uint8_t* p, uint32_t hashBits) {
    uint32_t v = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
    return (v * 2654435761u) >> (32 - hashBits);
}

// HashOf3 of p with one load where the byte after the three is readable
// too: the same value.
inline uint32_t HashOf3Within4(const uint8_t* p, uint32_t hashBits) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return ((v & 0xFFFFFFu) * 2654435761u) >> (32 - hashBits);
}

// A hash of the 4 bytes at p, in hashBits bits.
inline uint32_t HashOf4(const uint8_t* p, uint32_t hashBits) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return (v * 2654435761u) >> (32 - hashBits);
}

// A hash of the 5 bytes at p, in hashBits bits (the 5 bytes fill the top of
// a 64-bit word, whose product's top bits depend on every one of them).
inline uint32_t HashOf5(const uint8_t* p, uint32_t hashBits) {
    uint32_t low;
    std::memcpy(&low, p, 4);
    uint64_t v = (static_cast<uint64_t>(low) << 24) | (static_cast<uint64_t>(p[4]) << 56);
    return static_cast<uint32_t>((v * 0x9E3779B97F4A7C15ull) >> (64 - hashBits));
}

// The 2 bytes at p as one number (index of a 65,536-entry table).
inline uint32_t PairAt(const uint8_t* p) { return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8); }

// Whether the two bytes at a and at b are the same.
inline bool FirstTwoAgree(const uint8_t* a, const uint8_t* b) {
    uint16_t x;
    uint16_t y;
    std::memcpy(&x, a, 2);
    std::memcpy(&y, b, 2);
    return x == y;
}

// How many bytes a and b agree for, counting on from start (known to agree
// before it), at most limit. Eight bytes at a time; on these little-endian
// machines the first differing byte is the lowest set byte of the difference.
inline uint32_t AgreeingLength(const uint8_t* a, const uint8_t* b, uint32_t start, uint32_t limit) {
    uint32_t n = start;
    while (n + 8 <= limit) {
        uint64_t x;
        uint64_t y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        uint64_t diff = x ^ y;
        if (diff != 0) return n + static_cast<uint32_t>(__builtin_ctzll(diff) >> 3);
        n += 8;
    }
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}
