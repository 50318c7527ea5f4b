// The quick-table symbol decoding against the reference length search: every
// 16-bit look-ahead, over many random and adversarial sets of code lengths.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "unpack/unpack_state.h"
#include "tests/support/reference_engine.h"
#include "unpack/symbol_decode.h"
#include "unpack/unpack.h"

namespace {

const uint32_t kAlphabetSizes[] = {kBitLengthAlphabet, kLiteralAlphabet, kDistanceAlphabet, kRecentLengthAlphabet,
                                   kAudioAlphabet};

// Lengths of a complete prefix code: leaves split at random until the
// alphabet is used up or no leaf can be split without exceeding maxLength.
std::vector<uint8_t> CompleteCode(std::mt19937& rng, uint32_t count, uint32_t used, uint32_t maxLength) {
    std::vector<uint8_t> leaves = {0};
    while (leaves.size() < used) {
        std::vector<size_t> splittable;
        for (size_t i = 0; i < leaves.size(); ++i) {
            if (leaves[i] < maxLength) splittable.push_back(i);
        }
        if (splittable.empty()) break;
        // Favour deep leaves now and then, for skewed codes with long tails.
        size_t pick = splittable[rng() % splittable.size()];
        if (rng() % 3 == 0) {
            for (size_t i : splittable) {
                if (leaves[i] > leaves[pick]) pick = i;
            }
        }
        uint8_t depth = static_cast<uint8_t>(leaves[pick] + 1);
        leaves[pick] = depth;
        leaves.push_back(depth);
    }
    std::vector<uint8_t> lengths(count, 0);
    std::vector<uint32_t> symbols(count);
    for (uint32_t i = 0; i < count; ++i) symbols[i] = i;
    std::shuffle(symbols.begin(), symbols.end(), rng);
    for (size_t i = 0; i < leaves.size() && i < count; ++i) lengths[symbols[i]] = leaves[i] == 0 ? 1 : leaves[i];
    return lengths;
}

// The many kinds of length sets a table block (or a damaged one) can give.
std::vector<uint8_t> LengthSet(std::mt19937& rng, uint32_t count, int kind) {
    std::vector<uint8_t> lengths(count, 0);
    switch (kind % 10) {
        case 0:  // complete code
            return CompleteCode(rng, count, 2 + rng() % (count - 1), 15);
        case 1: {  // complete code with a few symbols taken out: incomplete
            lengths = CompleteCode(rng, count, 2 + rng() % (count - 1), 15);
            for (int i = 0; i < 3; ++i) lengths[rng() % count] = 0;
            return lengths;
        }
        case 2: {  // complete code with extra symbols: over-subscribed
            lengths = CompleteCode(rng, count, 2 + rng() % (count - 1), 15);
            for (int i = 0; i < 1 + static_cast<int>(rng() % 8); ++i) lengths[rng() % count] = 1 + rng() % 15;
            return lengths;
        }
        case 3:  // uniformly random lengths: usually far over-subscribed
            for (auto& l : lengths) l = static_cast<uint8_t>(rng() % 16);
            return lengths;
        case 4:  // sparse random lengths: usually incomplete
            for (auto& l : lengths) l = rng() % 5 == 0 ? static_cast<uint8_t>(1 + rng() % 15) : 0;
            return lengths;
        case 5:  // all zero
            return lengths;
        case 6: {  // a single symbol
            lengths[rng() % count] = static_cast<uint8_t>(1 + rng() % 15);
            return lengths;
        }
        case 7:  // only long codes, around the quick table's limit
            for (auto& l : lengths) l = static_cast<uint8_t>(kQuickBits - 1 + rng() % (17 - kQuickBits));
            return lengths;
        case 8:  // bytes above 15 as the stream could never send (the count masks them)
            for (auto& l : lengths) l = static_cast<uint8_t>(rng() % 3 == 0 ? rng() : rng() % 16);
            return lengths;
        default:  // every symbol at one length
            std::fill(lengths.begin(), lengths.end(), static_cast<uint8_t>(rng() % 16));
            return lengths;
    }
}

// Two tables built from the same lengths over the same earlier contents
// (positions a build does not reach keep them, and decoding may read them).
struct TablePair {
    std::unique_ptr<DecodeTable> fast{new DecodeTable()};
    std::unique_ptr<DecodeTable> reference{new DecodeTable()};
};

void FillStale(TablePair* pair, std::mt19937& rng) {
    for (uint32_t i = 0; i < kLiteralAlphabet; ++i) {
        uint32_t v = rng() % 4 == 0 ? rng() : rng() % kLiteralAlphabet;
        pair->fast->decodeNum[i] = v;
        pair->reference->decodeNum[i] = v;
    }
}

// Every look-ahead decodes to the same symbol and code length; returns the
// number of look-aheads that differ (reported for the first few).
int CompareAllLookaheads(const TablePair& pair, const std::vector<uint8_t>& lengths) {
    int mismatches = 0;
    for (uint32_t v = 0; v < 0x10000; ++v) {
        uint32_t fastLength = 0;
        uint32_t referenceLength = 0;
        uint32_t fast = SymbolAt(pair.fast.get(), v, &fastLength);
        uint32_t reference = ReferenceSymbolAt(pair.reference.get(), v, &referenceLength);
        if (fast != reference || fastLength != referenceLength) {
            if (++mismatches <= 3) {
                ADD_FAILURE() << "look-ahead " << std::hex << v << std::dec << " of " << lengths.size()
                              << " lengths: symbol " << fast << " (" << fastLength << " bits), expected " << reference
                              << " (" << referenceLength << " bits)";
            }
        }
    }
    return mismatches;
}

void ExpectSameTables(const TablePair& pair) {
    EXPECT_EQ(pair.fast->maxNum, pair.reference->maxNum);
    for (int k = 0; k < 16; ++k) {
        EXPECT_EQ(pair.fast->decodeLen[k], pair.reference->decodeLen[k]);
        EXPECT_EQ(pair.fast->decodePos[k], pair.reference->decodePos[k]);
    }
    for (uint32_t i = 0; i < kLiteralAlphabet; ++i) EXPECT_EQ(pair.fast->decodeNum[i], pair.reference->decodeNum[i]);
}

TEST(QuickTable, EveryLookaheadOfRandomAndAdversarialLengthSets) {
    std::mt19937 rng(20261207);
    TablePair pair;
    int sets = 0;
    for (int round = 0; round < 120; ++round) {
        for (uint32_t count : kAlphabetSizes) {
            int kind = round % 10;
            std::vector<uint8_t> lengths = LengthSet(rng, count, kind);
            // Tables are rebuilt in place, as a stream's table blocks do;
            // now and then over fresh stale contents.
            if (round % 7 == 0) FillStale(&pair, rng);
            BuildDecodeTable(lengths.data(), pair.fast.get(), count);
            ReferenceBuildDecodeTable(lengths.data(), pair.reference.get(), count);
            ExpectSameTables(pair);
            ASSERT_EQ(CompareAllLookaheads(pair, lengths), 0) << "kind " << kind << ", round " << round;
            ++sets;
        }
    }
    EXPECT_EQ(sets, 600);
}

TEST(QuickTable, EdgeAlphabets) {
    std::mt19937 rng(7);
    TablePair pair;
    FillStale(&pair, rng);
    std::vector<std::vector<uint8_t>> sets = {
        {},                                                  // no symbols at all (maxNum 0)
        {1},                                                 // one symbol of one bit
        {1, 1},                                              // the shortest complete code
        {1, 1, 1},                                           // over-subscribed at one bit
        {15, 15},                                            // two longest codes: nearly empty code space
        std::vector<uint8_t>(kLiteralAlphabet, 15),           // far more 15-bit codes than fit
        std::vector<uint8_t>(kLiteralAlphabet, 1),            // everything at one bit
        std::vector<uint8_t>(kLiteralAlphabet, kQuickBits),   // exactly at the quick table's limit
        std::vector<uint8_t>(kLiteralAlphabet, kQuickBits + 1),
        std::vector<uint8_t>(kLiteralAlphabet, 16),           // all masked to 0 by the count
    };
    // A complete code whose last codes have 15 bits: 0xFFFF (masked to
    // 0xFFFE) must reach the last of them.
    std::vector<uint8_t> deep(20);
    for (int i = 0; i < 14; ++i) deep[i] = static_cast<uint8_t>(i + 1);
    deep[14] = 15;
    deep[15] = 15;
    sets.push_back(deep);
    for (const std::vector<uint8_t>& lengths : sets) {
        uint32_t count = static_cast<uint32_t>(lengths.size());
        BuildDecodeTable(lengths.data(), pair.fast.get(), count);
        ReferenceBuildDecodeTable(lengths.data(), pair.reference.get(), count);
        ExpectSameTables(pair);
        EXPECT_EQ(CompareAllLookaheads(pair, lengths), 0) << count << " lengths, first " << (count ? lengths[0] : 0);
    }
    uint32_t bits = 0;
    BuildDecodeTable(deep.data(), pair.fast.get(), 20);
    EXPECT_EQ(SymbolAt(pair.fast.get(), 0xFFFF, &bits), 15u);
    EXPECT_EQ(bits, 15u);
}

// DecodeSymbol through the context's bit reader: same symbols, same position.
TEST(QuickTable, DecodeSymbolConsumesLikeTheReference) {
    std::mt19937 rng(99);
    std::unique_ptr<UnpackState> fast(new UnpackState());
    std::unique_ptr<UnpackState> reference(new UnpackState());
    for (int round = 0; round < 50; ++round) {
        std::vector<uint8_t> lengths = LengthSet(rng, kLiteralAlphabet, round);
        BuildDecodeTable(lengths.data(), &fast->literalTable, kLiteralAlphabet);
        ReferenceBuildDecodeTable(lengths.data(), &reference->literalTable, kLiteralAlphabet);
        for (uint32_t i = 0; i < kInputBufferSize; ++i) {
            fast->inputBuffer[i] = reference->inputBuffer[i] = static_cast<uint8_t>(rng());
        }
        fast->inputPos = reference->inputPos = 0;
        fast->inputBit = reference->inputBit = rng() % 8;
        while (fast->inputPos < kInputBufferSize - 8) {
            ASSERT_EQ(DecodeSymbol(fast.get(), &fast->literalTable),
                      ReferenceDecodeSymbol(reference.get(), &reference->literalTable));
            ASSERT_EQ(fast->inputPos, reference->inputPos);
            ASSERT_EQ(fast->inputBit, reference->inputBit);
        }
    }
}

}  // namespace
