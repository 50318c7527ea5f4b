#include "tools/solidsetup/entry_notes.h"

#include <cstdio>

#include "archive/archive_format.h"
#include "archive/entry_output.h"
#include "archive/extraction_context.h"
#include "archive/header_reader.h"
#include "platform/platform.h"

bool ReadEntryNotes(const char* path, std::vector<EntryNote>* notes, unsigned* firstEntryFlags) {
    notes->clear();
    bool first = true;
    if (firstEntryFlags != nullptr) *firstEntryFlags = 0;
    ExtractionContext* context = static_cast<ExtractionContext*>(AllocZeroed(sizeof(ExtractionContext)));
    if (context == nullptr) return false;
    bool found = false;
    context->archiveStream = OpenArchiveForReading(path);
    if (context->archiveStream != nullptr) {
        found = LocateArchive(context) != 0;
        if (found) {
            std::fseek(context->archiveStream, static_cast<long>(context->mainHeader.HEAD_SIZE) - 13, SEEK_CUR);
            while (ReadNextEntryBlock(context) != 0) {
                std::fseek(context->archiveStream, context->nextBlock, SEEK_SET);
                if (context->lastBlockType != kBlockFile) continue;
                const FileHeader& h = context->fileHeader;
                if (first && firstEntryFlags != nullptr) *firstEntryFlags = h.HEAD_FLAGS;
                first = false;
                NormalizeEntryAttributes(context);
                EntryNote note;
                note.directory = (h.ATTR & kAttributeDirectory) != 0;
                note.name = context->entryName;
                note.flags = h.HEAD_FLAGS;
                note.unpackVersion = h.UNP_VER;
                note.method = h.METHOD;
                notes->push_back(note);
            }
        }
        std::fclose(context->archiveStream);
    }
    ReleaseBlock(&context);
    return found;
}

const EntryNote* QueriedEntryNote(const std::vector<EntryNote>& notes, size_t n) {
    for (const EntryNote& note : notes) {
        if (note.directory) continue;
        if (n == 0) return &note;
        --n;
    }
    return nullptr;
}

std::string DescribeEntryFailure(const EntryNote* note) {
    if (note == nullptr) return "checksum mismatch: the entry is damaged";
    if (note->flags & kFileFlagEncrypted) return "checksum mismatch: the entry is encrypted, which is not supported";
    if (note->method != kMethodStored && note->unpackVersion < kOldestDecodedVersion) {
        return "the entry is packed with an older method (version " + std::to_string(note->unpackVersion) +
               "), which is not supported";
    }
    if (note->method != kMethodStored && note->unpackVersion > kUnpackVersion20) {
        return "checksum mismatch: the entry needs a newer method (version " + std::to_string(note->unpackVersion) +
               "), which is not supported";
    }
    if (note->flags & kFileFlagContinuesInNext) return "checksum mismatch: the entry continues in a next volume, which is not read";
    return "checksum mismatch: the entry is damaged (or too large to verify in memory)";
}

std::string DescribePassResult(int result, const char* path) {
    std::string file = std::string("'") + path + "'";
    switch (result) {
        case kExtractNoContextMemory:
        case kExtractNoWindowMemory:
        case kExtractNoCopyMemory:
            return "out of memory while reading " + file;
        case kExtractNoArchive: {
            if (!PathExists(path)) return "cannot open " + file + ": no such file";
            std::vector<EntryNote> notes;
            unsigned firstFlags = 0;
            if (!ReadEntryNotes(path, &notes, &firstFlags)) {
                return "no archive found in " + file +
                       " (it cannot be read, or holds no archive within its first 250,000 bytes)";
            }
            if (firstFlags & kFileFlagContinuedFromPrevious) {
                return file + " is a later volume of a multi-volume archive: its first entry continues from a "
                              "previous volume";
            }
            return "cannot read the archive in " + file;
        }
        case kExtractCannotCreate:
            return "cannot create an output file";
        default:
            return "the pass over " + file + " failed (code " + std::to_string(result) + ")";
    }
}
