#include "uninstall/uninstall_steps.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "common/shell_folders.h"
#include "install/shortcuts.h"
#include "util/bounded_string.h"

namespace {

const char kMakerKey[] = "Software\\Tallgrove";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// The shortcuts the setup puts in the program group besides the group's own.
const char* const kGroupShortcutNames[] = {"Uninstall", "License", "Order", "Bestellung"};

// The target of a shell link, or empty when it cannot be read.
void ReadLinkTarget(const char* linkPath, char* target, int size) {
    target[0] = 0;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))) || link == nullptr) {
        return;
    }
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) && file != nullptr) {
        uint16_t wide[MAX_PATH];
        NarrowToWide(linkPath, wide, MAX_PATH);
        if (SUCCEEDED(file->Load(reinterpret_cast<LPCOLESTR>(wide), STGM_READ)) &&
            FAILED(link->GetPath(target, size, nullptr, SLGP_RAWPATH))) {
            target[0] = 0;
        }
        file->Release();
    }
    link->Release();
}

// Removes folder\name.lnk when it points at a file in installFolder.
void RemoveLinkInto(const char* folder, const char* name, const char* installFolder, RemovalReport* report) {
    if (folder[0] == 0 || name[0] == 0) return;
    char linkPath[MAX_PATH];
    AssignBounded(folder, linkPath, sizeof linkPath);
    JoinPath(name, linkPath, sizeof linkPath);
    if (AppendBounded(".lnk", linkPath, sizeof linkPath) != kStringDone) return;
    if (GetFileAttributesA(linkPath) == INVALID_FILE_ATTRIBUTES) return;
    char target[MAX_PATH];
    ReadLinkTarget(linkPath, target, sizeof target);
    if (target[0] == 0) return;
    CutToDirectory(target);
    if (SameFolder(target, installFolder)) RemoveFileNoting(linkPath, report);
}

void RemoveGroupIn(int csidl, const char* folder, const UninstallData& data, const char* displayName,
                   RemovalReport* report) {
    char groupFolder[MAX_PATH];
    GetSpecialFolderPath(csidl, groupFolder);
    if (groupFolder[0] == 0 || data.group[0] == 0) return;
    if (JoinPath(data.group, groupFolder, sizeof groupFolder) != kStringDone) return;
    if (GetFileAttributesA(groupFolder) == INVALID_FILE_ATTRIBUTES) return;
    RemoveLinkInto(groupFolder, displayName, folder, report);
    for (const char* name : kGroupShortcutNames) RemoveLinkInto(groupFolder, name, folder, report);
    RemoveEmptyFolder(groupFolder, false, report);
}

// The registry's text value, or empty.
void ReadValue(HKEY root, const char* keyPath, const char* name, char* value, DWORD size) {
    value[0] = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    DWORD type = 0;
    DWORD length = size - 1;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &length) != ERROR_SUCCESS ||
        type != REG_SZ) {
        length = 0;
    }
    value[length < size ? length : size - 1] = 0;
    RegCloseKey(key);
}

bool KeyIsEmpty(HKEY root, const char* keyPath) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD subkeys = 1, values = 1;
    LONG status = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                   nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && subkeys == 0 && values == 0;
}

struct CloseJob {
    const char* windowClass;
};

DWORD WINAPI CloseWindowsOfClass(LPVOID argument) {
    const char* windowClass = static_cast<CloseJob*>(argument)->windowClass;
    for (;;) {
        HWND window = FindWindowA(windowClass, nullptr);
        if (window == nullptr) return 0;
        SendMessageA(window, WM_DESTROY, 0, 0);
    }
}

}  // namespace

bool SameFolder(const char* a, const char* b) {
    char left[MAX_PATH + 1];
    char right[MAX_PATH + 1];
    AssignBounded(a, left, sizeof left);
    AssignBounded(b, right, sizeof right);
    EnsureTrailingSeparator(left, sizeof left);
    EnsureTrailingSeparator(right, sizeof right);
    return left[0] != 0 && lstrcmpiA(left, right) == 0;
}

void ProductDisplayName(const UninstallData& data, char* name, int size) {
    CopyBounded(data.group, name, size);
    if (name[0] != 0) return;
    CopyBounded(data.exeName, name, size);
    char* dot = std::strrchr(name, '.');
    if (dot != nullptr && dot != name) *dot = 0;
}

void CloseRunningProduct(const char* windowClass, unsigned long timeoutMs) {
    if (windowClass == nullptr || windowClass[0] == 0) return;
    static CloseJob job;
    job.windowClass = windowClass;
    // A window that never goes away must not hold the uninstaller for ever;
    // the files it keeps open are then removed at the next restart.
    HANDLE thread = CreateThread(nullptr, 0, CloseWindowsOfClass, &job, 0, nullptr);
    if (thread == nullptr) return;
    WaitForSingleObject(thread, timeoutMs);
    CloseHandle(thread);
}

void RemoveInstalledFiles(const char* folder, const UninstallData& data, RemovalReport* report) {
    const char* name = data.files;
    for (int i = 0; i < data.fileCount; ++i, name += std::strlen(name) + 1) {
        char path[MAX_PATH];
        AssignBounded(folder, path, sizeof path);
        if (JoinPath(name, path, sizeof path) != kStringDone) continue;
        RemoveFileNoting(path, report);
    }
    // What the setup renamed before installing (an old system library) is
    // the user's and stays; the setup's own copy is in the list above.
}

void RemoveShortcuts(const char* folder, const UninstallData& data, RemovalReport* report) {
    char displayName[32];
    ProductDisplayName(data, displayName, sizeof displayName);
    RemoveGroupIn(CSIDL_COMMON_PROGRAMS, folder, data, displayName, report);
    RemoveGroupIn(CSIDL_PROGRAMS, folder, data, displayName, report);
    char place[MAX_PATH];
    GetSpecialFolderPath(CSIDL_DESKTOP, place);
    RemoveLinkInto(place, displayName, folder, report);
    GetQuickLaunchPath(place, sizeof place);
    RemoveLinkInto(place, displayName, folder, report);
}

void RemoveRecords(const char* folder, const UninstallData& data, RemovalReport* report) {
    char value[MAX_PATH + 1];
    if (data.productId[0] != 0) {
        ReadValue(HKEY_CURRENT_USER, kMakerKey, data.productId, value, sizeof value);
        if (SameFolder(value, folder)) {
            HKEY key = nullptr;
            bool removed = RegOpenKeyExA(HKEY_CURRENT_USER, kMakerKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS &&
                           RegDeleteValueA(key, data.productId) == ERROR_SUCCESS;
            if (key != nullptr) RegCloseKey(key);
            if (!removed) NoteLeft(report, "HKEY_CURRENT_USER\\Software\\Tallgrove");
            // The maker's key goes with its last value.
            if (removed && KeyIsEmpty(HKEY_CURRENT_USER, kMakerKey)) RegDeleteKeyA(HKEY_CURRENT_USER, kMakerKey);
        }
    }
    if (data.group[0] != 0) {
        char keyPath[512];
        CopyBounded(kUninstallKey, keyPath, sizeof keyPath);
        AppendBounded(data.group, keyPath, sizeof keyPath);
        ReadValue(HKEY_LOCAL_MACHINE, keyPath, "UninstallString", value, sizeof value);
        CutToDirectory(value);
        if (value[0] != 0 && SameFolder(value, folder) && RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath) != ERROR_SUCCESS) {
            char item[600] = "HKEY_LOCAL_MACHINE\\";
            AppendBounded(keyPath, item, sizeof item);
            NoteLeft(report, item);
        }
    }
}
