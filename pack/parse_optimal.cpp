#include "pack/parse.h"

#include <cstring>

#include "pack/table_block.h"

namespace {

enum : uint32_t {
    kSegment = 16384,       // positions solved as one shortest-path problem
    kMaxCandidates = 24,
    kUnreached = 0xFFFFFFFFu,
};

struct Node {
    uint32_t price;
    uint32_t from;
    Token token;
    uint32_t leadLength;  // non-zero: the step is a copy of this length at token.distance,
                          // one literal, then the token (a copy at the same distance)
    CopyHistory copies;   // the history along the cheapest path to this node
};

// Prices that depend only on the length value or distance, looked up in the
// inner loop instead of choosing a symbol for every length.
struct PriceTables {
    uint32_t longLength[256];    // long copy slot symbol plus extra bits, by length value
    uint32_t recentLength[256];  // recent-copy length symbol plus extra bits, by length value
    const uint32_t* prices;
};

void BuildPriceTables(const uint32_t* prices, PriceTables* tables) {
    for (uint32_t v = 0; v < 256; ++v) {
        uint32_t slot = LengthSlot(v);
        tables->longLength[v] = prices[kSymLongFirst + slot] + kLengthBits[slot];
        tables->recentLength[v] = prices[kRecentTableOffset + slot] + kLengthBits[slot];
    }
    tables->prices = prices;
}

inline uint32_t DistancePrice(const uint32_t* prices, uint32_t distance) {
    uint32_t slot = DistanceSlot(distance - 1);
    return prices[kDistanceTableOffset + slot] + kDistanceBits[slot];
}

// Matches of every position of a stretch, found once and reused by every pass.
struct StretchMatches {
    std::vector<uint32_t> first;  // index of each position's first candidate; one more at the end
    std::vector<MatchCandidate> candidates;
};

void FindStretchMatches(const ParseInput& input, StretchMatches* matches) {
    matches->first.clear();
    matches->candidates.clear();
    MatchCandidate found[kMaxCandidates];
    for (uint32_t pos = input.begin; pos < input.end; ++pos) {
        matches->first.push_back(static_cast<uint32_t>(matches->candidates.size()));
        uint32_t n = TreeFindMatches(input.tree, input.history, pos, input.end - pos, input.historySize, found,
                                     kMaxCandidates);
        for (uint32_t i = 0; i < n; ++i) {
            if (found[i].distance <= pos - input.windowStart) matches->candidates.push_back(found[i]);
        }
    }
    matches->first.push_back(static_cast<uint32_t>(matches->candidates.size()));
}

inline void Relax(Node* nodes, uint32_t at, uint32_t price, uint32_t from, uint32_t length, uint32_t distance) {
    if (price < nodes[at].price) {
        nodes[at].price = price;
        nodes[at].from = from;
        nodes[at].token = {length, distance};
        nodes[at].leadLength = 0;
    }
}

// A copy, one literal, and the same distance again: the second copy is a
// cheap recent-distance copy that a path through the literal alone, with a
// different copy history, would not offer.
inline void RelaxWithRepeat(const ParseInput& input, const PriceTables& tables, Node* nodes, uint32_t i, uint32_t pos,
                            uint32_t available, uint32_t copyPrice, uint32_t length, uint32_t distance) {
    if (length + 3 > available) return;
    const uint8_t* second = input.history + pos + length + 1;
    uint32_t limit = MaxRecentLength(distance);
    if (limit > available - length - 1) limit = available - length - 1;
    uint32_t repeat = CommonLength(second, second - distance, limit);
    const uint32_t* prices = tables.prices;
    uint32_t base = nodes[i].price + copyPrice + prices[input.history[pos + length]];
    uint32_t bonus = RecentCopyBonus(distance);
    uint32_t at = i + length + 1;
    if (repeat >= 2 + bonus) {
        uint32_t price = base + prices[kSymRecentFirst] + tables.recentLength[repeat - 2 - bonus];
        if (price < nodes[at + repeat].price) {
            nodes[at + repeat] = {price, i, {repeat, distance}, length, {}};
        }
    }
    if (repeat >= length) {
        uint32_t price = base + prices[kSymRepeatLast];
        if (price < nodes[at + length].price) {
            nodes[at + length] = {price, i, {length, distance}, length, {}};
        }
    }
}

// One pass over the stretch; appends its tokens and advances copies.
void ParsePass(const ParseInput& input, const StretchMatches& matches, const PriceTables& tables,
               CopyHistory* copies, std::vector<Token>* tokens, std::vector<Node>& nodes) {
    const uint32_t* prices = tables.prices;
    const uint32_t nice = input.tree->niceLength;
    std::vector<Token> reversed;
    uint32_t segmentStart = input.begin;
    while (segmentStart < input.end) {
        uint32_t segmentEnd = input.end - segmentStart > kSegment ? segmentStart + kSegment : input.end;
        const uint32_t n = segmentEnd - segmentStart;
        for (uint32_t i = 0; i <= n; ++i) nodes[i].price = kUnreached;
        nodes[0].price = 0;
        nodes[0].copies = *copies;
        for (uint32_t i = 0; i < n; ++i) {
            Node& node = nodes[i];
            if (node.price == kUnreached) continue;
            if (i > 0) {
                // The history along the cheapest path: the one before, plus this step's copy.
                node.copies = nodes[node.from].copies;
                if (node.leadLength != 0) RecordCopy(&node.copies, node.leadLength, node.token.distance);
                if (node.token.distance != 0) RecordCopy(&node.copies, node.token.length, node.token.distance);
            }
            const CopyHistory& h = node.copies;
            const uint32_t pos = segmentStart + i;
            const uint8_t* here = input.history + pos;
            const uint32_t available = n - i;
            Relax(nodes.data(), i + 1, node.price + prices[here[0]], i, 1, 0);

            uint32_t longest = 0;
            uint32_t longestDistance = 0;
            // Copies at the recent distances (and the repeat of the last copy).
            for (uint32_t k = 0; k < 4; ++k) {
                uint32_t distance = RecentDistance(h, k);
                if (distance == 0 || distance > pos - input.windowStart) continue;
                bool seen = false;
                for (uint32_t j = 0; j < k; ++j) seen |= RecentDistance(h, j) == distance;
                if (seen) continue;
                uint32_t bonus = RecentCopyBonus(distance);
                uint32_t limit = MaxRecentLength(distance);
                if (limit > available) limit = available;
                uint32_t length = CommonLength(here, here - distance, limit);
                if (length > longest) longest = length, longestDistance = distance;
                uint32_t symbolPrice = prices[kSymRecentFirst + k];
                uint32_t longBonus = LongCopyBonus(distance);
                uint32_t distancePrice = DistancePrice(prices, distance);
                for (uint32_t l = 2 + bonus; l <= length; ++l) {
                    uint32_t price = symbolPrice + tables.recentLength[l - 2 - bonus];
                    if (l >= 3 + longBonus && l <= 258 + longBonus) {
                        uint32_t viaLong = tables.longLength[l - 3 - longBonus] + distancePrice;
                        if (viaLong < price) price = viaLong;
                    }
                    if (l == h.lastLength && distance == h.lastDistance && prices[kSymRepeatLast] < price)
                        price = prices[kSymRepeatLast];
                    Relax(nodes.data(), i + l, node.price + price, i, l, distance);
                }
                if (length >= 2 + bonus) {
                    uint32_t price = symbolPrice + tables.recentLength[length - 2 - bonus];
                    RelaxWithRepeat(input, tables, nodes.data(), i, pos, available, price, length, distance);
                }
                if (k == 0 && distance == h.lastDistance && h.lastLength >= 2 && h.lastLength <= length &&
                    h.lastLength < 2 + bonus) {
                    Relax(nodes.data(), i + h.lastLength, node.price + prices[kSymRepeatLast], i, h.lastLength,
                          distance);
                }
            }
            // The finder's copies: each length at the nearest distance that reaches it.
            const uint32_t firstCandidate = matches.first[pos - input.begin];
            const uint32_t lastCandidate = matches.first[pos - input.begin + 1];
            uint32_t covered = 1;
            for (uint32_t c = firstCandidate; c < lastCandidate; ++c) {
                MatchCandidate m = matches.candidates[c];
                if (m.length > available) m.length = available;
                if (m.length <= covered) continue;
                if (m.length > longest) longest = m.length, longestDistance = m.distance;
                if (m.length == 2) {
                    CodedSymbol symbol;
                    uint32_t price = ChooseCopySymbol(2, m.distance, h, prices, &symbol);
                    if (price < kImpossiblePrice) Relax(nodes.data(), i + 2, node.price + price, i, 2, m.distance);
                    covered = 2;
                    continue;
                }
                uint32_t bonus = LongCopyBonus(m.distance);
                uint32_t distancePrice = DistancePrice(prices, m.distance);
                uint32_t from = covered + 1 > 3 + bonus ? covered + 1 : 3 + bonus;
                for (uint32_t l = from; l <= m.length; ++l) {
                    Relax(nodes.data(), i + l, node.price + tables.longLength[l - 3 - bonus] + distancePrice, i, l,
                          m.distance);
                }
                if (m.length >= from) {
                    RelaxWithRepeat(input, tables, nodes.data(), i, pos, available,
                                    tables.longLength[m.length - 3 - bonus] + distancePrice, m.length, m.distance);
                }
                covered = m.length;
            }
            // A very long copy is taken as it is: the path cannot do much better.
            if (longest >= nice && longest > 1) {
                uint32_t target = i + longest;
                // Everything between is skipped; the copy's end becomes the only way on.
                for (uint32_t j = i + 1; j < target; ++j) nodes[j].price = kUnreached;
                CodedSymbol symbol;
                uint32_t price = ChooseCopySymbol(longest, longestDistance, h, prices, &symbol);
                if (price < kImpossiblePrice) {
                    nodes[target].price = node.price + price;
                    nodes[target].from = i;
                    nodes[target].token = {longest, longestDistance};
                    nodes[target].leadLength = 0;
                } else {
                    nodes[i + 1].price = node.price + prices[here[0]];
                    nodes[i + 1].from = i;
                    nodes[i + 1].token = {1, 0};
                    nodes[i + 1].leadLength = 0;
                }
            }
        }
        // Walk back from the end of the segment.
        reversed.clear();
        for (uint32_t at = n; at > 0; at = nodes[at].from) {
            const Node& step = nodes[at];
            reversed.push_back(step.token);
            if (step.leadLength != 0) {
                reversed.push_back({1, 0});
                reversed.push_back({step.leadLength, step.token.distance});
            }
        }
        for (size_t j = reversed.size(); j-- > 0;) {
            const Token& t = reversed[j];
            tokens->push_back(t);
            if (t.distance != 0) RecordCopy(copies, t.length, t.distance);
        }
        segmentStart = segmentEnd;
    }
}

}  // namespace

void ParseOptimal(const ParseInput& input, uint32_t passes, CopyHistory* copies, std::vector<Token>* tokens) {
    StretchMatches matches;
    FindStretchMatches(input, &matches);
    std::vector<Node> nodes(kSegment + 1);
    uint32_t prices[kTableLengthCount];
    std::memcpy(prices, input.prices, sizeof(prices));
    PriceTables tables;
    const size_t firstToken = tokens->size();
    for (uint32_t pass = 0; pass < passes; ++pass) {
        CopyHistory start = *copies;
        tokens->resize(firstToken);
        BuildPriceTables(prices, &tables);
        ParsePass(input, matches, tables, &start, tokens, nodes);
        if (pass + 1 == passes) {
            *copies = start;
            break;
        }
        // Price the next pass with the code this parse would get.
        uint32_t counts[kTableLengthCount];
        CountTokenSymbols(tokens->data() + firstToken, tokens->size() - firstToken, input.history + input.begin,
                          *copies, prices, counts);
        uint8_t lengths[kTableLengthCount];
        BuildTablesFromCounts(counts, lengths);
        PricesFromLengths(lengths, kUnusedSymbolGuess, prices);
        // When the code in force would send this parse for less than a new
        // table block plus the new code, the coder keeps it: price by it.
        if (input.tables != nullptr && input.tables->haveTables) {
            uint64_t keepBits = 0;
            uint64_t newBits = input.tables->lengths[kSymNewTables] +
                               TableBlockBits(lengths, input.tables->previousLengths);
            bool covered = true;
            for (uint32_t i = 0; i < kTableLengthCount; ++i) {
                if (counts[i] == 0) continue;
                covered &= input.tables->lengths[i] != 0;
                keepBits += static_cast<uint64_t>(counts[i]) * input.tables->lengths[i];
                newBits += static_cast<uint64_t>(counts[i]) * lengths[i];
            }
            if (covered && keepBits <= newBits) PricesFromLengths(input.tables->lengths, kUnusedSymbolGuess, prices);
        }
    }
}
