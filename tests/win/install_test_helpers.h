// Shared pieces of the installation tests: a stand-in for the setup dialog
// built from real controls, a watcher that reads and closes message boxes,
// shortcut and registry readers, and guards that put the registry and the
// shell folders back as they were.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/shell_folders.h"
#include "frontend/language_list.h"
#include "frontend/setup_state.h"
#include "frontend/ui_strings.h"
#include "install/shortcuts.h"
#include "tests/support/archive_bytes.h"

namespace install_test {

// The system's text for an error code, as FormatMessage gives it.
inline std::string SystemText(DWORD code) {
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0x400,
                   reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = text != nullptr ? text : "";
    if (text != nullptr) LocalFree(text);
    return result;
}

inline INT_PTR CALLBACK InertDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// A modeless dialog with the controls the installation reads and writes:
// destination edit 1032, boxes 1041-1043, status line 1047 and the language
// list 1010 (report view with check boxes, the two built-in rows).
class InstallDialog {
public:
    explicit InstallDialog(bool withLanguageList = true) {
        InitCommonControls();
        struct {
            DLGTEMPLATE header;
            WORD menu, windowClass, title;
        } templateData = {};
        templateData.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        templateData.header.cx = 330;
        templateData.header.cy = 200;
        HINSTANCE instance = GetModuleHandleA(nullptr);
        dialog = CreateDialogIndirectParamA(instance, &templateData.header, nullptr, InertDialogProc, 0);
        if (dialog == nullptr) return;
        SetWindowTextA(dialog, "Setup Tool 1.0");
        Child("EDIT", ES_AUTOHSCROLL | WS_BORDER, 1032);
        Child("BUTTON", BS_AUTOCHECKBOX, 1041);
        Child("BUTTON", BS_AUTOCHECKBOX, 1042);
        Child("BUTTON", BS_AUTOCHECKBOX, 1043);
        Child("STATIC", 0, 1047);
        if (withLanguageList) {
            list = Child(WC_LISTVIEWA, LVS_REPORT | LVS_SORTASCENDING | WS_BORDER, 1010);
            SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
            LVCOLUMNA column = {};
            column.mask = LVCF_WIDTH | LVCF_TEXT;
            column.cx = 120;
            column.pszText = const_cast<char*>("Language");
            SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
            InsertBuiltInLanguages(list);
        }
    }
    ~InstallDialog() {
        if (dialog != nullptr) DestroyWindow(dialog);
    }
    InstallDialog(const InstallDialog&) = delete;
    InstallDialog& operator=(const InstallDialog&) = delete;

    void SetDestination(const std::string& folder) { SetDlgItemTextA(dialog, 1032, folder.c_str()); }
    void SetBoxes(bool startMenu, bool desktop, bool quickLaunch) {
        CheckDlgButton(dialog, 1041, startMenu ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, 1042, desktop ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, 1043, quickLaunch ? BST_CHECKED : BST_UNCHECKED);
    }
    void AddLanguage(const char* name, const char* code) {
        InsertLanguageRow(list, name, MakeLanguageTag(code[0], code[1]));
    }
    void SetTicked(const char* code, bool ticked) {
        int row = FindLanguageRow(list, MakeLanguageTag(code[0], code[1]));
        ASSERT_GE(row, 0) << code;
        LVITEMA item = {};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1);
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }
    std::string Status() const {
        char text[300] = "";
        GetDlgItemTextA(dialog, 1047, text, sizeof text);
        return text;
    }

    HWND dialog = nullptr;
    HWND list = nullptr;

private:
    HWND Child(const char* windowClass, DWORD style, int id) {
        return CreateWindowExA(0, windowClass, "", WS_CHILD | WS_VISIBLE | style, 10, 10 + id % 100 * 2, 200, 20,
                               dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                               nullptr);
    }
};

// A zero-filled setup state with the English texts, installed as the
// process-wide one for the test's lifetime.
class ScopedSetupState {
public:
    ScopedSetupState() {
        std::memset(&state, 0, sizeof state);
        std::strcpy(state.languageCode, "US");
        previous_ = gSetupState;
        gSetupState = &state;
        SelectDefaultLanguage();
    }
    ~ScopedSetupState() { gSetupState = previous_; }
    ScopedSetupState(const ScopedSetupState&) = delete;
    ScopedSetupState& operator=(const ScopedSetupState&) = delete;

    SetupState state;

private:
    SetupState* previous_;
};

// What a message box showed.
struct SeenBox {
    std::string text;
    std::string caption;
    std::string icon;  // "stop", "information", "other" or "none"
};

// Reads every message box this thread opens and closes it with its default
// button, through a CBT hook.
class MessageBoxWatcher {
public:
    MessageBoxWatcher() {
        active_ = this;
        hook_ = SetWindowsHookExA(WH_CBT, OnCbt, nullptr, GetCurrentThreadId());
    }
    ~MessageBoxWatcher() {
        if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
        active_ = nullptr;
    }
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    std::vector<SeenBox> boxes;

private:
    static BOOL CALLBACK ReadChild(HWND child, LPARAM parameter) {
        SeenBox* box = reinterpret_cast<SeenBox*>(parameter);
        char className[64] = "";
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpiA(className, "Static") != 0) return TRUE;
        LONG style = GetWindowLongA(child, GWL_STYLE);
        if ((style & SS_TYPEMASK) == SS_ICON) {
            HICON icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
            if (icon == LoadIcon(nullptr, IDI_HAND)) {
                box->icon = "stop";
            } else if (icon == LoadIcon(nullptr, IDI_ASTERISK)) {
                box->icon = "information";
            } else if (icon != nullptr) {
                box->icon = "other";
            }
            return TRUE;
        }
        char text[1024] = "";
        GetWindowTextA(child, text, sizeof text);
        if (text[0] != 0 && box->text.empty()) box->text = text;
        return TRUE;
    }

    static LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_ACTIVATE && active_ != nullptr) {
            HWND window = reinterpret_cast<HWND>(wParam);
            char className[64] = "";
            GetClassNameA(window, className, sizeof className);
            // Wine can report to this hook the activation of another
            // process's window on the same display (another test's box):
            // only this thread's boxes are read and closed.
            if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId() &&
                std::strcmp(className, "#32770") == 0 && IsMessageBox(window) && !IsKnown(window)) {
                SeenBox box;
                box.icon = "none";
                char caption[512] = "";
                GetWindowTextA(window, caption, sizeof caption);
                box.caption = caption;
                EnumChildWindows(window, ReadChild, reinterpret_cast<LPARAM>(&box));
                active_->boxes.push_back(box);
                active_->windows_.push_back(window);
                EndDialog(window, IDOK);
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    // A dialog with the standard buttons of a message box (the setup dialog's
    // stand-in has none).
    static bool IsMessageBox(HWND window) {
        return GetDlgItem(window, IDOK) != nullptr || GetDlgItem(window, IDCANCEL) != nullptr;
    }

    static bool IsKnown(HWND window) {
        for (HWND known : active_->windows_) {
            if (known == window && IsWindow(window)) return true;
        }
        return false;
    }

    static inline MessageBoxWatcher* active_ = nullptr;
    HHOOK hook_ = nullptr;
    std::vector<HWND> windows_;
};

// What a shortcut file holds, read back through the shell link object.
struct LinkInfo {
    bool loaded = false;
    std::string path;
    std::string workingFolder;
    int showCommand = 0;
};

inline LinkInfo ReadShortcut(const std::string& linkPath) {
    LinkInfo info;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link)))) {
        return info;
    }
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
        if (SUCCEEDED(file->Load(wide, STGM_READ))) {
            char text[MAX_PATH] = "";
            info.loaded = true;
            link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
            info.path = text;
            text[0] = 0;
            link->GetWorkingDirectory(text, sizeof text);
            info.workingFolder = text;
            link->GetShowCmd(&info.showCommand);
        }
        file->Release();
    }
    link->Release();
    return info;
}

inline std::string SpecialFolder(int csidl) {
    char path[MAX_PATH];
    GetSpecialFolderPath(csidl, path);
    return path;
}

inline std::string QuickLaunchFolder() {
    char path[MAX_PATH];
    GetQuickLaunchPath(path, sizeof path);
    return path;
}

inline bool PathPresent(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline bool IsFolderPath(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Removes a file or folder tree, read-only files included.
inline void RemovePath(const std::string& path) {
    if (!PathPresent(path)) return;
    if (IsFolderPath(path)) {
        RemoveTree(path);
    } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
}

// Reads a REG_SZ value; "<none>" when the key or value is absent.
inline std::string ReadRegistryText(HKEY root, const std::string& key, const char* name, DWORD* type = nullptr,
                                    DWORD* length = nullptr) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return "<none>";
    char data[1024] = {};
    DWORD dataType = 0;
    DWORD size = sizeof data - 1;
    LONG status = RegQueryValueExA(opened, name, nullptr, &dataType, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS) return "<none>";
    if (type != nullptr) *type = dataType;
    if (length != nullptr) *length = size;
    return data;
}

inline bool RegistryKeyExists(HKEY root, const std::string& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

const char kMakerKey[] = "Software\\Tallgrove";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kScratchRoot[] = "Software\\solidsetup-install-tests";

// Gives this process a user of its own for the test's lifetime: the current
// user's registry (and, when asked, the machine's) points at scratch keys,
// and the user's application-data and Programs folders at scratch folders,
// so that tests running at the same time in the same prefix do not see each
// other's records and Quick Launch folders, and nothing is left behind.
// (Wine keeps the desktop where it is; MachineGuard looks after it.)
class ScratchProfile {
public:
    explicit ScratchProfile(bool withQuickLaunch, bool machineToo = false) {
        folder = MakeTempDir("profile");
        static int counter = 0;
        keyPath_ = std::string(kScratchRoot) + "\\" + std::to_string(GetCurrentProcessId()) + "-" +
                   std::to_string(++counter);
        RegCreateKeyExA(HKEY_CURRENT_USER, (keyPath_ + "\\HKCU").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &user_, nullptr);
        if (machineToo) {
            RegCreateKeyExA(HKEY_CURRENT_USER, (keyPath_ + "\\HKLM").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &machine_, nullptr);
            RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_);
        }
        RegOverridePredefKey(HKEY_CURRENT_USER, user_);
        appData = MakeFolder("AppData");
        programs = MakeFolder("Programs");
        quickLaunch = appData + "\\Microsoft\\Internet Explorer\\Quick Launch";
        if (withQuickLaunch) SHCreateDirectoryExA(nullptr, quickLaunch.c_str(), nullptr);
        for (const char* key : {"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                                "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"}) {
            SetText(key, "AppData", appData);
            SetText(key, "Programs", programs);
        }
    }
    ~ScratchProfile() {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        if (machine_ != nullptr) RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        if (user_ != nullptr) RegCloseKey(user_);
        if (machine_ != nullptr) RegCloseKey(machine_);
        RegDeleteTreeA(HKEY_CURRENT_USER, keyPath_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, keyPath_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, kScratchRoot);  // only goes when no other test uses it
        RemoveTree(folder);
    }
    ScratchProfile(const ScratchProfile&) = delete;
    ScratchProfile& operator=(const ScratchProfile&) = delete;

    std::string folder;
    std::string appData;
    std::string programs;
    std::string quickLaunch;

private:
    std::string MakeFolder(const char* name) {
        std::string path = folder + "\\" + name;
        CreateDirectoryA(path.c_str(), nullptr);
        return path;
    }
    static void SetText(const char* key, const char* name, const std::string& value) {
        HKEY opened = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr) !=
            ERROR_SUCCESS) {
            return;
        }
        RegSetValueExA(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
        RegCloseKey(opened);
    }

    std::string keyPath_;
    HKEY user_ = nullptr;
    HKEY machine_ = nullptr;
};

// Removes, when the test ends, what an installation under the given group
// leaves where the scratch profile does not reach: the uninstall entry (with
// any parent key the group's name made), the program group in the all-users
// Programs folder and the desktop shortcut.
class MachineGuard {
public:
    explicit MachineGuard(const std::string& group) {
        std::string top = group.substr(0, group.find('\\'));
        if (top.empty()) return;
        uninstallTop_ = std::string(kUninstallKey) + "\\" + top;
        if (RegistryKeyExists(HKEY_LOCAL_MACHINE, uninstallTop_)) uninstallTop_.clear();
        std::string programs = SpecialFolder(CSIDL_COMMON_PROGRAMS);
        if (!programs.empty() && !PathPresent(programs + "\\" + top)) groupFolder_ = programs + "\\" + top;
        std::string desktop = SpecialFolder(CSIDL_DESKTOP);
        if (!desktop.empty() && !PathPresent(desktop + "\\" + group + ".lnk")) desktopLink_ = desktop + "\\" + group + ".lnk";
    }
    ~MachineGuard() {
        if (!uninstallTop_.empty()) {
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, uninstallTop_.c_str());
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, uninstallTop_.c_str());
        }
        if (!groupFolder_.empty()) RemovePath(groupFolder_);
        if (!desktopLink_.empty()) RemovePath(desktopLink_);
    }
    MachineGuard(const MachineGuard&) = delete;
    MachineGuard& operator=(const MachineGuard&) = delete;

private:
    std::string uninstallTop_;
    std::string groupFolder_;
    std::string desktopLink_;
};

// OLE on the test's thread, as start-up provides it to the installation.
class OleScope {
public:
    OleScope() { OleInitialize(nullptr); }
    ~OleScope() { OleUninitialize(); }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;
};

// A file's last-write time as the system's local time ("YYYY-MM-DD
// hh:mm:ss"), read back with the zone's rules for that date; "<none>" when
// the file cannot be read. (The fixed instants in each zone are checked by
// the file-times test.)
inline std::string LocalWriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    SYSTEMTIME utc, local;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        !FileTimeToSystemTime(&data.ftLastWriteTime, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        return "<none>";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", local.wYear, local.wMonth, local.wDay,
                  local.wHour, local.wMinute, local.wSecond);
    return text;
}

inline std::string ReadText(const std::string& path) {
    return ReadFileBytes(path);
}

// A name no other test run uses, for groups and product ids of one test.
inline std::string UniqueName(const std::string& base) {
    return base + " " + std::to_string(GetCurrentProcessId() % 100000);
}

}  // namespace install_test
