#include "install/shortcuts.h"

#include <shlobj.h>

#include <cstdint>

#include "common/setup_state.h"
#include "common/shell_folders.h"
#include "install/fault_guard.h"
#include "install/install_log.h"
#include "install/file_operations.h"
#include "util/bounded_string.h"

namespace {

struct ShortcutJob {
    const char* linkPath;
    const char* targetPath;
    const char* workingFolder;
    HRESULT result;
};

void WriteShortcut(void* argument) {
    ShortcutJob* job = static_cast<ShortcutJob*>(argument);
    IShellLinkA* link = nullptr;
    job->result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link));
    if (FAILED(job->result) || link == nullptr) return;
    link->SetPath(job->targetPath);
    link->SetWorkingDirectory(job->workingFolder);
    link->SetShowCmd(SW_SHOW);
    IPersistFile* file = nullptr;
    job->result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(job->result) && file != nullptr) {
        uint16_t widePath[512];
        NarrowToWide(job->linkPath, widePath, 512);
        job->result = file->Save(reinterpret_cast<LPCOLESTR>(widePath), TRUE);
        file->Release();
    }
    link->Release();
}

// A shortcut named shortcutName + ".lnk" in folder, pointing at targetPath,
// whose working folder is the target's own folder.
void CreateShortcutIn(const char* folder, const char* targetPath, const char* shortcutName) {
    if (folder[0] == 0 || targetPath == nullptr) return;
    char paths[1024];
    char* linkPath = paths;
    char* workingFolder = paths + 512;
    AssignBounded(folder, linkPath, 512);
    JoinPath(shortcutName, linkPath, 512);
    AppendBounded(".lnk", linkPath, 512);
    AssignBounded(targetPath, workingFolder, 512);
    CutToDirectory(workingFolder);
    CreateShortcut(linkPath, targetPath, workingFolder);
}

}  // namespace

HRESULT CreateShortcut(const char* linkPath, const char* targetPath, const char* workingFolder) {
    ShortcutJob job = {linkPath, targetPath, workingFolder, E_FAIL};
    if (!RunFaultGuarded(WriteShortcut, &job)) return 0;
    if (SUCCEEDED(job.result)) LogInstallLine("Shortcut", linkPath);
    return job.result;
}

void CreateGroupShortcut(const char* shortcutName, const char* installedFolder, const char* targetFileName,
                         const char* groupFolder) {
    if (shortcutName == nullptr || shortcutName[0] == 0) return;
    if (targetFileName == nullptr || targetFileName[0] == 0) return;
    char target[512];
    char linkPath[512];
    AssignBounded(installedFolder, target, sizeof target);
    JoinPath(targetFileName, target, sizeof target);
    AssignBounded(groupFolder, linkPath, sizeof linkPath);
    JoinPath(shortcutName, linkPath, sizeof linkPath);
    AppendBounded(".lnk", linkPath, sizeof linkPath);
    CreateShortcut(linkPath, target, installedFolder);
}

void CreateProgramGroup(HWND owner, const InstallContext* context) {
    char programs[MAX_PATH] = {};
    GetSpecialFolderPath(CSIDL_COMMON_PROGRAMS, programs);
    if (programs[0] == 0) GetSpecialFolderPath(CSIDL_PROGRAMS, programs);
    if (programs[0] == 0) return;

    const char* group = gSetupState ? gSetupState->group : "";
    bool afterRetry = context->tempFolder[0] != 0;
    // After a retry the group is assembled under the temporary folder and
    // moved as a whole; both paths are then one-entry lists for the shell.
    char groupFolder[MAX_PATH] = {};
    char moveTarget[MAX_PATH] = {};
    if (afterRetry) {
        AssignBounded(programs, moveTarget, 256);
        AssignBounded(context->tempFolder, groupFolder, 256);
        JoinPath(group, groupFolder, 256);
    } else {
        AssignBounded(programs, groupFolder, sizeof groupFolder);
        JoinPath(group, groupFolder, sizeof groupFolder);
    }
    // An existing group (an earlier installation) is left as it is.
    if (CreateDirectoryTree(groupFolder) != kTreeCreated) return;

    const char* folder = context->destination;
    CreateGroupShortcut(group, folder, context->exeName, groupFolder);
    CreateGroupShortcut("Uninstall", folder, context->uninstallerName, groupFolder);
    CreateGroupShortcut("License", folder, context->licenseTextName, groupFolder);
    CreateGroupShortcut("Order", folder, context->orderFormName, groupFolder);
    if (context->germanEntryCount != 0) {
        CreateGroupShortcut("Bestellung", folder, context->germanOrderFormName, groupFolder);
    }
    if (afterRetry) ShellMove(owner, groupFolder, moveTarget);
}

void CreateDesktopShortcut(const char* targetPath, const char* shortcutName) {
    char folder[MAX_PATH];
    GetSpecialFolderPath(CSIDL_DESKTOP, folder);
    CreateShortcutIn(folder, targetPath, shortcutName);
}

void CreateQuickLaunchShortcut(const char* targetPath, const char* shortcutName) {
    char folder[MAX_PATH];
    GetQuickLaunchPath(folder, sizeof folder);
    CreateShortcutIn(folder, targetPath, shortcutName);
}
