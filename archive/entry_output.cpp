#include "archive/entry_output.h"

#include <cstdlib>
#include <cstring>

#include "archive/extraction_context.h"
#include "util/crc32.h"

namespace {
const uint32_t kMinimumGrowth = 4096;

int WriteToPassOutput(void* target, const uint8_t* data, uint32_t size) {
    return WriteUnpacked(static_cast<ExtractionContext*>(target), data, size);
}
}

void* AllocZeroed(size_t size) {
    if (size == 0) return nullptr;
    return std::calloc(size, 1);
}

void ReleaseBlock(void** slot) {
    if (slot == nullptr) return;
    std::free(*slot);
    *slot = nullptr;
}

void ByteBufferInit(ByteBuffer* buffer) {
    std::memset(buffer, 0, sizeof *buffer);
}

void ByteBufferDestroy(ByteBuffer* buffer) {
    ReleaseBlock(&buffer->data);
    std::memset(buffer, 0, sizeof *buffer);
}

void ByteBufferReset(ByteBuffer* buffer) {
    buffer->appendCount = 0;
    buffer->length = 0;
}

int ByteBufferAppend(ByteBuffer* buffer, const void* bytes, uint32_t size) {
    if (buffer->data == nullptr) {
        buffer->capacity = size > kMinimumGrowth ? size : kMinimumGrowth;
        buffer->data = static_cast<uint8_t*>(AllocZeroed(buffer->capacity));
        if (buffer->data == nullptr) buffer->capacity = 0;
        buffer->length = 0;
        buffer->appendCount = 0;
    } else if (static_cast<uint64_t>(buffer->length) + size > buffer->capacity) {
        uint64_t grown = static_cast<uint64_t>(buffer->capacity) + (size > kMinimumGrowth ? size : kMinimumGrowth);
        // Capacities past 4 GiB cannot be held: that is a failed growth too.
        uint8_t* block = grown > UINT32_MAX ? nullptr : static_cast<uint8_t*>(AllocZeroed(static_cast<size_t>(grown)));
        if (block == nullptr) {
            ReleaseBlock(&buffer->data);
            buffer->capacity = 0;
            buffer->length = 0;
        } else {
            if (buffer->length != 0) std::memcpy(block, buffer->data, buffer->length);
            ReleaseBlock(&buffer->data);
            buffer->data = block;
            buffer->capacity = static_cast<uint32_t>(grown);
        }
    }
    if (buffer->data != nullptr) {
        if (size != 0) std::memcpy(buffer->data + buffer->length, bytes, size);
        buffer->length += size;
        buffer->appendCount += 1;
        return 0;
    }
    return 1;
}

int WriteEntryBytes(ExtractionContext* context, FILE* outputFile, const uint8_t* data, uint32_t size) {
    if (outputFile != nullptr) return static_cast<int>(std::fwrite(data, 1, size, outputFile));
    if (context->outputBuffer != nullptr) {
        // Bytes the buffer could not hold are not taken: they are then
        // missing from the checksum, so the entry fails its check instead of
        // being delivered short.
        return ByteBufferAppend(context->outputBuffer, data, size) == 0 ? static_cast<int>(size) : 0;
    }
    return 0;
}

int WriteUnpacked(ExtractionContext* context, const uint8_t* data, uint32_t size) {
    int n = WriteEntryBytes(context, context->outputFile, data, size);
    if (!context->noChecksum && n > 0) {
        context->runningChecksum = Crc32Update(context->runningChecksum, data, static_cast<uint32_t>(n));
    }
    return n;
}

void ConnectEntryOutput(ExtractionContext* context) {
    context->unpack.output = WriteToPassOutput;
    context->unpack.outputTarget = context;
}
