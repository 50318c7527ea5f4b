// Process entry of the generated uninstaller (UnInst.exe): asks, closes a
// running copy of the product, removes what the setup installed, and reports
// what it could not remove. With /S it shows no window and only sets its exit
// code.
#include <windows.h>
#include <ole2.h>

#include "frontend/ui_strings.h"
#include "uninstall/temp_copy.h"
#include "uninstall/uninstall_steps.h"
#include "uninstall/uninstall_texts.h"
#include "util/bounded_string.h"
#include "util/uninstall_data.h"

namespace {

enum : int {
    kUninstallExitRemoved = 0,
    kUninstallExitBadCommandLine = 1,
    kUninstallExitCancelled = 2,
    kUninstallExitIncomplete = 3,  // something could not be removed (or only at the next restart)
};

const DWORD kCloseProductWaitMs = 10000;
const DWORD kStarterWaitMs = 30000;

struct Arguments {
    bool silent;
    bool relayed;
    HANDLE starter;
    HANDLE pipe;
    char starterPath[MAX_PATH];  // the uninstaller in the installation folder
    char folder[MAX_PATH];       // the installation folder
};

const char* SkipBlanks(const char* at) {
    while (*at == ' ' || *at == '\t') ++at;
    return at;
}

bool StartsWith(const char* text, const char* prefix) {
    int length = lstrlenA(prefix);
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text, length, prefix, length) == CSTR_EQUAL;
}

HANDLE ReadHandle(const char** at) {
    ULONG_PTR value = 0;
    for (;; ++*at) {
        char c = **at;
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) break;
        value = value * 16 + static_cast<ULONG_PTR>(digit);
    }
    return reinterpret_cast<HANDLE>(value);
}

bool ParseArguments(const char* line, Arguments* arguments) {
    for (const char* at = SkipBlanks(line); *at != 0; at = SkipBlanks(at)) {
        if (StartsWith(at, kStarterSwitch)) {
            CopyBounded(at + lstrlenA(kStarterSwitch), arguments->starterPath, sizeof arguments->starterPath);
            return arguments->relayed && arguments->starterPath[0] != 0;
        }
        if (StartsWith(at, "/S") && (at[2] == 0 || at[2] == ' ' || at[2] == '\t')) {
            arguments->silent = true;
            at += 2;
        } else if (StartsWith(at, kRelaySwitch)) {
            at += lstrlenA(kRelaySwitch);
            arguments->starter = ReadHandle(&at);
            if (*at++ != ',') return false;
            arguments->pipe = ReadHandle(&at);
            arguments->relayed = true;
        } else {
            return false;
        }
    }
    return !arguments->relayed;  // the copy is always told where it came from
}

// The data the builder appended to this program; the buffer is kept for the
// process's life.
bool ReadOwnData(const char* selfPath, UninstallData* data) {
    HANDLE file = CreateFileA(selfPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = false;
    LARGE_INTEGER size = {};
    uint8_t trailer[kUninstallTrailerSize];
    DWORD got = 0;
    if (GetFileSizeEx(file, &size) && size.QuadPart >= kUninstallTrailerSize) {
        LARGE_INTEGER at;
        at.QuadPart = size.QuadPart - kUninstallTrailerSize;
        if (SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ReadFile(file, trailer, sizeof trailer, &got, nullptr) &&
            got == sizeof trailer) {
            uint32_t length = UninstallDataLength(trailer, static_cast<uint64_t>(size.QuadPart));
            char* text = length ? static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, length)) : nullptr;
            at.QuadPart -= length;
            ok = text != nullptr && SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
                 ReadFile(file, text, length, &got, nullptr) && got == length && ParseUninstallData(text, length, data);
        }
    }
    CloseHandle(file);
    return ok;
}

void Text(const UiStringTable* texts, unsigned short id, char* buffer, int size) {
    LookupUiString(texts, id, buffer, static_cast<unsigned int>(size));
}

int Ask(const UiStringTable* texts, const char* productName) {
    char format[512], text[1100], caption[64];
    Text(texts, kConfirmText, format, sizeof format);
    wsprintfA(text, format, productName);
    Text(texts, kUninstallCaptionText, caption, sizeof caption);
    return MessageBoxA(nullptr, text, caption, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND);
}

void ShowReport(const UiStringTable* texts, const char* productName, const RemovalReport& report) {
    char text[5000];
    char format[512], caption[64], heading[256];
    bool complete = report.leftCount == 0 && report.restartCount == 0;
    Text(texts, complete ? kRemovedText : kPartlyRemovedText, format, sizeof format);
    wsprintfA(text, format, productName);
    if (report.restartCount != 0) {
        Text(texts, kAtRestartText, heading, sizeof heading);
        AppendBounded("\n\n", text, sizeof text);
        AppendBounded(heading, text, sizeof text);
        AppendBounded("\n", text, sizeof text);
        AppendBounded(report.atRestart, text, sizeof text);
    }
    if (report.leftCount != 0) {
        Text(texts, kNotRemovedText, heading, sizeof heading);
        AppendBounded("\n\n", text, sizeof text);
        AppendBounded(heading, text, sizeof text);
        AppendBounded("\n", text, sizeof text);
        AppendBounded(report.left, text, sizeof text);
    }
    Text(texts, kUninstallCaptionText, caption, sizeof caption);
    MessageBoxA(nullptr, text, caption, (complete ? MB_ICONINFORMATION : MB_ICONEXCLAMATION) | MB_SETFOREGROUND);
}

// Removes the uninstaller's own file in the folder once the program started
// from there has ended (its image may stay locked a moment longer).
void RemoveStarterFile(const char* path, RemovalReport* report) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (DeleteFileA(path) || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return;
        Sleep(100);
    }
    RemoveFileNoting(path, report);
}

int Uninstall(const Arguments& arguments, const char* selfPath, const UninstallData& data,
              const UiStringTable* texts) {
    const char* uninstallerInFolder = arguments.starterPath;
    char productName[32];
    ProductDisplayName(data, productName, sizeof productName);
    if (!arguments.silent && Ask(texts, productName) != IDYES) {
        if (arguments.relayed) ReportToStarter(arguments.starter, arguments.pipe, kUninstallExitCancelled, 0);
        if (arguments.relayed) MoveFileExA(selfPath, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        return kUninstallExitCancelled;
    }

    RemovalReport report = {};
    const char* folder = arguments.folder;
    CloseRunningProduct(data.windowClass, kCloseProductWaitMs);
    RemoveInstalledFiles(folder, data, &report);
    RemoveShortcuts(folder, data, &report);
    RemoveRecords(folder, data, &report);

    if (arguments.relayed) {
        int exitCode = report.leftCount == 0 && report.restartCount == 0 ? kUninstallExitRemoved : kUninstallExitIncomplete;
        ReportToStarter(arguments.starter, arguments.pipe, exitCode, kStarterWaitMs);
        RemoveStarterFile(uninstallerInFolder, &report);
        // This copy in the temporary folder goes at the next restart.
        MoveFileExA(selfPath, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    } else {
        // No copy could run: this very file is in use until the end.
        RemoveFileNoting(uninstallerInFolder, &report);
    }
    bool selfPending = GetFileAttributesA(uninstallerInFolder) != INVALID_FILE_ATTRIBUTES;
    RemoveEmptyFolder(folder, selfPending, &report);

    if (!arguments.silent) ShowReport(texts, productName, report);
    return report.leftCount == 0 && report.restartCount == 0 ? kUninstallExitRemoved : kUninstallExitIncomplete;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    const UiStringTable* texts = SelectUninstallTexts();
    // Locals, not statics: zero-filled statics would be stored in the program file.
    Arguments arguments = {};
    if (!ParseArguments(commandLine, &arguments)) {
        if (!arguments.silent) {
            char usage[512], caption[64];
            Text(texts, kUninstallUsageText, usage, sizeof usage);
            Text(texts, kUninstallCaptionText, caption, sizeof caption);
            MessageBoxA(nullptr, usage, caption, MB_ICONHAND);
        }
        return kUninstallExitBadCommandLine;
    }

    char selfPath[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, selfPath, sizeof selfPath);
    if (length == 0 || length >= sizeof selfPath) return kUninstallExitIncomplete;
    UninstallData data = {};
    if (!ReadOwnData(selfPath, &data)) {
        // Not made by the builder (or damaged): it knows nothing to remove.
        if (!arguments.silent) MessageBoxA(nullptr, "This uninstaller carries no installation data.", nullptr, MB_ICONHAND);
        return kUninstallExitIncomplete;
    }

    if (!arguments.relayed) {
        int exitCode = 0;
        if (RunFromTemporaryCopy(selfPath, arguments.silent, &exitCode)) return exitCode;
        AssignBounded(selfPath, arguments.starterPath, sizeof arguments.starterPath);
    }
    AssignBounded(arguments.starterPath, arguments.folder, sizeof arguments.folder);
    CutToDirectory(arguments.folder);

    OleInitialize(nullptr);
    int exitCode = Uninstall(arguments, selfPath, data, texts);
    OleUninitialize();
    return exitCode;
}
