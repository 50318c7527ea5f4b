// The reference engine: packed input, code tables and LZ decoder written as
// plainly as their definitions read. Kept for the tests only.
#include "tests/support/reference_engine.h"

#include <cstring>

#include "unpack/lz_format.h"

namespace {

enum : uint32_t {
    kRefillBeforeStep = 8162,
    kRefillBeforeTableBlock = 8167,
    kRefillBeforeLengthSymbol = 8187,
};

const uint32_t kCarryOver = 32;
const uint32_t kCarryFrom = kInputBufferSize - kCarryOver;  // 8160

uint32_t ReadBits(UnpackState* context, uint32_t k) {
    if (k == 0) return 0;
    uint32_t value = ReferencePeekBits(context) >> (16 - k);
    ReferenceSkipBits(context, k);
    return value;
}

bool InputExhausted(const UnpackState* context) {
    return context->inputDrained && context->inputPos >= context->inputValidEnd;
}

// The smallest k of 1 to 14 whose bound lies above v, else 15, by the fixed
// binary search over the bounds.
uint32_t CodeLengthOf(const uint32_t* bound, uint32_t v) {
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

const uint32_t kFlushMargin = 270;

}  // namespace

int ReferenceReadPacked(UnpackState* context, uint8_t* dest, int32_t count) {
    int32_t total = 0;
    while (count > 0) {
        // A header may give a negative packed size; nothing is read then.
        if (context->packedRemaining <= 0) break;
        int32_t chunk = count > context->packedRemaining ? context->packedRemaining : count;
        if (context->inputStream == nullptr) return 0;
        size_t got = std::fread(dest + total, 1, static_cast<size_t>(chunk), context->inputStream);
        if (got == 0) return 0;
        total += static_cast<int32_t>(got);
        count -= static_cast<int32_t>(got);
        context->packedRemaining -= static_cast<int32_t>(got);
        if (context->packedRemaining <= 0) break;
    }
    return total;
}

void ReferenceRefillInput(UnpackState* context, bool first) {
    if (first) {
        int n = ReferenceReadPacked(context, context->inputBuffer, kInputBufferSize);
        context->inputEnd = static_cast<uint32_t>(n);
        context->inputPos = 0;
        context->inputValidEnd = static_cast<uint32_t>(n);
        context->inputDrained = static_cast<uint32_t>(n) < kInputBufferSize;
        return;
    }
    std::memmove(context->inputBuffer, context->inputBuffer + kCarryFrom, kCarryOver);
    context->inputPos %= kCarryOver;
    int n = ReferenceReadPacked(context, context->inputBuffer + kCarryOver, kCarryFrom);
    if (n > 0) {
        context->inputEnd = static_cast<uint32_t>(n) + kCarryOver;
        context->inputValidEnd = context->inputEnd;
    } else {
        context->inputEnd = context->inputPos;
        context->inputValidEnd = context->inputValidEnd > kCarryFrom ? context->inputValidEnd - kCarryFrom : 0;
    }
    if (static_cast<uint32_t>(n) < kCarryFrom) context->inputDrained = 1;
}

uint32_t ReferencePeekBits(const UnpackState* context) {
    const uint8_t* b = context->inputBuffer + context->inputPos;
    uint32_t bits = (static_cast<uint32_t>(b[0]) << 16) | (static_cast<uint32_t>(b[1]) << 8) | b[2];
    return (bits >> (8 - context->inputBit)) & 0xFFFF;
}

void ReferenceSkipBits(UnpackState* context, uint32_t n) {
    uint32_t t = context->inputBit + n;
    context->inputPos += t >> 3;
    context->inputBit = t & 7;
}

void ReferenceBuildDecodeTable(const uint8_t* lengths, DecodeTable* table, uint32_t count) {
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
}

uint32_t ReferenceSymbolAt(const DecodeTable* table, uint32_t lookahead, uint32_t* codeLength) {
    // The lowest bit is cleared so that v stays below a bound limited to 0xFFFF.
    uint32_t v = lookahead & 0xFFFE;
    uint32_t k = CodeLengthOf(table->decodeLen, v);
    *codeLength = k;
    uint32_t index = table->decodePos[k] + ((v - table->decodeLen[k - 1]) >> (16 - k));
    if (index >= table->maxNum) index = 0;
    return table->decodeNum[index];
}

uint32_t ReferenceDecodeSymbol(UnpackState* context, const DecodeTable* table) {
    uint32_t k;
    uint32_t symbol = ReferenceSymbolAt(table, ReferencePeekBits(context), &k);
    ReferenceSkipBits(context, k);
    return symbol;
}

void ReferenceReadCodeTables(UnpackState* context) {
    if (context->inputPos > kRefillBeforeTableBlock) ReferenceRefillInput(context, false);

    uint32_t v = ReferencePeekBits(context);
    context->multimediaMode = v & 0x8000;
    if ((v & 0x4000) == 0) std::memset(context->previousLengths, 0, sizeof context->previousLengths);
    ReferenceSkipBits(context, 2);

    uint32_t tableSize;
    if (context->multimediaMode) {
        context->channelCount = ((v >> 12) & 3) + 1;
        if (context->currentChannel >= context->channelCount) context->currentChannel = 0;
        ReferenceSkipBits(context, 2);
        tableSize = kAudioAlphabet * context->channelCount;
    } else {
        tableSize = kTableLengthCount;
    }

    uint8_t bitLengths[kBitLengthAlphabet];
    for (uint32_t i = 0; i < kBitLengthAlphabet; ++i) bitLengths[i] = static_cast<uint8_t>(ReadBits(context, 4));
    ReferenceBuildDecodeTable(bitLengths, &context->bitLengthTable, kBitLengthAlphabet);

    // Positions beyond tableSize stay 0, and so become the base of a later
    // block that keeps its lengths.
    uint8_t lengths[kMaxTableLengths] = {};
    uint32_t i = 0;
    while (i < tableSize) {
        if (context->inputPos > kRefillBeforeLengthSymbol) ReferenceRefillInput(context, false);
        uint32_t s = ReferenceDecodeSymbol(context, &context->bitLengthTable);
        if (s < 16) {
            lengths[i] = static_cast<uint8_t>((s + context->previousLengths[i]) & 15);
            i += 1;
        } else if (s == 16) {
            uint32_t run = ReadBits(context, 2) + 3;
            // At the block's first position there is no previous length: 0.
            uint8_t previous = i > 0 ? lengths[i - 1] : 0;
            for (; run > 0 && i < tableSize; --run) lengths[i++] = previous;
        } else {
            uint32_t run = s == 17 ? ReadBits(context, 3) + 3 : ReadBits(context, 7) + 11;
            for (; run > 0 && i < tableSize; --run) lengths[i++] = 0;
        }
    }

    if (context->multimediaMode) {
        for (uint32_t ch = 0; ch < context->channelCount; ++ch) {
            ReferenceBuildDecodeTable(lengths + kAudioAlphabet * ch, &context->channelTables[ch],
                             kAudioAlphabet);
        }
    } else {
        ReferenceBuildDecodeTable(lengths, &context->literalTable, kLiteralAlphabet);
        ReferenceBuildDecodeTable(lengths + kLiteralAlphabet, &context->distanceTable, kDistanceAlphabet);
        ReferenceBuildDecodeTable(lengths + kLiteralAlphabet + kDistanceAlphabet, &context->recentLengthTable,
                         kRecentLengthAlphabet);
    }
    std::memcpy(context->previousLengths, lengths, sizeof lengths);
}

void ReferenceReadTrailingTables(UnpackState* context) {
    // A table block right after an entry's last symbol belongs to the next
    // entry of the solid run; it is only looked for while bytes remain.
    if (context->inputEnd < context->inputPos + 5) return;
    if (context->multimediaMode) {
        uint32_t s = ReferenceDecodeSymbol(context, &context->channelTables[context->currentChannel]);
        if (s == kSymAudioNewTables) ReferenceReadCodeTables(context);
    } else {
        uint32_t s = ReferenceDecodeSymbol(context, &context->literalTable);
        if (s == kSymNewTables) ReferenceReadCodeTables(context);
    }
}
void ReferenceResetUnpackState(UnpackState* context, int solid) {
    context->inputBit = 0;
    context->inputPos = 0;
    if (solid) return;
    context->currentChannel = 0;
    std::memset(context->recentDistances, 0, sizeof context->recentDistances);
    context->recentCount = 0;
    context->lastLength = 0;
    context->lastDistance = 0;
    std::memset(context->window, 0, kWindowSize);
    std::memset(context->previousLengths, 0, sizeof context->previousLengths);
    context->flushPos = 0;
    context->writePos = 0;
}

void ReferenceCopyMatch(UnpackState* context) {
    uint32_t distance = context->copyDistance;
    uint32_t length = context->copyLength;
    context->recentDistances[context->recentCount & 3] = distance;
    context->lastDistance = distance;
    context->recentCount += 1;
    context->lastLength = length;
    // Computed unsigned: a corrupt stream must not overflow the signed count.
    context->unpackedRemaining = static_cast<int32_t>(static_cast<uint32_t>(context->unpackedRemaining) - length);

    // Byte by byte, so that a distance below the length repeats the bytes
    // just written.
    uint8_t* window = context->window;
    uint32_t dest = context->writePos;
    uint32_t src = (dest - distance) & kWindowMask;
    for (uint32_t i = 0; i < length; ++i) {
        window[dest] = window[src];
        dest = (dest + 1) & kWindowMask;
        src = (src + 1) & kWindowMask;
    }
    context->writePos = dest;
}

void ReferenceFlushWindow(UnpackState* context) {
    uint8_t* window = context->window;
    if (context->writePos < context->flushPos) {
        context->output(context->outputTarget, window + context->flushPos, kWindowSize - context->flushPos);
        context->output(context->outputTarget, window, context->writePos);
    } else {
        context->output(context->outputTarget, window + context->flushPos, context->writePos - context->flushPos);
    }
    context->flushPos = context->writePos;
}

void ReferenceUnpackEntry(UnpackState* context, uint8_t* window, int solid) {
    context->window = window;
    ReferenceResetUnpackState(context, solid);
    ReferenceRefillInput(context, true);
    if (!solid) ReferenceReadCodeTables(context);

    if (context->unpackedRemaining != INT32_MIN) context->unpackedRemaining -= 1;

    // The loop also ends when the packed data is used up (a truncated or
    // corrupt entry could otherwise decode forever without producing bytes)
    // and when the stream switches to multimedia blocks, whose samples this
    // decoder does not decode. Either way the entry comes out short and
    // fails its check.
    while (context->unpackedRemaining >= 0 && !context->multimediaMode && !InputExhausted(context)) {
        if (context->inputPos > kRefillBeforeStep) ReferenceRefillInput(context, false);
        if (((context->flushPos - context->writePos) & kWindowMask) < kFlushMargin &&
            context->flushPos != context->writePos) {
            ReferenceFlushWindow(context);
        }

        uint32_t s = ReferenceDecodeSymbol(context, &context->literalTable);
        context->symbol = s;
        if (s < 256) {
            context->window[context->writePos] = static_cast<uint8_t>(s);
            context->writePos = (context->writePos + 1) & kWindowMask;
            context->unpackedRemaining -= 1;
        } else if (s >= kSymLongFirst) {
            uint32_t n = s - kSymLongFirst;
            uint32_t length = slots::kLengthBase[n] + 3 + ReadBits(context, slots::kLengthBits[n]);
            uint32_t d = ReferenceDecodeSymbol(context, &context->distanceTable);
            uint32_t distance = slots::kDistanceBase[d] + 1 + ReadBits(context, slots::kDistanceBits[d]);
            context->copyLength = length + LongCopyBonus(distance);
            context->copyDistance = distance;
            ReferenceCopyMatch(context);
        } else if (s == kSymNewTables) {
            ReferenceReadCodeTables(context);
        } else if (s == kSymRepeatLast) {
            context->copyLength = context->lastLength;
            context->copyDistance = context->lastDistance;
            ReferenceCopyMatch(context);
        } else if (s < kSymShortFirst) {
            // Symbols 257 to 260: the 1st to 4th most recent distance.
            uint32_t back = s - kSymRecentFirst + 1;
            uint32_t distance = context->recentDistances[(context->recentCount - back) & 3];
            uint32_t n = ReferenceDecodeSymbol(context, &context->recentLengthTable);
            uint32_t length = slots::kLengthBase[n] + 2 + ReadBits(context, slots::kLengthBits[n]);
            context->copyLength = length + LongCopyBonus(distance) + (distance >= 0x101 ? 1 : 0);
            context->copyDistance = distance;
            ReferenceCopyMatch(context);
        } else {
            uint32_t n = s - kSymShortFirst;
            context->copyDistance = slots::kShortBase[n] + 1 + ReadBits(context, slots::kShortBits[n]);
            context->copyLength = 2;
            ReferenceCopyMatch(context);
        }
    }

    ReferenceReadTrailingTables(context);
    ReferenceFlushWindow(context);
}
