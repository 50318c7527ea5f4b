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

enum : uint32_t { kMaxQuickLeaves = 1028 };  // the largest alphabet of the format

// Optimal lengths without a limit, by the two-queue method over the leaves
// in order of weight (leaves before packages of the same weight, for
// shallower trees). Returns the longest length.
uint32_t UnlimitedLengths(const std::vector<Coin>& leaves, uint8_t* lengths) {
    const uint32_t n = static_cast<uint32_t>(leaves.size());
    uint64_t weight[2 * kMaxQuickLeaves];
    uint32_t parent[2 * kMaxQuickLeaves];
    uint32_t depth[2 * kMaxQuickLeaves];
    for (uint32_t i = 0; i < n; ++i) weight[i] = leaves[i].weight;
    uint32_t leaf = 0;
    uint32_t package = n;
    for (uint32_t next = n; next < 2 * n - 1; ++next) {
        uint32_t picked[2];
        for (uint32_t& p : picked) {
            if (leaf < n && (package == next || weight[leaf] <= weight[package])) {
                p = leaf++;
            } else {
                p = package++;
            }
        }
        weight[next] = weight[picked[0]] + weight[picked[1]];
        parent[picked[0]] = next;
        parent[picked[1]] = next;
    }
    depth[2 * n - 2] = 0;
    uint32_t longest = 0;
    for (uint32_t node = 2 * n - 2; node-- > 0;) {
        depth[node] = depth[parent[node]] + 1;
        if (node < n) {
            lengths[leaves[node].symbol] = static_cast<uint8_t>(depth[node] < 255 ? depth[node] : 255);
            if (depth[node] > longest) longest = depth[node];
        }
    }
    return longest;
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
    // By weight, and by symbol among equal weights (the order a stable sort
    // of the symbols would give, without its buffer).
    std::sort(leaves.begin(), leaves.end(), [](const Coin& a, const Coin& b) {
        return a.weight != b.weight ? a.weight < b.weight : a.symbol < b.symbol;
    });
    // Most counts need no limit: plain Huffman lengths are optimal then.
    if (leaves.size() <= kMaxQuickLeaves && UnlimitedLengths(leaves, lengths) <= maxBits) return;
    for (const Coin& leaf : leaves) lengths[leaf.symbol] = 0;

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
