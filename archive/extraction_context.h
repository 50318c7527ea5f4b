// The record one archive pass works on: headers of the current block, the
// streams, the CRC table and, at its end, the decompression engine's state.
#pragma once
#include <cstdint>
#include <cstdio>
#include "unpack/decode_table.h"

struct ByteBuffer;

// Called at most twice per file entry (query, then delivery for memory entries).
typedef int (*EntryCallback)(char* nameBuffer, const uint8_t* data, uint32_t size, void* userData);

enum : int {
    kExtractOk = 0,
    kExtractNoContextMemory = 1,
    kExtractNoArchive = 2,
    kExtractChecksumFailed = 3,
    kExtractNoWindowMemory = 9,
    kExtractCannotCreate = -5,
    kExtractNoCopyMemory = -1,
};

enum : uint8_t {
    kBlockMain = 0x73,
    kBlockFile = 0x74,
    kBlockSub = 0x77,
    kBlockEnd = 0x7B,  // end of archive: whatever follows (a signature) is not read
};

enum : uint32_t {
    kWindowSize = 0x100000,
    kWindowMask = 0xFFFFF,
    kInputBufferSize = 8192,
    kMaxEntryName = 259,
    kPathSize = 260,
};

struct MainHeader {
    uint16_t HEAD_CRC;
    uint8_t HEAD_TYPE;
    uint16_t HEAD_FLAGS;
    uint16_t HEAD_SIZE;
    uint16_t RESERVED1;
    uint32_t RESERVED2;
};

struct FileHeader {
    uint16_t HEAD_CRC;
    uint8_t HEAD_TYPE;
    uint16_t HEAD_FLAGS;
    uint16_t HEAD_SIZE;
    int32_t PACK_SIZE;
    int32_t UNP_SIZE;
    uint8_t HOST_OS;
    uint32_t FILE_CRC;
    uint32_t FTIME;
    uint8_t UNP_VER;
    uint8_t METHOD;
    uint16_t NAME_SIZE;
    uint32_t ATTR;
};

struct ExtractionContext {
    uint8_t marker[7];
    MainHeader mainHeader;
    FileHeader fileHeader;
    uint8_t lastBlockType;
    EntryCallback entryCallback;
    void* userData;
    ByteBuffer* outputBuffer;
    const char* archivePath;
    uint8_t* window;
    char entryName[kPathSize];
    FILE* archiveStream;
    int noChecksum;
    int32_t blockStart;
    int32_t nextBlock;
    FILE* inputStream;
    FILE* outputFile;
    int32_t packedRemaining;
    int32_t unpackedRemaining;
    uint32_t runningChecksum;
    uint32_t crcTable[256];

    // Decompression engine.
    uint8_t* unpackWindow;
    uint32_t writePos;
    uint32_t flushPos;
    uint32_t bitField;
    uint32_t symbol;
    uint8_t inputBuffer[kInputBufferSize];
    uint8_t previousLengths[kMaxTableLengths];
    uint32_t inputPos;
    uint32_t inputBit;
    uint32_t inputEnd;
    uint32_t lastDistance;
    uint32_t lastLength;
    uint32_t copyLength;
    uint32_t copyDistance;
    uint32_t recentDistances[4];
    uint32_t recentCount;
    DecodeTable* channelTablePtrs[4];
    uint32_t multimediaMode;
    uint32_t channelCount;
    uint32_t currentChannel;
    DecodeTable bitLengthTable;
    DecodeTable literalTable;
    DecodeTable distanceTable;
    DecodeTable recentLengthTable;
    DecodeTable channelTables[4];

    // End-of-data bound of the engine: index just past the last byte of the
    // entry's packed data in inputBuffer, and set once a refill brought fewer
    // bytes than asked (no more packed data will come for this entry).
    uint32_t inputValidEnd;
    uint32_t inputDrained;

    // Size of the archive file, found by the header reader at its first
    // block: a block that runs beyond it has been cut short.
    int32_t archiveEnd;
    // The system's error number of the first write to the current output
    // file that failed (0: none); such an entry fails like a damaged one.
    int outputError;
};
