// solidsetup extract: writes every entry of an archive into a folder.
//
// Entry names are untrusted: each is checked before it becomes a path, and
// refused entries are still decoded (the archive is solid) but not written.
// Every file is written under a temporary name next to its target and only
// moved into place once the pass has verified it, so a damaged entry never
// leaves a partial file behind nor destroys a file it would have replaced.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/extract_archive.h"
#include "tools/solidsetup/commands.h"
#include "tools/solidsetup/entry_names.h"
#include "tools/solidsetup/entry_notes.h"
#include "tools/solidsetup/tool_files.h"

namespace {

const char kExtractUsage[] =
    "usage: solidsetup extract FILE [-d DIR] [--flat] [--force]\n"
    "\n"
    "Extracts every entry of the archive in FILE into DIR (default: the current\n"
    "folder), keeping the archive's folders.\n"
    "\n"
    "  -d DIR    the destination folder (created when missing)\n"
    "  --flat    put every file directly into DIR, without the archive's folders\n"
    "  --force   overwrite files that already exist\n"
    "\n"
    "Entries whose names are unsafe (absolute paths, drive letters, '..',\n"
    "colons, device names such as CON or NUL) are refused and not written.\n"
    "A file is only put in place once its checksum has been verified.\n";

struct Options {
    const char* archive = nullptr;
    std::string dir = ".";
    bool flat = false;
    bool force = false;
};

struct Extraction {
    Options options;
    int queries = 0;
    int written = 0;
    int refused = 0;
    int skipped = 0;
    bool failedToPlace = false;
    std::string lastName;     // the entry of the most recent query
    std::string pendingTemp;  // written by the pass, not yet verified
    std::string pendingTarget;
};

void Warn(const std::string& entry, const std::string& reason) {
    std::fflush(stdout);
    std::fprintf(stderr, "solidsetup: %s: %s\n", entry.c_str(), reason.c_str());
}

// Moves the previous entry's file into place: the pass only moves on to the
// next entry (or returns 0) once that file has passed its check.
void PlacePending(Extraction* x) {
    if (x->pendingTemp.empty()) return;
    if (MoveReplacing(x->pendingTemp, x->pendingTarget)) {
        x->written += 1;
        std::printf("%s\n", x->pendingTarget.c_str());
    } else {
        std::fflush(stdout);
        std::fprintf(stderr, "solidsetup: cannot move the extracted file into place as '%s' (it stays as '%s')\n",
                     x->pendingTarget.c_str(), x->pendingTemp.c_str());
        x->failedToPlace = true;
    }
    x->pendingTemp.clear();
    x->pendingTarget.clear();
}

// Creates the folders between DIR and the file; every folder on the way must
// be a real folder (no file and no link in the way).
std::string PrepareFolders(const std::string& dir, const std::vector<std::string>& folders) {
    std::string path = dir;
    for (const std::string& folder : folders) {
        path += kToolSeparator;
        path += folder;
        switch (GetPathKind(path)) {
            case PathKind::kDirectory:
                break;
            case PathKind::kMissing:
                if (!MakeDirectory(path)) return "cannot create the folder '" + path + "'";
                break;
            case PathKind::kFile:
                return "a file is in the way of the folder '" + path + "'";
            case PathKind::kLink:
                return "'" + path + "' is a link; links are not followed";
        }
    }
    return "";
}

// Decides where an entry goes; returns the reason when it is not written.
std::string PlanEntry(Extraction* x, const char* name, std::string* tempPath, std::string* target) {
    std::vector<std::string> parts;
    std::string reason = CheckEntryName(name, &parts);
    if (!reason.empty()) {
        x->refused += 1;
        return "refused: " + reason;
    }
    std::vector<std::string> folders;
    if (!x->options.flat) folders.assign(parts.begin(), parts.end() - 1);
    *target = x->options.dir;
    for (const std::string& folder : folders) *target += kToolSeparator + folder;
    *target += kToolSeparator + parts.back();
    // The pass holds paths of at most 259 bytes; the temporary name adds more.
    if (target->size() + 16 > 259) {
        x->skipped += 1;
        return "skipped: the path '" + *target + "' would be too long";
    }
    PathKind kind = GetPathKind(*target);
    if (kind == PathKind::kDirectory || kind == PathKind::kLink) {
        x->skipped += 1;
        return "skipped: '" + *target + "' exists and is not a plain file";
    }
    if (kind == PathKind::kFile && !x->options.force) {
        x->skipped += 1;
        return "skipped: '" + *target + "' exists (use --force to overwrite it)";
    }
    reason = PrepareFolders(x->options.dir, folders);
    if (!reason.empty()) {
        x->skipped += 1;
        return "skipped: " + reason;
    }
    for (int n = 0;; ++n) {
        *tempPath = *target + ".ss-part" + (n == 0 ? "" : std::to_string(n));
        if (GetPathKind(*tempPath) == PathKind::kMissing) return "";
        if (n == 99) {
            x->skipped += 1;
            return "skipped: no free temporary name next to '" + *target + "'";
        }
    }
}

int ExtractCallback(char* nameBuffer, const uint8_t* data, uint32_t, void* userData) {
    Extraction* x = static_cast<Extraction*>(userData);
    if (data != nullptr) return 0;  // files only: no delivery calls
    PlacePending(x);
    x->queries += 1;
    x->lastName = nameBuffer;
    std::string tempPath, target;
    std::string reason = PlanEntry(x, nameBuffer, &tempPath, &target);
    if (!reason.empty()) {
        Warn(x->lastName, reason);
        nameBuffer[0] = 0;  // decoded for the solid run, not written
        return 0;
    }
    std::snprintf(nameBuffer, 260, "%s", tempPath.c_str());
    x->pendingTemp = tempPath;
    x->pendingTarget = target;
    return 0;
}

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "-d") == 0 && i + 1 < argc) {
            options->dir = argv[++i];
        } else if (std::strcmp(arg, "--flat") == 0) {
            options->flat = true;
        } else if (std::strcmp(arg, "--force") == 0) {
            options->force = true;
        } else if (arg[0] != '-' && options->archive == nullptr) {
            options->archive = arg;
        } else {
            return false;
        }
    }
    if (options->archive == nullptr || options->dir.empty()) return false;
    // One separator between the folder and the names, however DIR was typed.
    while (options->dir.size() > 1 && (options->dir.back() == '/' || options->dir.back() == '\\')) {
        options->dir.pop_back();
    }
    return true;
}

bool EnsureDestination(const std::string& dir) {
    if (GetPathKind(dir) == PathKind::kDirectory) return true;
    // Create the missing folders of DIR itself, outermost first.
    for (size_t i = 1; i <= dir.size(); ++i) {
        if (i < dir.size() && dir[i] != '/' && dir[i] != '\\') continue;
        std::string prefix = dir.substr(0, i);
        if (prefix.size() == 2 && prefix[1] == ':') continue;  // a drive
        if (GetPathKind(prefix) == PathKind::kMissing) MakeDirectory(prefix);
    }
    return GetPathKind(dir) == PathKind::kDirectory;
}

}  // namespace

int RunExtractCommand(int argc, char** argv) {
    if (argc == 1 && (std::strcmp(argv[0], "--help") == 0 || std::strcmp(argv[0], "-h") == 0)) {
        std::fputs(kExtractUsage, stdout);
        return 0;
    }
    Extraction x;
    if (!ParseOptions(argc, argv, &x.options)) {
        std::fputs(kExtractUsage, stderr);
        return 2;
    }
    if (!EnsureDestination(x.options.dir)) {
        std::fprintf(stderr, "solidsetup: cannot create the folder '%s'\n", x.options.dir.c_str());
        return 1;
    }

    PassReport report;
    int result = ExtractArchiveWithReport(x.options.archive, ExtractCallback, &x, &report);
    // The entry before a header cut short was verified: it is kept.
    if (result == kExtractOk || report.cutShort) {
        PlacePending(&x);
    } else if (!x.pendingTemp.empty()) {
        // The entry in progress failed; the pass removed a file that failed its
        // check, and anything else of it must not stay either.
        if (GetPathKind(x.pendingTemp) == PathKind::kFile) RemoveFile(x.pendingTemp);
    }
    std::fflush(stdout);

    int status = 0;
    if (result == kExtractChecksumFailed && report.cutShort) {
        std::fprintf(stderr,
                     "solidsetup: '%s' is cut short: the block at offset %ld runs past the end of the file "
                     "(an incomplete download?); the rest of the archive is missing\n",
                     x.options.archive, static_cast<long>(report.cutShortAt));
        status = 1;
    } else if (result == kExtractChecksumFailed && report.writeError != 0) {
        Warn(x.lastName, "cannot write '" + x.pendingTarget + "': " + std::strerror(report.writeError) +
                             "; nothing was written for it and later entries were not extracted");
        status = 1;
    } else if (result == kExtractChecksumFailed) {
        std::vector<EntryNote> notes;
        ReadEntryNotes(x.options.archive, &notes);
        const EntryNote* note = x.queries > 0 ? QueriedEntryNote(notes, static_cast<size_t>(x.queries - 1)) : nullptr;
        Warn(x.lastName, DescribeEntryFailure(note) + "; nothing was written for it and later entries were not extracted");
        status = 1;
    } else if (result == kExtractCannotCreate) {
        Warn(x.lastName, "cannot create the file '" + x.pendingTarget + "'; later entries were not extracted");
        status = 1;
    } else if (result != kExtractOk) {
        std::fprintf(stderr, "solidsetup: %s\n", DescribePassResult(result, x.options.archive).c_str());
        status = 1;
    }

    // Folders stored as entries of their own (possibly empty) are made too.
    if (result == kExtractOk && !x.options.flat) {
        std::vector<EntryNote> notes;
        ReadEntryNotes(x.options.archive, &notes);
        for (const EntryNote& note : notes) {
            if (!note.directory) continue;
            std::vector<std::string> parts;
            std::string reason = CheckEntryName(note.name.c_str(), &parts);
            if (reason.empty()) reason = PrepareFolders(x.options.dir, parts);
            if (!reason.empty()) {
                Warn(note.name, reason);
                x.refused += 1;
            }
        }
    }

    std::printf("%d file%s extracted to '%s'", x.written, x.written == 1 ? "" : "s", x.options.dir.c_str());
    if (x.refused > 0) std::printf(", %d refused", x.refused);
    if (x.skipped > 0) std::printf(", %d skipped", x.skipped);
    std::printf("\n");
    if (x.refused > 0 || x.skipped > 0 || x.failedToPlace) status = 1;
    return status;
}
