// Canonical prefix codes of at most 15 bits: building decode tables from code
// lengths, decoding single symbols, and reading the stream's table blocks.
#include <cstring>

#include "unpack/bit_input.h"
#include "unpack/symbol_decode.h"
#include "unpack/unpack.h"

namespace {


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
    for (uint32_t k = 1; k <= kMaxCodeBits; ++k) {
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

uint32_t DecodeSymbol(UnpackState* state, const DecodeTable* table) {
    uint32_t k;
    uint32_t symbol = SymbolAt(table, PeekBitsInline(state), &k);
    SkipBitsInline(state, k);
    return symbol;
}

void ReadCodeTables(UnpackState* state) {
    if (state->inputPos > kRefillBeforeTableBlock) RefillInput(state, false);

    uint32_t v = PeekBitsInline(state);
    state->multimediaMode = v & 0x8000;
    if ((v & 0x4000) == 0) std::memset(state->previousLengths, 0, sizeof state->previousLengths);
    SkipBitsInline(state, 2);

    uint32_t tableSize;
    if (state->multimediaMode) {
        state->channelCount = ((v >> 12) & 3) + 1;
        if (state->currentChannel >= state->channelCount) state->currentChannel = 0;
        SkipBitsInline(state, 2);
        tableSize = kAudioAlphabet * state->channelCount;
    } else {
        tableSize = kTableLengthCount;
    }

    uint8_t bitLengths[kBitLengthAlphabet];
    for (uint32_t i = 0; i < kBitLengthAlphabet; ++i) bitLengths[i] = static_cast<uint8_t>(ReadBitsInline(state, 4));
    BuildDecodeTable(bitLengths, &state->bitLengthTable, kBitLengthAlphabet);

    // Positions beyond tableSize stay 0, and so become the base of a later
    // block that keeps its lengths.
    uint8_t lengths[kMaxTableLengths] = {};
    uint32_t i = 0;
    while (i < tableSize) {
        if (state->inputPos > kRefillBeforeLengthSymbol) RefillInput(state, false);
        uint32_t s = DecodeSymbol(state, &state->bitLengthTable);
        if (s < 16) {
            lengths[i] = static_cast<uint8_t>((s + state->previousLengths[i]) & 15);
            i += 1;
        } else if (s == 16) {
            uint32_t run = ReadBitsInline(state, 2) + 3;
            // At the block's first position there is no previous length: 0.
            uint8_t previous = i > 0 ? lengths[i - 1] : 0;
            for (; run > 0 && i < tableSize; --run) lengths[i++] = previous;
        } else {
            uint32_t run = s == 17 ? ReadBitsInline(state, 3) + 3 : ReadBitsInline(state, 7) + 11;
            for (; run > 0 && i < tableSize; --run) lengths[i++] = 0;
        }
    }

    if (state->multimediaMode) {
        for (uint32_t ch = 0; ch < state->channelCount; ++ch) {
            BuildDecodeTable(lengths + kAudioAlphabet * ch, &state->channelTables[ch],
                             kAudioAlphabet);
        }
    } else {
        BuildDecodeTable(lengths, &state->literalTable, kLiteralAlphabet);
        BuildDecodeTable(lengths + kLiteralAlphabet, &state->distanceTable, kDistanceAlphabet);
        BuildDecodeTable(lengths + kLiteralAlphabet + kDistanceAlphabet, &state->recentLengthTable,
                         kRecentLengthAlphabet);
    }
    std::memcpy(state->previousLengths, lengths, sizeof lengths);
}

void ReadTrailingTables(UnpackState* state) {
    // A table block right after an entry's last symbol belongs to the next
    // entry of the solid run; it is only looked for while bytes remain.
    if (state->inputEnd < state->inputPos + 5) return;
    if (state->multimediaMode) {
        uint32_t s = DecodeSymbol(state, &state->channelTables[state->currentChannel]);
        if (s == kSymAudioNewTables) ReadCodeTables(state);
    } else {
        uint32_t s = DecodeSymbol(state, &state->literalTable);
        if (s == kSymNewTables) ReadCodeTables(state);
    }
}
