#include "frontend/browse_folder.h"

#include <shlobj.h>

#include "util/bounded_string.h"

namespace {

// Parses a path into an item list with the desktop folder; null when it cannot.
LPITEMIDLIST ParsePath(IShellFolder* desktop, HWND owner, const char* path) {
    uint16_t wide[260];
    NarrowToWide(path, wide, 260);
    LPITEMIDLIST list = nullptr;
    if (FAILED(desktop->ParseDisplayName(owner, nullptr, reinterpret_cast<LPWSTR>(wide), nullptr, &list, nullptr))) {
        return nullptr;
    }
    return list;
}

}  // namespace

void MakeFullPath(char* path) {
    char full[260];
    DWORD n = GetFullPathNameA(path, sizeof full, full, nullptr);
    if (n > 0 && n < sizeof full) CopyBounded(full, path, 260);
}

int CALLBACK PreselectFolder(HWND browseWindow, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED) SendMessageA(browseWindow, BFFM_SETSELECTIONA, 0, data);
    return 0;
}

LPITEMIDLIST ParseInitialFolder(IShellFolder* desktop, HWND owner, char* path) {
    if (desktop == nullptr || path == nullptr || path[0] == 0) return nullptr;
    MakeFullPath(path);
    LPITEMIDLIST folder = ParsePath(desktop, owner, path);
    if (folder == nullptr) {
        // A folder that does not exist yet: start at its parent.
        CutToDirectory(path);
        folder = ParsePath(desktop, owner, path);
    }
    return folder;
}

void BrowseForDestination(HWND dialog, int editId) {
    char path[260] = "";
    GetDlgItemTextA(dialog, editId, path, sizeof path);

    BROWSEINFOA info = {};
    info.hwndOwner = dialog;
    info.ulFlags = BIF_RETURNONLYFSDIRS;

    IMalloc* allocator = nullptr;
    IShellFolder* desktop = nullptr;
    LPITEMIDLIST preselected = nullptr;
    if (path[0] != 0 && SUCCEEDED(SHGetMalloc(&allocator)) && SUCCEEDED(SHGetDesktopFolder(&desktop))) {
        preselected = ParseInitialFolder(desktop, dialog, path);
        if (preselected != nullptr) {
            info.lpfn = PreselectFolder;
            info.lParam = reinterpret_cast<LPARAM>(preselected);
        }
    }

    LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
    if (chosen != nullptr) {
        char folder[MAX_PATH];
        if (SHGetPathFromIDListA(chosen, folder)) SetDlgItemTextA(dialog, editId, folder);
    }

    if (allocator == nullptr) SHGetMalloc(&allocator);
    if (allocator != nullptr) {
        if (chosen != nullptr) allocator->Free(chosen);
        if (preselected != nullptr) allocator->Free(preselected);
        allocator->Release();
    }
    if (desktop != nullptr) desktop->Release();
}
