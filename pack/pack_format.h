// The 2.0 method as the encoder sees it: symbol numbers, slot tables and the
// copy history that the decoder keeps (recent distances and the last copy).
#pragma once
#include <cstdint>

#include "unpack/slot_tables.h"

enum : uint32_t {
    kSymRepeatLast = 256,      // repeat the last copy
    kSymRecentFirst = 257,     // 257..260: copy at the 1st..4th most recent distance
    kSymShortFirst = 261,      // 261..268: copy of 2 bytes at a short distance
    kSymNewTables = 269,       // a table block follows
    kSymLongFirst = 270,       // 270..297: long copy with length slot 0..27
    kLiteralAlphabet = 298,
    kDistanceAlphabet = 48,
    kRecentLengthAlphabet = 28,
    kTableLengthCount = 374,   // 298 + 48 + 28 code lengths in one table block
    kBitLengthAlphabet = 19,
    kMaxCodeBits = 15,
    kMaxCopyDistance = 0x100000,
    kMaxCopyLength = 260,      // no single decoding step produces more
};

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

// The decoder lengthens long copies at far distances, and copies at a recent
// distance a little more; the encoder subtracts the same amount.
inline uint32_t LongCopyBonus(uint32_t distance) {
    return (distance >= 0x40000 ? 1u : 0u) + (distance >= 0x2000 ? 1u : 0u);
}
inline uint32_t RecentCopyBonus(uint32_t distance) {
    return LongCopyBonus(distance) + (distance >= 0x101 ? 1u : 0u);
}
inline uint32_t MinLongLength(uint32_t distance) { return 3 + LongCopyBonus(distance); }
inline uint32_t MaxLongLength(uint32_t distance) { return 258 + LongCopyBonus(distance); }
inline uint32_t MinRecentLength(uint32_t distance) { return 2 + RecentCopyBonus(distance); }
inline uint32_t MaxRecentLength(uint32_t distance) { return 257 + RecentCopyBonus(distance); }

// What the decoder remembers of earlier copies: every copy, whatever symbol
// coded it, enters its distance into the ring and becomes the "last copy".
struct CopyHistory {
    uint32_t recent[4];
    uint32_t count;
    uint32_t lastLength;
    uint32_t lastDistance;
};

inline void RecordCopy(CopyHistory* history, uint32_t length, uint32_t distance) {
    history->recent[history->count & 3] = distance;
    history->count += 1;
    history->lastLength = length;
    history->lastDistance = distance;
}
// The k-th most recent distance (k = 0 is the newest): what symbol 257 + k copies at.
inline uint32_t RecentDistance(const CopyHistory& history, uint32_t k) {
    return history.recent[(history.count - 1 - k) & 3];
}
