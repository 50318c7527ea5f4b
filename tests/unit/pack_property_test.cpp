// Property: any mixture of entries (sizes, kinds of data, stored and
// compressed, repeated content) packed at any level reads back exactly.
// The suite runs a fixed seed; for longer runs set
// SOLIDSETUP_PACK_ROUNDS (archives to try) and SOLIDSETUP_PACK_SEED.
#include <cstdlib>
#include <cstring>

#include "tests/unit/pack_roundtrip.h"

using namespace packtest;

namespace {

uint32_t EnvNumber(const char* name, uint32_t fallback) {
    const char* value = std::getenv(name);
    return value && *value ? static_cast<uint32_t>(std::strtoul(value, nullptr, 10)) : fallback;
}

std::vector<uint8_t> RandomContent(std::mt19937& rng, const std::vector<std::vector<uint8_t>>& earlier) {
    static const size_t kSizes[] = {0, 1, 2, 3, 4, 5, 259, 260, 261, 4096, 8191, 8192, 8193, 65536, 100000, 300000};
    size_t size = rng() % 4 == 0 ? rng() % 20000 : kSizes[rng() % (sizeof(kSizes) / sizeof(kSizes[0]))];
    uint32_t seed = rng();
    switch (rng() % 6) {
        case 0: return RandomBytes(size, seed);
        case 1: return TextBytes(size, seed);
        case 2: return BinaryBytes(size, seed);
        case 3: return std::vector<uint8_t>(size, static_cast<uint8_t>(seed));
        case 4: {
            // A piece of an earlier entry with a few changes: copies into the past.
            if (earlier.empty()) return TextBytes(size, seed);
            const std::vector<uint8_t>& from = earlier[rng() % earlier.size()];
            std::vector<uint8_t> v(from.begin() + (from.empty() ? 0 : rng() % (from.size() / 2 + 1)), from.end());
            for (int i = 0; i < 5 && !v.empty(); ++i) v[rng() % v.size()] ^= 0x20;
            return v;
        }
        default: {
            // Text and noise interleaved in short stretches.
            std::vector<uint8_t> v;
            while (v.size() < size) {
                std::vector<uint8_t> part = rng() % 2 ? TextBytes(rng() % 500, rng()) : RandomBytes(rng() % 60, rng());
                v.insert(v.end(), part.begin(), part.end());
            }
            v.resize(size);
            return v;
        }
    }
}

TEST(PackProperty, RandomMixturesReadBackExactly) {
    const uint32_t rounds = EnvNumber("SOLIDSETUP_PACK_ROUNDS", 12);
    const uint32_t seed = EnvNumber("SOLIDSETUP_PACK_SEED", 20240601);
    std::mt19937 rng(seed);
    for (uint32_t round = 0; round < rounds; ++round) {
        std::vector<Entry> entries;
        std::vector<std::vector<uint8_t>> contents;
        uint32_t count = 1 + rng() % 12;
        for (uint32_t i = 0; i < count; ++i) {
            contents.push_back(RandomContent(rng, contents));
            entries.push_back({"entry" + std::to_string(i), contents.back()});
        }
        int level = 1 + static_cast<int>(rng() % 5);
        bool store = rng() % 4 != 0;
        SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round) + " level " +
                     std::to_string(level));
        ExpectRoundTrip(entries, level, store);
        if (::testing::Test::HasFailure()) return;
    }
}

}  // namespace
