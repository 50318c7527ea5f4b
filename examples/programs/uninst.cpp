// UnInst.exe: removes what the setup made for the demo product: the installed
// files, the shortcuts and both registry records. "/S" removes without asking.
#include <windows.h>
#include <shlobj.h>

#include "demo_identity.h"

namespace {

// Deletes a file or a whole folder tree through the shell, without asking.
void DeleteTree(const char* path) {
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return;
    char list[MAX_PATH + 2] = {};
    lstrcpynA(list, path, MAX_PATH);
    SHFILEOPSTRUCTA operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = list;
    operation.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    SHFileOperationA(&operation);
}

void SpecialFolder(int csidl, const char* tail, char* out) {
    out[0] = 0;
    if (!SHGetSpecialFolderPathA(nullptr, out, csidl, FALSE)) {
        out[0] = 0;
        return;
    }
    lstrcatA(out, tail);
}

void RemoveShortcuts() {
    char path[MAX_PATH * 2];
    SpecialFolder(CSIDL_COMMON_PROGRAMS, "\\" DEMO_GROUP, path);
    if (path[0]) DeleteTree(path);
    SpecialFolder(CSIDL_PROGRAMS, "\\" DEMO_GROUP, path);
    if (path[0]) DeleteTree(path);
    SpecialFolder(CSIDL_DESKTOPDIRECTORY, "\\" DEMO_GROUP ".lnk", path);
    if (path[0]) DeleteFileA(path);
    SpecialFolder(CSIDL_APPDATA, "\\Microsoft\\Internet Explorer\\Quick Launch\\" DEMO_GROUP ".lnk", path);
    if (path[0]) DeleteFileA(path);
}

void RemoveRecords() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, DEMO_PUBLISHER_KEY, 0, KEY_WRITE | KEY_READ, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, DEMO_PRODUCT_ID);
        DWORD values = 0, subkeys = 0;
        bool empty = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                      nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                     values == 0 && subkeys == 0;
        RegCloseKey(key);
        if (empty) RegDeleteKeyA(HKEY_CURRENT_USER, DEMO_PUBLISHER_KEY);
    }
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, DEMO_UNINSTALL_KEY);
}

// Every file of the installation folder but this program, which Windows does
// not let a running program delete: it and the folder go at the next restart.
void RemoveFiles(const char* self) {
    char folder[MAX_PATH];
    lstrcpynA(folder, self, MAX_PATH);
    char* slash = folder;
    for (char* p = folder; *p; p = CharNextA(p)) {
        if (*p == '\\') slash = p;
    }
    *slash = 0;
    char pattern[MAX_PATH + 4];
    wsprintfA(pattern, "%s\\*", folder);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (lstrcmpA(found.cFileName, ".") == 0 || lstrcmpA(found.cFileName, "..") == 0) continue;
            char path[MAX_PATH * 2];
            wsprintfA(path, "%s\\%s", folder, found.cFileName);
            if (lstrcmpiA(path, self) == 0) continue;
            SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(path);
            } else {
                DeleteFileA(path);
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    MoveFileExA(folder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    bool quiet = commandLine != nullptr && (lstrcmpiA(commandLine, "/S") == 0 || lstrcmpiA(commandLine, "-S") == 0);
    if (!quiet && MessageBoxA(nullptr, "Remove " DEMO_GROUP " and all of its files?", DEMO_GROUP " uninstall",
                              MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return 1;
    }
    char self[MAX_PATH];
    if (GetModuleFileNameA(nullptr, self, MAX_PATH) == 0) return 2;
    RemoveShortcuts();
    RemoveRecords();
    RemoveFiles(self);
    if (!quiet) MessageBoxA(nullptr, DEMO_GROUP " has been removed.", DEMO_GROUP " uninstall", MB_ICONINFORMATION);
    return 0;
}
