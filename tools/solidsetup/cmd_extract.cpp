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
#include "tools/solidsetup/display_text.h"
#include "tools/solidsetup/entry_names.h"
#include "tools/solidsetup/entry_notes.h"
#include "tools/solidsetup/exit_codes.h"
#include "tools/solidsetup/name_encoding.h"
#include "tools/solidsetup/tool_files.h"
#include "tools/solidsetup/tool_options.h"

namespace {

const char kCommand[] = "extract";

const char kExtractUsage[] =
    "usage: solidsetup extract [OPTIONS] FILE\n"
    "\n"
    "Extracts every entry of the archive in FILE into DIR (default: the current\n"
    "folder), keeping the archive's folders.\n"
    "\n"
    "  -d, --directory DIR  the destination folder (created when missing)\n"
    "  --flat               put every file directly into DIR, without the archive's folders\n"
    "  --force              overwrite files that already exist\n"
    "  --codepage N         the Windows code page of the names (default 1252, on\n"
    "                       Windows the system's ANSI code page); names\n"
    "                       are written in the locale's encoding\n"
    "  -q, --quiet          print only what goes wrong\n"
    "\n"
    "Entries whose names are unsafe (absolute paths, drive letters, '..',\n"
    "colons, device names such as CON or NUL) are refused and not written.\n"
    "A file is only put in place once its checksum has been verified.\n"
    "Exit status 3: the archive is sound but some files were left out.\n";

struct Options {
    std::string archive;
    std::string dir = ".";
    bool flat = false;
    bool force = false;
    bool quiet = false;
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

// entry is an archive name; reason is already fit for the terminal.
void Warn(const std::string& entry, const std::string& reason) {
    ReportError(kCommand, DisplayArchiveName(entry) + ": " + reason);
}

// Moves the previous entry's file into place: the pass only moves on to the
// next entry (or returns 0) once that file has passed its check.
void PlacePending(Extraction* x) {
    if (x->pendingTemp.empty()) return;
    if (MoveReplacing(x->pendingTemp, x->pendingTarget)) {
        x->written += 1;
        if (!x->options.quiet) std::printf("%s\n", EscapeControls(x->pendingTarget).c_str());
    } else {
        ReportError(kCommand, "cannot move the extracted file into place as '" + EscapeControls(x->pendingTarget) +
                                  "': " + LastSystemError() + " (it stays as '" + EscapeControls(x->pendingTemp) +
                                  "')");
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
                if (!MakeDirectory(path)) {
                    return "cannot create the folder '" + EscapeControls(path) + "': " + LastSystemError();
                }
                break;
            case PathKind::kFile:
                return "a file is in the way of the folder '" + EscapeControls(path) + "'";
            case PathKind::kLink:
                return "'" + EscapeControls(path) + "' is a link; links are not followed";
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
    // The names are in the archive's code page; the files get the locale's.
    for (std::string& part : parts) {
        std::string local;
        if (!ArchiveNameToLocal(part, &local)) {
            x->skipped += 1;
            return "skipped: the name cannot be written in this system's encoding (try --codepage)";
        }
        part = local;
    }
    std::vector<std::string> folders;
    if (!x->options.flat) folders.assign(parts.begin(), parts.end() - 1);
    *target = x->options.dir;
    for (const std::string& folder : folders) *target += kToolSeparator + folder;
    *target += kToolSeparator + parts.back();
    // The pass holds paths of at most 259 bytes; the temporary name adds more.
    if (target->size() + 16 > 259) {
        x->skipped += 1;
        return "skipped: the path '" + EscapeControls(*target) + "' would be too long";
    }
    PathKind kind = GetPathKind(*target);
    if (kind == PathKind::kDirectory || kind == PathKind::kLink) {
        x->skipped += 1;
        return "skipped: '" + EscapeControls(*target) + "' exists and is not a plain file";
    }
    if (kind == PathKind::kFile && !x->options.force) {
        x->skipped += 1;
        return "skipped: '" + EscapeControls(*target) + "' exists (use --force to overwrite it)";
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
            return "skipped: no free temporary name next to '" + EscapeControls(*target) + "'";
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

// Returns -1 to go on, else the exit status (0 after --help).
int ParseOptions(int argc, char** argv, Options* options) {
    ParsedArguments parsed;
    const std::vector<OptionSpec> specs = {
        {"directory", 'd', true}, {"flat", 0, false}, {"force", 0, false}, {"codepage", 0, true}};
    if (!ParseArguments(kCommand, argc, argv, specs, &parsed)) return kExitUsage;
    if (parsed.help) {
        std::fputs(kExtractUsage, stdout);
        return kExitOk;
    }
    if (!ExpectOperands(kCommand, parsed, {"FILE"})) return kExitUsage;
    if (const std::string* v = OptionValue(parsed, "codepage")) {
        if (!SetCodePageOption(kCommand, *v)) return kExitUsage;
    }
    options->archive = parsed.operands[0];
    if (const std::string* v = OptionValue(parsed, "directory")) options->dir = *v;
    options->flat = HasOption(parsed, "flat");
    options->force = HasOption(parsed, "force");
    options->quiet = parsed.verbosity == 0;
    if (options->dir.empty()) {
        ReportError(kCommand, "the destination folder (-d) is empty");
        return kExitUsage;
    }
    // One separator between the folder and the names, however DIR was typed.
    while (options->dir.size() > 1 && (options->dir.back() == '/' || options->dir.back() == '\\')) {
        options->dir.pop_back();
    }
    return -1;
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
    Extraction x;
    int parseStatus = ParseOptions(argc, argv, &x.options);
    if (parseStatus >= 0) return parseStatus;
    const char* archive = x.options.archive.c_str();
    // An archive that cannot be opened fails before any folder is made.
    std::vector<EntryNote> notes;
    if (!ReadEntryNotes(archive, &notes)) {
        ReportError(kCommand, EscapeControls(DescribePassResult(kExtractNoArchive, archive)));
        return kExitFailed;
    }
    if (!EnsureDestination(x.options.dir)) {
        ReportError(kCommand, "cannot create the folder '" + EscapeControls(x.options.dir) + "': " + LastSystemError());
        return kExitFailed;
    }

    int result = ExtractArchive(archive, ExtractCallback, &x);
    if (result == kExtractOk) {
        PlacePending(&x);
    } else if (!x.pendingTemp.empty()) {
        // The entry in progress failed; the pass removed a file that failed its
        // check, and anything else of it must not stay either.
        if (GetPathKind(x.pendingTemp) == PathKind::kFile) RemoveFile(x.pendingTemp);
    }
    std::fflush(stdout);

    bool failed = false;
    if (result == kExtractChecksumFailed) {
        const EntryNote* note = x.queries > 0 ? QueriedEntryNote(notes, static_cast<size_t>(x.queries - 1)) : nullptr;
        Warn(x.lastName, DescribeEntryFailure(note) + "; nothing was written for it and later entries were not extracted");
        failed = true;
    } else if (result == kExtractCannotCreate) {
        Warn(x.lastName, "cannot create the file '" + EscapeControls(x.pendingTarget) + "'; later entries were not extracted");
        failed = true;
    } else if (result != kExtractOk) {
        ReportError(kCommand, EscapeControls(DescribePassResult(result, archive)));
        failed = true;
    }

    // Folders stored as entries of their own (possibly empty) are made too.
    if (result == kExtractOk && !x.options.flat) {
        for (const EntryNote& note : notes) {
            if (!note.directory) continue;
            std::vector<std::string> parts;
            std::string reason = CheckEntryName(note.name.c_str(), &parts);
            for (std::string& part : parts) {
                std::string local;
                if (reason.empty() && !ArchiveNameToLocal(part, &local)) {
                    reason = "the name cannot be written in this system's encoding (try --codepage)";
                }
                part = local;
            }
            if (reason.empty()) reason = PrepareFolders(x.options.dir, parts);
            if (!reason.empty()) {
                Warn(note.name, reason);
                x.refused += 1;
            }
        }
    }

    if (!x.options.quiet || failed || x.refused > 0 || x.skipped > 0) {
        std::string summary = CountOf(static_cast<uint64_t>(x.written), "file") + " extracted to '" +
                              EscapeControls(x.options.dir) + "'";
        if (x.refused > 0) summary += ", " + std::to_string(x.refused) + " refused";
        if (x.skipped > 0) summary += ", " + std::to_string(x.skipped) + " skipped";
        std::printf("%s\n", summary.c_str());
    }
    if (failed || x.failedToPlace) return kExitFailed;
    if (x.refused > 0 || x.skipped > 0) return kExitSkipped;
    return kExitOk;
}
