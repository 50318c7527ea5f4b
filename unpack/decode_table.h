// A canonical prefix code's decode table: the bounds and positions of each
// code length, and the symbols ordered by length.
#pragma once
#include <cstdint>

enum : uint32_t {
    kBitLengthSymbols = 19,
    kLiteralSymbols = 298,
    kDistanceSymbols = 48,
    kRecentLengthSymbols = 28,
    kChannelSymbols = 257,
    kMainTableSize = kLiteralSymbols + kDistanceSymbols + kRecentLengthSymbols,  // 374
    kMaxTableLengths = 1028,
};

struct DecodeTable {
    uint32_t maxNum;
    uint32_t decodeLen[16];
    uint32_t decodePos[16];
    uint32_t decodeNum[kLiteralSymbols];  // large enough for every alphabet
};
