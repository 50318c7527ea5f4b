// solidsetup test: one pass that decodes and verifies every entry in memory.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/extract_archive.h"
#include "tools/solidsetup/block_check.h"
#include "tools/solidsetup/commands.h"
#include "tools/solidsetup/entry_notes.h"

namespace {

const char kTestUsage[] =
    "usage: solidsetup test FILE\n"
    "\n"
    "Decodes every entry of the archive in FILE (a setup program or a plain\n"
    "archive) and verifies its checksum, without writing anything. Prints one\n"
    "line per entry and a summary; exits with 0 only when every entry is fine\n"
    "and every block header matches its checksum. An archive without an\n"
    "end-of-archive block (perhaps cut short) gets a warning.\n";

struct TestRun {
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
    std::printf("OK      %10u  %s\n", size, run->queried.back().c_str());
    run->verified += 1;
    run->verifiedBytes += size;
    return 0;
}

}  // namespace

int RunTestCommand(int argc, char** argv) {
    if (argc == 1 && (std::strcmp(argv[0], "--help") == 0 || std::strcmp(argv[0], "-h") == 0)) {
        std::fputs(kTestUsage, stdout);
        return 0;
    }
    if (argc != 1 || argv[0][0] == '-') {
        std::fputs(kTestUsage, stderr);
        return 2;
    }
    const char* path = argv[0];
    TestRun run;
    PassReport report;
    int result = ExtractArchiveWithReport(path, TestCallback, &run, &report);
    std::fflush(stdout);
    if (result == kExtractChecksumFailed && report.cutShort) {
        std::fprintf(stderr,
                     "solidsetup: '%s' is cut short: the block at offset %ld runs past the end of the file "
                     "(an incomplete download?)\n",
                     path, static_cast<long>(report.cutShortAt));
        std::fprintf(stderr, "solidsetup: %d entr%s verified before it; the rest of the archive is missing\n",
                     run.verified, run.verified == 1 ? "y" : "ies");
        return 1;
    }
    if (result == kExtractChecksumFailed && !run.queried.empty()) {
        std::vector<EntryNote> notes;
        ReadEntryNotes(path, &notes);
        const EntryNote* note = QueriedEntryNote(notes, run.queried.size() - 1);
        std::printf("FAILED  %10u  %s\n", run.lastSize, run.queried.back().c_str());
        std::fflush(stdout);
        std::fprintf(stderr, "solidsetup: %s: %s\n", run.queried.back().c_str(), DescribeEntryFailure(note).c_str());
        std::fprintf(stderr, "solidsetup: %d entr%s verified before the failure; the entries after it were not tested\n",
                     run.verified, run.verified == 1 ? "y" : "ies");
        return 1;
    }
    if (result != kExtractOk) {
        std::fprintf(stderr, "solidsetup: %s\n", DescribePassResult(result, path).c_str());
        return 1;
    }
    // The setup's reader ignores header checksums; the tool does not.
    if (ReportBlockCheck(CheckArchiveBlocks(path), path)) return 1;
    std::printf("All %d entr%s OK (%llu bytes)\n", run.verified, run.verified == 1 ? "y" : "ies",
                static_cast<unsigned long long>(run.verifiedBytes));
    return 0;
}
