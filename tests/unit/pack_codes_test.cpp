// The compressor's code building blocks against the real decoder: slot
// tables, length-limited canonical codes and table blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <queue>
#include <cstring>
#include <random>
#include <vector>

#include "unpack/unpack_state.h"
#include "pack/bit_output.h"
#include "pack/huffman_builder.h"
#include "pack/pack_format.h"
#include "pack/symbol_coder.h"
#include "pack/table_block.h"
#include "unpack/unpack.h"

namespace {

TEST(PackSlots, EveryValueLiesInItsSlot) {
    for (uint32_t v = 0; v < 256; ++v) {
        uint32_t s = LengthSlot(v);
        ASSERT_LT(s, 28u);
        EXPECT_GE(v, kLengthBase[s]);
        EXPECT_LT(v, kLengthBase[s] + (1u << kLengthBits[s])) << v;
    }
    for (uint32_t v = 0; v < kMaxCopyDistance; ++v) {
        uint32_t s = DistanceSlot(v);
        ASSERT_LT(s, 48u);
        ASSERT_GE(v, kDistanceBase[s]);
        ASSERT_LT(v, kDistanceBase[s] + (1u << kDistanceBits[s])) << v;
    }
    for (uint32_t d = 1; d <= 256; ++d) {
        uint32_t s = ShortSlot(d);
        ASSERT_LT(s, 8u);
        EXPECT_GE(d - 1, kShortBase[s]);
        EXPECT_LT(d - 1, kShortBase[s] + (1u << kShortBits[s])) << d;
    }
}

TEST(PackSymbols, CopiesTakeTheSymbolTheFormatAllows) {
    uint32_t prices[kTableLengthCount];
    for (uint32_t& p : prices) p = 5;
    CopyHistory h = {};
    CodedSymbol s;
    // Two bytes reach 256 back as a short copy, no farther.
    EXPECT_LT(ChooseCopySymbol(2, 256, h, prices, &s), kImpossiblePrice);
    EXPECT_EQ(s.main, kSymShortFirst + 7);
    EXPECT_EQ(ChooseCopySymbol(2, 257, h, prices, &s), kImpossiblePrice);
    // Long copies from 0x2000 need 4 bytes, from 0x40000 five.
    EXPECT_EQ(ChooseCopySymbol(3, 0x2000, h, prices, &s), kImpossiblePrice);
    EXPECT_LT(ChooseCopySymbol(3, 0x1FFF, h, prices, &s), kImpossiblePrice);
    EXPECT_EQ(ChooseCopySymbol(4, 0x40000, h, prices, &s), kImpossiblePrice);
    EXPECT_LT(ChooseCopySymbol(5, 0x40000, h, prices, &s), kImpossiblePrice);
    EXPECT_EQ(s.main, kSymLongFirst);  // length value 0 after the two-byte lengthening
    EXPECT_LT(ChooseCopySymbol(260, 0x40000, h, prices, &s), kImpossiblePrice);
    EXPECT_EQ(ChooseCopySymbol(261, 0x40000, h, prices, &s), kImpossiblePrice);

    // The ring as the decoder keeps it: newest first, a reused distance twice.
    RecordCopy(&h, 10, 100);
    RecordCopy(&h, 10, 0x3000);
    RecordCopy(&h, 20, 0x50000);
    RecordCopy(&h, 7, 0x3000);
    EXPECT_EQ(RecentDistance(h, 0), 0x3000u);
    EXPECT_EQ(RecentDistance(h, 1), 0x50000u);
    EXPECT_EQ(RecentDistance(h, 2), 0x3000u);
    EXPECT_EQ(RecentDistance(h, 3), 100u);
    // The last copy again: the repeat symbol.
    EXPECT_LT(ChooseCopySymbol(7, 0x3000, h, prices, &s), kImpossiblePrice);
    EXPECT_EQ(s.main, kSymRepeatLast);
    // A recent distance of 0x101 or more lengthens by one more than a long copy.
    EXPECT_LT(ChooseCopySymbol(3, 100, h, prices, &s), kImpossiblePrice);
    EXPECT_EQ(s.main, kSymRecentFirst + 3);
    EXPECT_EQ(s.second, kRecentTableOffset + 1);  // 3 - 2 = length value 1
    EXPECT_LT(ChooseCopySymbol(5, 0x50000, h, prices, &s), kImpossiblePrice);
    EXPECT_EQ(s.main, kSymRecentFirst + 1);
    EXPECT_EQ(s.second, kRecentTableOffset + 0);  // 5 - 2 - 3 = 0
    EXPECT_EQ(ChooseCopySymbol(4, 0x50000, h, prices, &s), kImpossiblePrice);
    EXPECT_EQ(ChooseCopySymbol(3, 0x3000, h, prices, &s), kImpossiblePrice);
}

uint64_t KraftSum(const uint8_t* lengths, uint32_t count) {
    uint64_t sum = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (lengths[i]) sum += 1ull << (kMaxCodeBits - lengths[i]);
    }
    return sum;
}

TEST(PackHuffman, LengthsAreLimitedCompleteAndCoverEverySymbolUsed) {
    // Fibonacci counts would need codes of 30 bits without the limit.
    uint32_t counts[kLiteralAlphabet] = {};
    uint32_t a = 1, b = 1;
    for (uint32_t i = 0; i < 32; ++i) {
        counts[i * 9] = a;
        uint32_t c = a + b;
        a = b;
        b = c > 100000000 ? 100000000 : c;
    }
    uint8_t lengths[kLiteralAlphabet];
    BuildLimitedLengths(counts, kLiteralAlphabet, kMaxCodeBits, lengths);
    for (uint32_t i = 0; i < kLiteralAlphabet; ++i) {
        EXPECT_EQ(lengths[i] != 0, counts[i] != 0) << i;
        EXPECT_LE(lengths[i], kMaxCodeBits);
    }
    EXPECT_EQ(KraftSum(lengths, kLiteralAlphabet), 1ull << kMaxCodeBits);

    std::mt19937 rng(5);
    for (int round = 0; round < 200; ++round) {
        uint32_t n = 2 + rng() % kLiteralAlphabet;
        if (n > kLiteralAlphabet) n = kLiteralAlphabet;
        std::vector<uint32_t> c(n);
        for (auto& x : c) x = rng() % 3 == 0 ? 0 : 1 + (rng() % (1u << (rng() % 20)));
        c[rng() % n] = 1;
        std::vector<uint8_t> l(n);
        BuildLimitedLengths(c.data(), n, kMaxCodeBits, l.data());
        uint32_t used = 0;
        for (uint32_t i = 0; i < n; ++i) used += c[i] != 0;
        if (used >= 2) {
            EXPECT_EQ(KraftSum(l.data(), n), 1ull << kMaxCodeBits);
        }
    }
    uint32_t one[5] = {0, 0, 7, 0, 0};
    uint8_t oneLength[5];
    BuildLimitedLengths(one, 5, kMaxCodeBits, oneLength);
    EXPECT_EQ(oneLength[2], 1);
    uint32_t none[3] = {};
    uint8_t noneLength[3] = {9, 9, 9};
    BuildLimitedLengths(none, 3, kMaxCodeBits, noneLength);
    EXPECT_EQ(noneLength[0] + noneLength[1] + noneLength[2], 0);
}

// Counts of 2 to kLiteralAlphabet symbols, a quarter of them unused, the
// rest spread over up to 2^wideBits in odd rounds (2^12 in even ones); the
// first two are 1, so that at least two symbols occur.
std::vector<uint32_t> SkewedCounts(std::mt19937& rng, int round, uint32_t wideBits) {
    uint32_t n = 2 + rng() % (kLiteralAlphabet - 1);
    std::vector<uint32_t> counts(n);
    for (auto& c : counts) c = rng() % 4 == 0 ? 0 : 1 + (rng() % (1u << (rng() % (round % 2 ? wideBits : 12))));
    counts[0] = 1;
    counts[1] = 1;
    return counts;
}

// The least total of count times length over all prefix codes, by the
// plain textbook merge of the two lightest trees (no limit).
uint64_t HuffmanCost(const std::vector<uint32_t>& counts) {
    std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<uint64_t>> trees;
    for (uint32_t c : counts) {
        if (c != 0) trees.push(c);
    }
    uint64_t cost = 0;
    while (trees.size() > 1) {
        uint64_t a = trees.top();
        trees.pop();
        uint64_t b = trees.top();
        trees.pop();
        cost += a + b;  // every symbol below the merge gets one bit longer
        trees.push(a + b);
    }
    return cost;
}

TEST(PackHuffman, LengthsCostTheLeastThatTheLimitAllows) {
    std::mt19937 rng(17);
    for (int round = 0; round < 300; ++round) {
        // Skewed counts: some rounds need more than the limit of 15 bits.
        std::vector<uint32_t> counts = SkewedCounts(rng, round, 26);
        const uint32_t n = static_cast<uint32_t>(counts.size());
        std::vector<uint8_t> lengths(n);
        BuildLimitedLengths(counts.data(), n, kMaxCodeBits, lengths.data());
        uint64_t cost = 0;
        uint8_t longest = 0;
        for (uint32_t i = 0; i < n; ++i) {
            cost += static_cast<uint64_t>(counts[i]) * lengths[i];
            longest = std::max(longest, lengths[i]);
        }
        ASSERT_LE(longest, kMaxCodeBits);
        const uint64_t unlimited = HuffmanCost(counts);
        ASSERT_GE(cost, unlimited);
        // Where the limit does not bind, nothing may be lost to it; where it
        // does, a little (package-merge's optimum lies close above).
        std::vector<uint8_t> loose(n);
        BuildLimitedLengths(counts.data(), n, 31, loose.data());
        uint64_t looseCost = 0;
        for (uint32_t i = 0; i < n; ++i) looseCost += static_cast<uint64_t>(counts[i]) * loose[i];
        EXPECT_EQ(looseCost, unlimited) << "round " << round;
        EXPECT_LE(cost, unlimited + unlimited / 50) << "round " << round;
    }
}

// Bits of the counted symbols under the lengths, plus what the priced
// lengths cost to send (prices: maxBits + 1 per symbol).
uint64_t PricedCost(const std::vector<uint32_t>& counts, const std::vector<uint8_t>& lengths,
                    const std::vector<uint32_t>& prices) {
    uint64_t cost = 0;
    for (size_t i = 0; i < counts.size(); ++i) {
        cost += static_cast<uint64_t>(counts[i]) * lengths[i] + prices[i * (kMaxCodeBits + 1) + lengths[i]];
    }
    return cost;
}

TEST(PackHuffman, PricedLengthsFillTheCodeSpaceAndCodeEverySymbolUsed) {
    std::mt19937 rng(23);
    const uint32_t choices = kMaxCodeBits + 1;
    for (int round = 0; round < 400; ++round) {
        uint32_t n = 1 + rng() % kLiteralAlphabet;
        std::vector<uint32_t> counts(n);
        for (auto& c : counts) c = rng() % 3 == 0 ? 0 : 1 + (rng() % (1u << (rng() % (round % 2 ? 24 : 10))));
        // Random prices, or those of changes against random earlier lengths.
        std::vector<uint32_t> prices(n * choices);
        std::vector<uint32_t> change(16);
        for (auto& p : change) p = 1 + rng() % 8;
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t base = rng() % 16;
            for (uint32_t l = 0; l < choices; ++l) {
                prices[i * choices + l] = round % 3 == 0 ? rng() % 40 : change[(l - base) & 15];
            }
        }
        std::vector<uint8_t> lengths(n);
        BuildPricedLengths(counts.data(), n, kMaxCodeBits, prices.data(), lengths.data());
        uint32_t coded = 0;
        for (uint32_t i = 0; i < n; ++i) {
            ASSERT_LE(lengths[i], kMaxCodeBits);
            if (counts[i] != 0) {
                ASSERT_GE(lengths[i], 1) << "round " << round << " symbol " << i;
            }
            coded += lengths[i] != 0;
        }
        // Never overfull; complete as soon as two symbols have codes.
        uint64_t kraft = KraftSum(lengths.data(), n);
        ASSERT_LE(kraft, 1ull << kMaxCodeBits) << "round " << round;
        if (coded >= 2) {
            EXPECT_EQ(kraft, 1ull << kMaxCodeBits) << "round " << round;
        }
    }
}

TEST(PackHuffman, PricedLengthsCostAboutWhatHuffmansDoWhenLengthsAreFree) {
    // Free lengths leave only the symbols' bits, where Huffman's code is the
    // best there is: the priced lengths, a heuristic, may lose a little.
    std::mt19937 rng(29);
    uint64_t pricedTotal = 0, huffmanTotal = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<uint32_t> counts = SkewedCounts(rng, round, 22);
        const uint32_t n = static_cast<uint32_t>(counts.size());
        std::vector<uint32_t> free(n * (kMaxCodeBits + 1), 0);
        std::vector<uint8_t> priced(n), huffman(n);
        BuildPricedLengths(counts.data(), n, kMaxCodeBits, free.data(), priced.data());
        BuildLimitedLengths(counts.data(), n, kMaxCodeBits, huffman.data());
        uint64_t pricedCost = PricedCost(counts, priced, free);
        uint64_t huffmanCost = PricedCost(counts, huffman, free);
        ASSERT_GE(pricedCost, huffmanCost);
        EXPECT_LE(pricedCost, huffmanCost + huffmanCost / 16) << "round " << round;
        pricedTotal += pricedCost;
        huffmanTotal += huffmanCost;
    }
    EXPECT_LE(pricedTotal, huffmanTotal + huffmanTotal / 1000);
}

TEST(PackHuffman, PricedLengthsKeepEarlierLengthsWhereChangesCostMore) {
    // Counts of two blocks alike but for noise; sending a length unchanged
    // costs 1 bit, a change 6.
    std::mt19937 rng(31);
    const uint32_t n = kLiteralAlphabet;
    std::vector<uint32_t> before(n), after(n);
    for (uint32_t i = 0; i < n; ++i) {
        before[i] = 1 + static_cast<uint32_t>(4000.0 / (1 + i));
        after[i] = before[i] + rng() % (1 + before[i] / 4);
    }
    std::vector<uint8_t> earlier(n), huffman(n), priced(n);
    BuildLimitedLengths(before.data(), n, kMaxCodeBits, earlier.data());
    BuildLimitedLengths(after.data(), n, kMaxCodeBits, huffman.data());
    std::vector<uint32_t> prices(n * (kMaxCodeBits + 1));
    for (uint32_t i = 0; i < n; ++i) {
        for (uint32_t l = 0; l <= kMaxCodeBits; ++l) prices[i * (kMaxCodeBits + 1) + l] = l == earlier[i] ? 1 : 6;
    }
    BuildPricedLengths(after.data(), n, kMaxCodeBits, prices.data(), priced.data());
    uint32_t keptByHuffman = 0, keptByPriced = 0;
    for (uint32_t i = 0; i < n; ++i) {
        keptByHuffman += huffman[i] == earlier[i];
        keptByPriced += priced[i] == earlier[i];
    }
    EXPECT_GT(keptByPriced, keptByHuffman);
    EXPECT_LT(PricedCost(after, priced, prices), PricedCost(after, huffman, prices));
    EXPECT_EQ(KraftSum(priced.data(), n), 1ull << kMaxCodeBits);
}

// A context reading the given bytes, as a pass would set it up.
struct DecoderFixture {
    UnpackState* context;
    FILE* stream;
    explicit DecoderFixture(const std::vector<uint8_t>& bytes) {
        context = static_cast<UnpackState*>(std::calloc(1, sizeof(UnpackState)));
        for (int i = 0; i < 4; ++i) context->channelTablePtrs[i] = &context->channelTables[i];
        stream = std::tmpfile();
        std::fwrite(bytes.data(), 1, bytes.size(), stream);
        std::rewind(stream);
        context->inputStream = stream;
        context->packedRemaining = static_cast<int32_t>(bytes.size());
    }
    ~DecoderFixture() {
        std::fclose(stream);
        std::free(context);
    }
};

TEST(PackHuffman, CanonicalCodesDecodeWithTheDecodersTables) {
    std::mt19937 rng(11);
    for (int round = 0; round < 50; ++round) {
        uint32_t counts[kLiteralAlphabet];
        for (auto& c : counts) c = rng() % 4 == 0 ? 0 : 1 + (rng() % (1u << (rng() % 16)));
        uint8_t lengths[kLiteralAlphabet];
        uint16_t codes[kLiteralAlphabet];
        BuildLimitedLengths(counts, kLiteralAlphabet, kMaxCodeBits, lengths);
        AssignCanonicalCodes(lengths, kLiteralAlphabet, codes);
        std::vector<uint32_t> message;
        std::vector<uint8_t> bytes;
        BitOutput out;
        BitOutputInit(&out, &bytes);
        for (int i = 0; i < 2000; ++i) {
            uint32_t s = rng() % kLiteralAlphabet;
            if (!lengths[s]) continue;
            message.push_back(s);
            PutBits(&out, codes[s], lengths[s]);
        }
        PutBits(&out, 0, 32);
        FlushBits(&out);
        DecoderFixture fixture(bytes);
        UnpackState* c = fixture.context;
        RefillInput(c, true);
        BuildDecodeTable(lengths, &c->literalTable, kLiteralAlphabet);
        for (size_t i = 0; i < message.size(); ++i) {
            if (c->inputPos > 8162) RefillInput(c, false);
            ASSERT_EQ(DecodeSymbol(c, &c->literalTable), message[i]) << "symbol " << i;
        }
    }
}

TEST(PackTables, TableBlocksReadBackAsWritten) {
    std::mt19937 rng(3);
    for (int round = 0; round < 300; ++round) {
        uint8_t lengths[kTableLengthCount];
        uint8_t previous[kTableLengthCount];
        int mode = round % 4;
        for (uint32_t i = 0; i < kTableLengthCount; ++i) {
            switch (mode) {
                case 0: lengths[i] = rng() % 16; break;                           // noise
                case 1: lengths[i] = rng() % 5 == 0 ? 1 + rng() % 15 : 0; break;  // sparse: zero runs
                case 2: lengths[i] = static_cast<uint8_t>(4 + (i / 37) % 3); break;  // runs of equal lengths
                default: lengths[i] = i < 200 ? 0 : static_cast<uint8_t>(15); break;
            }
            previous[i] = rng() % 3 == 0 ? rng() % 16 : lengths[i];
        }
        if (round % 7 == 0) std::memset(previous, 0, sizeof previous);
        uint8_t decoderPrevious[kTableLengthCount];
        std::memcpy(decoderPrevious, previous, sizeof previous);

        std::vector<uint8_t> bytes;
        BitOutput out;
        BitOutputInit(&out, &bytes);
        uint32_t expectedBits = TableBlockBits(lengths, previous);
        WriteTableBlock(&out, lengths, previous);
        EXPECT_EQ(BitsWritten(&out), expectedBits);
        EXPECT_EQ(std::memcmp(previous, lengths, sizeof previous), 0);
        PutBits(&out, 0, 32);
        FlushBits(&out);

        DecoderFixture fixture(bytes);
        std::memcpy(fixture.context->previousLengths, decoderPrevious, sizeof decoderPrevious);
        RefillInput(fixture.context, true);
        ReadCodeTables(fixture.context);
        ASSERT_EQ(std::memcmp(fixture.context->previousLengths, lengths, kTableLengthCount), 0) << "round " << round;
        EXPECT_EQ(fixture.context->inputPos * 8 + fixture.context->inputBit, expectedBits);
    }
}

// Bits of two literal blocks coded one after the other: the second has the
// first's statistics with some noise and one byte the first lacks, so it
// must bring a table block of its own.
uint64_t TwoBlockBits(const BlockCoderOptions& options) {
    std::mt19937 rng(11);
    std::vector<uint8_t> first, second;
    for (int i = 0; i < 20000; ++i) {
        // Skewed over 64 letters, as text is.
        uint32_t letter = static_cast<uint32_t>(64.0 * std::pow(std::uniform_real_distribution<double>(0, 1)(rng), 3));
        first.push_back(static_cast<uint8_t>('0' + letter));
        uint32_t other = static_cast<uint32_t>(64.0 * std::pow(std::uniform_real_distribution<double>(0, 1)(rng), 3));
        second.push_back(static_cast<uint8_t>('0' + other));
    }
    second[500] = 0xF7;
    std::vector<Token> tokens(first.size(), Token{1, 0});
    std::vector<uint8_t> bytes;
    BitOutput out;
    BitOutputInit(&out, &bytes);
    CopyHistory history = {};
    TableState tables = {};
    CodeTokens(&out, tokens.data(), tokens.size(), first.data(), &history, &tables, true, options);
    CodeTokens(&out, tokens.data(), tokens.size(), second.data(), &history, &tables, false, options);
    EXPECT_EQ(tables.blocksSent, 2u);
    return BitsWritten(&out);
}

TEST(PackTables, ACodeCloseToTheOneInForceIsSentForLessWhenDrawnTowardsIt) {
    const uint64_t plain = TwoBlockBits({1u << 20, false, 0, 0, 0});
    EXPECT_LT(TwoBlockBits({1u << 20, true, 0, 5, 2}), plain);  // every pull, as the best level tries
    EXPECT_LT(TwoBlockBits({1u << 20, true, 1, 1, 1}), plain);  // the one pull by half of level 4
}

}  // namespace
