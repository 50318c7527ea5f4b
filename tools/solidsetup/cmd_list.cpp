// solidsetup list: one line per block that the archive reader returns.
#include <cstdio>
#include <cstring>

#include "archive/archive_format.h"
#include "archive/entry_output.h"
#include "archive/extraction_context.h"
#include "archive/header_reader.h"
#include "platform/platform.h"
#include "tools/solidsetup/commands.h"

namespace {

const char kListUsage[] =
    "usage: solidsetup list FILE\n"
    "\n"
    "Finds the archive in FILE (a setup program, a plain archive, or any file\n"
    "with an archive appended) and prints one line per entry: name, packed and\n"
    "unpacked size, method, unpack version, host system, attributes (as the\n"
    "reader normalises them), modification time, CRC-32 and flags\n"
    "(solid, encrypted, split-before, split-after, dir).\n";

void FormatDosTime(uint32_t dosTime, char* out, size_t size) {
    unsigned date = dosTime >> 16, time = dosTime & 0xFFFF;
    std::snprintf(out, size, "%04u-%02u-%02u %02u:%02u:%02u", 1980 + (date >> 9), (date >> 5) & 15, date & 31,
                  time >> 11, (time >> 5) & 63, (time & 31) * 2);
}

void FormatFlags(const FileHeader& h, char* out, size_t size) {
    out[0] = 0;
    struct Flag {
        bool set;
        const char* name;
    } flags[] = {
        {(h.HEAD_FLAGS & kFileFlagSolid) != 0, "solid"},
        {(h.HEAD_FLAGS & kFileFlagEncrypted) != 0, "encrypted"},
        {(h.HEAD_FLAGS & kFileFlagContinuedFromPrevious) != 0, "split-before"},
        {(h.HEAD_FLAGS & kFileFlagContinuesInNext) != 0, "split-after"},
        {(h.ATTR & kAttributeDirectory) != 0, "dir"},
    };
    for (const Flag& f : flags) {
        if (!f.set) continue;
        if (out[0] != 0) std::strncat(out, ",", size - std::strlen(out) - 1);
        std::strncat(out, f.name, size - std::strlen(out) - 1);
    }
    if (out[0] == 0) std::snprintf(out, size, "-");
}

int ListArchive(const char* path) {
    ExtractionContext* context = static_cast<ExtractionContext*>(AllocZeroed(sizeof(ExtractionContext)));
    if (context == nullptr) {
        std::fprintf(stderr, "solidsetup: out of memory\n");
        return 1;
    }
    int status = 0;
    context->archivePath = path;
    context->archiveStream = OpenArchiveForReading(path);
    if (context->archiveStream == nullptr) {
        std::fprintf(stderr, "solidsetup: cannot open '%s'\n", path);
        status = 1;
    } else if (!LocateArchive(context)) {
        std::fprintf(stderr, "solidsetup: no archive found in '%s'\n", path);
        status = 1;
    } else {
        long offset = std::ftell(context->archiveStream) - 20;
        std::printf("Archive at offset %ld of %s\n", offset, path);
        std::printf("%10s %10s %6s %3s %4s %8s %-19s %8s  %-14s %s\n", "Packed", "Unpacked", "Method", "Ver", "Host",
                    "Attr", "Modified", "CRC-32", "Flags", "Name");
        // Skip whatever the main header holds beyond its fixed part.
        std::fseek(context->archiveStream, context->mainHeader.HEAD_SIZE - 13, SEEK_CUR);
        unsigned entries = 0;
        while (ReadNextEntryBlock(context) > 0) {
            if (context->lastBlockType == kBlockSub) {
                std::printf("%10s %10s %6s %3s %4s %8s %-19s %8s  %-14s (sub-block)\n", "", "", "", "", "", "", "", "",
                            "");
            } else {
                const FileHeader& h = context->fileHeader;
                char when[32], flags[64];
                FormatDosTime(h.FTIME, when, sizeof when);
                FormatFlags(h, flags, sizeof flags);
                std::printf("%10ld %10ld   0x%02X %3u %4u %#8x %-19s %08X  %-14s %s\n", static_cast<long>(h.PACK_SIZE),
                            static_cast<long>(h.UNP_SIZE), h.METHOD, h.UNP_VER, h.HOST_OS, h.ATTR, when, h.FILE_CRC,
                            flags, context->entryName);
                ++entries;
            }
            std::fseek(context->archiveStream, context->nextBlock, SEEK_SET);
        }
        std::printf("%u %s\n", entries, entries == 1 ? "entry" : "entries");
    }
    if (context->archiveStream != nullptr) std::fclose(context->archiveStream);
    ReleaseBlock(&context);
    return status;
}

}  // namespace

int RunListCommand(int argc, char** argv) {
    if (argc == 1 && (std::strcmp(argv[0], "--help") == 0 || std::strcmp(argv[0], "-h") == 0)) {
        std::fputs(kListUsage, stdout);
        return 0;
    }
    if (argc != 1) {
        std::fputs(kListUsage, stderr);
        return 2;
    }
    return ListArchive(argv[0]);
}
