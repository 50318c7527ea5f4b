#include "archive/header_reader.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "archive/archive_format.h"
#include "archive/extraction_context.h"

namespace {

// The marker must start within this many bytes after offset 7.
const size_t kScanWindow = 249999;

uint16_t Read16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

int32_t Tell(FILE* stream) {
    long position = std::ftell(stream);
    return position < 0 || position > INT32_MAX ? -1 : static_cast<int32_t>(position);
}

bool IsMarkerAt(const uint8_t* p) {
    return std::memcmp(p, kMarker, kMarkerSize) == 0;
}

// Scans the bytes after offset 7 for a marker followed by a main header;
// on success the stream stands at that marker.
bool ScanForMarker(FILE* stream) {
    uint8_t* buffer = static_cast<uint8_t*>(std::calloc(kScanWindow + 1, 1));
    if (buffer == nullptr) return false;
    size_t got = std::fread(buffer, 1, kScanWindow, stream);
    bool found = false;
    // The marker and the main header's HEAD_CRC and HEAD_TYPE.
    const size_t kMarkerAndType = kMarkerSize + 3;
    for (size_t i = 0; i + kMarkerAndType <= got; ++i) {
        const void* hit = std::memchr(buffer + i, kMarker[0], got - i);
        if (hit == nullptr) break;
        i = static_cast<size_t>(static_cast<const uint8_t*>(hit) - buffer);
        if (i + kMarkerAndType > got) break;
        if (IsMarkerAt(buffer + i) && buffer[i + kMarkerSize + 2] == kBlockMain) {
            found = std::fseek(stream, static_cast<long>(kMarkerSize + i), SEEK_SET) == 0;
            break;
        }
    }
    std::free(buffer);
    return found;
}

}  // namespace

int ReadFixedHeader(ExtractionContext* context, uint8_t type) {
    const int size = type == kBlockMain ? kMainHeaderSize : kFileHeaderSize;
    // Bytes beyond the end of the file read as zero, never as stale memory.
    uint8_t raw[kFileHeaderSize] = {};
    int n = static_cast<int>(std::fread(raw, 1, static_cast<size_t>(size), context->archiveStream));
    if (type == kBlockMain) {
        MainHeader& h = context->mainHeader;
        h.HEAD_CRC = Read16(raw);
        h.HEAD_TYPE = raw[2];
        h.HEAD_FLAGS = Read16(raw + 3);
        h.HEAD_SIZE = Read16(raw + 5);
        h.RESERVED1 = Read16(raw + 7);
        h.RESERVED2 = Read32(raw + 9);
    } else {
        FileHeader& h = context->fileHeader;
        h.HEAD_CRC = Read16(raw);
        h.HEAD_TYPE = raw[2];
        h.HEAD_FLAGS = Read16(raw + 3);
        h.HEAD_SIZE = Read16(raw + 5);
        h.PACK_SIZE = static_cast<int32_t>(Read32(raw + 7));
        h.UNP_SIZE = static_cast<int32_t>(Read32(raw + 11));
        h.HOST_OS = raw[15];
        h.FILE_CRC = Read32(raw + 16);
        h.FTIME = Read32(raw + 20);
        h.UNP_VER = raw[24];
        h.METHOD = raw[25];
        h.NAME_SIZE = Read16(raw + 26);
        h.ATTR = Read32(raw + 28);
    }
    return n;
}

int LocateArchive(ExtractionContext* context) {
    FILE* stream = context->archiveStream;
    if (std::fread(context->marker, 1, sizeof context->marker, stream) != sizeof context->marker) return 0;
    if (IsMarkerAt(context->marker)) {
        if (ReadFixedHeader(context, kBlockMain) != kMainHeaderSize) return 0;
    } else {
        if (!ScanForMarker(stream)) return 0;
        if (std::fread(context->marker, 1, sizeof context->marker, stream) != sizeof context->marker) return 0;
        ReadFixedHeader(context, kBlockMain);
    }
    // A main header shorter than its fixed part cannot be skipped forward:
    // such a file is no archive of ours.
    return context->mainHeader.HEAD_SIZE >= kMainHeaderSize ? 1 : 0;
}

void NormalizeEntryAttributes(ExtractionContext* context) {
    FileHeader& h = context->fileHeader;
    if (h.HOST_OS >= kHostFirstForeign) {
        const bool directory = (h.HEAD_FLAGS & kFileFlagDictionaryMask) == kFileFlagDictionaryMask;
        h.ATTR = directory ? kAttributeDirectory : kAttributeArchive;
    }
}

void NormalizeEntryHeader(ExtractionContext* context) {
    for (char* p = context->entryName; *p != 0; ++p) {
        if (*p == '/') *p = '\\';
    }
    NormalizeEntryAttributes(context);
}

int ReadNextEntryBlock(ExtractionContext* context) {
    FILE* stream = context->archiveStream;
    const FileHeader saved = context->fileHeader;
    int n = 0;
    for (;;) {
        context->blockStart = Tell(stream);
        if (context->blockStart < 0) {
            n = 0;
            break;
        }
        n = ReadFixedHeader(context, kBlockFile);
        if (n == 0) break;
        const FileHeader& h = context->fileHeader;
        // A header cut short by the end of the file ends the archive (none of
        // its fields is trusted), and so does the end-of-archive block, behind
        // which a signing tool may have appended its certificate table.
        if (n < kFileHeaderSize || h.HEAD_SIZE < kBlockHeaderSize || h.HEAD_TYPE == kBlockEnd) {
            n = 0;
            break;
        }
        int64_t next = static_cast<int64_t>(context->blockStart) + h.HEAD_SIZE;
        if (h.HEAD_FLAGS & kFlagHasData) next += h.PACK_SIZE;
        if (next <= context->blockStart || next > INT32_MAX) {
            n = 0;
            break;
        }
        context->nextBlock = static_cast<int32_t>(next);
        if (h.HEAD_TYPE == kBlockFile || h.HEAD_TYPE == kBlockSub) break;
        if (std::fseek(stream, context->nextBlock, SEEK_SET) != 0) {
            n = 0;
            break;
        }
    }
    if (n > 0 && context->fileHeader.HEAD_TYPE == kBlockFile) {
        context->lastBlockType = kBlockFile;
        FileHeader& h = context->fileHeader;
        int k = h.NAME_SIZE > kMaxEntryName ? static_cast<int>(kMaxEntryName) : h.NAME_SIZE;
        int got = static_cast<int>(std::fread(context->entryName, 1, static_cast<size_t>(k), stream));
        context->entryName[got] = 0;
        // A name cut short by the end of the file: the entry's data cannot be
        // there either, so the archive ends here.
        if (got == k) {
            h.NAME_SIZE = static_cast<uint16_t>(k);
            NormalizeEntryHeader(context);
            return n + k;
        }
        n = 0;
    }
    context->lastBlockType = n > 0 ? context->fileHeader.HEAD_TYPE : 0;
    context->fileHeader = saved;
    if (context->blockStart >= 0) std::fseek(stream, context->blockStart, SEEK_SET);
    return n;
}
