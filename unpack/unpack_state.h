// The decompression engine's own record: the packed input of the entry being
// decoded, the window, the code tables and the copy history that a solid run
// carries from entry to entry, and the output routine the decoded bytes go to.
// The engine touches nothing outside this record and its window.
#pragma once
#include <cstdint>
#include <cstdio>

#include "unpack/decode_table.h"

enum : uint32_t {
    kInputBufferSize = 8192,  // packed bytes held at once
};

// Takes one block of decoded bytes; returns how many it took (the engine
// goes on either way: a short take shows up in the caller's checksum).
typedef int (*UnpackOutput)(void* target, const uint8_t* data, uint32_t size);

struct UnpackState {
    // Set by the caller before each entry.
    FILE* inputStream;           // the packed data, read from its current position
    int32_t packedRemaining;     // packed bytes of the entry not yet read
    int32_t unpackedRemaining;   // bytes the entry still has to produce
    UnpackOutput output;         // where flushed bytes go ...
    void* outputTarget;          // ... and the first argument it gets

    // The window and its positions; kept across the entries of a solid run.
    uint8_t* window;
    uint32_t writePos;
    uint32_t flushPos;
    uint32_t bitField;
    uint32_t symbol;

    // Packed input and the bit reader's position in it.
    uint8_t inputBuffer[kInputBufferSize];
    uint8_t previousLengths[kMaxTableLengths];
    uint32_t inputPos;
    uint32_t inputBit;
    uint32_t inputEnd;

    // Copy history.
    uint32_t lastDistance;
    uint32_t lastLength;
    uint32_t copyLength;
    uint32_t copyDistance;
    uint32_t recentDistances[4];
    uint32_t recentCount;

    // Code tables.
    DecodeTable* channelTablePtrs[kMaxAudioChannels];
    uint32_t multimediaMode;
    uint32_t channelCount;
    uint32_t currentChannel;
    DecodeTable bitLengthTable;
    DecodeTable literalTable;
    DecodeTable distanceTable;
    DecodeTable recentLengthTable;
    DecodeTable channelTables[kMaxAudioChannels];

    // End-of-data bound of the engine: index just past the last byte of the
    // entry's packed data in inputBuffer, and set once a refill brought fewer
    // bytes than asked (no more packed data will come for this entry).
    uint32_t inputValidEnd;
    uint32_t inputDrained;
};
