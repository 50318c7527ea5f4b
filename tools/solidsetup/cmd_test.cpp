// solidsetup test: one pass that decodes and verifies every entry in memory.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/extract_archive.h"
#include "tools/solidsetup/commands.h"
#include "tools/solidsetup/display_text.h"
#include "tools/solidsetup/entry_notes.h"
#include "tools/solidsetup/exit_codes.h"
#include "tools/solidsetup/tool_options.h"

namespace {

const char kCommand[] = "test";

const char kTestUsage[] =
    "usage: solidsetup test [OPTIONS] FILE\n"
    "\n"
    "Decodes every entry of the archive in FILE (a setup program or a plain\n"
    "archive) and verifies its checksum, without writing anything. Prints one\n"
    "line per entry and a summary; exits with 0 only when every entry is fine.\n"
    "\n"
    "  --codepage N   the Windows code page of the names (default 1252,\n"
    "                 or the system's ANSI code page on Windows)\n"
    "  -q, --quiet    print only what fails\n";

struct TestRun {
    bool quiet = false;
    std::vector<std::string> queried;
    uint32_t lastSize = 0;
    uint64_t verifiedBytes = 0;
    int verified = 0;
};

int TestCallback(char* nameBuffer, const uint8_t* data, uint32_t size, void* userData) {
    TestRun* run = static_cast<TestRun*>(userData);
    if (data == nullptr) {
        run->queried.push_back(nameBuffer);
        run->lastSize = size;
        nameBuffer[0] = 1;  // deliver in memory: decoded and verified, then dropped
        nameBuffer[1] = 0;
        return 0;
    }
    if (!run->quiet) std::printf("OK      %10u  %s\n", size, DisplayArchiveName(run->queried.back()).c_str());
    run->verified += 1;
    run->verifiedBytes += size;
    return 0;
}

}  // namespace

int RunTestCommand(int argc, char** argv) {
    ParsedArguments parsed;
    if (!ParseArguments(kCommand, argc, argv, {{"codepage", 0, true}}, &parsed)) return kExitUsage;
    if (parsed.help) {
        std::fputs(kTestUsage, stdout);
        return kExitOk;
    }
    if (!ExpectOperands(kCommand, parsed, {"FILE"})) return kExitUsage;
    if (const std::string* v = OptionValue(parsed, "codepage")) {
        if (!SetCodePageOption(kCommand, *v)) return kExitUsage;
    }
    const char* path = parsed.operands[0].c_str();
    TestRun run;
    run.quiet = parsed.verbosity == 0;
    int result = ExtractArchive(path, TestCallback, &run);
    std::fflush(stdout);
    if (result == kExtractChecksumFailed && !run.queried.empty()) {
        std::vector<EntryNote> notes;
        ReadEntryNotes(path, &notes);
        const EntryNote* note = QueriedEntryNote(notes, run.queried.size() - 1);
        std::string name = DisplayArchiveName(run.queried.back());
        std::printf("FAILED  %10u  %s\n", run.lastSize, name.c_str());
        ReportError(kCommand, name + ": " + DescribeEntryFailure(note));
        ReportError(kCommand, CountOf(static_cast<uint64_t>(run.verified), "entry") +
                                  " verified before the failure; the entries after it were not tested");
        return kExitFailed;
    }
    if (result != kExtractOk) {
        ReportError(kCommand, EscapeControls(DescribePassResult(result, path)));
        return kExitFailed;
    }
    if (!run.quiet) {
        std::printf("All %s OK (%s)\n", CountOf(static_cast<uint64_t>(run.verified), "entry").c_str(),
                    CountOf(run.verifiedBytes, "byte").c_str());
    }
    return kExitOk;
}
