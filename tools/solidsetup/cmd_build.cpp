// solidsetup build: checks a product folder the way the setup will read it,
// packs it into a solid archive appended to the setup stub, and checks the
// result by reading it back before it replaces the output file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/extract_archive.h"
#include "pack/archive_writer.h"
#include "tools/solidsetup/build_files.h"
#include "tools/solidsetup/build_progress.h"
#include "tools/solidsetup/build_stub.h"
#include "tools/solidsetup/build_uninstaller.h"
#include "tools/solidsetup/commands.h"
#include "tools/solidsetup/display_text.h"
#include "tools/solidsetup/exit_codes.h"
#include "tools/solidsetup/name_encoding.h"
#include "tools/solidsetup/output_file.h"
#include "tools/solidsetup/product_check.h"
#include "tools/solidsetup/tool_files.h"
#include "tools/solidsetup/tool_options.h"
#include "util/crc32.h"

namespace fs = std::filesystem;

namespace {

const char kCommand[] = "build";

const char kBuildUsage[] =
    "usage: solidsetup build [OPTIONS] PRODUCT_DIR -o OUTPUT\n"
    "\n"
    "Checks PRODUCT_DIR the way the setup will read it, packs every file below\n"
    "it into a solid archive and writes OUTPUT: the setup stub followed by the\n"
    "archive. Errors in the product stop the build; warnings are printed (with\n"
    "--stub none, errors are printed as warnings: a plain archive installs nothing).\n"
    "\n"
    "  -o, --output OUTPUT  the setup program to write (for example Setup.exe);\n"
    "                       it may be neither the stub nor a file of the product\n"
    "  --stub FILE          the setup executable to append the archive to; default:\n"
    "                       the installed Setup.exe (../share/solidsetup/ from this\n"
    "                       tool), else Setup.exe next to this tool, else the one in\n"
    "                       the win32 build folder ('solidsetup --version' names it)\n"
    "  --stub none          write a plain archive without a stub\n"
    "  --level N            1 fastest ... 5 smallest (default 3)\n"
    "  --threads N          threads to use (default: one per core); the output is\n"
    "                       the same byte for byte whatever the number\n"
    "  --order FILE         a list of archive names (one per line) packed first, in\n"
    "                       that order; the rest follow in the default order\n"
    "  --strict             treat the product's warnings as errors\n"
    "  --no-uninstaller     add no uninstaller when PRODUCT_DIR holds no UnInst.exe\n"
    "  --uninstaller FILE   the uninstaller program to add as UnInst.exe; default:\n"
    "                       Uninstaller.exe next to this tool (or in the win32 build folder)\n"
    "  --codepage N         the Windows code page of the names in the archive\n"
    "                       (default 1252, on Windows the system's ANSI code page;\n"
    "                       the setup's system must use the same)\n"
    "  -q, --quiet          no progress bar, no warnings and no summary line\n"
    "  -v, --verbose        also print the installation plan (as 'check' does)\n"
    "\n"
    "Default order: FILE_ID.DIZ, INSTALL.INF, the language files (*.LNG), then\n"
    "every other file, by name.\n"
    "\n"
    "Signing: the archive is the last thing written and ends with an end block,\n"
    "so OUTPUT can be signed afterwards; the signature goes behind the archive\n"
    "and the setup never reads it. For example:\n"
    "  osslsigncode sign -certs cert.pem -key key.pem -n \"My Product\" \\\n"
    "      -t http://timestamp.example -in Setup.exe -out Setup-signed.exe\n"
    "  signtool sign /fd SHA256 /a /tr http://timestamp.example /td SHA256 Setup.exe\n";

const uint64_t kMaxArchiveEnd = 0x7FFFFFFF;  // the setup program reads offsets as signed 32-bit values

struct BuildOptions {
    std::string productDir;
    std::string output;
    std::string stub;  // empty: the default stub
    std::string orderFile;
    int level = kDefaultLevel;
    uint32_t threads = 0;  // 0: one per core
    int verbosity = 1;
    bool strict = false;
    bool uninstaller = true;         // add one when the product has none
    std::string uninstallerProgram;  // empty: the default program
};

// What the build has gathered before it writes anything.
struct BuildInput {
    std::vector<ProductFile> files;  // in archive order
    std::vector<uint8_t> stub;
    std::string stubPath;  // empty for a plain archive
    uint64_t totalIn = 0;
};

// What the check pass expects of each entry, in archive order.
struct Expected {
    std::string name;
    uint32_t size;
    uint32_t crc;
};

struct WriteResult {
    std::vector<Expected> expected;
    uint64_t written = 0;
    uint32_t storedCount = 0;
    double seconds = 0;
};

void Fail(const std::string& message) { ReportError(kCommand, message); }

// Returns -1 to go on, else the exit status (0 after --help).
int ParseBuildOptions(int argc, char** argv, BuildOptions* options) {
    ParsedArguments parsed;
    const std::vector<OptionSpec> specs = {
        {"output", 'o', true}, {"stub", 0, true},     {"order", 0, true},
        {"level", 0, true},    {"strict", 0, false},  {"codepage", 0, true},
        {"no-uninstaller", 0, false}, {"uninstaller", 0, true}, {"threads", 0, true},
    };
    if (!ParseArguments(kCommand, argc, argv, specs, &parsed)) return kExitUsage;
    if (parsed.help) {
        std::fputs(kBuildUsage, stdout);
        return kExitOk;
    }
    if (!ExpectOperands(kCommand, parsed, {"PRODUCT_DIR"})) return kExitUsage;
    options->productDir = parsed.operands[0];
    options->verbosity = parsed.verbosity;
    options->strict = HasOption(parsed, "strict");
    options->uninstaller = !HasOption(parsed, "no-uninstaller");
    if (const std::string* v = OptionValue(parsed, "uninstaller")) options->uninstallerProgram = *v;
    if (const std::string* v = OptionValue(parsed, "output")) options->output = *v;
    if (const std::string* v = OptionValue(parsed, "stub")) options->stub = *v;
    if (const std::string* v = OptionValue(parsed, "order")) options->orderFile = *v;
    if (const std::string* v = OptionValue(parsed, "level")) {
        if (v->size() != 1 || (*v)[0] < '1' || (*v)[0] > '5') {
            Fail("--level takes a number from 1 to 5, not '" + *v + "'");
            return kExitUsage;
        }
        options->level = (*v)[0] - '0';
    }
    if (const std::string* v = OptionValue(parsed, "threads")) {
        char* end = nullptr;
        unsigned long n = std::strtoul(v->c_str(), &end, 10);
        if (v->empty() || (*v)[0] == '-' || *end != '\0' || n < 1 || n > 1024) {
            Fail("--threads takes a number from 1 to 1024, not '" + *v + "'");
            return kExitUsage;
        }
        options->threads = static_cast<uint32_t>(n);
    }
    if (const std::string* v = OptionValue(parsed, "codepage")) {
        if (!SetCodePageOption(kCommand, *v)) return kExitUsage;
    }
    if (options->output.empty()) {
        Fail("missing -o OUTPUT (the setup program to write)");
        return kExitUsage;
    }
    if (options->stub.empty() && options->stub != "none") {
        // Resolved here so that every later step knows which file it is.
        for (const std::string& candidate : DefaultStubCandidates()) {
            std::error_code ec;
            if (fs::is_regular_file(candidate, ec)) {
                options->stub = candidate;
                break;
            }
        }
        if (options->stub.empty()) {
            std::string message = "no setup stub found (looked for";
            for (const std::string& candidate : DefaultStubCandidates()) message += " '" + candidate + "'";
            Fail(message + "); reinstall solidsetup with its Setup.exe, build the win32 preset, which makes "
                           "Setup.exe, or give --stub FILE (--stub none writes a plain archive)");
            return kExitFailed;
        }
    }
    return -1;
}

// A temporary file left by an interrupted build of this output, should one be in the product folder.
bool IsOwnLeftover(const ProductFile& file, const std::string& output) {
    std::string name = file.path.filename().string();
    std::string base = fs::path(output).filename().string() + ".";
    const std::string suffix = ".partial";
    return name.size() > base.size() + suffix.size() && name.compare(0, base.size(), base) == 0 &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The product's files in archive order, with the collection's warnings.
bool CollectProduct(const BuildOptions& options, BuildInput* input, std::vector<Finding>* findings) {
    std::string error;
    std::vector<std::string> warnings;
    if (!CollectProductFiles(options.productDir, &input->files, &warnings, &error)) {
        Fail(error);
        return false;
    }
    for (size_t i = input->files.size(); i-- > 0;) {
        if (IsOwnLeftover(input->files[i], options.output)) {
            warnings.push_back("left out '" + EscapeControls(input->files[i].name) +
                               "': an unfinished output of an earlier build");
            input->files.erase(input->files.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    for (const std::string& w : warnings) findings->push_back({false, "", 0, w});
    if (input->files.empty()) {
        Fail("'" + options.productDir + "' holds no files to pack");
        return false;
    }
    SortProductFiles(&input->files);
    if (!options.orderFile.empty()) {
        std::vector<uint8_t> listBytes;
        if (!ReadWholeFile(options.orderFile, &listBytes, &error) ||
            !ApplyOrderList(std::string(listBytes.begin(), listBytes.end()), &input->files, &error)) {
            Fail(error);
            return false;
        }
    }
    if (!CheckNameClashes(input->files, &error)) {
        Fail(error);
        return false;
    }
    for (const ProductFile& f : input->files) input->totalIn += f.size;
    return true;
}

// The output may replace neither the stub nor a file of the product (by
// identity, so that another name for the same file is caught too), and only
// a regular file is ever replaced.
bool CheckOutputPlace(const BuildOptions& options, const BuildInput& input) {
    std::string problem = CheckOutputTarget(options.output);
    if (!problem.empty()) {
        Fail("cannot write the output: " + problem);
        return false;
    }
    FileIdentity output;
    if (!GetFileIdentity(options.output, &output)) return true;  // a new file
    FileIdentity other;
    if (options.stub != "none" && GetFileIdentity(options.stub, &other) && SameFile(output, other)) {
        Fail("the output '" + options.output + "' is the stub '" + options.stub +
             "' itself; writing it would destroy the stub. Choose another output name");
        return false;
    }
    if (!options.orderFile.empty() && GetFileIdentity(options.orderFile, &other) && SameFile(output, other)) {
        Fail("the output '" + options.output + "' is the order list '" + options.orderFile + "' itself");
        return false;
    }
    for (const ProductFile& file : input.files) {
        if (GetFileIdentity(file.path.string(), &other) && SameFile(output, other)) {
            Fail("the output '" + options.output + "' is the product's file '" + EscapeControls(file.name) +
                 "'; writing it would destroy that file. Choose an output outside the product folder");
            return false;
        }
    }
    return true;
}

// The product as the setup will read it: errors stop the build, and so do
// warnings under --strict.
bool CheckProduct(const BuildOptions& options, const BuildInput& input, std::vector<Finding>* findings) {
    InstallPlan plan;
    std::string error;
    if (!MakeInstallPlan(input.files, &plan, &error)) {
        Fail(error);
        return false;
    }
    findings->insert(findings->end(), plan.findings.begin(), plan.findings.end());
    if (options.stub == "none") {
        // A plain archive installs nothing by itself (benchmarks and tests
        // pack arbitrary folders): what would be wrong in a setup is shown
        // as a warning, and --strict still stops the build.
        for (Finding& finding : *findings) {
            if (finding.error) finding.message += " (an error in a setup program)";
            finding.error = false;
        }
    }
    if (options.verbosity >= 2) PrintInstallPlan(plan, stdout);
    int errors = PrintFindings(kCommand, *findings, options.strict, options.verbosity == 0);
    if (errors > 0) {
        Fail(CountOf(errors, "error") + " in the product; nothing was written" +
             (options.strict ? " (--strict counts warnings as errors)" : ""));
        return false;
    }
    return true;
}

bool LoadStub(const BuildOptions& options, BuildInput* input) {
    if (options.stub == "none") return true;
    std::string error;
    input->stubPath = options.stub;
    if (!ReadWholeFile(options.stub, &input->stub, &error)) {
        Fail(error);
        return false;
    }
    std::vector<uint8_t> start;
    AppendArchiveStart(&start);
    std::string problem = CheckStub(input->stub, start);
    if (!problem.empty()) {
        Fail("cannot use the stub '" + options.stub + "': " + problem);
        return false;
    }
    if (input->totalIn > kMaxArchiveEnd) {
        // The compressor addresses its window history with 31-bit positions.
        Fail("the product folder holds " + WithThousands(input->totalIn) + " bytes; at most 2 GB can be packed");
        return false;
    }
    return true;
}

void ReportProgress(uint64_t bytesDone, void* userData) {
    BuildProgressUpdate(static_cast<BuildProgress*>(userData), bytesDone);
}

// Writes the stub and the archive into the output's temporary file.
bool WriteArchive(const BuildOptions& options, const BuildInput& input, OutputFile* out, WriteResult* result) {
    std::string error;
    BuildProgress progress;
    BuildProgressInit(&progress, input.totalIn, options.verbosity == 0);
    auto fail = [&](const std::string& message) {
        BuildProgressClear(&progress);
        Fail(message);
        return false;
    };
    ArchiveWriter writer;
    ArchiveWriterInit(&writer, options.level);
    if (options.threads != 0) writer.encoder.threads = options.threads;
    writer.encoder.progress = ReportProgress;
    writer.encoder.progressData = &progress;

    std::vector<uint8_t> chunk;
    AppendArchiveStart(&chunk);
    if (!WriteOutput(out, input.stub.data(), input.stub.size(), &error) ||
        !WriteOutput(out, chunk.data(), chunk.size(), &error)) {
        return fail(error);
    }
    result->written = input.stub.size() + chunk.size();
    std::vector<uint8_t> data;
    for (const ProductFile& file : input.files) {
        if (file.size > kMaxEntrySize) {
            return fail("'" + EscapeControls(file.name) + "' is larger than the 2 GB an archive entry can hold");
        }
        if (!ReadWholeFile(file.path.string(), &data, &error)) return fail(error);
        progress.current = file.name;
        ArchiveEntry entry = {file.name, file.dosTime, file.attributes};
        chunk.clear();
        EntryResult packed = AppendArchiveEntry(&writer, entry, data.data(), data.size(), &chunk);
        result->storedCount += packed.stored ? 1 : 0;
        result->expected.push_back({file.name, static_cast<uint32_t>(data.size()), packed.crc});
        result->written += chunk.size();
        if (result->written > kMaxArchiveEnd) {
            return fail("the setup program would be larger than 2 GB, which it cannot read");
        }
        if (!WriteOutput(out, chunk.data(), chunk.size(), &error)) return fail(error);
        progress.doneBefore += data.size();
        BuildProgressUpdate(&progress, 0);
    }
    // The archive ends with its end block and is the last thing in the file,
    // so that a signature appended behind it is never taken for archive data.
    chunk.clear();
    AppendArchiveEnd(&chunk);
    result->written += chunk.size();
    if (!WriteOutput(out, chunk.data(), chunk.size(), &error) || !FinishOutput(out, &error)) return fail(error);
    BuildProgressClear(&progress);
    result->seconds = BuildProgressSeconds(&progress);
    return true;
}

struct VerifyState {
    const std::vector<Expected>* expected;
    size_t index;
    std::string problem;
};

int VerifyEntry(char* nameBuffer, const uint8_t* data, uint32_t size, void* userData) {
    VerifyState* state = static_cast<VerifyState*>(userData);
    if (data == nullptr) {
        if (state->index >= state->expected->size()) {
            state->problem = "an unexpected entry '" + DisplayArchiveName(nameBuffer) + "' was read back";
            return 1;
        }
        const Expected& e = (*state->expected)[state->index];
        if (e.name != nameBuffer || e.size != size) {
            state->problem = "entry " + std::to_string(state->index + 1) + " read back as '" +
                             DisplayArchiveName(nameBuffer) + "' (" + std::to_string(size) + " bytes) instead of '" +
                             DisplayArchiveName(e.name) + "'";
            return 1;
        }
        nameBuffer[0] = 1;  // in memory, checked by its CRC
        return 0;
    }
    const Expected& e = (*state->expected)[state->index++];
    if (size != e.size || Crc32Of(data, size) != e.crc) {
        state->problem = "'" + DisplayArchiveName(e.name) + "' did not read back as it was packed";
        return 1;
    }
    return 0;
}

// Reads the new file back through the setup's own archive pass.
bool VerifyOutput(const OutputFile& out, const std::vector<Expected>& expected) {
    VerifyState state = {&expected, 0, std::string()};
    int result = ExtractArchive(out.temp.c_str(), VerifyEntry, &state);
    std::string error = state.problem;
    if (error.empty() && result != kExtractOk) {
        error = "the archive pass over the new file ended with code " + std::to_string(result);
    }
    if (error.empty() && state.index != expected.size()) {
        error = std::to_string(state.index) + " of " + std::to_string(expected.size()) + " entries were read back";
    }
    if (error.empty()) return true;
    Fail("the new archive did not read back correctly, nothing was written: " + error);
    return false;
}

void PrintSummary(const BuildOptions& options, const BuildInput& input, const WriteResult& result) {
    uint64_t archiveBytes = result.written - input.stub.size();
    double ratio = input.totalIn ? 100.0 * static_cast<double>(archiveBytes) / static_cast<double>(input.totalIn) : 0.0;
    std::string stubNote = input.stubPath.empty() ? "no stub" : "stub " + WithThousands(input.stub.size()) + " bytes";
    std::string storedNote = result.storedCount ? ", " + std::to_string(result.storedCount) + " stored" : "";
    std::printf("%s: %s%s, %s in, %s out (%s), ratio %.1f%%, %.1f s\n", options.output.c_str(),
                CountOf(input.files.size(), "file").c_str(), storedNote.c_str(),
                CountOf(input.totalIn, "byte", true).c_str(), CountOf(archiveBytes, "byte", true).c_str(),
                stubNote.c_str(), ratio, result.seconds);
}

// Removes a scratch file when the build ends, however it ends.
struct RemoveOnExit {
    std::string path;
    ~RemoveOnExit() {
        if (!path.empty()) std::remove(path.c_str());
    }
};

// A setup program gets an uninstaller when the product has none; a plain archive is no setup.
bool AddUninstaller(const BuildOptions& options, BuildInput* input, std::vector<Finding>* findings,
                    RemoveOnExit* scratch) {
    if (!options.uninstaller || options.stub == "none") return true;
    // A fresh name of this process's, created exclusively by the uninstaller's writer.
    scratch->path = options.output + "." + std::to_string(CurrentProcessId()) + ".uninst.partial";
    std::vector<std::string> warnings;
    std::string error;
    if (!AddGeneratedUninstaller(options.uninstallerProgram, scratch->path, &input->files, &warnings, &error)) {
        Fail(error);
        return false;
    }
    for (const std::string& w : warnings) findings->push_back({false, "", 0, w});
    input->totalIn = 0;
    for (const ProductFile& f : input->files) input->totalIn += f.size;
    return true;
}

int RunBuild(int argc, char** argv) {
    BuildOptions options;
    int status = ParseBuildOptions(argc, argv, &options);
    if (status >= 0) return status;

    BuildInput input;
    std::vector<Finding> findings;
    if (!CollectProduct(options, &input, &findings)) return kExitFailed;
    if (!CheckOutputPlace(options, input)) return kExitFailed;
    RemoveOnExit scratch;
    if (!AddUninstaller(options, &input, &findings, &scratch)) return kExitFailed;
    if (!CheckProduct(options, input, &findings)) return kExitFailed;
    if (!LoadStub(options, &input)) return kExitFailed;

    // The new file is written beside the output and replaces it only once it
    // has been read back successfully: a failed build leaves the old one.
    OutputFile out;
    std::string error;
    if (!BeginOutput(options.output, &out, &error)) {
        Fail(error);
        return kExitFailed;
    }
    WriteResult result;
    if (!WriteArchive(options, input, &out, &result) || !VerifyOutput(out, result.expected)) {
        AbandonOutput(&out);
        return kExitFailed;
    }
    if (!CommitOutput(&out, &error)) {
        Fail(error);
        return kExitFailed;
    }
    if (options.verbosity > 0) PrintSummary(options, input, result);
    return kExitOk;
}

}  // namespace

int RunBuildCommand(int argc, char** argv) {
    // The file-system library reports some failures (a folder that vanishes
    // while it is read) by exceptions.
    try {
        return RunBuild(argc, argv);
    } catch (const std::exception& e) {
        Fail(e.what());
    } catch (...) {
        Fail("unexpected failure");
    }
    return kExitFailed;
}
