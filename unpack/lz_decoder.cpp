// The LZ decoder: literals and copies over a 1 MB sliding window, with the
// window, tables and copy history carried from entry to entry of a solid run.
#include <cstring>

#include "archive/entry_output.h"
#include "unpack/bit_input.h"
#include "unpack/slot_tables.h"
#include "unpack/symbol_decode.h"
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

// The engine's bit reader inside the decoding loop: up to 63 unread bits,
// the next one in the top bit, taken from the input buffer eight bytes at a
// time. The reading position of the stream is the bits taken so far:
// next * 8 - count.
struct BitReader {
    uint64_t buffer;
    uint32_t count;  // valid bits in buffer
    uint32_t next;   // index in inputBuffer of the first byte not yet in buffer
};

// Tops the reader up to at least 56 bits with one eight-byte load at `next`.
inline void Refill(BitReader* reader, const uint8_t* input) {
    reader->buffer |= LoadBigEndian64(input + reader->next) >> reader->count;
    reader->next += (63 - reader->count) >> 3;
    reader->count |= 56;
}

inline uint32_t BitPosition(const BitReader* reader) {
    return reader->next * 8 - reader->count;
}

// Starts the reader at byte pos, bit `bit`, with up to seven bytes (a reader
// holds at most 63 bits). A table block can leave pos as far as 8190, where
// the bytes past the buffer's end are not the stream's (the next refill
// brings those): the reader takes only bytes of the buffer.
inline void StartReader(BitReader* reader, const uint8_t* input, uint32_t pos, uint32_t bit) {
    const uint32_t kStartBytes = 7;
    uint32_t n = pos + kStartBytes <= kInputBufferSize ? kStartBytes : kInputBufferSize - pos;
    uint64_t bits = 0;
    for (uint32_t i = 0; i < n; ++i) bits |= static_cast<uint64_t>(input[pos + i]) << (56 - 8 * i);
    reader->buffer = bits << bit;
    reader->count = 8 * n - bit;
    reader->next = pos + n;
}

inline uint32_t TakeSymbol(BitReader* reader, const DecodeTable* table) {
    uint32_t k;
    uint32_t symbol = SymbolAt(table, static_cast<uint32_t>(reader->buffer >> 48), &k);
    reader->buffer <<= k;
    reader->count -= k;
    return symbol;
}

// A field of k bits (0 to 16) as an unsigned number.
inline uint32_t TakeBits(BitReader* reader, uint32_t k) {
    uint32_t value = static_cast<uint32_t>((reader->buffer >> (63 - k)) >> 1);
    reader->buffer <<= k;
    reader->count -= k;
    return value;
}

// Sixteen bytes from kKeepNew + 16 - n select the first n (0 to 16) of 16.
constexpr uint8_t kKeepNew[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                  0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0,    0,    0,    0,    0,    0,
                                  0,    0,    0,    0,    0,    0,    0,    0,    0,    0};

inline void Move16(uint8_t* out, const uint8_t* in) {
    uint64_t block[2];
    std::memcpy(block, in, 16);
    std::memcpy(out, block, 16);
}

// The first n (0 to 16) of 16 bytes from in to out; the other bytes of out
// are read and written back unchanged, so that the store can be a whole
// 16-byte block without a branch on n.
inline void MoveFirst(uint8_t* out, const uint8_t* in, uint32_t n) {
    uint64_t source[2];
    uint64_t target[2];
    uint64_t keep[2];
    std::memcpy(source, in, 16);
    std::memcpy(target, out, 16);
    std::memcpy(keep, kKeepNew + 16 - n, 16);
    target[0] = (source[0] & keep[0]) | (target[0] & ~keep[0]);
    target[1] = (source[1] & keep[1]) | (target[1] & ~keep[1]);
    std::memcpy(out, target, 16);
}

// Writes `length` bytes at dest, each taken from src onwards, with the
// result of a byte-by-byte copy, and returns the new write position; right
// for every copy. Away from the window's end a source one byte behind makes a
// run of one byte and any other goes one byte at a time front to back
// (repeating the bytes just written when it lies close behind); copies that
// wrap past the window's end go byte by byte with every position masked.
__attribute__((noinline)) uint32_t CopyNearOrWrapping(uint8_t* window, uint32_t dest, uint32_t src, uint32_t length) {
    if (dest + length <= kWindowSize && src + length <= kWindowSize) {
        uint8_t* out = window + dest;
        const uint8_t* in = window + src;
        if (dest - src == 1) {
            std::memset(out, in[0], length);
        } else if (src != dest) {
            for (uint32_t i = 0; i < length; ++i) out[i] = in[i];
        }
        // src == dest (distance 0 or the window's size): each byte is copied onto itself.
        return (dest + length) & kWindowMask;
    }
    for (uint32_t i = 0; i < length; ++i) {
        window[dest] = window[src];
        dest = (dest + 1) & kWindowMask;
        src = (src + 1) & kWindowMask;
    }
    return dest;
}

// CopyNearOrWrapping for `distance` bytes back, faster where the bytes can
// move in blocks: away from the window's end, when the source lies at least
// 16 bytes behind, or entirely behind, or ahead (where each byte is read
// before it is overwritten), the copy moves front to back in blocks of 16,
// the last one partial. The bytes past the copy keep their contents: a later
// copy from nearly a window back may still read them.
inline uint32_t CopyWithinWindow(uint8_t* window, uint32_t dest, uint32_t distance, uint32_t length) {
    const uint32_t src = (dest - distance) & kWindowMask;
    const uint32_t gap = dest - src;  // wraps to a large number when the source lies ahead
    const uint32_t furthest = src > dest ? src : dest;
    if ((gap >= 16 || gap >= length) && furthest + length + 16 <= kWindowSize) {
        uint8_t* out = window + dest;
        const uint8_t* in = window + src;
        uint32_t i = 0;
        for (; i + 16 <= length; i += 16) Move16(out + i, in + i);
        MoveFirst(out + i, in + i, length - i);
        return dest + length;
    }
    return CopyNearOrWrapping(window, dest, src, length);
}

// Records the copy in the history, counts its bytes and makes it.
inline void MakeCopy(ExtractionContext* context, uint32_t distance, uint32_t length, uint32_t* writePos,
                     int32_t* remaining) {
    context->copyDistance = distance;
    context->copyLength = length;
    context->recentDistances[context->recentCount & 3] = distance;
    context->lastDistance = distance;
    context->recentCount += 1;
    context->lastLength = length;
    // Computed unsigned: a corrupt stream must not overflow the signed count.
    *remaining = static_cast<int32_t>(static_cast<uint32_t>(*remaining) - length);
    *writePos = CopyWithinWindow(context->unpackWindow, *writePos, distance, length);
}

// The input position at which the entry's packed data is used up; known only
// after a refill that brought less than asked.
inline uint32_t InputEndOf(const ExtractionContext* context) {
    return context->inputDrained ? context->inputValidEnd : UINT32_MAX;
}

// The first input position at which a step must refill or stop.
inline uint32_t CheckFrom(uint32_t inputEnd) {
    return inputEnd < kRefillBeforeStep + 1 ? inputEnd : kRefillBeforeStep + 1;
}

// The decoding steps of one entry. The reading position, the write position
// and the count live in locals and go back to the context around every call
// that uses them there (refill, flush, table block) and at the end. Every step
// starts at inputPos 8162 or less and reads at most 51 bits (a 15-bit symbol,
// 5 extra length bits, a 15-bit distance symbol and 16 extra distance bits),
// so one top-up of the bit reader per step suffices and its load, which ends
// at most 15 bytes past inputPos, stays inside the input buffer.
void DecodeSteps(ExtractionContext* context) {
    uint8_t* const window = context->unpackWindow;
    const uint8_t* const input = context->inputBuffer;
    uint32_t writePos = context->writePos;
    int32_t remaining = context->unpackedRemaining;
    uint32_t symbol = context->symbol;
    BitReader reader;
    StartReader(&reader, input, context->inputPos, context->inputBit);

    // The loop also ends when the packed data is used up (a truncated or
    // corrupt entry could otherwise decode forever without producing bytes)
    // and when the stream switches to multimedia blocks, whose samples this
    // decoder does not decode. Either way the entry comes out short and
    // fails its check.
    uint32_t exhaustedAt = InputEndOf(context);
    // One comparison per step for both: pos >= checkFrom when a refill is due
    // or the input is used up.
    uint32_t checkFrom = CheckFrom(exhaustedAt);
    // A flush is due once fewer than kFlushMargin positions lie between the
    // write position and flushPos, unless nothing is pending: with
    // flushMark = flushPos - 1 that is ((flushMark - writePos) & mask) below
    // kFlushMargin - 1, as nothing pending gives the mask itself.
    uint32_t flushMark = context->flushPos - 1;
    bool decoding = !context->multimediaMode;
    while (decoding && remaining >= 0) {
        uint32_t pos = BitPosition(&reader) >> 3;
        if (pos >= checkFrom) {
            if (pos >= exhaustedAt) break;
            // The bytes the reader holds move with the buffer's last 32.
            context->inputPos = pos;
            RefillInput(context, false);
            reader.next -= pos - context->inputPos;
            exhaustedAt = InputEndOf(context);
            checkFrom = CheckFrom(exhaustedAt);
        }
        if (((flushMark - writePos) & kWindowMask) < kFlushMargin - 1) {
            context->writePos = writePos;
            FlushWindow(context);
            flushMark = writePos - 1;
        }

        Refill(&reader, input);
        symbol = TakeSymbol(&reader, &context->literalTable);
        if (symbol < 256) {
            window[writePos] = static_cast<uint8_t>(symbol);
            writePos = (writePos + 1) & kWindowMask;
            remaining -= 1;
            continue;
        }
        if (symbol == kTableBlock) {
            uint32_t bits = BitPosition(&reader);
            context->inputPos = bits >> 3;
            context->inputBit = bits & 7;
            ReadCodeTables(context);
            StartReader(&reader, input, context->inputPos, context->inputBit);
            exhaustedAt = InputEndOf(context);
            checkFrom = CheckFrom(exhaustedAt);
            decoding = !context->multimediaMode;
            continue;
        }
        // Every other symbol is a copy; the branches find its distance and
        // length, and one place makes it.
        uint32_t distance;
        uint32_t length;
        if (symbol >= kFirstLongCopy) {
            uint32_t n = symbol - kFirstLongCopy;
            length = slots::kLengthBase[n] + 3 + TakeBits(&reader, slots::kLengthBits[n]);
            uint32_t d = TakeSymbol(&reader, &context->distanceTable);
            distance = slots::kDistanceBase[d] + 1 + TakeBits(&reader, slots::kDistanceBits[d]);
            length += DistanceBonus(distance);
        } else if (symbol == kRepeatLastCopy) {
            distance = context->lastDistance;
            length = context->lastLength;
        } else if (symbol < kFirstShortCopy) {
            // Symbols 257 to 260: the 1st to 4th most recent distance.
            uint32_t back = symbol - kFirstRecentCopy + 1;
            distance = context->recentDistances[(context->recentCount - back) & 3];
            uint32_t n = TakeSymbol(&reader, &context->recentLengthTable);
            length = slots::kLengthBase[n] + 2 + TakeBits(&reader, slots::kLengthBits[n]);
            length += DistanceBonus(distance) + (distance >= 0x101 ? 1 : 0);
        } else {
            uint32_t n = symbol - kFirstShortCopy;
            distance = slots::kShortBase[n] + 1 + TakeBits(&reader, slots::kShortBits[n]);
            length = 2;
        }
        MakeCopy(context, distance, length, &writePos, &remaining);
    }

    uint32_t bits = BitPosition(&reader);
    context->inputPos = bits >> 3;
    context->inputBit = bits & 7;
    context->writePos = writePos;
    context->unpackedRemaining = remaining;
    context->symbol = symbol;
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
    uint32_t length = context->copyLength;
    context->recentDistances[context->recentCount & 3] = context->copyDistance;
    context->lastDistance = context->copyDistance;
    context->recentCount += 1;
    context->lastLength = length;
    // Computed unsigned: a corrupt stream must not overflow the signed count.
    context->unpackedRemaining = static_cast<int32_t>(static_cast<uint32_t>(context->unpackedRemaining) - length);
    uint32_t src = (context->writePos - context->copyDistance) & kWindowMask;
    context->writePos = CopyNearOrWrapping(context->unpackWindow, context->writePos, src, length);
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
    DecodeSteps(context);

    ReadTrailingTables(context);
    FlushWindow(context);
}
