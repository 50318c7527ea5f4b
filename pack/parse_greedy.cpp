#include "pack/parse.h"

namespace {

struct Choice {
    uint32_t length;    // 0: no copy
    uint32_t distance;
    int32_t gain;       // bits saved against sending the bytes as literals
};

// The stretch's literal prices, summed: the price of sending any run of its
// bytes as literals is one subtraction.
struct LiteralSums {
    std::vector<uint32_t> sums;
    uint32_t begin;
    int32_t Bits(uint32_t pos, uint32_t length) const {
        return static_cast<int32_t>(sums[pos + length - begin] - sums[pos - begin]);
    }
};

void Consider(const ParseInput& input, const LiteralSums& literals, const CopyHistory& copies, uint32_t pos,
              uint32_t length, uint32_t distance, Choice* best) {
    CodedSymbol symbol;
    uint32_t price = ChooseCopySymbol(length, distance, copies, input.prices, &symbol);
    if (price >= kImpossiblePrice) return;
    int32_t gain = literals.Bits(pos, length) - static_cast<int32_t>(price);
    if (gain > best->gain) *best = {length, distance, gain};
}

// The best copy at pos: the recent distances, the last copy and the finder's candidates.
Choice BestCopy(const ParseInput& input, const LiteralSums& literals, const CopyHistory& copies, uint32_t pos) {
    Choice best = {0, 0, 0};
    const uint32_t available = input.end - pos;
    const uint8_t* here = input.history + pos;
    for (uint32_t k = 0; k < 4; ++k) {
        uint32_t distance = RecentDistance(copies, k);
        if (distance == 0 || distance > pos - input.windowStart) continue;
        uint32_t limit = MaxRecentLength(distance);
        if (limit > available) limit = available;
        uint32_t length = CommonLength(here, here - distance, limit);
        if (length >= 2) Consider(input, literals, copies, pos, length, distance, &best);
        if (k == 0 && copies.lastLength >= 2 && length >= copies.lastLength && distance == copies.lastDistance)
            Consider(input, literals, copies, pos, copies.lastLength, distance, &best);
    }
    MatchCandidate candidates[16];
    uint32_t count = FindMatches(input.finder, input.history, pos, available, candidates, 16);
    // The longest candidate, and the one before it (a nearer, shorter copy
    // may cost less).
    for (uint32_t i = count >= 2 ? count - 2 : 0; i < count; ++i) {
        if (candidates[i].distance > pos - input.windowStart) continue;
        Consider(input, literals, copies, pos, candidates[i].length, candidates[i].distance, &best);
    }
    return best;
}

}  // namespace

void ParseGreedy(const ParseInput& input, bool lazy, CopyHistory* copies, std::vector<Token>* tokens) {
    uint32_t pos = input.begin;
    const uint32_t historyEnd = input.end;
    LiteralSums literals;
    literals.begin = input.begin;
    literals.sums.resize(input.end - input.begin + 1);
    literals.sums[0] = 0;
    for (uint32_t i = input.begin; i < input.end; ++i) {
        literals.sums[i - input.begin + 1] = literals.sums[i - input.begin] + input.prices[input.history[i]];
    }
    // A copy this long is not worth a look at the next position.
    const uint32_t lazyLimit = input.finder->niceLength / 4 > 8 ? input.finder->niceLength / 4 : 8;
    // A look ahead that lost to a literal is the next position's choice:
    // the literal leaves the copy history as it was.
    Choice ahead = {0, 0, 0};
    bool haveAhead = false;
    while (pos < input.end) {
        MatchFinderInsertUpTo(input.finder, input.history, pos, historyEnd);
        Choice choice = haveAhead ? ahead : BestCopy(input, literals, *copies, pos);
        haveAhead = false;
        if (lazy && choice.length > 0 && choice.length < lazyLimit && pos + 1 < input.end) {
            MatchFinderInsertUpTo(input.finder, input.history, pos + 1, historyEnd);
            ahead = BestCopy(input, literals, *copies, pos + 1);
            if (ahead.gain > choice.gain) {
                choice.length = 0;
                haveAhead = true;
            }
        }
        if (choice.length == 0) {
            tokens->push_back({1, 0});
            pos += 1;
            continue;
        }
        tokens->push_back({choice.length, choice.distance});
        RecordCopy(copies, choice.length, choice.distance);
        pos += choice.length;
    }
    MatchFinderInsertUpTo(input.finder, input.history, pos, historyEnd);
}
