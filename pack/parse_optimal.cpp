#include "pack/parse.h"

#include <cstdint>
#include <cstring>

#include "pack/block_planner.h"
#include "pack/table_block.h"

namespace {

enum : uint32_t {
    kSegment = 16384,       // positions solved as one shortest-path problem
    kMaxCandidates = 24,
    kPlanningNiceLength = 20,  // a copy this long is taken whole in the passes that plan blocks
    kQuickLazyLength = 32,     // the quick parse takes a copy this long without looking one byte on
    kUnreached = 0xFFFFFFFFu,
    kFromSecond = 0x80000000u,  // in Node::from: the step leaves from that node's second arrival
    kSecondSlack = 8,           // a second arrival dearer than the first by this many bits is not followed
};

struct Node {
    uint32_t price;
    uint32_t from;
    uint32_t distance;    // the step's token: a copy of length at distance, or a literal (0)
    uint16_t length;      // (16 bits hold any token's length: a node fills 16 bytes)
    uint16_t leadLength;  // non-zero: the step is a copy of this length at distance, one
                          // literal, then the token (a copy at the same distance)
};

// (The copy history along the cheapest path to each node lives in an array
// of its own: the relaxations, which touch many nodes ahead, stay in fewer
// cache lines.)
static_assert(sizeof(Node) == 16, "a node fills 16 bytes");

inline Node MakeNode(uint32_t price, uint32_t from, uint32_t length, uint32_t distance, uint32_t leadLength) {
    return {price, from, distance, static_cast<uint16_t>(length), static_cast<uint16_t>(leadLength)};
}

// The cheapest arrival at a node whose newest copy distance differs from
// that of the node's cheapest path: a recent copy at that distance may pay
// for the dearer way in.
struct SecondArrival {
    Node node;
    uint32_t newest;        // the newest copy distance after the step
    CopyHistory history;    // along this path; set once the node is reached
};

// Prices that depend only on the length value or distance, looked up in the
// inner loop instead of choosing a symbol for every length.
struct PriceTables {
    uint32_t longLength[256];    // long copy slot symbol plus extra bits, by length value
    uint32_t recentLength[256];  // recent-copy length symbol plus extra bits, by length value
    // The most a recent-copy length costs above the long-copy length of the
    // same copy, for distances up to 256 (index 0) and beyond (1): a recent
    // symbol no dearer than the distance's price minus this always wins.
    int32_t recentOverLong[2];
    const uint32_t* prices;
    bool planning;  // a pass that only counts symbols for planning blocks
};

void BuildPriceTables(const uint32_t* prices, PriceTables* tables) {
    for (uint32_t v = 0; v < 256; ++v) {
        uint32_t slot = LengthSlot(v);
        tables->longLength[v] = prices[kSymLongFirst + slot] + kLengthBits[slot];
        tables->recentLength[v] = prices[kRecentTableOffset + slot] + kLengthBits[slot];
    }
    for (uint32_t far = 0; far < 2; ++far) {
        // A recent copy's length value is one above the long copy's, less
        // one more beyond 256 bytes back (its extra bonus).
        int32_t most = INT32_MIN;
        for (uint32_t v = 0; v < 256; ++v) {
            if (v + far < 1 || v + far - 1 > 255) continue;
            int32_t gap = static_cast<int32_t>(tables->recentLength[v]) -
                          static_cast<int32_t>(tables->longLength[v + far - 1]);
            if (gap > most) most = gap;
        }
        tables->recentOverLong[far] = most;
    }
    tables->prices = prices;
}

inline uint32_t DistancePrice(const uint32_t* prices, uint32_t distance) {
    uint32_t slot = DistanceSlot(distance - 1);
    return prices[kDistanceTableOffset + slot] + kDistanceBits[slot];
}

// One node of a segment's shortest path, with what the search around it needs.
struct Segment {
    const ParseInput& input;
    const StretchMatches& matches;
    const PriceTables& tables;
    Node* nodes;
    CopyHistory* histories;  // per node, the history along its cheapest path
    SecondArrival* seconds;  // per node; null where none are kept (planning passes, levels without)
    uint32_t* secondPrices;  // per node, the second arrival's price (kUnreached: none), apart
                             // from the rest: most steps only compare prices
    uint32_t start;  // position of node 0
    uint32_t size;   // nodes 0..size
};

// The newest copy distance after the step into a node: the copy's own, or
// for a literal the one of the node it leaves from.
inline uint32_t NewestAfter(const Segment& segment, const Node& step) {
    if (step.distance != 0) return step.distance;
    const uint32_t from = step.from & ~kFromSecond;
    return (step.from & kFromSecond) != 0 ? segment.seconds[from].newest
                                          : RecentDistance(segment.histories[from], 0);
}

// The path `step`, whose newest distance is newest, becomes node at's second arrival.
inline void KeepSecond(const Segment& segment, uint32_t at, const Node& step, uint32_t newest) {
    SecondArrival& second = segment.seconds[at];
    segment.secondPrices[at] = step.price;
    second.node = step;
    second.newest = newest;
}

// Node at takes a cheaper path whose newest distance is newest: the path it
// had stays as the second arrival when that one's newest distance differs.
// (kSeconds: the pass keeps second arrivals. As a template argument, the
// passes without them carry none of their tests in the inner loops.)
template <bool kSeconds>
inline void Replace(const Segment& segment, uint32_t at, const Node& step, uint32_t newest) {
    Node& node = segment.nodes[at];
    // (A path dearer than the slack would not be followed; kUnreached is.)
    if (kSeconds && node.price - step.price < kSecondSlack && node.price < segment.secondPrices[at]) {
        const uint32_t displaced = NewestAfter(segment, node);
        if (displaced != newest) KeepSecond(segment, at, node, displaced);
    }
    node = step;
}

template <bool kSeconds>
inline void Relax(const Segment& segment, uint32_t at, uint32_t price, uint32_t from, uint32_t length,
                  uint32_t distance) {
    if (price < segment.nodes[at].price) {
        Replace<kSeconds>(segment, at, MakeNode(price, from, length, distance, 0), distance);
    }
}

// A step from a node's second arrival: it may become the target's path, or
// its second arrival.
inline void OfferFromSecond(const Segment& segment, uint32_t at, const Node& step, uint32_t newest) {
    if (step.price < segment.nodes[at].price) {
        Replace<true>(segment, at, step, newest);
        return;
    }
    if (step.price < segment.secondPrices[at] && newest != NewestAfter(segment, segment.nodes[at])) {
        KeepSecond(segment, at, step, newest);
    }
}

template <bool kSeconds>
inline void OfferStep(const Segment& segment, uint32_t at, const Node& step, uint32_t newest) {
    if (kSeconds && (step.from & kFromSecond) != 0) {
        OfferFromSecond(segment, at, step, newest);
    } else if (step.price < segment.nodes[at].price) {
        Replace<kSeconds>(segment, at, step, newest);
    }
}

// A copy, one literal, and the same distance again: the second copy is a
// cheap recent-distance copy that a path through the literal alone, with a
// different copy history, would not offer. `from` is a node, marked with
// kFromSecond when the copy leaves from its second arrival.
template <bool kSeconds>
__attribute__((always_inline)) inline void RelaxWithRepeat(const Segment& segment, uint32_t from, uint32_t fromPrice,
                                                           uint32_t pos, uint32_t available, uint32_t copyPrice,
                                                           uint32_t length, uint32_t distance) {
    const ParseInput& input = segment.input;
    const PriceTables& tables = segment.tables;
    const uint32_t i = from & ~kFromSecond;
    // A planning pass leaves these out: they shift few symbol counts.
    if (tables.planning || length + 3 > available) return;
    const uint8_t* second = input.history + pos + length + 1;
    // Both copies the literal leads to need two bytes at least: most
    // places fail that first look.
    if (!FirstTwoAgree(second, second - distance)) return;
    uint32_t limit = MaxRecentLength(distance);
    if (limit > available - length - 1) limit = available - length - 1;
    uint32_t repeat = AgreeingLength(second, second - distance, 2, limit);
    const uint32_t* prices = tables.prices;
    uint32_t base = fromPrice + copyPrice + prices[input.history[pos + length]];
    uint32_t bonus = RecentCopyBonus(distance);
    uint32_t at = i + length + 1;
    if (repeat >= 2 + bonus) {
        uint32_t price = base + prices[kSymRecentFirst] + tables.recentLength[repeat - 2 - bonus];
        OfferStep<kSeconds>(segment, at + repeat, MakeNode(price, from, repeat, distance, length), distance);
    }
    if (repeat >= length) {
        uint32_t price = base + prices[kSymRepeatLast];
        OfferStep<kSeconds>(segment, at + length, MakeNode(price, from, length, distance, length), distance);
    }
}

// The history along a path into node i: the one of the node it leaves from,
// plus this step's copies.
template <bool kSeconds>
inline void FollowStep(const Segment& segment, const Node& node, CopyHistory* history) {
    CopyHistory& copies = *history;
    const uint32_t from = node.from & ~kFromSecond;
    copies = kSeconds && (node.from & kFromSecond) != 0 ? segment.seconds[from].history : segment.histories[from];
    if (node.leadLength != 0) RecordCopy(&copies, node.leadLength, node.distance);
    if (node.distance != 0) RecordCopy(&copies, node.length, node.distance);
}

template <bool kSeconds>
inline void FollowPath(const Segment& segment, uint32_t i) {
    FollowStep<kSeconds>(segment, segment.nodes[i], &segment.histories[i]);
}

// Whether one of the `count` newest distances of h is distance.
// (count is at most 4: all four are looked at, so that no loop exit
// depends on count, which the processor mispredicted.)
inline bool AmongRecent(const CopyHistory& h, uint32_t count, uint32_t distance) {
    const auto seenAt = [&](uint32_t j) {
        return static_cast<uint32_t>(j < count) & static_cast<uint32_t>(RecentDistance(h, j) == distance);
    };
    return (seenAt(0) | seenAt(1) | seenAt(2) | seenAt(3)) != 0;
}

// How many bytes from here repeat distance back, up to what one recent-distance
// copy sends and `available`.
inline uint32_t RecentRepeatLength(const uint8_t* here, uint32_t distance, uint32_t available) {
    // Every copy sends two bytes at least: most recent distances fail here
    // at once (0 then stands for fewer than two).
    if (available < 2 || !FirstTwoAgree(here, here - distance)) return 0;
    uint32_t limit = MaxRecentLength(distance);
    if (limit > available) limit = available;
    return AgreeingLength(here, here - distance, 2, limit);
}

struct Longest {
    uint32_t length;
    uint32_t distance;
};

// Copies at the four recent distances (and the repeat of the last copy),
// each length priced with the cheapest symbol that sends it.
template <bool kSeconds>
void RelaxRecentCopies(const Segment& segment, uint32_t i, Longest* longest) {
    const ParseInput& input = segment.input;
    const PriceTables& tables = segment.tables;
    const uint32_t* prices = tables.prices;
    // (A copy: the relaxations below store to other nodes, which the
    // compiler cannot tell from this one.)
    const uint32_t nodePrice = segment.nodes[i].price;
    const CopyHistory& h = segment.histories[i];
    const uint32_t pos = segment.start + i;
    const uint8_t* here = input.history + pos;
    const uint32_t available = segment.size - i;
    for (uint32_t k = 0; k < 4; ++k) {
        uint32_t distance = RecentDistance(h, k);
        if (distance == 0 || distance > pos - input.windowStart) continue;
        uint32_t length = RecentRepeatLength(here, distance, available);
        if (length < 2 || AmongRecent(h, k, distance)) continue;
        if (length > longest->length) *longest = {length, distance};
        const uint32_t shortest = MinRecentLength(distance);  // the length of recentLength[0]
        // Most recent distances agree on fewer bytes than any copy there
        // sends: nothing to price then.
        const bool repeatsLast = distance == h.lastDistance && h.lastLength >= 2 && h.lastLength <= length;
        if (length < shortest && !repeatsLast) continue;
        uint32_t symbolPrice = prices[kSymRecentFirst + k];
        uint32_t distancePrice = DistancePrice(prices, distance);
        const uint32_t shortestLong = MinLongLength(distance);
        const uint32_t longestLong = MaxLongLength(distance);
        // Beyond 256 bytes back a recent copy has one bonus more than a long one.
        const uint32_t far = RecentCopyBonus(distance) - LongCopyBonus(distance);
        // Unless the long-copy symbol could send some of these lengths for
        // less, the recent symbol's price is the whole story.
        const bool longMayWin =
            static_cast<int32_t>(symbolPrice) + tables.recentOverLong[far] > static_cast<int32_t>(distancePrice);
        if (!longMayWin) {
            const uint32_t base = nodePrice + symbolPrice;
            for (uint32_t l = shortest; l <= length; ++l) {
                Relax<kSeconds>(segment, i + l, base + tables.recentLength[l - shortest], i, l, distance);
            }
        } else {
            for (uint32_t l = shortest; l <= length; ++l) {
                uint32_t price = symbolPrice + tables.recentLength[l - shortest];
                if (l >= shortestLong && l <= longestLong) {
                    uint32_t viaLong = tables.longLength[l - shortestLong] + distancePrice;
                    if (viaLong < price) price = viaLong;
                }
                Relax<kSeconds>(segment, i + l, nodePrice + price, i, l, distance);
            }
        }
        // The repeat of the last copy (of any length), where it is cheaper
        // still: the node holds the cheapest of the prices above, so this
        // keeps the minimum.
        if (repeatsLast) {
            Relax<kSeconds>(segment, i + h.lastLength, nodePrice + prices[kSymRepeatLast], i, h.lastLength, distance);
        }
        if (length >= shortest) {
            uint32_t price = symbolPrice + tables.recentLength[length - shortest];
            RelaxWithRepeat<kSeconds>(segment, i, nodePrice, pos, available, price, length, distance);
        }
    }
}

// The finder's copies: each length at the nearest distance that reaches it.
// (Out of line, the loop over the nodes around it keeps more in registers:
// 2% less time at level 4.)
template <bool kSeconds>
__attribute__((noinline)) void RelaxFinderCopies(const Segment& segment, uint32_t i, Longest* longest) {
    const ParseInput& input = segment.input;
    const PriceTables& tables = segment.tables;
    const uint32_t* prices = tables.prices;
    const uint32_t nodePrice = segment.nodes[i].price;  // (a copy, as in RelaxRecentCopies)
    const uint32_t pos = segment.start + i;
    const uint32_t available = segment.size - i;
    const uint32_t firstCandidate = segment.matches.first[pos - input.begin];
    const uint32_t lastCandidate = segment.matches.first[pos - input.begin + 1];
    uint32_t covered = 1;
    for (uint32_t c = firstCandidate; c < lastCandidate; ++c) {
        MatchCandidate m = segment.matches.candidates[c];
        if (m.length > available) m.length = available;
        if (m.length <= covered) continue;
        if (m.length > longest->length) *longest = {m.length, m.distance};
        if (m.length == 2) {
            // Two bytes go as a short copy within 256 bytes (as a recent or
            // repeated copy they were priced above); no long copy sends them.
            if (m.distance <= kShortCopyReach) {
                const uint32_t slot = ShortSlot(m.distance);
                const uint32_t price = nodePrice + prices[kSymShortFirst + slot] + kShortBits[slot];
                Relax<kSeconds>(segment, i + 2, price, i, 2, m.distance);
            }
            covered = 2;
            continue;
        }
        uint32_t bonus = LongCopyBonus(m.distance);
        uint32_t distancePrice = DistancePrice(prices, m.distance);
        uint32_t from = covered + 1 > 3 + bonus ? covered + 1 : 3 + bonus;
        const uint32_t base = nodePrice + distancePrice;
        for (uint32_t l = from; l <= m.length; ++l) {
            Relax<kSeconds>(segment, i + l, base + tables.longLength[l - 3 - bonus], i, l, m.distance);
        }
        if (m.length >= from) {
            RelaxWithRepeat<kSeconds>(segment, i, nodePrice, pos, available,
                                      tables.longLength[m.length - 3 - bonus] + distancePrice, m.length, m.distance);
        }
        covered = m.length;
    }
}

// The steps from node i's second arrival that its own history offers: a
// literal (which keeps that history on) and recent copies at the distances
// the cheapest path to i does not hold.
void RelaxFromSecond(const Segment& segment, uint32_t i) {
    const ParseInput& input = segment.input;
    const PriceTables& tables = segment.tables;
    const uint32_t* prices = tables.prices;
    SecondArrival& second = segment.seconds[i];
    FollowStep<true>(segment, second.node, &second.history);
    const CopyHistory& h = second.history;
    const CopyHistory& first = segment.histories[i];
    const uint32_t from = i | kFromSecond;
    const uint32_t pos = segment.start + i;
    const uint8_t* here = input.history + pos;
    const uint32_t available = segment.size - i;
    const uint32_t literal = second.node.price + prices[input.history[pos]];
    OfferFromSecond(segment, i + 1, MakeNode(literal, from, 1, 0, 0), second.newest);
    for (uint32_t k = 0; k < 4; ++k) {
        const uint32_t distance = RecentDistance(h, k);
        if (distance == 0 || distance > pos - input.windowStart) continue;
        const uint32_t length = RecentRepeatLength(here, distance, available);
        const uint32_t shortest = MinRecentLength(distance);
        if (length < shortest) continue;
        if (AmongRecent(h, k, distance) || AmongRecent(first, 4, distance)) continue;
        const uint32_t base = second.node.price + prices[kSymRecentFirst + k];
        for (uint32_t l = shortest; l <= length; ++l) {
            const Node step = MakeNode(base + tables.recentLength[l - shortest], from, l, distance, 0);
            OfferFromSecond(segment, i + l, step, distance);
        }
        RelaxWithRepeat<true>(segment, from, second.node.price, pos, available,
                              prices[kSymRecentFirst + k] + tables.recentLength[length - shortest], length,
                              distance);
    }
}

// A very long copy is taken as it is: the path cannot do much better, and
// everything it covers is skipped, so its end becomes the only way on.
template <bool kSeconds>
void TakeLongCopy(const Segment& segment, uint32_t i, const Longest& longest) {
    Node* nodes = segment.nodes;
    const Node& node = nodes[i];
    const uint32_t* prices = segment.tables.prices;
    uint32_t target = i + longest.length;
    for (uint32_t j = i + 1; j < target; ++j) nodes[j].price = kUnreached;
    if (kSeconds) {
        for (uint32_t j = i + 1; j <= target; ++j) segment.secondPrices[j] = kUnreached;
    }
    CodedSymbol symbol;
    uint32_t price = ChooseCopySymbol(longest.length, longest.distance, segment.histories[i], prices, &symbol);
    if (price < kImpossiblePrice) {
        nodes[target] = MakeNode(node.price + price, i, longest.length, longest.distance, 0);
    } else {
        nodes[i + 1] = MakeNode(node.price + prices[segment.input.history[segment.start + i]], i, 1, 0, 0);
    }
}

// Walks back from the segment's end; appends the path's tokens in order and
// advances copies by them.
void EmitPath(const Segment& segment, CopyHistory* copies, std::vector<Token>* tokens, std::vector<Token>* reversed) {
    reversed->clear();
    bool second = false;
    for (uint32_t at = segment.size; at > 0;) {
        const Node& step = second ? segment.seconds[at].node : segment.nodes[at];
        second = (step.from & kFromSecond) != 0;
        at = step.from & ~kFromSecond;
        reversed->push_back({step.length, step.distance});
        if (step.leadLength != 0) {
            reversed->push_back({1, 0});
            reversed->push_back({step.leadLength, step.distance});
        }
    }
    for (size_t j = reversed->size(); j-- > 0;) {
        const Token& t = (*reversed)[j];
        tokens->push_back(t);
        if (t.distance != 0) RecordCopy(copies, t.length, t.distance);
    }
}

// The cheapest path through a segment whose node 0 is set: each node
// reached, in order, offers its steps to the nodes ahead.
template <bool kSeconds>
void SolveSegment(const Segment& segment, uint32_t nice) {
    const ParseInput& input = segment.input;
    Node* nodes = segment.nodes;
    for (uint32_t i = 0; i < segment.size; ++i) {
        const Node& node = nodes[i];
        if (node.price == kUnreached) continue;
        if (i > 0) FollowPath<kSeconds>(segment, i);
        if (kSeconds && segment.secondPrices[i] < node.price + kSecondSlack) RelaxFromSecond(segment, i);
        const uint32_t literal = node.price + segment.tables.prices[input.history[segment.start + i]];
        if (literal < nodes[i + 1].price) {
            Replace<kSeconds>(segment, i + 1, MakeNode(literal, i, 1, 0, 0), RecentDistance(segment.histories[i], 0));
        }
        Longest longest = {0, 0};
        RelaxRecentCopies<kSeconds>(segment, i, &longest);
        RelaxFinderCopies<kSeconds>(segment, i, &longest);
        if (longest.length >= nice && longest.length > 1) TakeLongCopy<kSeconds>(segment, i, longest);
    }
}

// The optimal passes' work space, per node of a segment.
struct Scratch {
    std::vector<Node> nodes;
    std::vector<CopyHistory> histories;  // the history along each node's cheapest path
    std::vector<SecondArrival> seconds;
    std::vector<uint32_t> secondPrices;  // kUnreached: no second arrival
};

// One pass over positions begin..end of the stretch, segment by segment;
// appends its tokens and advances copies.
void ParseRange(const ParseInput& input, const StretchMatches& matches, const PriceTables& tables, uint32_t begin,
                uint32_t end, bool secondArrivals, uint32_t nice, CopyHistory* copies, std::vector<Token>* tokens,
                Scratch* scratch) {
    std::vector<Node>& nodes = scratch->nodes;
    std::vector<Token> reversed;
    for (uint32_t segmentStart = begin; segmentStart < end;) {
        uint32_t segmentEnd = end - segmentStart > kSegment ? segmentStart + kSegment : end;
        // A planning pass keeps no second arrivals: it only counts symbols.
        SecondArrival* second = secondArrivals && !tables.planning ? scratch->seconds.data() : nullptr;
        uint32_t* secondPrice = scratch->secondPrices.data();
        Segment segment = {input,       matches,      tables,       nodes.data(), scratch->histories.data(),
                           second,      secondPrice,  segmentStart, segmentEnd - segmentStart};
        for (uint32_t i = 0; i <= segment.size; ++i) nodes[i].price = kUnreached;
        if (second != nullptr) {
            for (uint32_t i = 0; i <= segment.size; ++i) secondPrice[i] = kUnreached;
        }
        nodes[0].price = 0;
        scratch->histories[0] = *copies;
        if (second != nullptr) {
            SolveSegment<true>(segment, nice);
        } else {
            SolveSegment<false>(segment, nice);
        }
        EmitPath(segment, copies, tokens, &reversed);
        segmentStart = segmentEnd;
    }
}

// The longest copy at pos that the format can send: at a recent distance or
// the finder's longest; a literal (distance 0) when there is none.
Token LongestCopy(const ParseInput& input, const StretchMatches& matches, uint32_t pos, uint32_t end,
                  const CopyHistory& history) {
    Token best = {1, 0};
    const uint32_t available = end - pos;
    const uint8_t* here = input.history + pos;
    for (uint32_t k = 0; k < 4; ++k) {
        const uint32_t distance = RecentDistance(history, k);
        if (distance == 0 || distance > pos - input.windowStart) continue;
        const uint32_t length = RecentRepeatLength(here, distance, available);
        if (length >= MinRecentLength(distance) && length > best.length) best = {length, distance};
    }
    const uint32_t first = matches.first[pos - input.begin];
    const uint32_t last = matches.first[pos - input.begin + 1];
    if (last > first) {
        // The finder's candidates come in order of length; it checked the
        // shortest length a long copy at that distance needs.
        MatchCandidate m = matches.candidates[last - 1];
        if (m.length > available) m.length = available;
        const bool sendable = m.length == kShortCopyLength ? m.distance <= kShortCopyReach
                                                           : m.length >= MinLongLength(m.distance);
        if (m.length > best.length && sendable) best = {m.length, m.distance};
    }
    return best;
}

// A quick lazy parse of positions begin..end over the stretch's matches,
// only to plan the blocks of the first optimal pass: each position takes its
// longest copy, unless the next position has a longer one by two bytes.
void ParseQuick(const ParseInput& input, const StretchMatches& matches, uint32_t begin, uint32_t end,
                CopyHistory* copies, std::vector<Token>* tokens) {
    if (begin >= end) return;
    Token here = LongestCopy(input, matches, begin, end, *copies);
    for (uint32_t pos = begin; pos < end;) {
        Token token = here;
        // After a literal the history is the same, so the copy looked up
        // one byte on is the next position's own.
        bool lookedOn = false;
        if (token.distance != 0 && token.length < kQuickLazyLength && pos + 1 < end) {
            here = LongestCopy(input, matches, pos + 1, end, *copies);
            lookedOn = true;
            if (here.length > token.length + 1) token = {1, 0};
        }
        tokens->push_back(token);
        if (token.distance != 0) RecordCopy(copies, token.length, token.distance);
        pos += token.length;
        if (pos < end && !(lookedOn && token.distance == 0)) here = LongestCopy(input, matches, pos, end, *copies);
    }
}

// A stretch of positions priced with one code.
struct PlannedBlock {
    uint32_t begin;
    uint32_t end;
    uint32_t prices[kTableLengthCount];
};

// Prices for a block from the counts of its symbols: by the code they would
// get, or for the stretch's first block by the code in force where the coder
// would keep it (it sends them for less than a new table block and code).
void PriceBlock(const ParseInput& input, const uint32_t* counts, bool first, uint32_t* prices) {
    uint8_t lengths[kTableLengthCount];
    BuildTablesFromCounts(counts, lengths);
    PricesFromLengths(lengths, kUnusedSymbolGuess, prices);
    if (!first || input.tables == nullptr || !input.tables->haveTables) return;
    uint64_t keepBits = 0;
    uint64_t newBits = input.tables->lengths[kSymNewTables] + TableBlockBits(lengths, input.tables->previousLengths);
    bool covered = true;
    for (uint32_t i = 0; i < kTableLengthCount; ++i) {
        if (counts[i] == 0) continue;
        covered &= input.tables->lengths[i] != 0;
        keepBits += static_cast<uint64_t>(counts[i]) * input.tables->lengths[i];
        newBits += static_cast<uint64_t>(counts[i]) * lengths[i];
    }
    if (covered && keepBits <= newBits) PricesFromLengths(input.tables->lengths, kUnusedSymbolGuess, prices);
}

// Scales the quick parse's counts of a block by how the final parse's
// counts differed from the quick parse's so far (no change before the
// first stretch is learnt). A symbol used stays used.
void ScaleQuickCounts(const ParseLearning* learning, uint32_t* counts) {
    if (learning == nullptr || !learning->known) return;
    for (uint32_t i = 0; i < kTableLengthCount; ++i) {
        if (counts[i] == 0) continue;
        // counts * (final + 1/2) / (quick + 1/2), rounded: a symbol neither
        // parse used yet keeps its count.
        const uint64_t finalWeight = 2 * learning->finalCounts[i] + 1;
        const uint64_t quickWeight = 2 * learning->quickCounts[i] + 1;
        const uint64_t scaled = (counts[i] * finalWeight + quickWeight / 2) / quickWeight;
        counts[i] = scaled == 0 ? 1 : static_cast<uint32_t>(scaled < UINT32_MAX ? scaled : UINT32_MAX);
    }
}

// Adds one stretch's counts to what is learnt, the older stretches weighing
// a quarter less each time.
void Learn(const uint32_t* finalCounts, const uint32_t* quickCounts, ParseLearning* learning) {
    for (uint32_t i = 0; i < kTableLengthCount; ++i) {
        learning->finalCounts[i] = learning->finalCounts[i] - learning->finalCounts[i] / 4 + finalCounts[i];
        learning->quickCounts[i] = learning->quickCounts[i] - learning->quickCounts[i] / 4 + quickCounts[i];
    }
    learning->known = true;
}

// Plans the blocks of the optimal passes from the quick parse's tokens (each
// copy sent by the symbol that prices choose): where a code of its own pays,
// and each block's prices from the code its tokens would get (the counts
// scaled by what is learnt). Adds the tokens' symbol counts to quickCounts.
void PlanBlocks(const ParseInput& input, const Token* tokens, size_t count, const CopyHistory& start,
                const uint32_t* prices, std::vector<PlannedBlock>* planned, uint32_t* quickCounts) {
    TokenSymbols symbols;
    symbols.main.resize(count);
    symbols.second.resize(count);
    std::vector<uint32_t> positions(count + 1);  // where each token starts
    CopyHistory history = start;
    uint32_t pos = input.begin;
    for (size_t t = 0; t < count; ++t) {
        positions[t] = pos;
        const Token& token = tokens[t];
        if (token.distance == 0) {
            symbols.main[t] = input.history[pos];
            symbols.second[t] = kNoSecond;
        } else {
            CodedSymbol symbol;
            ChooseCopySymbol(token.length, token.distance, history, prices, &symbol);
            RecordCopy(&history, token.length, token.distance);
            symbols.main[t] = symbol.main;
            symbols.second[t] = symbol.second;
        }
        pos += token.length;
    }
    positions[count] = pos;

    static const uint8_t kNoLengths[kTableLengthCount] = {};
    const bool haveTables = input.tables != nullptr && input.tables->haveTables;
    const uint8_t* previous = haveTables ? input.tables->previousLengths : kNoLengths;
    std::vector<std::pair<size_t, size_t>> ranges;
    PlanBlockRanges(symbols, count, previous, &ranges);

    planned->clear();
    for (size_t r = 0; r < ranges.size(); ++r) {
        PlannedBlock next;
        next.begin = r == 0 ? input.begin : positions[ranges[r].first];
        next.end = r + 1 == ranges.size() ? input.end : positions[ranges[r].second];
        uint32_t counts[kTableLengthCount];
        CountTokenRange(symbols, ranges[r].first, ranges[r].second, counts);
        for (uint32_t i = 0; i < kTableLengthCount; ++i) quickCounts[i] += counts[i];
        ScaleQuickCounts(input.learning, counts);
        PriceBlock(input, counts, r == 0, next.prices);
        if (next.end > next.begin) planned->push_back(next);
    }
}

// The symbol counts of each block's tokens, each copy sent by the symbol
// its block's prices choose: kTableLengthCount counts a block.
void CountBlockSymbols(const ParseInput& input, const Token* tokens, size_t count, const CopyHistory& start,
                       const std::vector<size_t>& blockFirstToken, const std::vector<PlannedBlock>& blocks,
                       std::vector<uint32_t>* counts) {
    counts->resize(blocks.size() * kTableLengthCount);
    CopyHistory history = start;
    uint32_t pos = input.begin;
    for (size_t b = 0; b < blocks.size(); ++b) {
        const size_t first = blockFirstToken[b];
        const size_t last = b + 1 < blockFirstToken.size() ? blockFirstToken[b + 1] : count;
        CountTokenSymbols(tokens + first, last - first, input.history + pos, history, blocks[b].prices,
                          counts->data() + b * kTableLengthCount);
        for (size_t t = first; t < last; ++t) {
            if (tokens[t].distance != 0) RecordCopy(&history, tokens[t].length, tokens[t].distance);
            pos += tokens[t].length;
        }
    }
}

// Prices each block anew from the symbols of its tokens under its old
// prices, keeping the blocks where they are.
void RepriceBlocks(const ParseInput& input, const Token* tokens, size_t count, const CopyHistory& start,
                   const std::vector<size_t>& blockFirstToken, std::vector<PlannedBlock>* blocks) {
    std::vector<uint32_t> counts;
    CountBlockSymbols(input, tokens, count, start, blockFirstToken, *blocks, &counts);
    for (size_t b = 0; b < blocks->size(); ++b) {
        PriceBlock(input, counts.data() + b * kTableLengthCount, b == 0, (*blocks)[b].prices);
    }
}

}  // namespace

void FindStretchMatches(const ParseInput& input, StretchMatches* matches) {
    std::vector<uint32_t>& first = matches->first;
    std::vector<MatchCandidate>& candidates = matches->candidates;
    first.resize(input.end - input.begin + 1);
    // The finder writes each position's candidates straight into the list,
    // which keeps room for a whole search at its end. (It is not cut to
    // size afterwards: the room serves the next stretch.)
    if (candidates.size() < 4 * static_cast<size_t>(input.end - input.begin) + kMaxCandidates) {
        candidates.resize(4 * static_cast<size_t>(input.end - input.begin) + kMaxCandidates);
    }
    size_t used = 0;
    for (uint32_t pos = input.begin; pos < input.end; ++pos) {
        first[pos - input.begin] = static_cast<uint32_t>(used);
        if (candidates.size() < used + kMaxCandidates) candidates.resize(2 * candidates.size());
        MatchCandidate* found = candidates.data() + used;
        const uint32_t n = TreeFindMatches(input.tree, input.history, pos, input.end - pos, input.historySize,
                                           found, kMaxCandidates);
        uint32_t kept = n;
        // A distance reaches before the window only when the window starts
        // after the history does.
        if (input.windowStart != 0) {
            kept = 0;
            for (uint32_t i = 0; i < n; ++i) {
                if (found[i].distance <= pos - input.windowStart) found[kept++] = found[i];
            }
        }
        used += kept;
    }
    first[input.end - input.begin] = static_cast<uint32_t>(used);
}

void ParseOptimal(const ParseInput& input, const StretchMatches& matches, const OptimalOptions& options,
                  CopyHistory* copies, std::vector<Token>* tokens, std::vector<size_t>* blockStarts) {
    // Kept from one stretch to the next: fresh megabytes for every stretch
    // would cost page faults and clearing, and every pass sets what it reads.
    static thread_local Scratch scratch = {std::vector<Node>(kSegment + 1), std::vector<CopyHistory>(kSegment + 1),
                                           std::vector<SecondArrival>(kSegment + 1),
                                           std::vector<uint32_t>(kSegment + 1)};
    std::vector<PlannedBlock> blocks(1);
    blocks[0].begin = input.begin;
    blocks[0].end = input.end;
    std::memcpy(blocks[0].prices, input.prices, sizeof(blocks[0].prices));
    std::vector<size_t> firstTokens;
    const size_t firstToken = tokens->size();
    const CopyHistory start = *copies;
    uint32_t quickCounts[kTableLengthCount] = {};
    const uint32_t passes = options.passes < 1 ? 1 : options.passes;
    if (options.planned) {
        // The first pass is priced by blocks planned from a quick parse: far
        // closer to its own statistics than the code in force.
        CopyHistory history = *copies;
        ParseQuick(input, matches, input.begin, input.end, &history, tokens);
        std::vector<PlannedBlock> planned;
        PlanBlocks(input, tokens->data() + firstToken, tokens->size() - firstToken, *copies, input.prices, &planned,
                   quickCounts);
        blocks.swap(planned);
    }
    PriceTables tables;
    for (uint32_t pass = 0;; ++pass) {
        CopyHistory history = *copies;
        tokens->resize(firstToken);
        firstTokens.clear();
        for (const PlannedBlock& block : blocks) {
            firstTokens.push_back(tokens->size() - firstToken);
            BuildPriceTables(block.prices, &tables);
            tables.planning = pass + 1 < passes;
            // A planning pass only counts symbols: it takes long copies whole
            // sooner, where the final pass still weighs their every length.
            uint32_t nice = options.wholeLength != 0 ? options.wholeLength : input.tree->niceLength;
            if (tables.planning && nice > kPlanningNiceLength) nice = kPlanningNiceLength;
            ParseRange(input, matches, tables, block.begin, block.end, options.secondArrivals, nice, &history, tokens,
                       &scratch);
        }
        if (pass + 1 >= passes) {
            *copies = history;
            break;
        }
        // The blocks stay; their prices follow this pass's statistics.
        RepriceBlocks(input, tokens->data() + firstToken, tokens->size() - firstToken, *copies, firstTokens, &blocks);
    }
    if (options.planned && input.learning != nullptr) {
        std::vector<uint32_t> counts;
        CountBlockSymbols(input, tokens->data() + firstToken, tokens->size() - firstToken, start, firstTokens, blocks,
                          &counts);
        uint32_t finalCounts[kTableLengthCount] = {};
        for (size_t b = 0; b < blocks.size(); ++b) {
            for (uint32_t i = 0; i < kTableLengthCount; ++i) finalCounts[i] += counts[b * kTableLengthCount + i];
        }
        Learn(finalCounts, quickCounts, input.learning);
    }
    for (size_t first : firstTokens) blockStarts->push_back(firstToken + first);
}
