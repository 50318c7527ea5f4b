#include "tools/solidsetup/block_check.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "archive/archive_format.h"
#include "archive/entry_output.h"
#include "archive/extraction_context.h"
#include "archive/header_reader.h"
#include "platform/platform.h"
#include "tools/solidsetup/display_text.h"
#include "util/crc32.h"

namespace {

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

std::string At(long offset) {
    return "the block at offset " + std::to_string(offset);
}

// HEAD_CRC covers the header after its own two bytes. Archivers of the
// format's first versions left a comment stored inside the header out of it,
// so the fixed part (and, for an entry, its name) is accepted as well.
bool HeaderCrcMatches(const std::vector<uint8_t>& header, uint8_t type, uint16_t flags) {
    const uint16_t stored = Le16(header.data());
    auto crcOf = [&](size_t size) {
        return static_cast<uint16_t>(Crc32Of(header.data() + 2, size - 2) & 0xFFFF);
    };
    if (crcOf(header.size()) == stored) return true;
    if (type == kBlockMain && header.size() > static_cast<size_t>(kMainHeaderSize)) {
        return crcOf(kMainHeaderSize) == stored;
    }
    if (type == kBlockFile && (flags & kFileFlagComment) && header.size() >= static_cast<size_t>(kFileHeaderSize)) {
        size_t withName = kFileHeaderSize + Le16(header.data() + 26);
        return withName <= header.size() && crcOf(withName) == stored;
    }
    return false;
}

// Reads HEAD_SIZE bytes of the header at offset; false when the file ends first.
bool ReadHeader(FILE* stream, long offset, uint16_t headSize, std::vector<uint8_t>* header) {
    header->assign(headSize, 0);
    return std::fseek(stream, offset, SEEK_SET) == 0 && std::fread(header->data(), 1, headSize, stream) == headSize;
}

void Walk(FILE* stream, long mainStart, BlockCheck* check) {
    std::vector<uint8_t> header;
    uint8_t base[7];
    if (std::fseek(stream, mainStart, SEEK_SET) != 0 || std::fread(base, 1, 7, stream) != 7) return;
    uint16_t mainSize = Le16(base + 5);
    if (!ReadHeader(stream, mainStart, mainSize, &header)) {
        check->damage.push_back("the main header is cut short by the end of the file");
        return;
    }
    if (!HeaderCrcMatches(header, kBlockMain, Le16(base + 3))) {
        check->damage.push_back("the main header's checksum does not match");
    }
    long offset = mainStart + mainSize;
    for (;;) {
        if (std::fseek(stream, offset, SEEK_SET) != 0) return;
        size_t n = std::fread(base, 1, 7, stream);
        if (n == 0) return;  // the end of the file, with no end block before it
        if (n < 7) {
            check->damage.push_back(At(offset) + " is cut short by the end of the file");
            return;
        }
        const uint8_t type = base[2];
        const uint16_t flags = Le16(base + 3), headSize = Le16(base + 5);
        if (headSize < 7) {
            check->damage.push_back(At(offset) + " has an impossible header size of " + std::to_string(headSize));
            return;
        }
        if (!ReadHeader(stream, offset, headSize, &header)) {
            check->damage.push_back(At(offset) + " is cut short by the end of the file");
            return;
        }
        // Sub-blocks and recovery records of other archivers sum their data
        // in ways of their own; the blocks that carry the product are checked.
        const bool checked = type == kBlockFile || type == kBlockEnd;
        if (checked && !HeaderCrcMatches(header, type, flags)) {
            std::string what = type == kBlockFile && headSize >= kFileHeaderSize
                                   ? "the header of '" +
                                         DisplayArchiveName(std::string(header.begin() + kFileHeaderSize,
                                                     header.begin() + std::min<size_t>(
                                                                          header.size(),
                                                                          kFileHeaderSize + Le16(header.data() + 26)))) +
                                         "' (" + At(offset) + ")"
                                   : "the header of " + At(offset);
            check->damage.push_back(what + ": its checksum does not match");
        }
        if (type == kBlockEnd) {
            check->endBlock = true;
            return;
        }
        int64_t next = static_cast<int64_t>(offset) + headSize;
        if (flags & kFlagHasData) {
            if (headSize < 11) {
                check->damage.push_back(At(offset) + " has a data area but no room for its size");
                return;
            }
            next += Le32(header.data() + 7);
        }
        if (std::fseek(stream, 0, SEEK_END) == 0 && next > std::ftell(stream)) {
            check->damage.push_back(At(offset) + " runs past the end of the file (cut short)");
            return;
        }
        offset = static_cast<long>(next);
    }
}

}  // namespace

BlockCheck CheckArchiveBlocks(const char* path) {
    BlockCheck check;
    ExtractionContext* context = static_cast<ExtractionContext*>(AllocZeroed(sizeof(ExtractionContext)));
    if (context == nullptr) return check;
    context->archiveStream = OpenArchiveForReading(path);
    if (context->archiveStream != nullptr) {
        if (LocateArchive(context)) {
            check.found = true;
            Walk(context->archiveStream, std::ftell(context->archiveStream) - kMainHeaderSize, &check);
        }
        std::fclose(context->archiveStream);
    }
    ReleaseBlock(&context);
    return check;
}

bool ReportBlockCheck(const BlockCheck& check, const char* path) {
    if (!check.found) return false;
    std::fflush(stdout);
    for (const std::string& problem : check.damage) {
        std::fprintf(stderr, "solidsetup: '%s' is damaged: %s\n", EscapeControls(path).c_str(), problem.c_str());
    }
    if (check.damage.empty() && !check.endBlock) {
        std::fprintf(stderr,
                     "solidsetup: warning: '%s' has no end-of-archive block: it may have been cut short "
                     "(an incomplete download?)\n",
                     EscapeControls(path).c_str());
    }
    return !check.damage.empty();
}
