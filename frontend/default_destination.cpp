#include "frontend/default_destination.h"

#include <commctrl.h>

#include <cstring>

#include "common/shell_folders.h"
#include "frontend/language_list.h"
#include "frontend/setup_state.h"
#include "resources/setup_ids.h"
#include "util/bounded_string.h"

namespace {

const int kPathSize = 260;

// Reads a registry text into buffer. On any failure (missing key or value, a
// value that does not fit) the buffer is left empty, never half-written.
bool ReadRegistryText(HKEY root, const char* keyPath, const char* valueName, char* buffer, int size) {
    buffer[0] = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD length = static_cast<DWORD>(size);
    LONG status = RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &length);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        buffer[0] = 0;
        return false;
    }
    // A value stored without its terminator gets one; one that fills the
    // whole buffer without it does not fit.
    if (length < static_cast<DWORD>(size)) {
        buffer[length] = 0;
    } else if (buffer[size - 1] != 0) {
        buffer[0] = 0;
        return false;
    }
    return true;
}

}  // namespace

void DefaultDestination(char* buffer, int size) {
    if (buffer == nullptr || size <= 0) return;
    buffer[0] = 0;
    const char* productId = gSetupState->productId;
    if (productId[0] != 0 && ReadRegistryText(HKEY_CURRENT_USER, "Software\\Tallgrove", productId, buffer, size) &&
        buffer[0] != 0) {
        return;  // the folder of the earlier installation, as it was recorded
    }

    ReadRegistryText(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", buffer,
                     size);
    if (buffer[0] == 0) {
        DWORD length = GetEnvironmentVariableA("ProgramFiles", buffer, static_cast<DWORD>(size));
        if (length == 0 || length >= static_cast<DWORD>(size)) buffer[0] = 0;
    }
    if (buffer[0] == 0) {
        UINT length = GetWindowsDirectoryA(buffer, static_cast<UINT>(size));
        if (length != 0 && length < static_cast<UINT>(size)) {
            CutToDirectory(buffer);
            EnsureTrailingSeparator(buffer, size);
            size_t root = std::strlen(buffer);
            AppendBounded("Programme", buffer, size);
            if (ProbePath(buffer) != 0) {
                buffer[root] = 0;
                AppendBounded("Program Files", buffer, size);
            }
        } else {
            buffer[0] = 0;
        }
    }
    if (buffer[0] == 0) return;
    EnsureTrailingSeparator(buffer, size);
    AppendClipped(gSetupState->group, buffer, size);
}

void ShowDefaultDestination(HWND dialog) {
    char folder[kPathSize];
    DefaultDestination(folder, sizeof folder);
    SetDlgItemTextA(dialog, kDestinationEditId, folder);
    if (ProbePath(folder) == 0) {
        // An update: keep the boxes unticked and the languages as installed.
        RefreshLanguageTicks(dialog, folder);
        return;
    }
    CheckDlgButton(dialog, kStartMenuBoxId, BST_CHECKED);
    CheckDlgButton(dialog, kDesktopBoxId, BST_CHECKED);
    if (QuickLaunchExists()) {
        CheckDlgButton(dialog, kQuickLaunchBoxId, BST_CHECKED);
    } else {
        ShowWindow(GetDlgItem(dialog, kQuickLaunchBoxId), SW_HIDE);
    }
}

void RefreshLanguageTicks(HWND dialog, const char* folder) {
    HWND list = GetDlgItem(dialog, kLanguageListId);
    if (list == nullptr) return;
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        LanguageTag tag = GetLanguageTag(list, row);
        if (tag == MakeLanguageTag('U', 'S') || tag == MakeLanguageTag('D', 'E')) continue;
        char code[3] = {static_cast<char>(tag & 0xFF), static_cast<char>((tag >> 8) & 0xFF), 0};
        char path[kPathSize];
        LanguageFilePath(folder, code, path, sizeof path);
        if (ProbePath(path) != 0) {
            LVITEMA item = {};
            item.stateMask = 0xF000;
            item.state = 0x1000;  // not ticked
            SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        }
    }
}

void LanguageFilePath(const char* folder, const char* code, char* output, int size) {
    if (output == nullptr || size <= 0) return;
    output[0] = 0;
    AppendBounded(folder, output, size);
    EnsureTrailingSeparator(output, size);
    AppendBounded(gSetupState->fileStem, output, size);
    AppendBounded("_", output, size);
    AppendClipped(code, output, size);
    AppendBounded(".LNG", output, size);
}
