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

void* AllocZeroed(size_t size);
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
// Returns 0 on success, 1 on failure (the contents are lost on a failed growth).
int ByteBufferAppend(ByteBuffer* buffer, const void* bytes, uint32_t size);

// Returns the bytes taken. A write to the output file that takes fewer bytes
// than offered also records its reason in the context's outputError.
int WriteEntryBytes(ExtractionContext* context, FILE* outputFile, const uint8_t* data, uint32_t size);
int WriteUnpacked(ExtractionContext* context, const uint8_t* data, uint32_t size);
// Flushes and closes an entry's output file. Returns 0 when every byte
// written reached the file; otherwise the system's error number of the first
// write, flush or close that failed (also kept in the context's outputError).
// The file is closed in either case.
int CloseEntryOutput(ExtractionContext* context, FILE* outputFile);
