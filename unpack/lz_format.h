// The RAR 2.0 compressed stream: symbol numbers, alphabet sizes, length and
// distance slots, the length bonuses of far copies and the window size. The
// decoder and the encoder both take every number of the format from here.
#pragma once
#include <cstdint>

enum : uint32_t {
    // Symbols of the main alphabet; 0..255 are literal bytes.
    kSymRepeatLast = 256,   // repeat the last copy
    kSymRecentFirst = 257,  // 257..260: copy at the 1st..4th most recent distance
    kSymShortFirst = 261,   // 261..268: copy of 2 bytes at a short distance
    kSymNewTables = 269,    // a table block follows
    kSymLongFirst = 270,    // 270..297: long copy with length slot 0..27
    kSymAudioNewTables = 256,  // in multimedia blocks: a table block follows

    // Alphabet sizes.
    kLiteralAlphabet = 298,       // literals and copy symbols of the main table
    kDistanceAlphabet = 48,       // distance slots of long copies
    kRecentLengthAlphabet = 28,   // length slots of copies at a recent distance
    kBitLengthAlphabet = 19,      // the code that codes a table block's code lengths
    kAudioAlphabet = 257,         // one multimedia channel's table
    kTableLengthCount = 374,      // 298 + 48 + 28 code lengths in one table block
    kMaxTableLengths = 1028,      // the longest table block: four multimedia channels of 257
    kMaxAudioChannels = 4,        // multimedia blocks code one to four channels
    kMaxCodeBits = 15,            // no code is longer

    // Window and copies.
    kWindowSize = 0x100000,       // the sliding window of 1 MB, shared by a solid run
    kWindowMask = kWindowSize - 1,  // positions in the window wrap with this mask
    kMaxCopyDistance = kWindowSize,  // no copy reaches further back
    kMaxCopyLength = 260,         // no single decoding step produces more
    kShortCopyLength = 2,         // what every short copy (261..268) copies
    kShortCopyReach = 256,        // the farthest a short copy reaches back
};

// Length and distance slots: a slot's value is its base plus the number read
// from its count of extra bits.
namespace slots {

// Length slots of long and recent copies (28).
constexpr uint8_t kLengthBase[28] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10,  12,  14,  16,  20,
                                     24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
constexpr uint8_t kLengthBits[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                     2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};

// Distance slots of long copies (48); the value is the distance minus one.
constexpr uint32_t kDistanceBase[48] = {
    0,      1,      2,      3,      4,      6,      8,      12,     16,     24,     32,     48,
    64,     96,     128,    192,    256,    384,    512,    768,    1024,   1536,   2048,   3072,
    4096,   6144,   8192,   12288,  16384,  24576,  32768,  49152,  65536,  98304,  131072, 196608,
    262144, 327680, 393216, 458752, 524288, 589824, 655360, 720896, 786432, 851968, 917504, 983040};
constexpr uint8_t kDistanceBits[48] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                       7,  7,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12, 13, 13, 14, 14,
                                       15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};

// Distance slots of short copies (symbols 261..268); the value is the distance minus one.
constexpr uint8_t kShortBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
constexpr uint8_t kShortBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

}  // namespace slots

// Long copies at far distances are longer than their length slot says.
inline uint32_t LongCopyBonus(uint32_t distance) {
    return (distance >= 0x40000 ? 1u : 0u) + (distance >= 0x2000 ? 1u : 0u);
}
// Copies at a recent distance get the long copies' bonus and one more beyond 256 bytes back.
inline uint32_t RecentCopyBonus(uint32_t distance) {
    return LongCopyBonus(distance) + (distance >= 0x101 ? 1u : 0u);
}
