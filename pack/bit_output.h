// Most-significant-bit-first bit output into a growing byte vector, the order
// in which the decoder's look-ahead reads the packed stream.
#pragma once
#include <cstdint>
#include <vector>

struct BitOutput {
    std::vector<uint8_t>* bytes;
    uint64_t pending;   // bits not yet stored, right-aligned
    uint32_t pendingCount;
};

inline void BitOutputInit(BitOutput* writer, std::vector<uint8_t>* bytes) {
    writer->bytes = bytes;
    writer->pending = 0;
    writer->pendingCount = 0;
}

// Appends the low `count` bits of value (count 0 to 32), highest first.
inline void PutBits(BitOutput* writer, uint32_t value, uint32_t count) {
    if (count == 0) return;
    writer->pending = (writer->pending << count) | (value & ((1ull << count) - 1));
    writer->pendingCount += count;
    while (writer->pendingCount >= 8) {
        writer->pendingCount -= 8;
        writer->bytes->push_back(static_cast<uint8_t>(writer->pending >> writer->pendingCount));
    }
}

// Completes the last byte with zero bits.
inline void FlushBits(BitOutput* writer) {
    if (writer->pendingCount > 0) PutBits(writer, 0, 8 - writer->pendingCount);
    writer->pending = 0;
}

inline uint64_t BitsWritten(const BitOutput* writer) {
    return writer->bytes->size() * 8ull + writer->pendingCount;
}
