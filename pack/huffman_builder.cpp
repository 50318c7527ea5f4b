#include "pack/huffman_builder.h"

#include <algorithm>
#include <vector>

namespace {

// One coin of the package-merge: a leaf (symbol) or a package of two coins of
// the level below.
struct Coin {
    uint64_t weight;
    int32_t symbol;   // >= 0 for a leaf
    int32_t left;     // packages: indexes into the level below
    int32_t right;
};

void CountLeaves(const std::vector<std::vector<Coin>>& levels, uint32_t level, int32_t index, uint8_t* lengths) {
    const Coin& coin = levels[level][index];
    if (coin.symbol >= 0) {
        lengths[coin.symbol] += 1;
        return;
    }
    CountLeaves(levels, level - 1, coin.left, lengths);
    CountLeaves(levels, level - 1, coin.right, lengths);
}

}  // namespace

void BuildLimitedLengths(const uint32_t* frequencies, uint32_t count, uint32_t maxBits, uint8_t* lengths) {
    std::vector<Coin> leaves;
    for (uint32_t i = 0; i < count; ++i) {
        lengths[i] = 0;
        if (frequencies[i] != 0) leaves.push_back({frequencies[i], static_cast<int32_t>(i), -1, -1});
    }
    if (leaves.empty()) return;
    if (leaves.size() == 1) {
        lengths[leaves[0].symbol] = 1;
        return;
    }
    std::stable_sort(leaves.begin(), leaves.end(),
                     [](const Coin& a, const Coin& b) { return a.weight < b.weight; });

    std::vector<std::vector<Coin>> levels(maxBits);
    levels[0] = leaves;
    for (uint32_t level = 1; level < maxBits; ++level) {
        const std::vector<Coin>& below = levels[level - 1];
        std::vector<Coin>& merged = levels[level];
        size_t leaf = 0;
        size_t pair = 0;
        while (leaf < leaves.size() || pair + 1 < below.size()) {
            bool takePackage = pair + 1 < below.size() &&
                               (leaf == leaves.size() ||
                                below[pair].weight + below[pair + 1].weight < leaves[leaf].weight);
            if (takePackage) {
                merged.push_back({below[pair].weight + below[pair + 1].weight, -1, static_cast<int32_t>(pair),
                                  static_cast<int32_t>(pair + 1)});
                pair += 2;
            } else {
                merged.push_back(leaves[leaf++]);
            }
        }
    }
    const size_t chosen = 2 * leaves.size() - 2;
    for (size_t i = 0; i < chosen; ++i) CountLeaves(levels, maxBits - 1, static_cast<int32_t>(i), lengths);
}

void AssignCanonicalCodes(const uint8_t* lengths, uint32_t count, uint16_t* codes) {
    uint32_t lengthCount[16] = {};
    for (uint32_t i = 0; i < count; ++i) lengthCount[lengths[i] & 15] += 1;
    lengthCount[0] = 0;
    uint32_t next[16] = {};
    uint32_t code = 0;
    for (uint32_t k = 1; k < 16; ++k) {
        code = (code + lengthCount[k - 1]) << 1;
        next[k] = code;
    }
    for (uint32_t i = 0; i < count; ++i) {
        codes[i] = lengths[i] ? static_cast<uint16_t>(next[lengths[i]]++) : 0;
    }
}
