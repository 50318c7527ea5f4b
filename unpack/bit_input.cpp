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

int ReadPacked(ExtractionContext* context, uint8_t* dest, int32_t count) {
    int32_t total = 0;
    while (count > 0) {
        // A header may give a negative packed size; nothing is read then.
        if (context->packedRemaining <= 0) break;
        int32_t chunk = count > context->packedRemaining ? context->packedRemaining : count;
        if (context->archiveStream == nullptr) return 0;
        size_t got = std::fread(dest + total, 1, static_cast<size_t>(chunk), context->inputStream);
        if (got == 0) return 0;
        total += static_cast<int32_t>(got);
        count -= static_cast<int32_t>(got);
        context->packedRemaining -= static_cast<int32_t>(got);
        if (context->packedRemaining <= 0) break;
    }
    return total;
}

void RefillInput(ExtractionContext* context, bool first) {
    if (first) {
        int n = ReadPacked(context, context->inputBuffer, kInputBufferSize);
        context->inputEnd = static_cast<uint32_t>(n);
        context->inputPos = 0;
        context->inputValidEnd = static_cast<uint32_t>(n);
        context->inputDrained = static_cast<uint32_t>(n) < kInputBufferSize;
        return;
    }
    std::memmove(context->inputBuffer, context->inputBuffer + kCarryFrom, kCarryOver);
    context->inputPos %= kCarryOver;
    int n = ReadPacked(context, context->inputBuffer + kCarryOver, kCarryFrom);
    if (n > 0) {
        context->inputEnd = static_cast<uint32_t>(n) + kCarryOver;
        context->inputValidEnd = context->inputEnd;
    } else {
        context->inputEnd = context->inputPos;
        context->inputValidEnd = context->inputValidEnd > kCarryFrom ? context->inputValidEnd - kCarryFrom : 0;
    }
    if (static_cast<uint32_t>(n) < kCarryFrom) context->inputDrained = 1;
}

uint32_t PeekBits(const ExtractionContext* context) {
    return PeekBitsInline(context);
}

void SkipBits(ExtractionContext* context, uint32_t n) {
    SkipBitsInline(context, n);
}
