// One complete pass over an archive: every entry is decoded in archive order
// (the archive is solid, so unwanted entries are decoded too), and the entry
// callback decides entry by entry whether the result is discarded, delivered
// in memory or written to a file.
#include "archive/extract_archive.h"

#include <cstring>

#include "archive/entry_output.h"
#include "archive/header_reader.h"
#include "platform/platform.h"
#include "unpack/unpack.h"
#include "util/bounded_string.h"

namespace {

const uint16_t kFlagContinuedFromPrevious = 0x0001;
const uint16_t kFlagSolid = 0x0010;
const uint16_t kFlagHasData = 0x8000;
const uint32_t kAttrVolumeLabel = 0x08;
const uint32_t kAttrDirectory = 0x10;
const uint8_t kMethodStored = 0x30;
const uint8_t kOldestDecodedVersion = 16;
const uint32_t kStoredCopyBuffer = 0x8000;
const uint32_t kMinimumBufferBlock = 4096;

// How an entry's contents were produced; decides what "complete" means.
enum class Decoding { kStored, kCompressed, kNone };

// Makes room for `needed` bytes in an emptied buffer with one allocation, so
// that a large entry is not copied again at every growth step. Returns false
// when the memory is not available.
bool ReserveByteBuffer(ByteBuffer* buffer, uint64_t needed) {
    if (needed > UINT32_MAX) return false;
    if (buffer->data != nullptr && buffer->capacity >= needed) return true;
    uint32_t capacity = needed > kMinimumBufferBlock ? static_cast<uint32_t>(needed) : kMinimumBufferBlock;
    uint8_t* block = static_cast<uint8_t*>(AllocZeroed(capacity));
    if (block == nullptr) return false;
    ReleaseBlock(&buffer->data);
    buffer->data = block;
    buffer->capacity = capacity;
    buffer->length = 0;
    buffer->appendCount = 0;
    return true;
}

// The most bytes an entry's packed data can produce. Every decoding step
// consumes at least one bit and produces at most 260 bytes, and a few steps
// may run on the bits left in the last buffer; a stored entry produces its
// packed bytes. A header that claims more is damaged or hostile, and memory
// is not reserved for it.
uint64_t MostUnpackedBytes(const FileHeader& header) {
    const uint64_t packed = (header.HEAD_FLAGS & kFlagHasData) && header.PACK_SIZE > 0
                                ? static_cast<uint64_t>(header.PACK_SIZE)
                                : 0;
    if (header.METHOD == kMethodStored) return packed;
    const uint64_t kMostBytesPerBit = 260;
    return (packed * 8 + 64) * kMostBytesPerBit;
}

// True when the entry produced exactly UNP_SIZE bytes. A checksum that
// matches a different number of bytes (a stored entry cut short, a damaged
// size field) must not pass: a memory delivery promises UNP_SIZE bytes.
bool ProducedWholeEntry(const ExtractionContext* context, Decoding decoding) {
    switch (decoding) {
        case Decoding::kStored:
            return context->unpackedRemaining == 0;
        case Decoding::kCompressed:
            // The decoder counts one below the size: -1 means every byte came.
            return context->unpackedRemaining == -1;
        case Decoding::kNone:
            return context->fileHeader.UNP_SIZE == 0;
    }
    return false;
}

int RunPass(ExtractionContext* context, PassReport* report) {
    ByteBuffer buffer;
    ByteBufferInit(&buffer);
    char nameBuffer[kPathSize];
    bool firstEntry = true;
    int result = kExtractOk;

    context->archiveStream = OpenArchiveForReading(context->archivePath);
    if (context->archiveStream == nullptr) return kExtractNoArchive;
    if (!LocateArchive(context)) {
        std::fclose(context->archiveStream);
        return kExtractNoArchive;
    }
    context->window = static_cast<uint8_t*>(AllocZeroed(kWindowSize));
    if (context->window == nullptr) {
        std::fclose(context->archiveStream);
        return kExtractNoWindowMemory;
    }
    std::fseek(context->archiveStream, static_cast<long>(context->mainHeader.HEAD_SIZE) - 13, SEEK_CUR);

    while (result == kExtractOk) {
        const int found = ReadNextEntryBlock(context);
        if (found == kHeaderCutShort) {
            // A header cut short by the end of the file: the setup was not
            // downloaded whole, and what follows is missing.
            result = kExtractChecksumFailed;
            if (report != nullptr) {
                report->cutShort = true;
                report->cutShortAt = context->blockStart;
            }
            break;
        }
        if (found == 0) break;
        if (context->lastBlockType == kBlockSub) {
            std::fseek(context->archiveStream, context->nextBlock, SEEK_SET);
            continue;
        }
        NormalizeEntryAttributes(context);
        const FileHeader& header = context->fileHeader;
        if (firstEntry && (header.HEAD_FLAGS & kFlagContinuedFromPrevious)) {
            result = kExtractNoArchive;
            break;
        }
        firstEntry = false;

        // The packed data begins right after the header (nextBlock - PACK_SIZE).
        const int32_t dataStart = context->blockStart + header.HEAD_SIZE;
        std::fseek(context->archiveStream, dataStart, SEEK_SET);

        if (header.ATTR & kAttrDirectory) {
            nameBuffer[0] = 0;
        } else {
            CopyBounded(context->entryName, nameBuffer, kPathSize);
            int stop = context->entryCallback(nameBuffer, nullptr, static_cast<uint32_t>(header.UNP_SIZE),
                                              context->userData);
            nameBuffer[kPathSize - 1] = 0;  // whatever the callback wrote, the path stays terminated
            if (stop != 0) break;
        }
        context->outputBuffer = nullptr;
        FILE* outputFile = nullptr;

        // Directories and volume labels carry no contents; data that a damaged
        // or unusual header gives them anyway is passed over.
        if (header.ATTR & (kAttrVolumeLabel | kAttrDirectory)) {
            std::fseek(context->archiveStream, context->nextBlock, SEEK_SET);
            continue;
        }

        const uint8_t action = static_cast<uint8_t>(nameBuffer[0]);
        const bool toMemory = action >= 1 && action <= 31;
        const bool toFile = action >= 32;
        if (toMemory) {
            ByteBufferReset(&buffer);
            // Room for the contents and the extra zero byte, reserved at once.
            // An entry that cannot be held in memory fails like a damaged one.
            if (header.UNP_SIZE < 0 || static_cast<uint64_t>(header.UNP_SIZE) > MostUnpackedBytes(header) ||
                !ReserveByteBuffer(&buffer, static_cast<uint64_t>(header.UNP_SIZE) + 1)) {
                result = kExtractChecksumFailed;
                break;
            }
            context->outputBuffer = &buffer;
        } else if (toFile) {
            outputFile = CreateOutputFile(nameBuffer);
            if (outputFile == nullptr) {
                result = kExtractCannotCreate;
                break;
            }
        }

        context->noChecksum = action == 0 ? 1 : 0;
        context->runningChecksum = 0xFFFFFFFFu;
        context->packedRemaining = (header.HEAD_FLAGS & kFlagHasData) ? header.PACK_SIZE : 0;
        context->unpackedRemaining = header.UNP_SIZE;
        context->inputStream = context->archiveStream;
        context->outputFile = outputFile;
        context->outputError = 0;

        Decoding decoding = Decoding::kNone;
        if (header.METHOD == kMethodStored) {
            decoding = Decoding::kStored;
            result = CopyStoredEntry(context);
        } else if (header.UNP_VER >= kOldestDecodedVersion) {
            decoding = Decoding::kCompressed;
            UnpackEntry(context, context->window, header.HEAD_FLAGS & kFlagSolid);
        }
        std::fseek(context->archiveStream, context->nextBlock, SEEK_SET);

        // Every byte must have reached the file before the entry can count as
        // verified: a failed write, flush or close is a short write.
        const bool written = outputFile == nullptr || CloseEntryOutput(context, outputFile) == 0;
        context->outputFile = nullptr;
        bool matched = true;
        if (action != 0) {
            matched = written && context->runningChecksum == ~header.FILE_CRC && ProducedWholeEntry(context, decoding);
            if (!matched) {
                result = kExtractChecksumFailed;
                if (!written && report != nullptr) report->writeError = context->outputError;
            }
        }

        if (!matched) {
            if (toFile) DeleteFilePath(nameBuffer);
        } else if (toMemory) {
            const uint8_t zero = 0;
            if (ByteBufferAppend(&buffer, &zero, 1) != 0) {
                result = kExtractChecksumFailed;
                break;
            }
            if (context->entryCallback(nameBuffer, buffer.data, static_cast<uint32_t>(header.UNP_SIZE),
                                       context->userData) != 0) {
                break;
            }
        } else if (toFile) {
            ApplyEntryTimeAndAttributes(nameBuffer, header.FTIME, header.ATTR);
        }
    }

    context->outputBuffer = nullptr;
    ReleaseBlock(&context->window);
    std::fclose(context->archiveStream);
    context->archiveStream = nullptr;
    context->inputStream = nullptr;
    ByteBufferDestroy(&buffer);
    return result;
}

}  // namespace

int CopyStoredEntry(ExtractionContext* context) {
    uint8_t* buffer = static_cast<uint8_t*>(AllocZeroed(kStoredCopyBuffer));
    if (buffer == nullptr) return kExtractNoCopyMemory;
    for (;;) {
        int n = ReadPacked(context, buffer, kStoredCopyBuffer);
        if (n == 0) break;
        // The output is capped at UNP_SIZE: packed bytes beyond it are dropped.
        // A negative size leaves no room at all.
        int32_t room = context->unpackedRemaining > 0 ? context->unpackedRemaining : 0;
        if (n > room) n = room;
        WriteUnpacked(context, buffer, static_cast<uint32_t>(n));
        if (context->unpackedRemaining >= 0) context->unpackedRemaining -= n;
    }
    ReleaseBlock(&buffer);
    return kExtractOk;
}

int ExtractArchive(const char* archivePath, EntryCallback entryCallback, void* userData) {
    return ExtractArchiveWithReport(archivePath, entryCallback, userData, nullptr);
}

int ExtractArchiveWithReport(const char* archivePath, EntryCallback entryCallback, void* userData,
                             PassReport* report) {
    if (report != nullptr) *report = PassReport();
    ExtractionContext* context = static_cast<ExtractionContext*>(AllocZeroed(sizeof(ExtractionContext)));
    if (context == nullptr) return kExtractNoContextMemory;
    context->archivePath = archivePath;
    context->entryCallback = entryCallback;
    context->userData = userData;
    for (int i = 0; i < 4; ++i) context->channelTablePtrs[i] = &context->channelTables[i];
    BuildCrcTable(context);
    int result = RunPass(context, report);
    ReleaseBlock(&context);
    return result;
}
