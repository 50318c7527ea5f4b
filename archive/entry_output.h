// Entry output: the growable buffer for entries delivered in memory, the
// allocation routines, and the single output routine of the decoder.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

struct ExtractionContext;

struct ByteBuffer {
    uint8_t* data;
    int appendCount;
    uint32_t capacity;
    uint32_t length;
};

// A zero-filled block of size bytes, or null (also for size 0).
void* AllocZeroed(size_t size);
// Frees *slot (null is fine) and sets it to null.
void ReleaseBlock(void** slot);
template <typename T>
inline void ReleaseBlock(T** slot) {
    void* p = *slot;
    ReleaseBlock(&p);
    *slot = nullptr;
}

void ByteBufferInit(ByteBuffer* buffer);
void ByteBufferDestroy(ByteBuffer* buffer);
void ByteBufferReset(ByteBuffer* buffer);
// Appends size bytes, growing the buffer as needed. Returns 0 on success, 1
// on failure (the contents are lost on a failed growth).
int ByteBufferAppend(ByteBuffer* buffer, const void* bytes, uint32_t size);

// Sends size bytes to outputFile when there is one, else appends them to the
// context's outputBuffer when there is one; returns how many were taken (0
// when the buffer could not grow, or when there is neither).
int WriteEntryBytes(ExtractionContext* context, FILE* outputFile, const uint8_t* data, uint32_t size);
// The single output routine of the decoder and of the stored-entry copy:
// WriteEntryBytes to the context's outputFile, and the bytes taken summed
// into runningChecksum unless noChecksum is set. Returns the bytes taken.
int WriteUnpacked(ExtractionContext* context, const uint8_t* data, uint32_t size);
// Points the context's decompression engine at WriteUnpacked of the context.
void ConnectEntryOutput(ExtractionContext* context);
