#include "frontend/unattended_setup.h"

#include <commctrl.h>

#include <cstring>

#include "archive/extract_archive.h"
#include "frontend/default_destination.h"
#include "frontend/language_list.h"
#include "frontend/running_product.h"
#include "resources/setup_ids.h"
#include "frontend/setup_state.h"
#include "frontend/survey.h"
#include "frontend/ui_strings.h"
#include "install/file_operations.h"
#include "install/install_context.h"
#include "install/install_log.h"
#include "install/install_procedure.h"
#include "util/bounded_string.h"
#include "util/setup_text.h"

SetupCommandLine gSetupCommandLine;

namespace {

const int kMaxLanguages = 64;
// How long the setup waits for a running copy of the product to close
// before it installs anyway (the files it holds then go through the retry).
const DWORD kCloseProductWaitMs = 10000;
const int kLanguageSuffixLength = 7;  // "_XX.LNG"

// The language rows the dialog would show: English, German and one per
// language file of the archive.
struct LanguageRows {
    LanguageChoice rows[kMaxLanguages];
    int count;
};

void AddRow(LanguageRows* rows, LanguageTag tag) {
    for (int i = 0; i < rows->count; ++i) {
        if (rows->rows[i].tag == tag) return;
    }
    if (rows->count == kMaxLanguages) return;
    rows->rows[rows->count++] = {tag, true};
}

char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The survey pass without a dialog: the same answers to the query calls,
// the title's group, the settings and the languages noted in the rows.
int UnattendedSurveyCallback(char* nameBuffer, const uint8_t* data, uint32_t size, void* userData) {
    if (data == nullptr) return SurveyEntryCallback(nameBuffer, nullptr, size, nullptr);
    LanguageRows* rows = static_cast<LanguageRows*>(userData);
    const char* text = reinterpret_cast<const char*>(data);
    switch (static_cast<uint8_t>(nameBuffer[0])) {
    case kSurveyTitleFile: {
        char title[128];
        char version[32];
        ParseTitleLine(text, title, version);
        if (gSetupState->group[0] == 0) AssignBounded(title, gSetupState->group, sizeof gSetupState->group);
        break;
    }
    case kSurveySettingsFile:
        ReadInstallKeys(text);
        break;
    case kSurveyLanguageFile: {
        int length = static_cast<int>(std::strlen(nameBuffer));
        if (size <= static_cast<uint32_t>(kLanguageSuffixLength) || length < kLanguageSuffixLength) break;
        char name[260];
        ParseLanguageName(data, size, name);
        if (name[0] == 0) break;
        AddRow(rows, MakeLanguageTag(UpperAscii(nameBuffer[length - 6]), UpperAscii(nameBuffer[length - 5])));
        break;
    }
    default:
        break;
    }
    return 0;
}

// Logs the result line, "CODE what", and returns the exit code (0 to 3).
int Finish(int exitCode, const char* what) {
    char line[400] = {static_cast<char>('0' + exitCode), ' ', 0};
    AppendBounded(what, line, sizeof line);
    LogInstallLine("Result", line);
    return exitCode;
}

bool Requested(LanguageTag tag) {
    for (int i = 0; i < gSetupCommandLine.languageCount; ++i) {
        const char* code = gSetupCommandLine.languages[i];
        if (MakeLanguageTag(code[0], code[1]) == tag) return true;
    }
    return false;
}

void CloseRunningProduct() {
    if (gSetupState->windowClass[0] == 0) CopyBounded(gSetupState->group, gSetupState->windowClass, 32);
    if (gSetupState->windowClass[0] == 0) return;
    HANDLE thread = CreateThread(nullptr, 0, CloseRunningProductThread, nullptr, 0, nullptr);
    if (thread == nullptr) return;
    WaitForSingleObject(thread, kCloseProductWaitMs);
    CloseHandle(thread);
}

}  // namespace

int RunUnattendedSetup() {
    LogInstallLine("Setup", gSetupState->selfPath);
    // Locals, not statics: zero-filled statics would be stored in the program file.
    LanguageRows rows;
    rows.count = 0;
    AddRow(&rows, MakeLanguageTag('U', 'S'));
    AddRow(&rows, MakeLanguageTag('D', 'E'));
    if (ExtractArchive(gSetupState->selfPath, UnattendedSurveyCallback, &rows) != kExtractOk) {
        return Finish(kSetupExitDamaged, "the setup file is damaged, nothing was installed");
    }

    if (gSetupCommandLine.languageCount != 0) {
        for (int i = 0; i < gSetupCommandLine.languageCount; ++i) {
            const char* code = gSetupCommandLine.languages[i];
            bool offered = false;
            LanguageTag tag = MakeLanguageTag(code[0], code[1]);
            for (int row = 0; row < rows.count; ++row) offered = offered || rows.rows[row].tag == tag;
            if (!offered) {
                char what[80] = "this setup does not offer the language ";
                AppendBounded(code, what, sizeof what);
                return Finish(kSetupExitBadCommandLine, what);
            }
        }
        for (int row = 0; row < rows.count; ++row) rows.rows[row].ticked = Requested(rows.rows[row].tag);
    }

    InstallContext context;
    std::memset(&context, 0, sizeof context);
    context.languages = rows.rows;
    context.languageCount = rows.count;
    CopyBounded(gSetupState->exeName, context.exeName, sizeof context.exeName);
    if (gSetupCommandLine.destination[0] != 0) {
        // A relative folder is taken from the current folder, as the shell would.
        DWORD length = GetFullPathNameA(gSetupCommandLine.destination, 258, context.destination, nullptr);
        if (length == 0 || length >= 258) context.destination[0] = 0;
    } else {
        DefaultDestination(context.destination, 258);
    }
    if (context.destination[0] == 0) return Finish(kSetupExitCannotWrite, "no destination folder");

    CloseRunningProduct();
    QuietShellOperations();
    bool icons = !gSetupCommandLine.noIcons;
    InstallChoices choices = {icons, icons, icons};
    bool passFailed = false;
    int result = PerformInstall(&context, choices, &passFailed);
    if (result == kExtractOk) return Finish(kSetupExitInstalled, context.destination);
    if (passFailed && result != kExtractCannotCreate) {
        return Finish(kSetupExitDamaged, "the setup file is damaged; the files written so far stay");
    }
    return Finish(kSetupExitCannotWrite, context.destination);
}

void ApplyCommandLineToDialog(HWND dialog) {
    const SetupCommandLine& options = gSetupCommandLine;
    if (options.destination[0] != 0) SetDlgItemTextA(dialog, kDestinationEditId, options.destination);
    if (options.noIcons) {
        CheckDlgButton(dialog, kStartMenuBoxId, BST_UNCHECKED);
        CheckDlgButton(dialog, kDesktopBoxId, BST_UNCHECKED);
        CheckDlgButton(dialog, kQuickLaunchBoxId, BST_UNCHECKED);
    }
    HWND list = GetDlgItem(dialog, kLanguageListId);
    if (options.languageCount == 0 || list == nullptr) return;
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        LVITEMA item = {};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(Requested(GetLanguageTag(list, row)) ? 2 : 1);
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }
}

int ShowCommandLineUsage(const char* problem) {
    char text[1400];
    CopyBounded(problem, text, sizeof text);
    AppendBounded(".\n\n", text, sizeof text);
    AppendBounded(kSetupUsage, text, sizeof text);
    char caption[64];
    LookupUiString(gSetupState->uiStrings, 1000, caption, sizeof caption - 1);
    MessageBoxA(nullptr, text, caption, MB_ICONHAND | MB_OK);
    return kSetupExitBadCommandLine;
}
