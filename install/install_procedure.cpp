#include "install/install_procedure.h"

#include <cstring>

#include "archive/extract_archive.h"
#include "common/setup_state.h"
#include "frontend/ui_strings.h"
#include "install/file_operations.h"
#include "install/install_context.h"
#include "install/install_log.h"
#include "install/messages.h"
#include "install/registry_records.h"
#include "install/shortcuts.h"
#include "resources/setup_ids.h"
#include "util/bounded_string.h"

namespace {

const int kWorkSize = 264;

bool IsFolder(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Builds the installation under a fresh numbered temporary folder, standing in
// for the destination, after the destination could not be written. False
// when no temporary name could be made (the first pass's result stands).
bool PrepareRetry(InstallContext* context) {
    MakeTempFolderName(context->tempFolder, sizeof context->tempFolder);
    if (context->tempFolder[0] == 0) return false;
    char work[kWorkSize];
    AssignBounded(context->tempFolder, work, sizeof work);
    JoinPath(context->destination + FileNameOffset(context->destination), work, sizeof work);
    CopyBounded(context->destination, context->savedDestination, sizeof context->savedDestination);
    CopyBounded(work, context->destination, sizeof context->destination);
    CreateDirectoryTree(context->destination);
    return true;
}

// Moves the build of a retry to the folder the user gave. Moving the folder
// onto an existing one would leave it nested inside that one, so into an
// existing folder only its contents are moved, replacing files of the same
// name; the emptied stand-in is removed so that nothing of it can clash with
// the program group assembled under the temporary folder afterwards.
int MoveRetryIntoPlace(HWND dialog, InstallContext* context) {
    if (!IsFolder(context->savedDestination)) {
        return ShellMove(dialog, context->destination, context->savedDestination);
    }
    if (ShellMoveContents(dialog, context->destination, context->savedDestination) != 0) return -1;
    RemoveDirectoryA(context->destination);
    return 0;
}

// The product's name on the desktop and Quick Launch shortcuts and in the
// success message: the group, or the main program's name without its
// extension when the archive names no group.
void GetDisplayName(const InstallContext* context, char* name, int size) {
    CopyBounded(gSetupState->group, name, size);
    if (name[0] != 0) return;
    CopyBounded(context->exeName, name, size);
    char* dot = std::strrchr(name, '.');
    if (dot != nullptr && dot != name) *dot = 0;
}

bool IsTicked(HWND dialog, int box) {
    return IsDlgButtonChecked(dialog, box) == BST_CHECKED;
}

}  // namespace

int PerformInstall(InstallContext* context, const InstallChoices& choices, bool* passFailed) {
    *passFailed = false;
    // A missing or unready drive fails quietly instead of raising the
    // system's critical-error box.
    SetErrorMode(SEM_FAILCRITICALERRORS);
    CreateDirectoryTree(context->destination);
    RenameOldSystemLibrary(context->destination);

    int result = ExtractArchive(gSetupState->selfPath, InstallEntryCallback, context);
    if (result == kExtractCannotCreate && PrepareRetry(context)) {
        result = ExtractArchive(gSetupState->selfPath, InstallEntryCallback, context);
    }
    if (result != kExtractOk) {
        *passFailed = true;
        return result;
    }

    if (context->dialog != nullptr) SetDlgItemTextA(context->dialog, kStatusLineId, "");
    bool retried = context->tempFolder[0] != 0;
    if (retried) {
        result = MoveRetryIntoPlace(context->dialog, context);
        CopyBounded(context->savedDestination, context->destination, sizeof context->destination);
        if (result != 0) return -1;
    }

    char work[kWorkSize];
    WriteFolderRecord(context->destination);
    if (context->uninstallerName[0] != 0) {
        AssignBounded(context->destination, work, sizeof work);
        JoinPath(context->uninstallerName, work, sizeof work);
        WriteUninstallRecord(work);
    }

    char displayName[32];
    GetDisplayName(context, displayName, sizeof displayName);
    if (context->exeName[0] != 0) {
        if (choices.startMenu) CreateProgramGroup(context->dialog, context);
        AssignBounded(context->destination, work, sizeof work);
        JoinPath(context->exeName, work, sizeof work);
        if (choices.desktop) CreateDesktopShortcut(work, displayName);
        if (choices.quickLaunch) CreateQuickLaunchShortcut(work, displayName);
    }
    if (retried) ShellDelete(context->tempFolder);
    return 0;
}

int RunInstall(HWND dialog) {
    if (gSetupState == nullptr) return -1;

    InstallContext context;
    std::memset(&context, 0, sizeof context);
    context.dialog = dialog;
    CopyBounded(gSetupState->exeName, context.exeName, sizeof context.exeName);
    GetDlgItemTextA(dialog, kDestinationEditId, context.destination, 258);
    if (context.destination[0] == 0) return -1;

    HCURSOR previousCursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    // The dialog is blocked while the installation runs, so the boxes read
    // now are the ones the user left.
    InstallChoices choices = {IsTicked(dialog, kStartMenuBoxId), IsTicked(dialog, kDesktopBoxId),
                              IsTicked(dialog, kQuickLaunchBoxId)};
    bool passFailed = false;
    int result = PerformInstall(&context, choices, &passFailed);
    LogInstallLine("Result", result == 0 ? "installed" : "failed, the dialog stays open");
    SetCursor(previousCursor);
    if (result != 0) {
        // A build that could not be moved from the temporary folder into the
        // destination (one that cannot even be created, or a file there in
        // use) is reported like files that cannot be created: not every shell
        // says anything when its move fails, and without a word the user
        // would be left at an open dialog with no idea why.
        if (result == kExtractCannotCreate || !passFailed) {
            ShowSystemError(dialog, ERROR_CANNOT_MAKE, nullptr);
        } else {
            ShowUiMessage(dialog, kBrokenFileTextId, gSetupState->selfPath, MB_ICONHAND);
        }
        return result;
    }

    char work[kWorkSize];
    GetDisplayName(&context, work, 32);
    int length = static_cast<int>(std::strlen(work));
    if (length + 10 < kWorkSize) {
        LookupUiString(gSetupState->uiStrings, kSuccessTextId, work + length,
                       static_cast<unsigned int>(kWorkSize - 1 - length));
    }
    char caption[260];
    GetWindowTextA(dialog, caption, sizeof caption);
    ShowMessage(dialog, work, caption, MB_ICONINFORMATION);
    return result;
}
