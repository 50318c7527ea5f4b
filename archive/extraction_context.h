// The record one archive pass works on: headers of the current block, the
// streams, the entry's output and checksum and, at its end, the
// decompression engine's state.
#pragma once
#include <cstdint>
#include <cstdio>

#include "archive/archive_format.h"
#include "unpack/unpack_state.h"

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

enum : uint32_t {
    kPathSize = 260,  // an entry's output path, terminator included
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
    uint8_t marker[kMarkerSize];
    MainHeader mainHeader;
    FileHeader fileHeader;
    uint8_t lastBlockType;
    EntryCallback entryCallback;
    void* userData;
    ByteBuffer* outputBuffer;
    const char* archivePath;
    char entryName[kPathSize];
    FILE* archiveStream;
    int noChecksum;
    int32_t blockStart;
    int32_t nextBlock;
    FILE* outputFile;
    uint32_t runningChecksum;

    // The decompression engine; the pass points its output at WriteUnpacked.
    UnpackState unpack;
};
