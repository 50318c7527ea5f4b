// The LZ decoder: literals and copies over a 1 MB sliding window, with the
// window, tables and copy history carried from entry to entry of a solid run.
#include <cstring>

#include "unpack/bit_input.h"
#include "unpack/lz_format.h"
#include "unpack/symbol_decode.h"
#include "unpack/unpack.h"

namespace {

// A flush comes before a step once fewer than this many window positions are
// free; no step produces more than 260 bytes.
const uint32_t kFlushMargin = 270;

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
inline void MakeCopy(UnpackState* state, uint32_t distance, uint32_t length, uint32_t* writePos,
                     int32_t* remaining) {
    state->copyDistance = distance;
    state->copyLength = length;
    state->recentDistances[state->recentCount & 3] = distance;
    state->lastDistance = distance;
    state->recentCount += 1;
    state->lastLength = length;
    // Computed unsigned: a corrupt stream must not overflow the signed count.
    *remaining = static_cast<int32_t>(static_cast<uint32_t>(*remaining) - length);
    *writePos = CopyWithinWindow(state->window, *writePos, distance, length);
}

// The input position at which the entry's packed data is used up; known only
// after a refill that brought less than asked.
inline uint32_t InputEndOf(const UnpackState* state) {
    return state->inputDrained ? state->inputValidEnd : UINT32_MAX;
}

// The first input position at which a step must refill or stop.
inline uint32_t CheckFrom(uint32_t inputEnd) {
    return inputEnd < kRefillBeforeStep + 1 ? inputEnd : kRefillBeforeStep + 1;
}

// The decoding steps of one entry. The reading position, the write position
// and the count live in locals and go back to the state around every call
// that uses them there (refill, flush, table block) and at the end. Every step
// starts at inputPos 8162 or less and reads at most 51 bits (a 15-bit symbol,
// 5 extra length bits, a 15-bit distance symbol and 16 extra distance bits),
// so one top-up of the bit reader per step suffices and its load, which ends
// at most 15 bytes past inputPos, stays inside the input buffer.
void DecodeSteps(UnpackState* state) {
    uint8_t* const window = state->window;
    const uint8_t* const input = state->inputBuffer;
    uint32_t writePos = state->writePos;
    int32_t remaining = state->unpackedRemaining;
    uint32_t symbol = state->symbol;
    BitReader reader;
    StartReader(&reader, input, state->inputPos, state->inputBit);

    // The loop also ends when the packed data is used up (a truncated or
    // corrupt entry could otherwise decode forever without producing bytes)
    // and when the stream switches to multimedia blocks, whose samples this
    // decoder does not decode. Either way the entry comes out short and
    // fails its check.
    uint32_t exhaustedAt = InputEndOf(state);
    // One comparison per step for both: pos >= checkFrom when a refill is due
    // or the input is used up.
    uint32_t checkFrom = CheckFrom(exhaustedAt);
    // A flush is due once fewer than kFlushMargin positions lie between the
    // write position and flushPos, unless nothing is pending: with
    // flushMark = flushPos - 1 that is ((flushMark - writePos) & mask) below
    // kFlushMargin - 1, as nothing pending gives the mask itself.
    uint32_t flushMark = state->flushPos - 1;
    bool decoding = !state->multimediaMode;
    while (decoding && remaining >= 0) {
        uint32_t pos = BitPosition(&reader) >> 3;
        if (pos >= checkFrom) {
            if (pos >= exhaustedAt) break;
            // The bytes the reader holds move with the buffer's last 32.
            state->inputPos = pos;
            RefillInput(state, false);
            reader.next -= pos - state->inputPos;
            exhaustedAt = InputEndOf(state);
            checkFrom = CheckFrom(exhaustedAt);
        }
        if (((flushMark - writePos) & kWindowMask) < kFlushMargin - 1) {
            state->writePos = writePos;
            FlushWindow(state);
            flushMark = writePos - 1;
        }

        Refill(&reader, input);
        symbol = TakeSymbol(&reader, &state->literalTable);
        if (symbol < 256) {
            window[writePos] = static_cast<uint8_t>(symbol);
            writePos = (writePos + 1) & kWindowMask;
            remaining -= 1;
            continue;
        }
        if (symbol == kSymNewTables) {
            uint32_t bits = BitPosition(&reader);
            state->inputPos = bits >> 3;
            state->inputBit = bits & 7;
            ReadCodeTables(state);
            StartReader(&reader, input, state->inputPos, state->inputBit);
            exhaustedAt = InputEndOf(state);
            checkFrom = CheckFrom(exhaustedAt);
            decoding = !state->multimediaMode;
            continue;
        }
        // Every other symbol is a copy; the branches find its distance and
        // length, and one place makes it.
        uint32_t distance;
        uint32_t length;
        if (symbol >= kSymLongFirst) {
            uint32_t n = symbol - kSymLongFirst;
            length = slots::kLengthBase[n] + 3 + TakeBits(&reader, slots::kLengthBits[n]);
            uint32_t d = TakeSymbol(&reader, &state->distanceTable);
            distance = slots::kDistanceBase[d] + 1 + TakeBits(&reader, slots::kDistanceBits[d]);
            length += LongCopyBonus(distance);
        } else if (symbol == kSymRepeatLast) {
            distance = state->lastDistance;
            length = state->lastLength;
        } else if (symbol < kSymShortFirst) {
            // Symbols 257 to 260: the 1st to 4th most recent distance.
            uint32_t back = symbol - kSymRecentFirst + 1;
            distance = state->recentDistances[(state->recentCount - back) & 3];
            uint32_t n = TakeSymbol(&reader, &state->recentLengthTable);
            length = slots::kLengthBase[n] + 2 + TakeBits(&reader, slots::kLengthBits[n]);
            length += LongCopyBonus(distance) + (distance >= 0x101 ? 1 : 0);
        } else {
            uint32_t n = symbol - kSymShortFirst;
            distance = slots::kShortBase[n] + 1 + TakeBits(&reader, slots::kShortBits[n]);
            length = 2;
        }
        MakeCopy(state, distance, length, &writePos, &remaining);
    }

    uint32_t bits = BitPosition(&reader);
    state->inputPos = bits >> 3;
    state->inputBit = bits & 7;
    state->writePos = writePos;
    state->unpackedRemaining = remaining;
    state->symbol = symbol;
}

}  // namespace

void ResetUnpackState(UnpackState* state, int solid) {
    state->inputBit = 0;
    state->inputPos = 0;
    if (solid) return;
    state->currentChannel = 0;
    std::memset(state->recentDistances, 0, sizeof state->recentDistances);
    state->recentCount = 0;
    state->lastLength = 0;
    state->lastDistance = 0;
    std::memset(state->window, 0, kWindowSize);
    std::memset(state->previousLengths, 0, sizeof state->previousLengths);
    state->flushPos = 0;
    state->writePos = 0;
}

void CopyMatch(UnpackState* state) {
    uint32_t length = state->copyLength;
    state->recentDistances[state->recentCount & 3] = state->copyDistance;
    state->lastDistance = state->copyDistance;
    state->recentCount += 1;
    state->lastLength = length;
    // Computed unsigned: a corrupt stream must not overflow the signed count.
    state->unpackedRemaining = static_cast<int32_t>(static_cast<uint32_t>(state->unpackedRemaining) - length);
    uint32_t src = (state->writePos - state->copyDistance) & kWindowMask;
    state->writePos = CopyNearOrWrapping(state->window, state->writePos, src, length);
}

void FlushWindow(UnpackState* state) {
    uint8_t* window = state->window;
    if (state->writePos < state->flushPos) {
        state->output(state->outputTarget, window + state->flushPos, kWindowSize - state->flushPos);
        state->output(state->outputTarget, window, state->writePos);
    } else {
        state->output(state->outputTarget, window + state->flushPos, state->writePos - state->flushPos);
    }
    state->flushPos = state->writePos;
}

void UnpackEntry(UnpackState* state, uint8_t* window, int solid) {
    state->window = window;
    ResetUnpackState(state, solid);
    RefillInput(state, true);
    if (!solid) ReadCodeTables(state);

    if (state->unpackedRemaining != INT32_MIN) state->unpackedRemaining -= 1;
    DecodeSteps(state);

    ReadTrailingTables(state);
    FlushWindow(state);
}
