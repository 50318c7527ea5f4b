// Packed input of one entry: an 8192-byte buffer refilled from the archive,
// read as a bit stream most significant bit first.
#include <cstring>

#include "unpack/bit_input.h"
#include "unpack/unpack.h"

namespace {
// A continuation refill keeps the buffer's last 32 bytes, so that the bytes
// around the reading position stay in place.
const uint32_t kCarryOver = 32;
const uint32_t kCarryFrom = kInputBufferSize - kCarryOver;  // 8160
}  // namespace

int ReadPacked(UnpackState* state, uint8_t* dest, int32_t count) {
    int32_t total = 0;
    while (count > 0) {
        // A header may give a negative packed size; nothing is read then.
        if (state->packedRemaining <= 0) break;
        int32_t chunk = count > state->packedRemaining ? state->packedRemaining : count;
        if (state->inputStream == nullptr) return 0;
        size_t got = std::fread(dest + total, 1, static_cast<size_t>(chunk), state->inputStream);
        if (got == 0) return 0;
        total += static_cast<int32_t>(got);
        count -= static_cast<int32_t>(got);
        state->packedRemaining -= static_cast<int32_t>(got);
        if (state->packedRemaining <= 0) break;
    }
    return total;
}

void RefillInput(UnpackState* state, bool first) {
    if (first) {
        int n = ReadPacked(state, state->inputBuffer, kInputBufferSize);
        state->inputEnd = static_cast<uint32_t>(n);
        state->inputPos = 0;
        state->inputValidEnd = static_cast<uint32_t>(n);
        state->inputDrained = static_cast<uint32_t>(n) < kInputBufferSize;
        return;
    }
    std::memmove(state->inputBuffer, state->inputBuffer + kCarryFrom, kCarryOver);
    state->inputPos %= kCarryOver;
    int n = ReadPacked(state, state->inputBuffer + kCarryOver, kCarryFrom);
    if (n > 0) {
        state->inputEnd = static_cast<uint32_t>(n) + kCarryOver;
        state->inputValidEnd = state->inputEnd;
    } else {
        state->inputEnd = state->inputPos;
        state->inputValidEnd = state->inputValidEnd > kCarryFrom ? state->inputValidEnd - kCarryFrom : 0;
    }
    if (static_cast<uint32_t>(n) < kCarryFrom) state->inputDrained = 1;
}

uint32_t PeekBits(const UnpackState* state) {
    return PeekBitsInline(state);
}

void SkipBits(UnpackState* state, uint32_t n) {
    SkipBitsInline(state, n);
}
