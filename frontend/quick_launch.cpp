#include "frontend/quick_launch.h"

#include <windows.h>
#include <shlobj.h>

#include "install/shortcuts.h"
#include "util/bounded_string.h"

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
