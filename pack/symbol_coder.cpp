#include "pack/symbol_coder.h"

#include <cstring>

#include "pack/huffman_builder.h"
#include "pack/table_block.h"

void PricesFromLengths(const uint8_t* lengths, uint32_t absentPrice, uint32_t* prices) {
    for (uint32_t i = 0; i < kTableLengthCount; ++i) prices[i] = lengths[i] ? lengths[i] : absentPrice;
}

namespace {

inline uint32_t LongCopy(uint32_t length, uint32_t distance, const uint32_t* prices, CodedSymbol* out) {
    uint32_t bonus = LongCopyBonus(distance);
    if (length < 3 + bonus || length > 258 + bonus) return kImpossiblePrice;
    uint32_t value = length - 3 - bonus;
    uint32_t slot = LengthSlot(value);
    uint32_t distanceValue = distance - 1;
    uint32_t distanceSlot = DistanceSlot(distanceValue);
    out->main = static_cast<uint16_t>(kSymLongFirst + slot);
    out->mainExtraBits = kLengthBits[slot];
    out->mainExtra = value - kLengthBase[slot];
    out->second = static_cast<uint16_t>(kDistanceTableOffset + distanceSlot);
    out->secondExtraBits = kDistanceBits[distanceSlot];
    out->secondExtra = distanceValue - kDistanceBase[distanceSlot];
    return prices[out->main] + out->mainExtraBits + prices[out->second] + out->secondExtraBits;
}

inline uint32_t RecentCopy(uint32_t k, uint32_t length, uint32_t distance, const uint32_t* prices, CodedSymbol* out) {
    uint32_t bonus = RecentCopyBonus(distance);
    if (length < 2 + bonus || length > 257 + bonus) return kImpossiblePrice;
    uint32_t value = length - 2 - bonus;
    uint32_t slot = LengthSlot(value);
    out->main = static_cast<uint16_t>(kSymRecentFirst + k);
    out->mainExtraBits = 0;
    out->mainExtra = 0;
    out->second = static_cast<uint16_t>(kRecentTableOffset + slot);
    out->secondExtraBits = kLengthBits[slot];
    out->secondExtra = value - kLengthBase[slot];
    return prices[out->main] + prices[out->second] + out->secondExtraBits;
}

}  // namespace

uint32_t ChooseCopySymbol(uint32_t length, uint32_t distance, const CopyHistory& history, const uint32_t* prices,
                          CodedSymbol* out) {
    CodedSymbol trial;
    uint32_t best = LongCopy(length, distance, prices, out);
    if (length == kShortCopyLength && distance <= kShortCopyReach) {
        uint32_t slot = ShortSlot(distance);
        trial.main = static_cast<uint16_t>(kSymShortFirst + slot);
        trial.mainExtraBits = kShortBits[slot];
        trial.mainExtra = distance - 1 - kShortBase[slot];
        trial.second = kNoSecond;
        trial.secondExtra = 0;
        trial.secondExtraBits = 0;
        uint32_t price = prices[trial.main] + trial.mainExtraBits;
        if (price < best) best = price, *out = trial;
    }
    for (uint32_t k = 0; k < 4; ++k) {
        if (RecentDistance(history, k) != distance) continue;
        uint32_t price = RecentCopy(k, length, distance, prices, &trial);
        if (price < best) best = price, *out = trial;
        break;  // a farther ring entry with the same distance costs the same or more
    }
    if (length == history.lastLength && distance == history.lastDistance) {
        trial = {static_cast<uint16_t>(kSymRepeatLast), 0, kNoSecond, 0, 0, 0};
        uint32_t price = prices[kSymRepeatLast];
        if (price < best) best = price, *out = trial;
    }
    return best;
}

namespace {

// Symbols of one block of tokens, chosen under the given prices; also their counts.
void ChooseSymbols(const Token* tokens, size_t count, const uint8_t* data, CopyHistory history,
                   const uint32_t* prices, CodedSymbol* symbols, uint32_t* counts) {
    std::memset(counts, 0, sizeof(uint32_t) * kTableLengthCount);
    size_t offset = 0;
    for (size_t i = 0; i < count; ++i) {
        const Token& token = tokens[i];
        CodedSymbol& symbol = symbols[i];
        if (token.distance == 0) {
            symbol = {data[offset], 0, kNoSecond, 0, 0, 0};
        } else {
            ChooseCopySymbol(token.length, token.distance, history, prices, &symbol);
            RecordCopy(&history, token.length, token.distance);
        }
        counts[symbol.main] += 1;
        if (symbol.second != kNoSecond) counts[symbol.second] += 1;
        offset += token.length;
    }
}

}  // namespace

void CountTokenSymbols(const Token* tokens, size_t count, const uint8_t* data, CopyHistory history,
                       const uint32_t* prices, uint32_t* counts) {
    std::memset(counts, 0, sizeof(uint32_t) * kTableLengthCount);
    CodedSymbol symbol;
    size_t offset = 0;
    for (size_t i = 0; i < count; ++i) {
        const Token& token = tokens[i];
        if (token.distance == 0) {
            counts[data[offset]] += 1;
        } else {
            ChooseCopySymbol(token.length, token.distance, history, prices, &symbol);
            RecordCopy(&history, token.length, token.distance);
            counts[symbol.main] += 1;
            if (symbol.second != kNoSecond) counts[symbol.second] += 1;
        }
        offset += token.length;
    }
}

namespace {

uint64_t SymbolBits(const CodedSymbol* symbols, size_t count, const uint8_t* lengths) {
    uint64_t bits = 0;
    for (size_t i = 0; i < count; ++i) {
        const CodedSymbol& s = symbols[i];
        bits += lengths[s.main] + s.mainExtraBits;
        if (s.second != kNoSecond) bits += lengths[s.second] + s.secondExtraBits;
    }
    return bits;
}

bool CodeCovers(const uint32_t* counts, const uint8_t* lengths) {
    for (uint32_t i = 0; i < kTableLengthCount; ++i) {
        if (counts[i] != 0 && lengths[i] == 0) return false;
    }
    return true;
}

// Builds the three codes of a table block, each by build(counts, count,
// offset, lengths) from its own part of the 374 counts and lengths (offset:
// where the part starts). The literal table counts symbol 269 once more, so
// that every code keeps a way to send the next table block.
template <typename Build>
void BuildEachCode(const uint32_t* counts, uint8_t* lengths, Build build) {
    uint32_t adjusted[kLiteralAlphabet];
    std::memcpy(adjusted, counts, sizeof(adjusted));
    adjusted[kSymNewTables] += 1;
    build(adjusted, kLiteralAlphabet, 0u, lengths);
    build(counts + kDistanceTableOffset, kDistanceAlphabet, kDistanceTableOffset, lengths + kDistanceTableOffset);
    build(counts + kRecentTableOffset, kRecentLengthAlphabet, kRecentTableOffset, lengths + kRecentTableOffset);
}

// Bits of the counted symbols under the lengths, their extra bits aside.
uint64_t CountedSymbolBits(const uint32_t* counts, const uint8_t* lengths) {
    uint64_t bits = 0;
    for (uint32_t s = 0; s < kTableLengthCount; ++s) bits += static_cast<uint64_t>(counts[s]) * lengths[s];
    return bits;
}

}  // namespace

void BuildTablesFromCounts(const uint32_t* counts, uint8_t* lengths) {
    BuildEachCode(counts, lengths, [](const uint32_t* part, uint32_t count, uint32_t, uint8_t* partLengths) {
        BuildLimitedLengths(part, count, kMaxCodeBits, partLengths);
    });
}

uint64_t TableAndSymbolBits(const uint32_t* counts, const uint8_t* lengths, const uint8_t* previousLengths) {
    return TableBlockBits(lengths, previousLengths) + CountedSymbolBits(counts, lengths);
}

namespace {

// Lengths for the counts, each weighed with the price of its change against
// base (the base of the table block that priced the changes).
void BalanceTables(const uint32_t* counts, const uint8_t* base, const uint32_t* changePrice, uint8_t* lengths) {
    BuildEachCode(counts, lengths, [&](const uint32_t* part, uint32_t count, uint32_t offset, uint8_t* partLengths) {
        const uint32_t kChoices = kMaxCodeBits + 1;
        uint32_t lengthPrices[kLiteralAlphabet * kChoices];
        for (uint32_t s = 0; s < count; ++s) {
            for (uint32_t l = 0; l < kChoices; ++l) {
                lengthPrices[s * kChoices + l] = changePrice[(l - base[offset + s]) & 15];
            }
        }
        BuildPricedLengths(part, count, kMaxCodeBits, lengthPrices, partLengths);
    });
}

// Code lengths for the counts that cost the least together with their table
// block: the lengths built from the counts alone, or from counts drawn a
// little towards the previous block's lengths (by the pulls the options
// give), whose changes cost fewer bits to send, or lengths weighed against
// the prices of their changes.
void BuildTablesForCost(const uint32_t* counts, const uint8_t* previousLengths, const BlockCoderOptions& options,
                        uint8_t* lengths) {
    BuildTablesFromCounts(counts, lengths);
    if (!options.drawTables) return;
    // Each candidate's table block is planned once: its size decides, and
    // the best one's change prices weigh the lengths afterwards.
    uint32_t changePrice[16];
    uint32_t trialPrice[16];
    uint32_t blockBits;
    const uint8_t* base = TableChangePrices(lengths, previousLengths, changePrice, &blockBits);
    uint64_t bestBits = blockBits + CountedSymbolBits(counts, lengths);
    uint64_t total = 0;
    for (uint32_t s = 0; s < kTableLengthCount; ++s) total += counts[s];
    if (total == 0 || total > (1u << 24)) return;
    uint32_t pulled[kTableLengthCount];
    uint8_t trial[kTableLengthCount];
    const uint32_t kScale = 256;
    for (uint32_t shift = options.firstPullShift; shift <= options.lastPullShift; ++shift) {
        // The previous length as a share of the symbols, 1/2^shift of their weight.
        for (uint32_t s = 0; s < kTableLengthCount; ++s) {
            uint64_t weight = previousLengths[s] == 0 ? 0 : (total * kScale >> previousLengths[s]) >> shift;
            pulled[s] = counts[s] * kScale + static_cast<uint32_t>(weight);
        }
        BuildTablesFromCounts(pulled, trial);
        // Planning a table block is the dear part, and most trials lose on
        // their symbols alone: a block takes its header at least.
        const uint64_t symbolBits = CountedSymbolBits(counts, trial);
        if (symbolBits + kTableBlockHeaderBits >= bestBits) continue;
        const uint8_t* trialBase = TableChangePrices(trial, previousLengths, trialPrice, &blockBits);
        uint64_t bits = blockBits + symbolBits;
        if (bits < bestBits) {
            bestBits = bits;
            std::memcpy(lengths, trial, kTableLengthCount);
            std::memcpy(changePrice, trialPrice, sizeof(changePrice));
            base = trialBase;
        }
    }
    // Then lengths weighed against the prices of their changes in the block
    // that sends the best so far: each round's block prices the next.
    for (uint32_t round = 0; round < options.balanceRounds; ++round) {
        BalanceTables(counts, base, changePrice, trial);
        base = TableChangePrices(trial, previousLengths, changePrice, &blockBits);
        uint64_t bits = blockBits + CountedSymbolBits(counts, trial);
        if (bits < bestBits) {
            bestBits = bits;
            std::memcpy(lengths, trial, kTableLengthCount);
        }
    }
}

void PutSymbol(BitOutput* writer, const TableState& tables, const CodedSymbol& s) {
    PutBits(writer, tables.codes[s.main], tables.lengths[s.main]);
    PutBits(writer, s.mainExtra, s.mainExtraBits);
    if (s.second != kNoSecond) {
        PutBits(writer, tables.codes[s.second], tables.lengths[s.second]);
        PutBits(writer, s.secondExtra, s.secondExtraBits);
    }
}

void SendTables(BitOutput* writer, TableState* tables, const uint8_t* lengths, bool announce) {
    if (announce) PutBits(writer, tables->codes[kSymNewTables], tables->lengths[kSymNewTables]);
    WriteTableBlock(writer, lengths, tables->previousLengths);
    std::memcpy(tables->lengths, lengths, kTableLengthCount);
    AssignCanonicalCodes(tables->lengths, kLiteralAlphabet, tables->codes);
    AssignCanonicalCodes(tables->lengths + kDistanceTableOffset, kDistanceAlphabet,
                         tables->codes + kDistanceTableOffset);
    AssignCanonicalCodes(tables->lengths + kRecentTableOffset, kRecentLengthAlphabet,
                         tables->codes + kRecentTableOffset);
    tables->haveTables = true;
    tables->blocksSent += 1;
}

}  // namespace

void CodeTokens(BitOutput* writer, const Token* tokens, size_t count, const uint8_t* data, CopyHistory* history,
                TableState* tables, bool forceTables, const BlockCoderOptions& options) {
    std::vector<CodedSymbol> symbols;
    uint32_t prices[kTableLengthCount];
    uint32_t counts[kTableLengthCount];
    uint8_t fresh[kTableLengthCount];
    bool mustSend = forceTables || !tables->haveTables;
    bool announce = !forceTables;
    size_t done = 0;
    size_t offset = 0;
    while (done < count || mustSend) {
        size_t n = count - done;
        if (n > options.blockTokens) n = options.blockTokens;
        // Leave no short tail to a block of its own.
        if (count - done - n < options.blockTokens / 4) n = count - done;
        symbols.resize(n);
        PricesFromLengths(tables->lengths, kUnusedSymbolPrice, prices);
        if (!tables->haveTables) {
            for (uint32_t i = 0; i < kTableLengthCount; ++i) prices[i] = i < 256 ? 9 : 7;
        }
        ChooseSymbols(tokens + done, n, data + offset, *history, prices, symbols.data(), counts);

        bool send = mustSend || !CodeCovers(counts, tables->lengths);
        if (!send && n > 0) {
            BuildTablesForCost(counts, tables->previousLengths, options, fresh);
            uint64_t keepBits = SymbolBits(symbols.data(), n, tables->lengths);
            uint64_t newBits = tables->lengths[kSymNewTables] + TableBlockBits(fresh, tables->previousLengths) +
                               SymbolBits(symbols.data(), n, fresh);
            send = newBits < keepBits;
        } else if (send) {
            BuildTablesForCost(counts, tables->previousLengths, options, fresh);
        }
        if (send) {
            SendTables(writer, tables, fresh, announce);
            // Choose again under the code just sent: every symbol it lacks has
            // a cheaper alternative that it has.
            PricesFromLengths(tables->lengths, kImpossiblePrice, prices);
            ChooseSymbols(tokens + done, n, data + offset, *history, prices, symbols.data(), counts);
        }
        mustSend = false;
        announce = true;
        for (size_t i = 0; i < n; ++i) {
            PutSymbol(writer, *tables, symbols[i]);
            const Token& token = tokens[done + i];
            if (token.distance != 0) RecordCopy(history, token.length, token.distance);
            offset += token.length;
        }
        done += n;
    }
}
