// solidsetup list: one line per block that the archive reader returns.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "archive/archive_format.h"
#include "archive/entry_output.h"
#include "archive/extraction_context.h"
#include "archive/header_reader.h"
#include "platform/platform.h"
#include "tools/solidsetup/commands.h"
#include "tools/solidsetup/display_text.h"
#include "tools/solidsetup/exit_codes.h"
#include "tools/solidsetup/tool_options.h"

namespace {

const char kCommand[] = "list";

const char kListUsage[] =
    "usage: solidsetup list [OPTIONS] FILE\n"
    "\n"
    "Finds the archive in FILE (a setup program, a plain archive, or any file\n"
    "with an archive appended) and prints one line per entry: name, packed and\n"
    "unpacked size, method, unpack version, host system, attributes (as the\n"
    "reader normalises them), modification time, CRC-32 and flags\n"
    "(solid, encrypted, split-before, split-after, dir).\n"
    "\n"
    "  --json         one JSON object per entry and line, with the same fields\n"
    "  --codepage N   the Windows code page of the names (default 1252,\n"
    "                 or the system's ANSI code page on Windows)\n"
    "  -q, --quiet    only the entry lines\n"
    "\n"
    "Control characters in names are shown as \\xHH.\n";

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

int ListArchive(const char* path, bool json, int verbosity) {
    ExtractionContext* context = static_cast<ExtractionContext*>(AllocZeroed(sizeof(ExtractionContext)));
    if (context == nullptr) {
        ReportError(kCommand, "out of memory");
        return kExitFailed;
    }
    int status = 0;
    context->archivePath = path;
    context->archiveStream = OpenArchiveForReading(path);
    if (context->archiveStream == nullptr) {
        ReportError(kCommand, "cannot open '" + EscapeControls(path) + "': " + std::strerror(errno));
        status = kExitFailed;
    } else if (!LocateArchive(context)) {
        ReportError(kCommand, "no archive found in '" + EscapeControls(path) +
                                  "' (it holds no archive within its first 250,000 bytes)");
        status = kExitFailed;
    } else {
        long offset = std::ftell(context->archiveStream) - 20;
        if (verbosity > 0 && !json) std::printf("Archive at offset %ld of %s\n", offset, EscapeControls(path).c_str());
        if (verbosity > 0 && !json) std::printf("%10s %10s %6s %3s %4s %8s %-19s %8s  %-14s %s\n", "Packed", "Unpacked", "Method", "Ver", "Host",
                    "Attr", "Modified", "CRC-32", "Flags", "Name");
        // Skip whatever the main header holds beyond its fixed part.
        std::fseek(context->archiveStream, context->mainHeader.HEAD_SIZE - 13, SEEK_CUR);
        unsigned entries = 0;
        while (ReadNextEntryBlock(context) > 0) {
            if (context->lastBlockType == kBlockSub) {
                if (json) {
                    std::printf("{\"sub_block\":true}\n");
                } else {
                    std::printf("%10s %10s %6s %3s %4s %8s %-19s %8s  %-14s (sub-block)\n", "", "", "", "", "", "", "", "",
                            "");
                }
            } else {
                const FileHeader& h = context->fileHeader;
                char when[32], flags[64];
                FormatDosTime(h.FTIME, when, sizeof when);
                FormatFlags(h, flags, sizeof flags);
                std::string name = DisplayArchiveName(context->entryName);
                if (json) {
                    std::printf("{\"name\":%s,\"packed\":%lu,\"unpacked\":%lu,\"method\":%u,\"version\":%u,"
                                "\"host\":%u,\"attributes\":%u,\"modified\":\"%s\",\"crc32\":\"%08X\",\"flags\":\"%s\"}\n",
                                JsonString(LocalArchiveName(context->entryName)).c_str(),
                                static_cast<unsigned long>(h.PACK_SIZE), static_cast<unsigned long>(h.UNP_SIZE),
                                h.METHOD, h.UNP_VER, h.HOST_OS, h.ATTR, when, h.FILE_CRC, flags);
                } else {
                    std::printf("%10ld %10ld   0x%02X %3u %4u %#8x %-19s %08X  %-14s %s\n",
                                static_cast<long>(h.PACK_SIZE), static_cast<long>(h.UNP_SIZE), h.METHOD, h.UNP_VER,
                                h.HOST_OS, h.ATTR, when, h.FILE_CRC, flags, name.c_str());
                }
                ++entries;
            }
            std::fseek(context->archiveStream, context->nextBlock, SEEK_SET);
        }
        if (verbosity > 0 && !json) std::printf("%s\n", CountOf(entries, "entry").c_str());
    }
    if (context->archiveStream != nullptr) std::fclose(context->archiveStream);
    ReleaseBlock(&context);
    return status;
}

}  // namespace

int RunListCommand(int argc, char** argv) {
    ParsedArguments parsed;
    if (!ParseArguments(kCommand, argc, argv, {{"json", 0, false}, {"codepage", 0, true}}, &parsed)) return kExitUsage;
    if (parsed.help) {
        std::fputs(kListUsage, stdout);
        return kExitOk;
    }
    if (!ExpectOperands(kCommand, parsed, {"FILE"})) return kExitUsage;
    if (const std::string* v = OptionValue(parsed, "codepage")) {
        if (!SetCodePageOption(kCommand, *v)) return kExitUsage;
    }
    return ListArchive(parsed.operands[0].c_str(), HasOption(parsed, "json"), parsed.verbosity);
}
