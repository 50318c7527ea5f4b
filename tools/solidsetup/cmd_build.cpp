// solidsetup build: packs a product folder into a solid archive, appends it
// to the setup stub, and checks the result by reading it back before it
// replaces the output file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "archive/extract_archive.h"
#include "pack/archive_writer.h"
#include "tools/solidsetup/build_files.h"
#include "tools/solidsetup/build_progress.h"
#include "tools/solidsetup/build_stub.h"
#include "tools/solidsetup/build_uninstaller.h"
#include "tools/solidsetup/commands.h"
#include "util/crc32.h"

namespace fs = std::filesystem;

namespace {

const char kBuildUsage[] =
    "usage: solidsetup build PRODUCT_DIR -o OUTPUT [--stub FILE|none] [--level 1..5] [--threads N] [--order FILE]\n"
    "                        [--quiet] [--no-uninstaller | --uninstaller FILE]\n"
    "\n"
    "Packs every file below PRODUCT_DIR into a solid archive and writes OUTPUT:\n"
    "the setup stub followed by the archive.\n"
    "\n"
    "  -o OUTPUT       the setup program to write (for example Setup.exe)\n"
    "  --stub FILE     the setup executable to append the archive to; default:\n"
    "                  Setup.exe next to this tool (or in the win32 build folder)\n"
    "  --stub none     write a plain archive without a stub\n"
    "  --level N       1 fastest ... 5 smallest (default 3)\n"
    "  --threads N     threads to use (default: one per core); the output is the\n"
    "                  same byte for byte whatever the number\n"
    "  --order FILE    a list of archive names (one per line) packed first, in\n"
    "                  that order; the rest follow in the default order\n"
    "  --quiet         no progress bar and no summary line\n"
    "  --no-uninstaller  add no uninstaller when PRODUCT_DIR holds no UnInst.exe\n"
    "  --uninstaller FILE  the uninstaller program to add as UnInst.exe; default:\n"
    "                  Uninstaller.exe next to this tool (or in the win32 build folder)\n"
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
    bool quiet = false;
    bool uninstaller = true;      // add one when the product has none
    std::string uninstallerProgram;  // empty: the default program
};

void Fail(const std::string& message) { std::fprintf(stderr, "solidsetup build: %s\n", message.c_str()); }

// Returns 0 when the options are complete, else the exit status (2 for usage errors).
int ParseOptions(int argc, char** argv, BuildOptions* options) {
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char* what) -> const char* {
            if (i + 1 >= argc) {
                Fail(std::string(what) + " needs a value");
                return nullptr;
            }
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kBuildUsage, stdout);
            return -1;
        } else if (arg == "-o" || arg == "--output") {
            const char* v = value("-o");
            if (!v) return 2;
            options->output = v;
        } else if (arg == "--stub") {
            const char* v = value("--stub");
            if (!v) return 2;
            options->stub = v;
        } else if (arg == "--order") {
            const char* v = value("--order");
            if (!v) return 2;
            options->orderFile = v;
        } else if (arg == "--level") {
            const char* v = value("--level");
            if (!v) return 2;
            if (std::strlen(v) != 1 || v[0] < '1' || v[0] > '5') {
                Fail("--level takes a number from 1 to 5");
                return 2;
            }
            options->level = v[0] - '0';
        } else if (arg == "--threads") {
            const char* v = value("--threads");
            if (!v) return 2;
            char* end = nullptr;
            unsigned long n = std::strtoul(v, &end, 10);
            if (end == v || *end != '\0' || v[0] == '-' || n < 1 || n > 1024) {
                Fail("--threads takes a number from 1 to 1024");
                return 2;
            }
            options->threads = static_cast<uint32_t>(n);
        } else if (arg == "--no-uninstaller") {
            options->uninstaller = false;
        } else if (arg == "--uninstaller") {
            const char* v = value("--uninstaller");
            if (!v) return 2;
            options->uninstallerProgram = v;
        } else if (arg == "--quiet" || arg == "-q") {
            options->quiet = true;
        } else if (!arg.empty() && arg[0] == '-') {
            Fail("unknown option '" + arg + "'");
            std::fputs(kBuildUsage, stderr);
            return 2;
        } else if (options->productDir.empty()) {
            options->productDir = arg;
        } else {
            Fail("more than one product folder given ('" + options->productDir + "', '" + arg + "')");
            return 2;
        }
    }
    if (options->productDir.empty() || options->output.empty()) {
        std::fputs(kBuildUsage, stderr);
        return 2;
    }
    return 0;
}

bool ReadWholeFile(const fs::path& path, std::vector<uint8_t>* data, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open '" + path.string() + "'";
        return false;
    }
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size < 0) {
        *error = "cannot read '" + path.string() + "'";
        return false;
    }
    data->resize(static_cast<size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(data->data()), size)) {
        *error = "cannot read '" + path.string() + "'";
        return false;
    }
    return true;
}

// Reads the stub named by the options (none for "none").
bool LoadStub(const BuildOptions& options, std::vector<uint8_t>* stub, std::string* stubPath, std::string* error) {
    if (options.stub == "none") return true;
    if (!options.stub.empty()) {
        *stubPath = options.stub;
        return ReadWholeFile(options.stub, stub, error);
    }
    std::vector<std::string> candidates = DefaultStubCandidates();
    for (const std::string& candidate : candidates) {
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec)) {
            *stubPath = candidate;
            return ReadWholeFile(candidate, stub, error);
        }
    }
    *error = "no setup stub found (looked for";
    for (const std::string& candidate : candidates) *error += " '" + candidate + "'";
    *error += "); build the win32 preset, which makes Setup.exe, or give --stub FILE "
              "(--stub none writes a plain archive)";
    return false;
}

// What the check pass expects of each entry, in archive order.
struct Expected {
    std::string name;
    uint32_t size;
    uint32_t crc;
};

struct VerifyState {
    const std::vector<Expected>* expected;
    size_t index;
    std::string problem;
};

int VerifyEntry(char* nameBuffer, const uint8_t* data, uint32_t size, void* userData) {
    VerifyState* state = static_cast<VerifyState*>(userData);
    if (data == nullptr) {
        if (state->index >= state->expected->size()) {
            state->problem = "an unexpected entry '" + std::string(nameBuffer) + "' was read back";
            return 1;
        }
        const Expected& e = (*state->expected)[state->index];
        if (e.name != nameBuffer || e.size != size) {
            state->problem = "entry " + std::to_string(state->index + 1) + " read back as '" + nameBuffer + "' (" +
                             std::to_string(size) + " bytes) instead of '" + e.name + "'";
            return 1;
        }
        nameBuffer[0] = 1;  // in memory, checked by its CRC
        return 0;
    }
    const Expected& e = (*state->expected)[state->index++];
    if (size != e.size || Crc32Of(data, size) != e.crc) {
        state->problem = "'" + e.name + "' did not read back as it was packed";
        return 1;
    }
    return 0;
}

bool VerifyOutput(const std::string& path, const std::vector<Expected>& expected, std::string* error) {
    VerifyState state = {&expected, 0, std::string()};
    int result = ExtractArchive(path.c_str(), VerifyEntry, &state);
    if (!state.problem.empty()) {
        *error = state.problem;
        return false;
    }
    if (result != kExtractOk) {
        *error = "the archive pass over the new file ended with code " + std::to_string(result);
        return false;
    }
    if (state.index != expected.size()) {
        *error = std::to_string(state.index) + " of " + std::to_string(expected.size()) + " entries were read back";
        return false;
    }
    return true;
}

void ReportProgress(uint64_t bytesDone, void* userData) {
    BuildProgressUpdate(static_cast<BuildProgress*>(userData), bytesDone);
}

std::string WithThousands(uint64_t value) {
    std::string digits = std::to_string(value);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

// Removes a scratch file when the build ends, however it ends.
struct RemoveOnExit {
    std::string path;
    ~RemoveOnExit() {
        if (!path.empty()) std::remove(path.c_str());
    }
};

int RunBuild(int argc, char** argv) {
    BuildOptions options;
    int status = ParseOptions(argc, argv, &options);
    if (status == -1) return 0;
    if (status != 0) return status;

    std::string error;
    std::vector<std::string> warnings;
    std::vector<ProductFile> files;
    if (!CollectProductFiles(options.productDir, &files, &warnings, &error)) {
        Fail(error);
        return 1;
    }
    // An output inside the product folder must not pack itself (or its
    // unfinished copy) into the next build.
    for (const std::string& own : {options.output, options.output + ".partial", options.output + ".uninst.partial"}) {
        if (LeaveOutFile(own, &files)) warnings.push_back("left out '" + own + "': it is the output of this build");
    }
    if (files.empty()) {
        Fail("'" + options.productDir + "' holds no files to pack");
        return 1;
    }
    SortProductFiles(&files);
    if (!options.orderFile.empty()) {
        std::vector<uint8_t> listBytes;
        if (!ReadWholeFile(options.orderFile, &listBytes, &error)) {
            Fail(error);
            return 1;
        }
        if (!ApplyOrderList(std::string(listBytes.begin(), listBytes.end()), &files, &error)) {
            Fail(error);
            return 1;
        }
    }
    if (!CheckNameClashes(files, &warnings, &error)) {
        Fail(error);
        return 1;
    }
    // A setup program gets an uninstaller; a plain archive is no setup.
    RemoveOnExit scratch;
    if (options.uninstaller && options.stub != "none") {
        scratch.path = options.output + ".uninst.partial";
        if (!AddGeneratedUninstaller(options.uninstallerProgram, scratch.path, &files, &warnings, &error)) {
            Fail(error);
            return 1;
        }
    }
    for (const std::string& w : warnings) std::fprintf(stderr, "solidsetup build: warning: %s\n", w.c_str());

    std::vector<uint8_t> stub;
    std::string stubPath;
    if (!LoadStub(options, &stub, &stubPath, &error)) {
        Fail(error);
        return 1;
    }
    std::vector<uint8_t> chunk;
    AppendArchiveStart(&chunk);
    if (!stubPath.empty()) {
        std::string problem = CheckStub(stub, chunk);
        if (!problem.empty()) {
            Fail("cannot use the stub '" + stubPath + "': " + problem);
            return 1;
        }
    }

    uint64_t totalIn = 0;
    for (const ProductFile& f : files) totalIn += f.size;
    if (totalIn > kMaxArchiveEnd) {
        // The compressor addresses its window history with 31-bit positions.
        Fail("the product folder holds " + WithThousands(totalIn) + " bytes; at most 2 GB can be packed");
        return 1;
    }

    // The new file is written beside the output and replaces it only once it
    // has been read back successfully: a failed build leaves the old one.
    const std::string partial = options.output + ".partial";
    FILE* out = std::fopen(partial.c_str(), "wb");
    if (out == nullptr) {
        Fail("cannot create '" + partial + "'");
        return 1;
    }
    auto abandon = [&](const std::string& message) {
        std::fclose(out);
        std::remove(partial.c_str());
        Fail(message);
        return 1;
    };

    BuildProgress progress;
    BuildProgressInit(&progress, totalIn, options.quiet);
    ArchiveWriter writer;
    ArchiveWriterInit(&writer, options.level);
    if (options.threads != 0) writer.encoder.threads = options.threads;
    writer.encoder.progress = ReportProgress;
    writer.encoder.progressData = &progress;

    uint64_t written = stub.size() + chunk.size();
    if ((!stub.empty() && std::fwrite(stub.data(), 1, stub.size(), out) != stub.size()) ||
        std::fwrite(chunk.data(), 1, chunk.size(), out) != chunk.size()) {
        return abandon("cannot write '" + partial + "'");
    }
    std::vector<Expected> expected;
    uint32_t storedCount = 0;
    std::vector<uint8_t> data;
    for (const ProductFile& file : files) {
        if (file.size > kMaxEntrySize) {
            BuildProgressClear(&progress);
            return abandon("'" + file.name + "' is larger than the 2 GB an archive entry can hold");
        }
        if (!ReadWholeFile(file.path, &data, &error)) {
            BuildProgressClear(&progress);
            return abandon(error);
        }
        progress.current = file.name;
        ArchiveEntry entry = {file.name, file.dosTime, file.attributes};
        chunk.clear();
        EntryResult result = AppendArchiveEntry(&writer, entry, data.data(), data.size(), &chunk);
        storedCount += result.stored ? 1 : 0;
        expected.push_back({file.name, static_cast<uint32_t>(data.size()), result.crc});
        written += chunk.size();
        if (written > kMaxArchiveEnd) {
            BuildProgressClear(&progress);
            return abandon("the setup program would be larger than 2 GB, which it cannot read");
        }
        if (std::fwrite(chunk.data(), 1, chunk.size(), out) != chunk.size()) {
            BuildProgressClear(&progress);
            return abandon("cannot write '" + partial + "' (disk full?)");
        }
        progress.doneBefore += data.size();
        BuildProgressUpdate(&progress, 0);
    }
    // The archive ends with its end block and is the last thing in the file,
    // so that a signature appended behind it is never taken for archive data.
    chunk.clear();
    AppendArchiveEnd(&chunk);
    written += chunk.size();
    if (std::fwrite(chunk.data(), 1, chunk.size(), out) != chunk.size()) {
        BuildProgressClear(&progress);
        return abandon("cannot write '" + partial + "' (disk full?)");
    }
    if (std::fclose(out) != 0) {
        std::remove(partial.c_str());
        BuildProgressClear(&progress);
        Fail("cannot write '" + partial + "'");
        return 1;
    }
    BuildProgressClear(&progress);

    if (!VerifyOutput(partial, expected, &error)) {
        std::remove(partial.c_str());
        Fail("the new archive did not read back correctly, nothing was written: " + error);
        return 1;
    }
    std::error_code ec;
    fs::rename(partial, options.output, ec);
    if (ec) {
        // Some systems do not replace an existing file on rename.
        fs::remove(options.output, ec);
        fs::rename(partial, options.output, ec);
    }
    if (ec) {
        std::remove(partial.c_str());
        Fail("cannot write '" + options.output + "': " + ec.message());
        return 1;
    }

    if (!options.quiet) {
        uint64_t archiveBytes = written - stub.size();
        double ratio = totalIn ? 100.0 * static_cast<double>(archiveBytes) / static_cast<double>(totalIn) : 0.0;
        std::string stubNote = stubPath.empty() ? "no stub" : "stub " + WithThousands(stub.size()) + " bytes";
        std::string storedNote = storedCount ? ", " + std::to_string(storedCount) + " stored" : "";
        std::printf("%s: %zu files%s, %s bytes in, %s bytes out (%s), ratio %.1f%%, %.1f s\n", options.output.c_str(),
                    files.size(), storedNote.c_str(), WithThousands(totalIn).c_str(),
                    WithThousands(archiveBytes).c_str(), stubNote.c_str(), ratio, BuildProgressSeconds(&progress));
    }
    return 0;
}

}  // namespace

int RunBuildCommand(int argc, char** argv) {
    // The file-system library reports some failures (a name it cannot
    // convert, a folder that vanishes while it is read) by exceptions.
    try {
        return RunBuild(argc, argv);
    } catch (const std::exception& e) {
        Fail(e.what());
    } catch (...) {
        Fail("unexpected failure");
    }
    return 1;
}
