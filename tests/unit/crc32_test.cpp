#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "util/crc32.h"

namespace {

uint32_t BitwiseCrc(uint32_t crc, const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc;
}

TEST(Crc32, KnownValues) {
    const uint8_t* abc = reinterpret_cast<const uint8_t*>("abc");
    EXPECT_EQ(~Crc32Update(0xFFFFFFFFu, abc, 3), 0x352441C2u);
    EXPECT_EQ(Crc32Update(0x12345678u, abc, 0), 0x12345678u);
    EXPECT_EQ(Crc32Of(reinterpret_cast<const uint8_t*>("123456789"), 9), 0xCBF43926u);
    EXPECT_EQ(Crc32Update(0xFFFFFFFFu, nullptr, 0), 0xFFFFFFFFu);
}

// Every length up to a few blocks and every alignment, from arbitrary
// starting registers: both fast paths agree with the bit-by-bit definition.
TEST(Crc32, FastPathsMatchTheDefinitionForEveryLengthAndAlignment) {
    std::mt19937 random(7);
    std::vector<uint8_t> data(4096 + 64);
    for (uint8_t& b : data) b = static_cast<uint8_t>(random());
    for (size_t offset = 0; offset < 16; ++offset) {
        for (size_t size = 0; size <= 600; ++size) {
            uint32_t start = static_cast<uint32_t>(random());
            uint32_t expected = BitwiseCrc(start, data.data() + offset, size);
            ASSERT_EQ(Crc32Sliced(start, data.data() + offset, size), expected) << offset << "/" << size;
            ASSERT_EQ(Crc32Update(start, data.data() + offset, size), expected) << offset << "/" << size;
        }
    }
    uint32_t expected = BitwiseCrc(0xFFFFFFFFu, data.data() + 3, 4096);
    EXPECT_EQ(Crc32Update(0xFFFFFFFFu, data.data() + 3, 4096), expected);
    if (Crc32HasClmul()) {
        size_t used = 0;
        uint32_t partial = Crc32Clmul(0xFFFFFFFFu, data.data() + 3, 4096, &used);
        EXPECT_EQ(used, 4096u);
        EXPECT_EQ(partial, expected);
    }
}

// The path the processor detection picked, printed so that a run shows which
// one it tested. SOLIDSETUP_EXPECT_CRC_PATH ("carry-less" or "slicing") makes
// it a check: runs on emulated processors with and without PCLMULQDQ must
// each take their own path.
TEST(Crc32, TakesThePathTheProcessorAllows) {
    const char* path = Crc32HasClmul() ? "carry-less" : "slicing";
    std::printf("CRC-32 path: %s, %zu-bit build\n", path, sizeof(void*) * 8);
    const char* expected = std::getenv("SOLIDSETUP_EXPECT_CRC_PATH");
    if (expected != nullptr) {
        EXPECT_STREQ(path, expected);
    }
}

TEST(Crc32, SplittingTheInputDoesNotChangeTheResult) {
    std::vector<uint8_t> data(100000);
    std::mt19937 random(11);
    for (uint8_t& b : data) b = static_cast<uint8_t>(random());
    uint32_t whole = Crc32Update(0xFFFFFFFFu, data.data(), data.size());
    uint32_t pieces = 0xFFFFFFFFu;
    size_t at = 0;
    for (size_t piece : {1u, 63u, 64u, 65u, 1000u, 33333u}) {
        pieces = Crc32Update(pieces, data.data() + at, piece);
        at += piece;
    }
    pieces = Crc32Update(pieces, data.data() + at, data.size() - at);
    EXPECT_EQ(pieces, whole);
}

}  // namespace
