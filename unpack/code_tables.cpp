// Canonical prefix codes of at most 15 bits: building decode tables from code
// lengths, decoding single symbols, and reading the stream's table blocks.
#include <cstring>

#include "unpack/bit_input.h"
#include "unpack/symbol_decode.h"
#include "unpack/unpack.h"

namespace {

const uint32_t kMaxCodeLength = 15;
const uint32_t kMultimediaSymbolsPerChannel = kChannelSymbols;
const uint32_t kTableBlockSymbol = 269;
const uint32_t kMultimediaTableBlockSymbol = 256;

// Code length k: the smallest of 1 to 14 whose bound lies above v, else 15.
// A fixed binary search over the (non-decreasing) bounds.
inline uint32_t CodeLengthOf(const uint32_t* bound, uint32_t v) {
    if (v < bound[8]) {
        if (v < bound[4]) {
            if (v < bound[2]) return v < bound[1] ? 1 : 2;
            return v < bound[3] ? 3 : 4;
        }
        if (v < bound[6]) return v < bound[5] ? 5 : 6;
        return v < bound[7] ? 7 : 8;
    }
    if (v < bound[12]) {
        if (v < bound[10]) return v < bound[9] ? 9 : 10;
        return v < bound[11] ? 11 : 12;
    }
    if (v < bound[14]) return v < bound[13] ? 13 : 14;
    return 15;
}

}  // namespace

void BuildDecodeTable(const uint8_t* lengths, DecodeTable* table, uint32_t count) {
    uint32_t lenCount[16] = {};
    for (uint32_t i = 0; i < count; ++i) lenCount[lengths[i] & 15] += 1;
    lenCount[0] = 0;

    uint32_t next[16];
    table->decodeLen[0] = 0;
    table->decodePos[0] = 0;
    next[0] = 0;
    uint32_t n = 0;
    for (uint32_t k = 1; k <= kMaxCodeLength; ++k) {
        n = (n + lenCount[k]) * 2;
        uint32_t bound = n << (15 - k);
        table->decodeLen[k] = bound > 0xFFFF ? 0xFFFF : bound;
        table->decodePos[k] = table->decodePos[k - 1] + lenCount[k - 1];
        next[k] = table->decodePos[k];
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (lengths[i] != 0) table->decodeNum[next[lengths[i] & 15]++] = i;
    }
    table->maxNum = count;
    BuildQuickTable(table);
}

uint32_t SymbolBySearch(const DecodeTable* table, uint32_t lookahead, uint32_t* codeLength) {
    // The lowest bit is cleared so that v stays below a bound limited to 0xFFFF.
    uint32_t v = lookahead & 0xFFFE;
    uint32_t k = CodeLengthOf(table->decodeLen, v);
    *codeLength = k;
    uint32_t index = table->decodePos[k] + ((v - table->decodeLen[k - 1]) >> (16 - k));
    if (index >= table->maxNum) index = 0;
    return table->decodeNum[index];
}

void BuildQuickTable(DecodeTable* table) {
    // The bounds never decrease, so the look-aheads of each code length k
    // form one run from decodeLen[k - 1] up to decodeLen[k]. Every bound of
    // a length up to kQuickBits is a multiple of 1 << (16 - kQuickBits), or
    // 0xFFFF (above every look-ahead once its lowest bit is cleared), so all
    // look-aheads that share their first kQuickBits bits have the same code
    // length and symbol when that length is kQuickBits or less.
    const uint32_t kShift = 16 - kQuickBits;
    const uint32_t kEntries = 1u << kQuickBits;
    // Within the run of length k, each symbol position covers
    // 1 << (kQuickBits - k) prefixes, starting at decodePos[k].
    uint32_t prefix = 0;
    for (uint32_t k = 1; k <= kQuickBits; ++k) {
        const uint32_t bound = table->decodeLen[k];
        const uint32_t end = bound >= 0xFFFF ? kEntries : bound >> kShift;
        const uint32_t run = 1u << (kQuickBits - k);
        for (uint32_t index = table->decodePos[k]; prefix < end; ++index) {
            uint32_t symbol = table->decodeNum[index < table->maxNum ? index : 0];
            uint16_t entry = static_cast<uint16_t>(symbol < (1u << 12) ? (symbol << 4) | k : 0);
            for (uint32_t i = 0; i < run; ++i) table->quick[prefix + i] = entry;
            prefix += run;
        }
    }
    for (; prefix < kEntries; ++prefix) table->quick[prefix] = 0;
}

uint32_t DecodeSymbol(ExtractionContext* context, const DecodeTable* table) {
    uint32_t k;
    uint32_t symbol = SymbolAt(table, PeekBitsInline(context), &k);
    SkipBitsInline(context, k);
    return symbol;
}

void ReadCodeTables(ExtractionContext* context) {
    if (context->inputPos > kRefillBeforeTableBlock) RefillInput(context, false);

    uint32_t v = PeekBitsInline(context);
    context->multimediaMode = v & 0x8000;
    if ((v & 0x4000) == 0) std::memset(context->previousLengths, 0, sizeof context->previousLengths);
    SkipBitsInline(context, 2);

    uint32_t tableSize;
    if (context->multimediaMode) {
        context->channelCount = ((v >> 12) & 3) + 1;
        if (context->currentChannel >= context->channelCount) context->currentChannel = 0;
        SkipBitsInline(context, 2);
        tableSize = kMultimediaSymbolsPerChannel * context->channelCount;
    } else {
        tableSize = kMainTableSize;
    }

    uint8_t bitLengths[kBitLengthSymbols];
    for (uint32_t i = 0; i < kBitLengthSymbols; ++i) bitLengths[i] = static_cast<uint8_t>(ReadBitsInline(context, 4));
    BuildDecodeTable(bitLengths, &context->bitLengthTable, kBitLengthSymbols);

    // Positions beyond tableSize stay 0, and so become the base of a later
    // block that keeps its lengths.
    uint8_t lengths[kMaxTableLengths] = {};
    uint32_t i = 0;
    while (i < tableSize) {
        if (context->inputPos > kRefillBeforeLengthSymbol) RefillInput(context, false);
        uint32_t s = DecodeSymbol(context, &context->bitLengthTable);
        if (s < 16) {
            lengths[i] = static_cast<uint8_t>((s + context->previousLengths[i]) & 15);
            i += 1;
        } else if (s == 16) {
            uint32_t run = ReadBitsInline(context, 2) + 3;
            // At the block's first position there is no previous length: 0.
            uint8_t previous = i > 0 ? lengths[i - 1] : 0;
            for (; run > 0 && i < tableSize; --run) lengths[i++] = previous;
        } else {
            uint32_t run = s == 17 ? ReadBitsInline(context, 3) + 3 : ReadBitsInline(context, 7) + 11;
            for (; run > 0 && i < tableSize; --run) lengths[i++] = 0;
        }
    }

    if (context->multimediaMode) {
        for (uint32_t ch = 0; ch < context->channelCount; ++ch) {
            BuildDecodeTable(lengths + kMultimediaSymbolsPerChannel * ch, &context->channelTables[ch],
                             kMultimediaSymbolsPerChannel);
        }
    } else {
        BuildDecodeTable(lengths, &context->literalTable, kLiteralSymbols);
        BuildDecodeTable(lengths + kLiteralSymbols, &context->distanceTable, kDistanceSymbols);
        BuildDecodeTable(lengths + kLiteralSymbols + kDistanceSymbols, &context->recentLengthTable,
                         kRecentLengthSymbols);
    }
    std::memcpy(context->previousLengths, lengths, sizeof lengths);
}

void ReadTrailingTables(ExtractionContext* context) {
    // A table block right after an entry's last symbol belongs to the next
    // entry of the solid run; it is only looked for while bytes remain.
    if (context->inputEnd < context->inputPos + 5) return;
    if (context->multimediaMode) {
        uint32_t s = DecodeSymbol(context, &context->channelTables[context->currentChannel]);
        if (s == kMultimediaTableBlockSymbol) ReadCodeTables(context);
    } else {
        uint32_t s = DecodeSymbol(context, &context->literalTable);
        if (s == kTableBlockSymbol) ReadCodeTables(context);
    }
}
