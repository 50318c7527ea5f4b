#include "install/registry_records.h"

#include <windows.h>

#include <cstring>

#include "common/setup_state.h"
#include "install/install_log.h"
#include "util/bounded_string.h"

namespace {

const char kMakerKey[] = "Software\\Tallgrove";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

HKEY CreateKeyForWriting(HKEY root, const char* path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

// String values are stored with their terminating zero counted in the length.
bool SetStringValue(HKEY key, const char* name, const char* text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

void LogRecord(const char* root, const char* keyPath, const char* valueName, const char* data) {
    char line[800];
    CopyBounded(root, line, sizeof line);
    AppendBounded(keyPath, line, sizeof line);
    AppendBounded(" ", line, sizeof line);
    AppendBounded(valueName, line, sizeof line);
    AppendBounded(" = ", line, sizeof line);
    AppendBounded(data, line, sizeof line);
    LogInstallLine("Record", line);
}

}  // namespace

void WriteFolderRecord(const char* folder) {
    char valueName[4];
    CopyBounded(gSetupState ? gSetupState->productId : nullptr, valueName, sizeof valueName);
    if (valueName[0] == 0 || folder == nullptr || folder[0] == 0) return;
    HKEY key = CreateKeyForWriting(HKEY_CURRENT_USER, kMakerKey);
    if (key == nullptr) return;
    if (SetStringValue(key, valueName, folder)) LogRecord("HKEY_CURRENT_USER\\", kMakerKey, valueName, folder);
    RegCloseKey(key);
}

void WriteUninstallRecord(const char* uninstallerPath) {
    char displayName[32];
    CopyBounded(gSetupState ? gSetupState->group : nullptr, displayName, sizeof displayName);
    // Without a name the values would land in the Uninstall key itself, where
    // they belong to no program.
    if (displayName[0] == 0 || uninstallerPath == nullptr) return;
    char keyPath[512];
    CopyBounded(kUninstallKey, keyPath, sizeof keyPath);
    AppendBounded(displayName, keyPath, sizeof keyPath);
    HKEY key = CreateKeyForWriting(HKEY_LOCAL_MACHINE, keyPath);
    if (key == nullptr) return;
    SetStringValue(key, "DisplayName", displayName);
    if (SetStringValue(key, "UninstallString", uninstallerPath)) {
        LogRecord("HKEY_LOCAL_MACHINE\\", keyPath, "UninstallString", uninstallerPath);
    }
    SetStringValue(key, "Publisher", "Tallgrove");
    RegCloseKey(key);
}
