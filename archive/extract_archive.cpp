// One complete pass over an archive: every entry is decoded in archive order
// (the archive is solid, so unwanted entries are decoded too), and the entry
// callback decides entry by entry whether the result is discarded, delivered
// in memory or written to a file.
#include "archive/extract_archive.h"

#include <cstring>

#include "archive/archive_format.h"
#include "archive/entry_output.h"
#include "archive/header_reader.h"
#include "platform/platform.h"
#include "unpack/unpack.h"
#include "util/bounded_string.h"

namespace {

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
            return context->unpack.unpackedRemaining == 0;
        case Decoding::kCompressed:
            // The decoder counts one below the size: -1 means every byte came.
            return context->unpack.unpackedRemaining == -1;
        case Decoding::kNone:
            return context->fileHeader.UNP_SIZE == 0;
    }
    return false;
}

// How the entry callback's answer to the query call asks for the entry.
enum class EntryTarget { kDiscard, kMemory, kFile };

EntryTarget TargetOf(const char* nameBuffer) {
    const uint8_t action = static_cast<uint8_t>(nameBuffer[0]);
    if (action == 0) return EntryTarget::kDiscard;
    return action <= 31 ? EntryTarget::kMemory : EntryTarget::kFile;
}

// What one pass holds besides the context: the buffer for memory entries,
// the name buffer of the entry callback and the window.
struct PassState {
    ByteBuffer buffer;
    char nameBuffer[kPathSize];
    uint8_t* window;
    bool firstEntry;
};

// Opens the archive, finds it and allocates the window; returns kExtractOk
// with the stream standing at the first block after the main header.
int OpenPass(ExtractionContext* context, PassState* pass) {
    context->archiveStream = OpenArchiveForReading(context->archivePath);
    if (context->archiveStream == nullptr) return kExtractNoArchive;
    if (!LocateArchive(context)) {
        std::fclose(context->archiveStream);
        context->archiveStream = nullptr;
        return kExtractNoArchive;
    }
    pass->window = static_cast<uint8_t*>(AllocZeroed(kWindowSize));
    if (pass->window == nullptr) {
        std::fclose(context->archiveStream);
        context->archiveStream = nullptr;
        return kExtractNoWindowMemory;
    }
    std::fseek(context->archiveStream, static_cast<long>(context->mainHeader.HEAD_SIZE) - kMainHeaderSize, SEEK_CUR);
    return kExtractOk;
}

void ClosePass(ExtractionContext* context, PassState* pass) {
    context->outputBuffer = nullptr;
    ReleaseBlock(&pass->window);
    std::fclose(context->archiveStream);
    context->archiveStream = nullptr;
    context->unpack.inputStream = nullptr;
    ByteBufferDestroy(&pass->buffer);
}

// The query call: the callback sees the entry's name and size and writes
// its answer into nameBuffer. Directories are not asked. Returns the
// callback's result (non-zero stops the pass).
int AskCallback(ExtractionContext* context, PassState* pass) {
    const FileHeader& header = context->fileHeader;
    if (header.ATTR & kAttributeDirectory) {
        pass->nameBuffer[0] = 0;
        return 0;
    }
    CopyBounded(context->entryName, pass->nameBuffer, kPathSize);
    int stop = context->entryCallback(pass->nameBuffer, nullptr, static_cast<uint32_t>(header.UNP_SIZE),
                                      context->userData);
    pass->nameBuffer[kPathSize - 1] = 0;  // whatever the callback wrote, the path stays terminated
    return stop;
}

// Prepares where the entry's bytes go: the memory buffer, reserved at once,
// or a new file in *outputFile. Returns kExtractOk or the pass's failure.
int PrepareTarget(ExtractionContext* context, PassState* pass, EntryTarget target, FILE** outputFile) {
    const FileHeader& header = context->fileHeader;
    *outputFile = nullptr;
    if (target == EntryTarget::kMemory) {
        ByteBufferReset(&pass->buffer);
        // Room for the contents and the extra zero byte, reserved at once.
        // An entry that cannot be held in memory fails like a damaged one.
        if (header.UNP_SIZE < 0 || static_cast<uint64_t>(header.UNP_SIZE) > MostUnpackedBytes(header) ||
            !ReserveByteBuffer(&pass->buffer, static_cast<uint64_t>(header.UNP_SIZE) + 1)) {
            return kExtractChecksumFailed;
        }
        context->outputBuffer = &pass->buffer;
    } else if (target == EntryTarget::kFile) {
        *outputFile = CreateOutputFile(pass->nameBuffer);
        if (*outputFile == nullptr) return kExtractCannotCreate;
    }
    return kExtractOk;
}

// Decodes the entry (or copies it when stored) into the prepared target and
// leaves the stream at the next block. Returns how the contents were made.
Decoding DecodeEntry(ExtractionContext* context, PassState* pass, EntryTarget target, FILE* outputFile,
                     EntryDecoder decoder, int* result) {
    const FileHeader& header = context->fileHeader;
    context->noChecksum = target == EntryTarget::kDiscard ? 1 : 0;
    context->runningChecksum = 0xFFFFFFFFu;
    context->outputFile = outputFile;
    UnpackState& unpack = context->unpack;
    unpack.packedRemaining = (header.HEAD_FLAGS & kFlagHasData) ? header.PACK_SIZE : 0;
    unpack.unpackedRemaining = header.UNP_SIZE;
    unpack.inputStream = context->archiveStream;

    Decoding decoding = Decoding::kNone;
    if (header.METHOD == kMethodStored) {
        decoding = Decoding::kStored;
        *result = CopyStoredEntry(context);
    } else if (header.UNP_VER >= kOldestDecodedVersion) {
        decoding = Decoding::kCompressed;
        decoder(&unpack, pass->window, header.HEAD_FLAGS & kFileFlagSolid);
    }
    std::fseek(context->archiveStream, context->nextBlock, SEEK_SET);
    return decoding;
}

// After the check: a file that failed is deleted, a file that passed gets its
// time and attributes, and a memory entry that passed is delivered to the
// callback with a zero byte after its contents. Returns false when the pass
// stops here (a failed delivery, or the callback asks to stop).
bool FinishEntry(ExtractionContext* context, PassState* pass, EntryTarget target, bool matched, int* result) {
    const FileHeader& header = context->fileHeader;
    if (!matched) {
        if (target == EntryTarget::kFile) DeleteFilePath(pass->nameBuffer);
        return true;
    }
    if (target == EntryTarget::kMemory) {
        const uint8_t zero = 0;
        if (ByteBufferAppend(&pass->buffer, &zero, 1) != 0) {
            *result = kExtractChecksumFailed;
            return false;
        }
        return context->entryCallback(pass->nameBuffer, pass->buffer.data, static_cast<uint32_t>(header.UNP_SIZE),
                                      context->userData) == 0;
    }
    if (target == EntryTarget::kFile) ApplyEntryTimeAndAttributes(pass->nameBuffer, header.FTIME, header.ATTR);
    return true;
}

// One entry from its header to its delivery. Returns false when the pass ends
// with this entry; *result then holds the pass's result.
bool ProcessEntry(ExtractionContext* context, PassState* pass, EntryDecoder decoder, int* result) {
    NormalizeEntryAttributes(context);
    const FileHeader& header = context->fileHeader;
    if (pass->firstEntry && (header.HEAD_FLAGS & kFileFlagContinuedFromPrevious)) {
        *result = kExtractNoArchive;
        return false;
    }
    pass->firstEntry = false;

    // The packed data begins right after the header (nextBlock - PACK_SIZE).
    std::fseek(context->archiveStream, context->blockStart + header.HEAD_SIZE, SEEK_SET);
    if (AskCallback(context, pass) != 0) return false;
    context->outputBuffer = nullptr;

    // Directories and volume labels carry no contents; data that a damaged
    // or unusual header gives them anyway is passed over.
    if (header.ATTR & (kAttributeVolumeLabel | kAttributeDirectory)) {
        std::fseek(context->archiveStream, context->nextBlock, SEEK_SET);
        return true;
    }

    const EntryTarget target = TargetOf(pass->nameBuffer);
    FILE* outputFile = nullptr;
    *result = PrepareTarget(context, pass, target, &outputFile);
    if (*result != kExtractOk) return false;

    Decoding decoding = DecodeEntry(context, pass, target, outputFile, decoder, result);

    bool matched = true;
    if (target != EntryTarget::kDiscard) {
        matched = context->runningChecksum == ~header.FILE_CRC && ProducedWholeEntry(context, decoding);
        if (!matched) *result = kExtractChecksumFailed;
    }
    if (outputFile != nullptr) std::fclose(outputFile);
    context->outputFile = nullptr;
    return FinishEntry(context, pass, target, matched, result) && *result == kExtractOk;
}

int RunPass(ExtractionContext* context, EntryDecoder decoder) {
    PassState pass = {};
    ByteBufferInit(&pass.buffer);
    pass.firstEntry = true;
    int result = OpenPass(context, &pass);
    if (result != kExtractOk) return result;

    for (;;) {
        if (ReadNextEntryBlock(context) == 0) break;
        if (context->lastBlockType == kBlockSub) {
            std::fseek(context->archiveStream, context->nextBlock, SEEK_SET);
            continue;
        }
        if (!ProcessEntry(context, &pass, decoder, &result)) break;
    }

    ClosePass(context, &pass);
    return result;
}

}  // namespace

int CopyStoredEntry(ExtractionContext* context) {
    uint8_t* buffer = static_cast<uint8_t*>(AllocZeroed(kStoredCopyBuffer));
    if (buffer == nullptr) return kExtractNoCopyMemory;
    UnpackState& unpack = context->unpack;
    for (;;) {
        int n = ReadPacked(&unpack, buffer, kStoredCopyBuffer);
        if (n == 0) break;
        // The output is capped at UNP_SIZE: packed bytes beyond it are dropped.
        // A negative size leaves no room at all.
        int32_t room = unpack.unpackedRemaining > 0 ? unpack.unpackedRemaining : 0;
        if (n > room) n = room;
        WriteUnpacked(context, buffer, static_cast<uint32_t>(n));
        if (unpack.unpackedRemaining >= 0) unpack.unpackedRemaining -= n;
    }
    ReleaseBlock(&buffer);
    return kExtractOk;
}

int ExtractArchiveWith(const char* archivePath, EntryCallback entryCallback, void* userData, EntryDecoder decoder) {
    ExtractionContext* context = static_cast<ExtractionContext*>(AllocZeroed(sizeof(ExtractionContext)));
    if (context == nullptr) return kExtractNoContextMemory;
    context->archivePath = archivePath;
    context->entryCallback = entryCallback;
    context->userData = userData;
    for (uint32_t i = 0; i < kMaxAudioChannels; ++i) context->unpack.channelTablePtrs[i] = &context->unpack.channelTables[i];
    ConnectEntryOutput(context);
    int result = RunPass(context, decoder);
    ReleaseBlock(&context);
    return result;
}

int ExtractArchive(const char* archivePath, EntryCallback entryCallback, void* userData) {
    return ExtractArchiveWith(archivePath, entryCallback, userData, UnpackEntry);
}
