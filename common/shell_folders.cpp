#include "common/shell_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "util/bounded_string.h"

void GetSpecialFolderPath(int csidl, char* output) {
    output[0] = 0;
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &items)) || items == nullptr) return;
    if (!SHGetPathFromIDListA(items, output)) output[0] = 0;
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator != nullptr) {
        allocator->Free(items);
        allocator->Release();
    }
}

void GetQuickLaunchPath(char* output, int size) {
    if (output == nullptr || size <= 0) return;
    output[0] = 0;
    char folder[MAX_PATH];
    GetSpecialFolderPath(CSIDL_APPDATA, folder);
    if (folder[0] == 0) return;
    AppendBounded(folder, output, size);
    AppendBounded("\\Microsoft\\Internet Explorer\\Quick Launch", output, size);
}

int QuickLaunchExists() {
    char path[MAX_PATH];
    GetQuickLaunchPath(path, sizeof path);
    return (path[0] != 0 && ProbePath(path) == 0) ? 1 : 0;
}
