// The 2.0 method as the encoder sees it: slot numbers of lengths and
// distances, the lengths each copy symbol can code, and the copy history that
// the decoder keeps (recent distances and the last copy).
#pragma once
#include <cstdint>

#include "unpack/lz_format.h"

// Slot tables of the format, the decoder's own: a slot's value is its base
// plus its extra bits.
using slots::kDistanceBase;
using slots::kDistanceBits;
using slots::kLengthBase;
using slots::kLengthBits;
using slots::kShortBase;
using slots::kShortBits;

// Slot of a length value 0..255 (the length without its fixed offset).
uint32_t LengthSlot(uint32_t value);
// Slot of a distance value 0..0xFFFFF (the distance minus one).
inline uint32_t DistanceSlot(uint32_t value) {
    if (value < 4) return value;
    if (value >= 0x40000) return 36 + ((value - 0x40000) >> 16);
    uint32_t high = 31 - static_cast<uint32_t>(__builtin_clz(value));
    return 2 * high + ((value >> (high - 1)) & 1);
}
// Short slot of a distance 1..256 of a 2-byte copy.
inline uint32_t ShortSlot(uint32_t distance) {
    uint32_t v = distance - 1;
    if (v < 8) return v >> 2;
    if (v < 128) return 31 - static_cast<uint32_t>(__builtin_clz(v)) - 1;  // 8..127 -> 2..5
    return v < 192 ? 6 : 7;
}

// The shortest and longest lengths each copy symbol can code at a distance.
inline uint32_t MinLongLength(uint32_t distance) { return 3 + LongCopyBonus(distance); }
inline uint32_t MaxLongLength(uint32_t distance) { return 258 + LongCopyBonus(distance); }
inline uint32_t MinRecentLength(uint32_t distance) { return 2 + RecentCopyBonus(distance); }
inline uint32_t MaxRecentLength(uint32_t distance) { return 257 + RecentCopyBonus(distance); }

// What the decoder remembers of earlier copies: every copy, whatever symbol
// coded it, enters its distance into the ring and becomes the "last copy".
// (Newest first: the optimal parser reads the recent distances of every
// position it weighs, and records a copy far less often.)
struct CopyHistory {
    uint32_t recent[4];  // newest first
    uint32_t lastLength;
    uint32_t lastDistance;
};

inline void RecordCopy(CopyHistory* history, uint32_t length, uint32_t distance) {
    history->recent[3] = history->recent[2];
    history->recent[2] = history->recent[1];
    history->recent[1] = history->recent[0];
    history->recent[0] = distance;
    history->lastLength = length;
    history->lastDistance = distance;
}
// The k-th most recent distance (k = 0 is the newest): what symbol 257 + k copies at.
inline uint32_t RecentDistance(const CopyHistory& history, uint32_t k) { return history.recent[k]; }
