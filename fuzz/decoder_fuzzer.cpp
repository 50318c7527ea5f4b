// The decoder alone over arbitrary packed data: the first bytes choose the
// unpacked sizes and split the rest into up to three entries, decoded as one
// solid run or each on its own, as the pass would.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "archive/entry_output.h"
#include "archive/extraction_context.h"
#include "unpack/unpack.h"

namespace {

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t kHeader = 16;
    if (size < kHeader) return 0;
    const uint8_t flags = data[0];
    const int entries = 1 + data[1] % 3;
    ExtractionContext* context = static_cast<ExtractionContext*>(AllocZeroed(sizeof(ExtractionContext)));
    uint8_t* window = static_cast<uint8_t*>(AllocZeroed(kWindowSize));
    for (int i = 0; i < 4; ++i) context->unpack.channelTablePtrs[i] = &context->unpack.channelTables[i];
    ConnectEntryOutput(context);
    ByteBuffer buffer;
    ByteBufferInit(&buffer);

    const uint8_t* packed = data + kHeader;
    size_t remaining = size - kHeader;
    for (int e = 0; e < entries; ++e) {
        // Unpacked sizes up to 4 MiB, or (rarely) negative ones.
        int32_t unpacked = static_cast<int32_t>(Le32(data + 2 + 4 * e) % (4u << 20));
        if (flags & (0x10 << e)) unpacked = -static_cast<int32_t>(unpacked % 16);
        size_t chunk = e == entries - 1 ? remaining : remaining / static_cast<size_t>(entries - e);
        FILE* input = fmemopen(const_cast<uint8_t*>(packed), chunk == 0 ? 1 : chunk, "rb");
        if (input == nullptr) break;
        context->unpack.inputStream = input;
        context->unpack.packedRemaining = static_cast<int32_t>(chunk);
        context->unpack.unpackedRemaining = unpacked;
        context->runningChecksum = 0xFFFFFFFFu;
        context->noChecksum = (flags >> e) & 1;
        context->outputBuffer = context->noChecksum ? nullptr : &buffer;
        ByteBufferReset(&buffer);
        int solid = e > 0 && (flags & 0x08) ? 0x10 : 0;
        UnpackEntry(&context->unpack, window, solid);
        std::fclose(input);
        packed += chunk;
        remaining -= chunk;
    }
    ByteBufferDestroy(&buffer);
    ReleaseBlock(&window);
    ReleaseBlock(&context);
    return 0;
}
