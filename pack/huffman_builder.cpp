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

// A leaf as one sortable number: its weight above its symbol, so that the
// order of the numbers is by weight, and by symbol among equal weights.
inline uint64_t LeafKey(uint32_t weight, uint32_t symbol) { return (static_cast<uint64_t>(weight) << 32) | symbol; }
inline uint32_t KeyWeight(uint64_t key) { return static_cast<uint32_t>(key >> 32); }
inline uint32_t KeySymbol(uint64_t key) { return static_cast<uint32_t>(key); }

// Optimal lengths without a limit, by the two-queue method over the n leaves
// in order of weight (leaves before packages of the same weight, for
// shallower trees). Returns the longest length.
uint32_t UnlimitedLengths(const uint64_t* leaves, uint32_t n, uint8_t* lengths) {
    uint64_t weight[2 * kMaxQuickLeaves];
    uint32_t parent[2 * kMaxQuickLeaves];
    uint32_t depth[2 * kMaxQuickLeaves];
    for (uint32_t i = 0; i < n; ++i) weight[i] = KeyWeight(leaves[i]);
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
            lengths[KeySymbol(leaves[node])] = static_cast<uint8_t>(depth[node] < 255 ? depth[node] : 255);
            if (depth[node] > longest) longest = depth[node];
        }
    }
    return longest;
}

}  // namespace

void BuildLimitedLengths(const uint32_t* frequencies, uint32_t count, uint32_t maxBits, uint8_t* lengths) {
    // The leaves by weight, and by symbol among equal weights (the order a
    // stable sort of the symbols would give), sorted as plain numbers: this
    // runs for every code the planner weighs.
    std::vector<uint64_t> keys;
    keys.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        lengths[i] = 0;
        if (frequencies[i] != 0) keys.push_back(LeafKey(frequencies[i], i));
    }
    if (keys.empty()) return;
    if (keys.size() == 1) {
        lengths[KeySymbol(keys[0])] = 1;
        return;
    }
    std::sort(keys.begin(), keys.end());
    // Most counts need no limit: plain Huffman lengths are optimal then.
    if (keys.size() <= kMaxQuickLeaves &&
        UnlimitedLengths(keys.data(), static_cast<uint32_t>(keys.size()), lengths) <= maxBits) {
        return;
    }
    std::vector<Coin> leaves;
    leaves.reserve(keys.size());
    for (uint64_t key : keys) {
        lengths[KeySymbol(key)] = 0;
        leaves.push_back({KeyWeight(key), static_cast<int32_t>(KeySymbol(key)), -1, -1});
    }

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

namespace {

// The costs of one symbol's lengths: its bits at each length plus the price
// of sending that length, and the code space (2^-maxBits units) each takes.
struct SymbolLengths {
    uint32_t frequency;
    const uint32_t* price;  // maxBits + 1 prices, for lengths 0 to maxBits
    uint32_t maxBits;

    int64_t Cost(uint32_t l) const { return static_cast<int64_t>(frequency) * l + price[l]; }
    int64_t Room(uint32_t l) const { return l == 0 ? 0 : (int64_t(1) << maxBits) >> l; }
    // The lengths by the room they take, most first: 1 to maxBits, then no
    // code (only for a symbol that never occurs); End() after the last.
    uint32_t End() const { return maxBits + 1; }
    uint32_t Next(uint32_t l) const {
        if (l == 0) return End();
        if (l < maxBits) return l + 1;
        return frequency == 0 ? 0u : End();
    }
};

// Each symbol's cheapest length when a unit of code space costs lambda
// (in 2^-16 bits; of equal ones, the length taking more space); returns
// the code space they take.
int64_t ChooseForSpacePrice(const uint32_t* frequencies, uint32_t count, uint32_t maxBits,
                            const uint32_t* lengthPrices, uint64_t lambda, uint8_t* lengths) {
    // The lengths in SymbolLengths' order (1 to maxBits, then no code for a
    // symbol that never occurs), written out: this runs for every symbol
    // at each price tried. Room(l) is 2^(maxBits - l), so lambda times it
    // is a shift.
    int64_t used = 0;
    for (uint32_t s = 0; s < count; ++s) {
        const uint64_t frequency = frequencies[s];
        const uint32_t* price = lengthPrices + s * (maxBits + 1);
        uint64_t best = UINT64_MAX;
        uint32_t bestLength = 0;
        for (uint32_t l = 1; l <= maxBits; ++l) {
            const uint64_t c = ((frequency * l + price[l]) << 16) + (lambda << (maxBits - l));
            if (c < best) best = c, bestLength = l;
        }
        if (frequency == 0 && (static_cast<uint64_t>(price[0]) << 16) < best) bestLength = 0;
        lengths[s] = static_cast<uint8_t>(bestLength);
        used += bestLength == 0 ? 0 : int64_t(1) << (maxBits - bestLength);
    }
    return used;
}

// A symbol's step from a length to one taking less room: it frees `room`
// units for `cost` more bits, so it pays once a unit is worth cost / room.
struct SpaceStep {
    int64_t cost;
    int64_t room;
    uint32_t symbol;
    uint32_t to;
};

// a before b: the lower price of space, then by symbol (one symbol's steps
// never tie).
bool CheaperStep(const SpaceStep& a, const SpaceStep& b) {
    int64_t left = a.cost * b.room;
    int64_t right = b.cost * a.room;
    return left != right ? left < right : a.symbol < b.symbol;
}

// The symbol's next step from length at along the lower hull of its costs:
// the one that pays at the lowest price of space (of equal ones, the
// farthest). Returns false when every other length takes more room.
bool NextStep(const SymbolLengths& symbol, uint32_t symbolIndex, uint32_t at, SpaceStep* step) {
    uint32_t to = symbol.End();
    for (uint32_t l = symbol.Next(at); l != symbol.End(); l = symbol.Next(l)) {
        if (to == symbol.End() || (symbol.Cost(l) - symbol.Cost(at)) * (symbol.Room(at) - symbol.Room(to)) <=
                                      (symbol.Cost(to) - symbol.Cost(at)) * (symbol.Room(at) - symbol.Room(l))) {
            to = l;
        }
    }
    if (to == symbol.End()) return false;
    *step = {symbol.Cost(to) - symbol.Cost(at), symbol.Room(at) - symbol.Room(to), symbolIndex, to};
    return true;
}

}  // namespace

void BuildPricedLengths(const uint32_t* frequencies, uint32_t count, uint32_t maxBits, const uint32_t* lengthPrices,
                        uint8_t* lengths) {
    const int64_t space = int64_t(1) << maxBits;
    // The lengths that cost the least for the space they take: each symbol's
    // cheapest length once code space has a price, at the lowest price where
    // they fit. First the power of two of that price (a price of 2^46 puts
    // every symbol at maxBits or no code, which fits any alphabet of the
    // format)...
    uint32_t lastPower = 0;  // the last price tried, whose lengths are in lengths, and their space
    int64_t lastUsed = 0;
    const auto fits = [&](uint32_t power) {
        lastPower = power;
        lastUsed = ChooseForSpacePrice(frequencies, count, maxBits, lengthPrices, uint64_t(1) << power, lengths);
        return lastUsed <= space;
    };
    // A higher price of space never makes the lengths take more of it, so
    // the powers that fit are all those from the lowest one on. The codes of
    // this format mostly find that one between 2^8 and 2^16: the search
    // steps out from 2^13 in growing steps, down while the probes fit and up
    // while they do not, until a probe falls outside what is left; then it
    // halves what is left.
    uint32_t low = 0, high = 46;  // 2^high fits; no power below low does
    uint32_t probe = 13;
    for (uint32_t step = 1; probe >= low && probe < high; step *= 2) {
        if (fits(probe)) {
            high = probe;
            if (probe < step) break;
            probe -= step;
        } else {
            low = probe + 1;
            probe += step;
        }
    }
    while (low < high) {
        uint32_t mid = (low + high) / 2;
        if (fits(mid)) {
            high = mid;
        } else {
            low = mid + 1;
        }
    }
    // ...then from half that price, which does not fit, the steps that pay
    // up to it, cheapest first, until the code fits.
    // (The search has mostly just tried that price; it tried one at least.)
    int64_t used = lastUsed;
    if (lastPower + 1 != high) {
        const uint64_t below = high == 0 ? 0 : uint64_t(1) << (high - 1);
        used = ChooseForSpacePrice(frequencies, count, maxBits, lengthPrices, below, lengths);
    }
    std::vector<SpaceStep> steps;
    for (uint32_t s = 0; s < count && used > space; ++s) {
        const SymbolLengths symbol = {frequencies[s], lengthPrices + s * (maxBits + 1), maxBits};
        SpaceStep step;
        for (uint32_t at = lengths[s]; NextStep(symbol, s, at, &step); at = step.to) {
            if ((step.cost << 16) > static_cast<int64_t>(uint64_t(1) << high) * step.room) break;
            steps.push_back(step);
        }
    }
    std::sort(steps.begin(), steps.end(), CheaperStep);
    for (size_t i = 0; i < steps.size() && used > space; ++i) {
        used -= steps[i].room;
        lengths[steps[i].symbol] = static_cast<uint8_t>(steps[i].to);
    }
    // The last step taken may free more than was needed: what is left goes,
    // a length at a time, where shortening a code saves the most (or loses
    // the least) for the space it takes, until the code is complete, as
    // decoders expect. (The longest code always fits what is left.)
    for (;;) {
        int64_t bestGain = 0;
        int64_t bestRoom = 1;
        uint32_t best = count;
        for (uint32_t s = 0; s < count; ++s) {
            const SymbolLengths symbol = {frequencies[s], lengthPrices + s * (maxBits + 1), maxBits};
            const uint32_t l = lengths[s];
            const int64_t room = symbol.Room(l);  // what one bit shorter takes more
            if (l <= 1 || used + room > space) continue;
            const int64_t gain = symbol.Cost(l) - symbol.Cost(l - 1);
            if (best == count || gain * bestRoom > bestGain * room) bestGain = gain, bestRoom = room, best = s;
        }
        if (best == count) break;
        used += bestRoom;
        lengths[best] -= 1;
    }
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
