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

// The size of the file, or INT32_MAX when it cannot be told (nothing is then
// taken for cut short). The stream's position is kept.
int32_t FileEnd(FILE* stream) {
    long here = std::ftell(stream);
    if (here < 0 || std::fseek(stream, 0, SEEK_END) != 0) return INT32_MAX;
    long end = std::ftell(stream);
    std::fseek(stream, here, SEEK_SET);
    return end < 0 || end > INT32_MAX ? INT32_MAX : static_cast<int32_t>(end);
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
    if (context->archiveEnd <= 0) context->archiveEnd = FileEnd(stream);
    int n = 0;
    bool cutShort = false;
    for (;;) {
        context->blockStart = Tell(stream);
        if (context->blockStart < 0) {
            n = 0;
            break;
        }
        n = ReadFixedHeader(context, kBlockFile);
        if (n == 0) break;
        const FileHeader& h = context->fileHeader;
        // A block whose base fields (or, with a data area, its size field) are
        // cut short by the end of the file: an interrupted download, not the
        // end of an archive.
        if (n < kBlockHeaderSize) {
            cutShort = true;
            break;
        }
        // The end-of-archive block ends the walk, whatever follows it (a
        // signing tool may have appended its certificate table).
        if (h.HEAD_SIZE < kBlockHeaderSize || h.HEAD_TYPE == kBlockEnd) {
            n = 0;
            break;
        }
        if ((h.HEAD_FLAGS & kFlagHasData) && n < kBlockHeaderSize + 4) {
            cutShort = true;
            break;
        }
        int64_t next = static_cast<int64_t>(context->blockStart) + h.HEAD_SIZE;
        if (h.HEAD_FLAGS & kFlagHasData) next += h.PACK_SIZE;
        if (next <= context->blockStart || next > INT32_MAX) {
            n = 0;
            break;
        }
        // A header, name or data area that runs past the end of the file, or
        // an entry header shorter than its fixed part.
        if (next > context->archiveEnd || (h.HEAD_TYPE == kBlockFile && n < kFileHeaderSize)) {
            cutShort = true;
            break;
        }
        context->nextBlock = static_cast<int32_t>(next);
        if (h.HEAD_TYPE == kBlockFile || h.HEAD_TYPE == kBlockSub) break;
        if (std::fseek(stream, context->nextBlock, SEEK_SET) != 0) {
            n = 0;
            break;
        }
    }
    if (!cutShort && n > 0 && context->fileHeader.HEAD_TYPE == kBlockFile) {
        context->lastBlockType = kBlockFile;
        FileHeader& h = context->fileHeader;
        int k = h.NAME_SIZE > kMaxEntryName ? static_cast<int>(kMaxEntryName) : h.NAME_SIZE;
        int got = static_cast<int>(std::fread(context->entryName, 1, static_cast<size_t>(k), stream));
        context->entryName[got] = 0;
        if (got == k) {
            h.NAME_SIZE = static_cast<uint16_t>(k);
            NormalizeEntryHeader(context);
            return n + k;
        }
        cutShort = true;  // the name runs past the end of the file
    }
    if (cutShort) {
        context->lastBlockType = 0;
        context->fileHeader = saved;
        if (context->blockStart >= 0) std::fseek(stream, context->blockStart, SEEK_SET);
        return kHeaderCutShort;
    }
    context->lastBlockType = n > 0 ? context->fileHeader.HEAD_TYPE : 0;
    context->fileHeader = saved;
    if (context->blockStart >= 0) std::fseek(stream, context->blockStart, SEEK_SET);
    return n;
}
