// The LZ decoder: literals and copies over a 1 MB sliding window, with the
// window, tables and copy history carried from entry to entry of a solid run.
#include <cstring>

#include "archive/entry_output.h"
#include "unpack/bit_input.h"
#include "unpack/slot_tables.h"
#include "unpack/unpack.h"

namespace {

// A flush comes before a step once fewer than this many window positions are
// free; no step produces more than 260 bytes.
const uint32_t kFlushMargin = 270;

const uint32_t kRepeatLastCopy = 256;
const uint32_t kFirstRecentCopy = 257;
const uint32_t kFirstShortCopy = 261;
const uint32_t kTableBlock = 269;
const uint32_t kFirstLongCopy = 270;

// Copies at larger distances are longer than their length slot says.
inline uint32_t DistanceBonus(uint32_t distance) {
    return (distance >= 0x40000 ? 1u : 0u) + (distance >= 0x2000 ? 1u : 0u);
}

}  // namespace

void ResetUnpackState(ExtractionContext* context, int solid) {
    context->inputBit = 0;
    context->inputPos = 0;
    if (solid) return;
    context->currentChannel = 0;
    std::memset(context->recentDistances, 0, sizeof context->recentDistances);
    context->recentCount = 0;
    context->lastLength = 0;
    context->lastDistance = 0;
    std::memset(context->unpackWindow, 0, kWindowSize);
    std::memset(context->previousLengths, 0, sizeof context->previousLengths);
    context->flushPos = 0;
    context->writePos = 0;
}

void CopyMatch(ExtractionContext* context) {
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
    uint8_t* window = context->unpackWindow;
    uint32_t dest = context->writePos;
    uint32_t src = (dest - distance) & kWindowMask;
    for (uint32_t i = 0; i < length; ++i) {
        window[dest] = window[src];
        dest = (dest + 1) & kWindowMask;
        src = (src + 1) & kWindowMask;
    }
    context->writePos = dest;
}

void FlushWindow(ExtractionContext* context) {
    uint8_t* window = context->unpackWindow;
    if (context->writePos < context->flushPos) {
        WriteUnpacked(context, window + context->flushPos, kWindowSize - context->flushPos);
        WriteUnpacked(context, window, context->writePos);
    } else {
        WriteUnpacked(context, window + context->flushPos, context->writePos - context->flushPos);
    }
    context->flushPos = context->writePos;
}

void UnpackEntry(ExtractionContext* context, uint8_t* window, int solid) {
    context->unpackWindow = window;
    ResetUnpackState(context, solid);
    RefillInput(context, true);
    if (!solid) ReadCodeTables(context);

    if (context->unpackedRemaining != INT32_MIN) context->unpackedRemaining -= 1;

    // The loop also ends when the packed data is used up (a truncated or
    // corrupt entry could otherwise decode forever without producing bytes)
    // and when the stream switches to multimedia blocks, whose samples this
    // decoder does not decode. Either way the entry comes out short and
    // fails its check.
    while (context->unpackedRemaining >= 0 && !context->multimediaMode && !InputExhausted(context)) {
        if (context->inputPos > kRefillBeforeStep) RefillInput(context, false);
        if (((context->flushPos - context->writePos) & kWindowMask) < kFlushMargin &&
            context->flushPos != context->writePos) {
            FlushWindow(context);
        }

        uint32_t s = DecodeSymbol(context, &context->literalTable);
        context->symbol = s;
        if (s < 256) {
            context->unpackWindow[context->writePos] = static_cast<uint8_t>(s);
            context->writePos = (context->writePos + 1) & kWindowMask;
            context->unpackedRemaining -= 1;
        } else if (s >= kFirstLongCopy) {
            uint32_t n = s - kFirstLongCopy;
            uint32_t length = slots::kLengthBase[n] + 3 + ReadBitsInline(context, slots::kLengthBits[n]);
            uint32_t d = DecodeSymbol(context, &context->distanceTable);
            uint32_t distance = slots::kDistanceBase[d] + 1 + ReadBitsInline(context, slots::kDistanceBits[d]);
            context->copyLength = length + DistanceBonus(distance);
            context->copyDistance = distance;
            CopyMatch(context);
        } else if (s == kTableBlock) {
            ReadCodeTables(context);
        } else if (s == kRepeatLastCopy) {
            context->copyLength = context->lastLength;
            context->copyDistance = context->lastDistance;
            CopyMatch(context);
        } else if (s < kFirstShortCopy) {
            // Symbols 257 to 260: the 1st to 4th most recent distance.
            uint32_t back = s - kFirstRecentCopy + 1;
            uint32_t distance = context->recentDistances[(context->recentCount - back) & 3];
            uint32_t n = DecodeSymbol(context, &context->recentLengthTable);
            uint32_t length = slots::kLengthBase[n] + 2 + ReadBitsInline(context, slots::kLengthBits[n]);
            context->copyLength = length + DistanceBonus(distance) + (distance >= 0x101 ? 1 : 0);
            context->copyDistance = distance;
            CopyMatch(context);
        } else {
            uint32_t n = s - kFirstShortCopy;
            context->copyDistance = slots::kShortBase[n] + 1 + ReadBitsInline(context, slots::kShortBits[n]);
            context->copyLength = 2;
            CopyMatch(context);
        }
    }

    ReadTrailingTables(context);
    FlushWindow(context);
}
