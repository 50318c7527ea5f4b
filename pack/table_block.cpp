#include "pack/table_block.h"

#include <cstring>

#include "pack/huffman_builder.h"
#include "pack/pack_format.h"

namespace {

// One item of the bit-length stream: a symbol 0..18 and its extra bits.
struct LengthItem {
    uint8_t symbol;
    uint8_t extra;
};

struct LengthPlan {
    LengthItem items[kTableLengthCount];
    uint32_t itemCount;
    uint8_t codeLengths[kBitLengthAlphabet];
    uint32_t bits;
};

const uint8_t kRunExtraBits[3] = {2, 3, 7};  // symbols 16, 17, 18
const uint8_t kZeros[kTableLengthCount] = {};  // the base of a block that does not code against the previous one

// Cheapest item sequence for the given bit-length code prices (in bits):
// a shortest path over the positions, each step a change symbol or a run.
void PlanItems(const uint8_t* lengths, const uint8_t* base, const uint32_t* price, LengthPlan* plan) {
    const uint32_t n = kTableLengthCount;
    uint32_t cost[kTableLengthCount + 1];
    uint16_t stepLength[kTableLengthCount + 1];
    uint8_t stepSymbol[kTableLengthCount + 1];
    cost[n] = 0;
    const uint32_t shortZeros = price[17] + kRunExtraBits[1];
    const uint32_t longZeros = price[18] + kRunExtraBits[2];
    uint32_t zeros = 0;  // zero lengths from i on
    // The cheapest cost[i + r] over the long zero runs r = 11..zeros (the
    // shortest such r on a tie, as a search from r = 11 upwards would find):
    // while a run of zeros is no longer than 138, moving i down one adds
    // r = 11 and keeps the rest, so no run is searched twice.
    uint32_t longRest = 0;
    uint32_t longRestAt = 0;
    uint32_t same = 0;  // lengths from i on equal to lengths[i]
    // Backwards: cost[i] is the cheapest way to code positions i..n-1.
    for (int32_t i = static_cast<int32_t>(n) - 1; i >= 0; --i) {
        uint32_t symbol = (lengths[i] - base[i]) & 15;
        uint32_t best = price[symbol] + cost[i + 1];
        uint16_t bestLength = 1;
        uint8_t bestSymbol = static_cast<uint8_t>(symbol);
        zeros = lengths[i] == 0 ? zeros + 1 : 0;
        same = static_cast<uint32_t>(i) + 1 < n && lengths[i + 1] == lengths[i] ? same + 1 : 1;
        if (zeros >= 3) {
            const uint32_t shortest = zeros < 10 ? zeros : 10;
            for (uint32_t r = 3; r <= shortest; ++r) {
                uint32_t c = shortZeros + cost[i + r];
                if (c < best) best = c, bestLength = static_cast<uint16_t>(r), bestSymbol = 17;
            }
        }
        if (zeros >= 11) {
            // Beyond 138 zeros the longest run drops out at each step: search again.
            if (zeros == 11 || zeros > 138 || cost[i + 11] <= longRest) {
                longRest = cost[i + 11];
                longRestAt = static_cast<uint32_t>(i) + 11;
            }
            if (zeros > 138) {
                for (uint32_t r = 12; r <= 138; ++r) {
                    if (cost[i + r] < longRest) longRest = cost[i + r], longRestAt = static_cast<uint32_t>(i) + r;
                }
            }
            uint32_t c = longZeros + longRest;
            if (c < best) best = c, bestLength = static_cast<uint16_t>(longRestAt - i), bestSymbol = 18;
        }
        if (i > 0) {
            // Repeats of the length before i: at most 6 in one item.
            const uint32_t run = lengths[i] != lengths[i - 1] ? 0 : same < 6 ? same : 6;
            for (uint32_t r = 3; r <= run; ++r) {
                uint32_t c = price[16] + kRunExtraBits[0] + cost[i + r];
                if (c < best) best = c, bestLength = static_cast<uint16_t>(r), bestSymbol = 16;
            }
        }
        cost[i] = best;
        stepLength[i] = bestLength;
        stepSymbol[i] = bestSymbol;
    }
    plan->itemCount = 0;
    for (uint32_t i = 0; i < n; i += stepLength[i]) {
        uint8_t s = stepSymbol[i];
        uint8_t extra = 0;
        if (s == 16) extra = static_cast<uint8_t>(stepLength[i] - 3);
        if (s == 17) extra = static_cast<uint8_t>(stepLength[i] - 3);
        if (s == 18) extra = static_cast<uint8_t>(stepLength[i] - 11);
        plan->items[plan->itemCount++] = {s, extra};
    }
}

bool SameItems(const LengthPlan& a, const LengthPlan& b) {
    if (a.itemCount != b.itemCount) return false;
    for (uint32_t i = 0; i < a.itemCount; ++i) {
        if (a.items[i].symbol != b.items[i].symbol || a.items[i].extra != b.items[i].extra) return false;
    }
    return true;
}

// Plans the item sequence and its code together: a few rounds of pricing the
// items by the code built from the previous round's counts.
void PlanBlock(const uint8_t* lengths, const uint8_t* base, LengthPlan* plan) {
    uint32_t price[kBitLengthAlphabet];
    for (uint32_t s = 0; s < kBitLengthAlphabet; ++s) price[s] = s == 0 ? 2 : 5;
    uint32_t bestBits = UINT32_MAX;
    LengthPlan trial;
    for (int round = 0; round < 3; ++round) {
        PlanItems(lengths, base, price, &trial);
        uint32_t counts[kBitLengthAlphabet] = {};
        for (uint32_t i = 0; i < trial.itemCount; ++i) counts[trial.items[i].symbol] += 1;
        BuildLimitedLengths(counts, kBitLengthAlphabet, kMaxCodeBits, trial.codeLengths);
        trial.bits = kTableBlockHeaderBits;
        for (uint32_t i = 0; i < trial.itemCount; ++i) {
            uint8_t s = trial.items[i].symbol;
            trial.bits += trial.codeLengths[s] + (s >= 16 ? kRunExtraBits[s - 16] : 0);
        }
        if (trial.bits < bestBits) {
            bestBits = trial.bits;
            *plan = trial;
        } else if (round > 0 && SameItems(trial, *plan)) {
            break;  // priced by the same code, the next round plans the same again
        }
        for (uint32_t s = 0; s < kBitLengthAlphabet; ++s) price[s] = trial.codeLengths[s] ? trial.codeLengths[s] : 8;
    }
}

// The better of coding against the previous lengths or against zeros.
bool PlanBest(const uint8_t* lengths, const uint8_t* previousLengths, LengthPlan* plan) {
    LengthPlan fresh;
    PlanBlock(lengths, kZeros, &fresh);
    PlanBlock(lengths, previousLengths, plan);
    if (fresh.bits < plan->bits) {
        *plan = fresh;
        return false;
    }
    return true;
}

}  // namespace

const uint8_t* TableChangePrices(const uint8_t* lengths, const uint8_t* previousLengths, uint32_t* prices,
                                 uint32_t* blockBits) {
    LengthPlan plan;
    const bool keep = PlanBest(lengths, previousLengths, &plan);
    // A change the block's code lacks would bring a code for it: a guess.
    for (uint32_t s = 0; s < 16; ++s) prices[s] = plan.codeLengths[s] ? plan.codeLengths[s] : 7;
    *blockBits = plan.bits;
    return keep ? previousLengths : kZeros;
}

uint32_t TableBlockBits(const uint8_t* lengths, const uint8_t* previousLengths) {
    LengthPlan plan;
    PlanBest(lengths, previousLengths, &plan);
    return plan.bits;
}

void WriteTableBlock(BitOutput* writer, const uint8_t* lengths, uint8_t* previousLengths) {
    LengthPlan plan;
    bool keep = PlanBest(lengths, previousLengths, &plan);
    uint16_t codes[kBitLengthAlphabet];
    AssignCanonicalCodes(plan.codeLengths, kBitLengthAlphabet, codes);
    PutBits(writer, 0, 1);  // not a multimedia block
    PutBits(writer, keep ? 1 : 0, 1);
    for (uint32_t s = 0; s < kBitLengthAlphabet; ++s) PutBits(writer, plan.codeLengths[s], 4);
    for (uint32_t i = 0; i < plan.itemCount; ++i) {
        const LengthItem& item = plan.items[i];
        PutBits(writer, codes[item.symbol], plan.codeLengths[item.symbol]);
        if (item.symbol >= 16) PutBits(writer, item.extra, kRunExtraBits[item.symbol - 16]);
    }
    std::memcpy(previousLengths, lengths, kTableLengthCount);
}
