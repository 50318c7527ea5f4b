// Decode tables, single symbols and table blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/bit_writer.h"
#include "unpack/unpack.h"

namespace {

// A context whose input buffer holds the given bits from position 0.
std::unique_ptr<UnpackState> WithInput(const std::string& bytes) {
    std::unique_ptr<UnpackState> c(new UnpackState());
    size_t size = bytes.size() < size_t{kInputBufferSize} ? bytes.size() : size_t{kInputBufferSize};
    std::memcpy(c->inputBuffer, bytes.data(), size);
    c->inputEnd = static_cast<uint32_t>(bytes.size());
    for (int i = 0; i < 4; ++i) c->channelTablePtrs[i] = &c->channelTables[i];
    return c;
}

uint32_t BitPosition(const UnpackState* c) {
    return c->inputPos * 8 + c->inputBit;
}

TEST(DecodeTables, SmallCanonicalCode) {
    const uint8_t lengths[4] = {1, 2, 3, 3};
    DecodeTable t;
    BuildDecodeTable(lengths, &t, 4);
    EXPECT_EQ(t.maxNum, 4u);
    EXPECT_EQ(t.decodeLen[1], 0x8000u);
    EXPECT_EQ(t.decodeLen[2], 0xC000u);
    EXPECT_EQ(t.decodeLen[3], 0xFFFFu);
    for (int k = 4; k <= 15; ++k) EXPECT_EQ(t.decodeLen[k], 0xFFFFu);
    EXPECT_EQ(t.decodePos[1], 0u);
    EXPECT_EQ(t.decodePos[2], 1u);
    EXPECT_EQ(t.decodePos[3], 2u);
    EXPECT_EQ(t.decodePos[4], 4u);

    BitWriter w;
    w.Put(0b0, 1);
    w.Put(0b10, 2);
    w.Put(0b110, 3);
    w.Put(0b111, 3);
    w.Put(0, 24);
    auto c = WithInput(w.Bytes());
    EXPECT_EQ(DecodeSymbol(c.get(), &t), 0u);
    EXPECT_EQ(DecodeSymbol(c.get(), &t), 1u);
    EXPECT_EQ(DecodeSymbol(c.get(), &t), 2u);
    EXPECT_EQ(DecodeSymbol(c.get(), &t), 3u);
    EXPECT_EQ(BitPosition(c.get()), 9u);
}

TEST(DecodeTables, SymbolsOrderedByLengthThenValue) {
    // Symbol 5 has length 1; 0, 2, 7 have length 3 (codes 100, 101, 110, 111 for 0, 2, 7, 9).
    uint8_t lengths[10] = {3, 0, 3, 0, 0, 1, 0, 3, 0, 3};
    DecodeTable t;
    BuildDecodeTable(lengths, &t, 10);
    BitWriter w;
    for (uint32_t code : {0b0u, 0b100u, 0b101u, 0b110u, 0b111u}) w.Put(code, code == 0 ? 1 : 3);
    w.Put(0, 24);
    auto c = WithInput(w.Bytes());
    std::vector<uint32_t> symbols;
    for (int i = 0; i < 5; ++i) symbols.push_back(DecodeSymbol(c.get(), &t));
    EXPECT_EQ(symbols, (std::vector<uint32_t>{5, 0, 2, 7, 9}));
}

TEST(DecodeTables, AllOnesReachesTheLastFifteenBitCode) {
    // Lengths 1, 2, ..., 14, 15, 15: a complete code.
    uint8_t lengths[16];
    for (int i = 0; i < 14; ++i) lengths[i] = static_cast<uint8_t>(i + 1);
    lengths[14] = lengths[15] = 15;
    DecodeTable t;
    BuildDecodeTable(lengths, &t, 16);
    auto c = WithInput(std::string(4, '\xFF'));
    EXPECT_EQ(DecodeSymbol(c.get(), &t), 15u);
    EXPECT_EQ(BitPosition(c.get()), 15u);
}

TEST(DecodeTables, EmptyAlphabet) {
    uint8_t lengths[19] = {};
    DecodeTable t;
    std::memset(&t, 0, sizeof t);
    t.decodeNum[9] = 77;
    BuildDecodeTable(lengths, &t, 19);
    for (int k = 0; k < 16; ++k) EXPECT_EQ(t.decodeLen[k], 0u);
    // Each decode takes 15 bits; the index is v >> 1 while below maxNum, else 0.
    BitWriter w;
    w.Put(0x0012 >> 1, 15);  // v = 0x0012: index 9
    w.Put(0x7FFF, 15);       // v = 0xFFFE: index 0x7FFF, falls back to 0
    w.Put(0, 24);
    auto c = WithInput(w.Bytes());
    EXPECT_EQ(DecodeSymbol(c.get(), &t), 77u);
    EXPECT_EQ(BitPosition(c.get()), 15u);
    EXPECT_EQ(DecodeSymbol(c.get(), &t), 0u);
    EXPECT_EQ(BitPosition(c.get()), 30u);
}

TEST(TableBlocks, FixedLengthsBuildAllThreeTables) {
    StreamWriter w;
    w.TableBlock();
    w.Symbol(297);
    w.bits.Put(47, 6);
    w.bits.Put(27, 5);
    w.bits.Put(0, 32);
    auto c = WithInput(w.Bytes());
    ReadCodeTables(c.get());
    EXPECT_EQ(c->multimediaMode, 0u);
    std::vector<uint8_t> expected = FixedLengths();
    EXPECT_EQ(std::vector<uint8_t>(c->previousLengths, c->previousLengths + 374), expected);
    for (int i = 374; i < 1028; ++i) ASSERT_EQ(c->previousLengths[i], 0) << i;
    EXPECT_EQ(DecodeSymbol(c.get(), &c->literalTable), 297u);
    EXPECT_EQ(DecodeSymbol(c.get(), &c->distanceTable), 47u);
    EXPECT_EQ(DecodeSymbol(c.get(), &c->recentLengthTable), 27u);
}

TEST(TableBlocks, KeepFlagCodesChangesAgainstThePreviousBlock) {
    std::vector<uint8_t> first = FixedLengths();
    std::vector<uint8_t> second = first;
    second[0] = 3;
    second[300] = 0;
    second[373] = 15;
    StreamWriter w;
    w.TableBlockWithLengths(first);
    w.TableBlockWithLengths(second, true, first);
    // Keep flag clear after a block with it set: the previous lengths count
    // as 0, so plain values arrive unchanged.
    w.TableBlockWithLengths(first, false);
    w.bits.Put(0, 32);
    auto c = WithInput(w.Bytes());
    ReadCodeTables(c.get());
    ReadCodeTables(c.get());
    EXPECT_EQ(std::vector<uint8_t>(c->previousLengths, c->previousLengths + 374), second);
    ReadCodeTables(c.get());
    EXPECT_EQ(std::vector<uint8_t>(c->previousLengths, c->previousLengths + 374), first);
}

// Writes a table block by hand: bit-length code with every symbol 5 bits.
void BlockHeader(BitWriter* w, bool multimedia, bool keep) {
    w->Put(multimedia ? 1 : 0, 1);
    w->Put(keep ? 1 : 0, 1);
}

void FlatBitLengthCode(BitWriter* w) {
    for (int i = 0; i < 19; ++i) w->Put(5, 4);
}

TEST(TableBlocks, RunSymbols) {
    BitWriter w;
    BlockHeader(&w, false, false);
    FlatBitLengthCode(&w);
    w.Put(16, 5);  // repeat at the first position: the missing previous length is 0
    w.Put(0, 2);   // 3 times
    w.Put(7, 5);   // length 7
    w.Put(16, 5);
    w.Put(3, 2);   // 6 more sevens
    w.Put(17, 5);
    w.Put(7, 3);   // 10 zeros
    w.Put(4, 5);   // length 4
    w.Put(18, 5);
    w.Put(0, 7);   // 11 zeros
    // Position 32 now; lengths 9 up to 364, then 18 with 127: 138 zeros asked
    // for, but only the 9 positions left in the block are filled.
    for (int i = 32; i < 365; ++i) w.Put(9, 5);
    w.Put(18, 5);
    w.Put(127, 7);
    w.Put(0x5A5A, 16);  // must be the next bits after the block
    w.Put(0, 32);
    auto c = WithInput(w.Bytes());
    ReadCodeTables(c.get());
    std::vector<uint8_t> expected = {0, 0, 0, 7, 7, 7, 7, 7, 7, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4};
    expected.insert(expected.end(), 11, 0);
    expected.insert(expected.end(), 365 - 32, 9);
    expected.insert(expected.end(), 9, 0);
    EXPECT_EQ(std::vector<uint8_t>(c->previousLengths, c->previousLengths + 374), expected);
    for (int i = 374; i < 1028; ++i) ASSERT_EQ(c->previousLengths[i], 0) << i;
    EXPECT_EQ(PeekBits(c.get()), 0x5A5Au);
}

TEST(TableBlocks, MultimediaChannels) {
    BitWriter w;
    BlockHeader(&w, true, false);
    w.Put(1, 2);  // two channels
    FlatBitLengthCode(&w);
    for (int i = 0; i < 2 * 257; ++i) w.Put(9, 5);
    w.Put(256, 9);  // a channel-table symbol after the block
    w.Put(0, 32);
    auto c = WithInput(w.Bytes());
    c->currentChannel = 3;
    c->literalTable.maxNum = 123;  // the other mode's tables stay as they were
    ReadCodeTables(c.get());
    EXPECT_NE(c->multimediaMode, 0u);
    EXPECT_EQ(c->channelCount, 2u);
    EXPECT_EQ(c->currentChannel, 0u);
    EXPECT_EQ(c->channelTables[0].maxNum, 257u);
    EXPECT_EQ(c->channelTables[1].maxNum, 257u);
    EXPECT_EQ(c->channelTables[2].maxNum, 0u);
    EXPECT_EQ(c->literalTable.maxNum, 123u);
    EXPECT_EQ(DecodeSymbol(c.get(), &c->channelTables[1]), 256u);

    // A channel that still exists is kept.
    auto d = WithInput(w.Bytes());
    d->currentChannel = 1;
    ReadCodeTables(d.get());
    EXPECT_EQ(d->currentChannel, 1u);
}

TEST(TableBlocks, TrailingTableBlockIsTakenOnlyWithBytesLeft) {
    std::vector<uint8_t> other = FixedLengths();
    other[10] = 8;
    StreamWriter first;
    first.TableBlock();
    StreamWriter w;
    w.Symbol(269);
    w.TableBlockWithLengths(other);
    w.bits.Put(0, 32);
    {
        auto c = WithInput(first.Bytes());
        ReadCodeTables(c.get());
        std::memcpy(c->inputBuffer, w.Bytes().data(), w.Bytes().size());
        c->inputPos = 0;
        c->inputBit = 0;
        c->inputEnd = static_cast<uint32_t>(w.Bytes().size());
        ReadTrailingTables(c.get());
        EXPECT_EQ(c->previousLengths[10], 8);
    }
    {
        auto c = WithInput(first.Bytes());
        ReadCodeTables(c.get());
        std::memcpy(c->inputBuffer, w.Bytes().data(), w.Bytes().size());
        c->inputPos = 0;
        c->inputBit = 0;
        c->inputEnd = 4;  // fewer than 5 bytes left: no check
        ReadTrailingTables(c.get());
        EXPECT_EQ(c->previousLengths[10], 9);
        EXPECT_EQ(BitPosition(c.get()), 0u);
    }
}

}  // namespace
