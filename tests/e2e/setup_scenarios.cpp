// End-to-end scenarios: runs Setup.exe, drives its dialog as a user would,
// reads every message box, then checks the files, the registry records and
// the shortcuts the installation left (and prints them as evidence).
// usage: setup_driver SCENARIO SETUP_EXE PRODUCT_DIR OUTPUT_DIR
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "gui_driver.h"

namespace {

int gPassed = 0;
int gFailed = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
    (ok ? gPassed : gFailed) += 1;
}

void CheckEqual(const std::string& seen, const std::string& expected, const std::string& what) {
    Check(seen == expected, what + ": \"" + seen + "\"" + (seen == expected ? "" : " (expected \"" + expected + "\")"));
}

struct Paths {
    std::string setup;
    std::string product;
    std::string output;
};

const char kGroup[] = "Demo Product";
const char kDefaultDestination[] = "C:\\Program Files\\Demo Product";

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string SpecialFolder(int csidl) {
    char path[MAX_PATH] = "";
    if (!SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE)) return "";
    return path;
}

std::string QuickLaunchFolder() {
    std::string appData = SpecialFolder(CSIDL_APPDATA);
    return appData.empty() ? "" : appData + "\\Microsoft\\Internet Explorer\\Quick Launch";
}

std::string RegistryString(HKEY root, const char* key, const char* value) {
    char data[1024] = "";
    DWORD size = sizeof data;
    if (RegGetValueA(root, key, value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return "<absent>";
    return data;
}

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo Product";

struct Link {
    bool loaded = false;
    std::string target;
    std::string workingFolder;
    int showCommand = 0;
};

Link ReadLink(const std::string& path) {
    Link link;
    IShellLinkA* shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&shellLink)))) {
        return link;
    }
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
        if (SUCCEEDED(file->Load(wide, STGM_READ))) {
            char text[MAX_PATH] = "";
            shellLink->GetPath(text, MAX_PATH, nullptr, 0);
            link.target = text;
            text[0] = 0;
            shellLink->GetWorkingDirectory(text, MAX_PATH);
            link.workingFolder = text;
            shellLink->GetShowCmd(&link.showCommand);
            link.loaded = true;
        }
        file->Release();
    }
    shellLink->Release();
    return link;
}

void CheckLink(const std::string& path, const std::string& target, const std::string& workingFolder) {
    Link link = ReadLink(path);
    Check(link.loaded, "shortcut exists: " + path);
    if (!link.loaded) return;
    Check(lstrcmpiA(link.target.c_str(), target.c_str()) == 0, "  target " + link.target);
    Check(lstrcmpiA(link.workingFolder.c_str(), workingFolder.c_str()) == 0, "  working folder " + link.workingFolder);
    // The link file's header holds the show command at offset 60 (Wine's
    // GetShowCmd reads every value back as 1).
    std::string bytes = ReadWholeFile(path);
    int stored = bytes.size() >= 64 ? static_cast<unsigned char>(bytes[60]) : -1;
    Check(stored == SW_SHOW, "  show command " + std::to_string(stored) + " (SW_SHOW)");
}

// Every file of the product folder (subfolders flattened) but the INF.
std::vector<std::string> ProductFiles(const std::string& folder, const std::string& prefix = "") {
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\" + prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            for (const std::string& inner : ProductFiles(folder, prefix + name + "\\")) files.push_back(inner);
        } else {
            files.push_back(prefix + name);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return files;
}

std::string FileNamePart(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Skipped(const std::string& fileName, const std::vector<std::string>& uncheckedCodes) {
    if (fileName == "INSTALL.INF") return true;
    for (const std::string& code : uncheckedCodes) {
        if (fileName.rfind("DEMO_" + code + ".", 0) == 0) return true;
    }
    return false;
}

// The installed files: every expected file is there with the product's bytes;
// what the language choice left out is absent.
void CheckInstalledFiles(const Paths& paths, const std::string& destination,
                         const std::vector<std::string>& uncheckedCodes) {
    std::printf("\nInstalled files in %s:\n", destination.c_str());
    int present = 0;
    for (const std::string& relative : ProductFiles(paths.product)) {
        std::string name = FileNamePart(relative);
        std::string installed = destination + "\\" + name;
        if (Skipped(name, uncheckedCodes)) {
            Check(!Exists(installed), "not installed: " + name);
            continue;
        }
        std::string bytes = ReadWholeFile(installed);
        bool same = Exists(installed) && bytes == ReadWholeFile(paths.product + "\\" + relative);
        Check(same, "installed, same bytes: " + name + " (" + std::to_string(bytes.size()) + " bytes)");
        present += same;
    }
    std::printf("%d files installed\n", present);
}

void CheckRecords(const std::string& destination) {
    std::printf("\nRegistry records:\n");
    CheckEqual(RegistryString(HKEY_CURRENT_USER, "Software\\Tallgrove", "DP"), destination,
               "HKCU\\Software\\Tallgrove DP");
    CheckEqual(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), kGroup, "Uninstall DisplayName");
    CheckEqual(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), destination + "\\UnInst.exe",
               "Uninstall UninstallString");
    CheckEqual(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "Publisher"), "Tallgrove", "Uninstall Publisher");
}

void CheckNothingInstalled(const std::string& destination) {
    Check(!Exists(destination), "nothing installed in " + destination);
    CheckEqual(RegistryString(HKEY_CURRENT_USER, "Software\\Tallgrove", "DP"), "<absent>", "no folder record");
    CheckEqual(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "<absent>", "no uninstall record");
    Check(!Exists(SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\" + kGroup), "no program group");
    Check(!Exists(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\Demo Product.lnk"), "no desktop shortcut");
}

void CheckShortcuts(const std::string& destination, bool german, bool quickLaunch) {
    std::printf("\nShortcuts:\n");
    std::string group = SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\" + kGroup;
    CheckLink(group + "\\Demo Product.lnk", destination + "\\TGDEMO.EXE", destination);
    CheckLink(group + "\\Uninstall.lnk", destination + "\\UnInst.exe", destination);
    CheckLink(group + "\\License.lnk", destination + "\\LICENSE.TXT", destination);
    CheckLink(group + "\\Order.lnk", destination + "\\ORDER.HTM", destination);
    if (german) {
        CheckLink(group + "\\Bestellung.lnk", destination + "\\BESTELL.HTM", destination);
    } else {
        Check(!Exists(group + "\\Bestellung.lnk"), "no Bestellung shortcut without German");
    }
    CheckLink(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\Demo Product.lnk", destination + "\\TGDEMO.EXE", destination);
    std::string quick = QuickLaunchFolder() + "\\Demo Product.lnk";
    if (quickLaunch) {
        CheckLink(quick, destination + "\\TGDEMO.EXE", destination);
    } else {
        Check(!Exists(quick), "no Quick Launch shortcut");
    }
}

struct Running {
    PROCESS_INFORMATION process = {};
    HWND dialog = nullptr;
};

Running StartSetup(const std::string& setup) {
    Running run;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + setup + "\"";
    if (!CreateProcessA(setup.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &run.process)) {
        Check(false, "start " + setup);
        return run;
    }
    // A loaded machine starting the prefix's first window can take many
    // seconds; a slow start is reported, a missing dialog explained.
    const DWORD kWaitMs = 60000;
    const DWORD started = GetTickCount();
    run.dialog = WaitForSetupDialog(run.process.dwProcessId, kWaitMs);
    const DWORD waited = GetTickCount() - started;
    if (run.dialog != nullptr && waited >= 5000) {
        std::printf("(the setup dialog took %lu ms to appear)\n", static_cast<unsigned long>(waited));
    }
    if (run.dialog == nullptr) {
        // Say what the setup did instead, then end it so that it does not
        // hold the prefix's wine server.
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(run.process.hProcess, &code);
        if (code == STILL_ACTIVE) {
            std::printf("no setup dialog after %lu s; Setup.exe still runs, its windows: %s\n",
                        static_cast<unsigned long>(kWaitMs / 1000),
                        DescribeProcessWindows(run.process.dwProcessId).c_str());
            TerminateProcess(run.process.hProcess, 1);
        } else {
            std::printf("no setup dialog: Setup.exe ended with exit code %lu\n", static_cast<unsigned long>(code));
        }
    }
    return run;
}

void Finish(Running& run, const std::string& how) {
    DWORD code = 99;
    Check(WaitForExit(run.process.hProcess, 20000, &code), how + ": Setup.exe ended");
    Check(code == 0, "exit code " + std::to_string(code));
    CloseHandle(run.process.hProcess);
    CloseHandle(run.process.hThread);
}

HWND List(const Running& run) {
    return GetDlgItem(run.dialog, 1010);
}

int FindRow(const std::vector<ListRow>& rows, const std::string& text) {
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].text == text) return static_cast<int>(i);
    }
    return -1;
}

std::string RowsText(const std::vector<ListRow>& rows) {
    std::string text;
    for (const ListRow& r : rows) text += "[" + std::string(r.ticked ? "x" : " ") + "] " + r.text + "|";
    return text;
}

void CheckEnglishDialog(const Running& run, bool fresh) {
    CheckEqual(WindowText(run.dialog), "Setup Demo Product 1.0", "caption");
    CheckEqual(ControlText(run.dialog, 1001), "Demo Product 1.0", "title line");
    CheckEqual(ControlText(run.dialog, 99), "&OK", "OK button");
    CheckEqual(ControlText(run.dialog, 2), "Cancel", "Cancel button");
    CheckEqual(ControlText(run.dialog, 1031), "Destination folder", "destination label");
    CheckEqual(ControlText(run.dialog, 1041), "Put entry to Start Menu", "Start-menu box");
    CheckEqual(ControlText(run.dialog, 1042), "Create a Desktop icon", "desktop box");
    CheckEqual(ControlText(run.dialog, 1043), "Create a Quick Launch icon", "Quick Launch box");
    CheckEqual(ListColumnText(List(run), 0), "Language", "column header");
    std::vector<ListRow> rows = ReadListRows(List(run));
    if (fresh) {
        CheckEqual(RowsText(rows), "[x] Dutch |[x] English|[x] French |[x] German|[x] Italian |[x] Spanish |",
                   "language rows, sorted and ticked");
    }
}

// A fresh installation with the defaults and the English texts.
void FreshInstall(const Paths& paths, bool german) {
    Running run = StartSetup(paths.setup);
    Check(run.dialog != nullptr, "setup dialog appears");
    if (run.dialog == nullptr) return;
    if (german) {
        CheckEqual(WindowText(run.dialog), "Installation Demo Product 1.0", "caption");
        CheckEqual(ControlText(run.dialog, 99), "&OK", "OK button");
        CheckEqual(ControlText(run.dialog, 2), "Abbruch", "Cancel button");
        CheckEqual(ControlText(run.dialog, 1031), "Zielpfad:", "destination label");
        CheckEqual(ControlText(run.dialog, 1041), "Programmgruppe erstellen", "Start-menu box");
        CheckEqual(ListColumnText(List(run), 0), "Sprache", "column header");
        CheckEqual(RowsText(ReadListRows(List(run))),
                   "[x] Deutsch|[x] Dutch |[x] Englisch|[x] French |[x] Italian |[x] Spanish |", "language rows");
    } else {
        CheckEnglishDialog(run, true);
    }
    CheckEqual(ControlText(run.dialog, 1032), kDefaultDestination, "proposed destination");
    Check(IsChecked(run.dialog, 1041) && IsChecked(run.dialog, 1042), "Start-menu and desktop boxes ticked");
    bool quickLaunch = Exists(QuickLaunchFolder());
    if (quickLaunch) {
        Check(IsChecked(run.dialog, 1043) && IsControlVisible(run.dialog, 1043), "Quick Launch box ticked");
    } else {
        Check(!IsControlVisible(run.dialog, 1043), "Quick Launch box hidden (no Quick Launch folder)");
    }
    Sleep(300);
    SaveScreenshot(run.dialog, paths.output + (german ? "\\dialog-de.bmp" : "\\dialog-en.bmp"));

    ClickButton(run.dialog, 99);
    MessageBoxSeen box = WaitForMessageBox(run.process.dwProcessId, 60000);
    Check(box.window != nullptr, "a message box after OK");
    CheckEqual(box.text, german ? "Demo Product wurde erfolgreich installiert." : "Demo Product has been successfully installed.",
               "success message");
    CheckEqual(box.caption, german ? "Installation Demo Product 1.0" : "Setup Demo Product 1.0", "its caption");
    CheckEqual(box.icon, "information", "its icon");
    SaveScreenshot(box.window, paths.output + (german ? "\\success-de.bmp" : "\\success-en.bmp"));
    CloseMessageBox(box);
    Finish(run, "after the success message");

    CheckInstalledFiles(paths, kDefaultDestination, {});
    CheckRecords(kDefaultDestination);
    CheckShortcuts(kDefaultDestination, true, quickLaunch);
}

// Languages unticked through the list and its context menu.
void LanguagesUnticked(const Paths& paths) {
    Running run = StartSetup(paths.setup);
    Check(run.dialog != nullptr, "setup dialog appears");
    if (run.dialog == nullptr) return;
    HWND list = List(run);
    // Menu items: 0 "Select all", 1 "Deselect all", 2 "Invert selection".
    Check(ChooseContextMenuItem(run.dialog, list, 1, paths.output + "\\menu-en.bmp"), "context menu: Deselect all");
    CheckEqual(RowsText(ReadListRows(list)), "[ ] Dutch |[ ] English|[ ] French |[ ] German|[ ] Italian |[ ] Spanish |",
               "every row unticked");
    Check(ChooseContextMenuItem(run.dialog, list, 0), "context menu: Select all");
    CheckEqual(RowsText(ReadListRows(list)), "[x] Dutch |[x] English|[x] French |[x] German|[x] Italian |[x] Spanish |",
               "every row ticked");
    std::vector<ListRow> rows = ReadListRows(list);
    SetRowTicked(list, FindRow(rows, "German"), false);
    SetRowTicked(list, FindRow(rows, "French "), false);
    Check(ChooseContextMenuItem(run.dialog, list, 2), "context menu: Invert selection");
    CheckEqual(RowsText(ReadListRows(list)), "[ ] Dutch |[ ] English|[x] French |[x] German|[ ] Italian |[ ] Spanish |",
               "ticks inverted");
    PostMessageA(run.dialog, WM_COMMAND, 138, 0);
    Sleep(300);
    CheckEqual(RowsText(ReadListRows(list)), "[x] Dutch |[x] English|[ ] French |[ ] German|[x] Italian |[x] Spanish |",
               "German and French unticked");

    ClickButton(run.dialog, 99);
    MessageBoxSeen box = WaitForMessageBox(run.process.dwProcessId, 60000);
    CheckEqual(box.text, "Demo Product has been successfully installed.", "success message");
    CloseMessageBox(box);
    Finish(run, "after the success message");
    CheckInstalledFiles(paths, kDefaultDestination, {"DE", "FR"});
    CheckShortcuts(kDefaultDestination, false, Exists(QuickLaunchFolder()));
}

void CancelAndClose(const Paths& paths) {
    Running run = StartSetup(paths.setup);
    Check(run.dialog != nullptr, "setup dialog appears");
    if (run.dialog == nullptr) return;
    ClickButton(run.dialog, 2);
    Finish(run, "Cancel");
    CheckNothingInstalled(kDefaultDestination);

    run = StartSetup(paths.setup);
    Check(run.dialog != nullptr, "setup dialog appears again");
    if (run.dialog == nullptr) return;
    PostMessageA(run.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    Finish(run, "the close box");
    CheckNothingInstalled(kDefaultDestination);
}

// A second run proposes the remembered folder as an update.
void SecondRun(const Paths& paths) {
    const std::string custom = "C:\\Tools\\Demo Product";
    Running run = StartSetup(paths.setup);
    Check(run.dialog != nullptr, "setup dialog appears");
    if (run.dialog == nullptr) return;
    SetControlText(run.dialog, 1032, custom);
    ClickButton(run.dialog, 99);
    MessageBoxSeen box = WaitForMessageBox(run.process.dwProcessId, 60000);
    CheckEqual(box.text, "Demo Product has been successfully installed.", "first installation");
    CloseMessageBox(box);
    Finish(run, "first installation");
    CheckRecords(custom);
    Check(DeleteFileA((custom + "\\DEMO_IT.LNG").c_str()) != 0, "Italian language file removed by the user");

    run = StartSetup(paths.setup);
    Check(run.dialog != nullptr, "setup dialog appears for the second run");
    if (run.dialog == nullptr) return;
    CheckEqual(ControlText(run.dialog, 1032), custom, "remembered folder proposed");
    Check(!IsChecked(run.dialog, 1041) && !IsChecked(run.dialog, 1042) && !IsChecked(run.dialog, 1043),
          "option boxes unticked on an update");
    Check(IsControlVisible(run.dialog, 1043), "Quick Launch box visible on an update");
    CheckEqual(RowsText(ReadListRows(List(run))),
               "[x] Dutch |[x] English|[x] French |[x] German|[ ] Italian |[x] Spanish |",
               "row unticked where its language file is missing");
    ClickButton(run.dialog, 2);
    Finish(run, "Cancel");
}

// Flips one byte in the middle of the largest entry's packed data.
bool WriteDamagedCopy(const std::string& from, const std::string& to) {
    std::string bytes = ReadWholeFile(from);
    // The marker followed by a main header (the program's own code may hold
    // the marker bytes as a constant).
    const std::string signature("Rar!\x1A\x07\x00", 7);
    size_t marker = bytes.find(signature);
    while (marker != std::string::npos && (marker + 10 > bytes.size() || bytes[marker + 9] != '\x73')) {
        marker = bytes.find(signature, marker + 1);
    }
    if (marker == std::string::npos) return false;
    size_t at = marker + 7 + 13, bestStart = 0, bestSize = 0;
    auto le16 = [&](size_t p) { return static_cast<size_t>(static_cast<unsigned char>(bytes[p])) | static_cast<size_t>(static_cast<unsigned char>(bytes[p + 1])) << 8; };
    while (at + 32 <= bytes.size()) {
        unsigned type = static_cast<unsigned char>(bytes[at + 2]);
        size_t flags = le16(at + 3), headSize = le16(at + 5);
        size_t addSize = (flags & 0x8000) ? (le16(at + 7) | le16(at + 9) << 16) : 0;
        if (headSize < 7) break;
        if (type == 0x74 && addSize > bestSize) {
            bestSize = addSize;
            bestStart = at + headSize;
        }
        at += headSize + addSize;
    }
    if (bestSize == 0 || bestStart + bestSize > bytes.size()) return false;
    bytes[bestStart + bestSize / 2] ^= 0x10;
    std::ofstream out(to, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

void DamagedPayload(const Paths& paths) {
    std::string folder = paths.output + "\\damaged";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string damaged = folder + "\\Setup.exe";
    Check(WriteDamagedCopy(paths.setup, damaged), "one byte flipped in a copy of Setup.exe");
    Running run;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + damaged + "\"";
    Check(CreateProcessA(damaged.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &run.process) != 0,
          "damaged Setup.exe started");
    MessageBoxSeen box = WaitForMessageBox(run.process.dwProcessId, 30000);
    CheckEqual(box.text, "Broken file, please download again.", "broken-archive message");
    CheckEqual(box.caption, "Setup.exe", "its caption");
    CheckEqual(box.icon, "hand", "its icon");
    CloseMessageBox(box);
    Finish(run, "the dialog closes by itself");
    CheckNothingInstalled(kDefaultDestination);
}

// Starts a program (with the arguments after its quoted name) whose window
// has the demo product's class, and waits up to 20 s for that window.
PROCESS_INFORMATION StartProductWindow(const std::string& program, const std::string& arguments,
                                       const std::string& what) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + program + "\"" + arguments;
    Check(CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &process) != 0,
          what + " started");
    HWND window = nullptr;
    for (int waited = 0; waited < 20000 && window == nullptr; waited += 100) {
        window = FindWindowA("TallgroveDemoWindow", nullptr);
        if (window == nullptr) Sleep(100);
    }
    Check(window != nullptr, "its window is open");
    return process;
}

void RunningCopyClosed(const Paths& paths) {
    PROCESS_INFORMATION demo = StartProductWindow(paths.product + "\\TGDEMO.EXE", "", "the demo program");
    Running run = StartSetup(paths.setup);
    Check(run.dialog != nullptr, "setup dialog appears");
    Check(WaitForSingleObject(demo.hProcess, 20000) == WAIT_OBJECT_0, "the running demo program was closed by the setup");
    CloseHandle(demo.hProcess);
    CloseHandle(demo.hThread);
    if (run.dialog == nullptr) return;
    ClickButton(run.dialog, 2);
    Finish(run, "Cancel");
}

void EmptyDestination(const Paths& paths) {
    Running run = StartSetup(paths.setup);
    Check(run.dialog != nullptr, "setup dialog appears");
    if (run.dialog == nullptr) return;
    SetControlText(run.dialog, 1032, "");
    ClickButton(run.dialog, 99);
    MessageBoxSeen box = WaitForMessageBox(run.process.dwProcessId, 3000);
    Check(box.window == nullptr, "OK with an empty destination shows nothing");
    Check(IsWindow(run.dialog) != 0, "the dialog stays open");
    ClickButton(run.dialog, 2);
    Finish(run, "Cancel");
    CheckNothingInstalled(kDefaultDestination);
}

// The shell's folder browser opened by the setup (a dialog of the process
// with a folder tree); null when none appears in time.
HWND WaitForFolderBrowser(DWORD processId, DWORD timeoutMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
        for (HWND window : ProcessDialogs(processId)) {
            if (GetDlgItem(window, 1010) == nullptr && FindChildOfClass(window, "SysTreeView32") != nullptr) {
                return window;
            }
        }
        Sleep(100);
    }
    return nullptr;
}

std::string TreePathText(const std::vector<std::string>& path) {
    std::string text;
    for (const std::string& item : path) text += (text.empty() ? "" : " < ") + item;
    return text;
}

// Opens the browser with the button and reads its selection, which the
// shell may make a moment after the window appears.
std::vector<std::string> BrowseSelection(const Running& run, HWND* browser) {
    ClickButton(run.dialog, 1033);
    *browser = WaitForFolderBrowser(run.process.dwProcessId, 20000);
    std::vector<std::string> path;
    if (*browser == nullptr) return path;
    HWND tree = FindChildOfClass(*browser, "SysTreeView32");
    for (int i = 0; i < 50 && path.empty(); ++i) {
        Sleep(100);
        path = SelectedTreePath(tree);
    }
    return path;
}

// The browse button: the folder browser opens on the destination's folder,
// or on its parent while the destination does not exist yet; the folder
// chosen there replaces the destination, and a cancelled browse keeps it.
void BrowseForTheDestination(const Paths& paths) {
    Running run = StartSetup(paths.setup);
    Check(run.dialog != nullptr, "setup dialog appears");
    if (run.dialog == nullptr) return;
    CheckEqual(ControlText(run.dialog, 1032), kDefaultDestination, "proposed destination (not created yet)");

    HWND browser = nullptr;
    std::vector<std::string> selected = BrowseSelection(run, &browser);
    Check(browser != nullptr, "the browse button opens the folder browser");
    if (browser == nullptr) return;
    Sleep(300);
    SaveScreenshot(browser, paths.output + "\\browse.bmp");
    Check(!selected.empty() && selected[0] == "Program Files",
          "preselected: the parent folder, " + TreePathText(selected));
    ClickButton(browser, IDOK);
    Sleep(500);
    CheckEqual(ControlText(run.dialog, 1032), "C:\\Program Files", "the chosen folder replaces the destination");

    const std::string existing = "C:\\windows\\system32";
    SetControlText(run.dialog, 1032, existing);
    selected = BrowseSelection(run, &browser);
    Check(browser != nullptr, "the browser opens again");
    if (browser == nullptr) return;
    Check(!selected.empty() && lstrcmpiA(selected[0].c_str(), "system32") == 0 && selected.size() >= 2 &&
              lstrcmpiA(selected[1].c_str(), "windows") == 0,
          "preselected: the existing destination itself, " + TreePathText(selected));
    ClickButton(browser, IDCANCEL);
    bool open = true;
    for (int i = 0; i < 100 && open; ++i) {
        Sleep(100);
        open = IsWindow(browser) && IsWindowVisible(browser);
    }
    Check(!open, "the browser closes on Cancel");
    CheckEqual(ControlText(run.dialog, 1032), existing, "a cancelled browse keeps the destination");

    ClickButton(run.dialog, 2);
    Finish(run, "Cancel");
    CheckNothingInstalled(kDefaultDestination);
}

std::string TrimmedSystemText(DWORD code) {
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0x400,
                   reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = text != nullptr ? text : "";
    if (text != nullptr) LocalFree(text);
    while (!result.empty() && static_cast<unsigned char>(result.back()) <= ' ') result.pop_back();
    return result;
}

// A destination below a file cannot be created: the installation is built in
// the temporary folder but cannot be moved there. The user is told so with
// the system's text, nothing is installed or recorded, the dialog stays open.
void UncreatableDestination(const Paths& paths) {
    const std::string blocker = "C:\\Blocked";
    {
        std::ofstream out(blocker, std::ios::binary);
        out << "a file where a folder is wanted";
    }
    Running run = StartSetup(paths.setup);
    Check(run.dialog != nullptr, "setup dialog appears");
    if (run.dialog == nullptr) return;
    SetControlText(run.dialog, 1032, blocker + "\\Demo Product");
    ClickButton(run.dialog, 99);
    MessageBoxSeen box = WaitForMessageBox(run.process.dwProcessId, 60000);
    Check(box.window != nullptr, "a message box after OK");
    std::string text = box.text;
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.pop_back();
    CheckEqual(text, TrimmedSystemText(ERROR_CANNOT_MAKE), "the system's text for a folder that cannot be made");
    CheckEqual(box.caption, "", "its caption");
    CheckEqual(box.icon, "hand", "its icon");
    SaveScreenshot(box.window, paths.output + "\\cannot-make.bmp");
    CloseMessageBox(box);
    for (int i = 0; i < 50 && IsWindow(box.window) && IsWindowVisible(box.window); ++i) Sleep(100);
    box = WaitForMessageBox(run.process.dwProcessId, 2000);
    Check(box.window == nullptr, "no further message (no success)" + (box.window ? ": \"" + box.text + "\"" : ""));
    Check(IsWindow(run.dialog) && IsWindowVisible(run.dialog), "the dialog stays open");
    ClickButton(run.dialog, 2);
    Finish(run, "Cancel");
    CheckEqual(ReadWholeFile(blocker), "a file where a folder is wanted", "the file in the way is untouched");
    CheckNothingInstalled(blocker + "\\Demo Product");
}

// Finds the archive's marker (followed by a main header) in a setup program.
size_t FindArchive(const std::string& bytes) {
    const std::string signature("Rar!\x1A\x07\x00", 7);
    size_t marker = bytes.find(signature);
    while (marker != std::string::npos && (marker + 10 > bytes.size() || bytes[marker + 9] != '\x73')) {
        marker = bytes.find(signature, marker + 1);
    }
    return marker;
}

// Offsets of the archive's file headers, in order.
std::vector<size_t> FileHeaderOffsets(const std::string& bytes) {
    std::vector<size_t> offsets;
    size_t marker = FindArchive(bytes);
    if (marker == std::string::npos) return offsets;
    auto le16 = [&](size_t p) {
        return static_cast<size_t>(static_cast<unsigned char>(bytes[p])) |
               static_cast<size_t>(static_cast<unsigned char>(bytes[p + 1])) << 8;
    };
    size_t at = marker + 7 + le16(marker + 7 + 5);
    while (at + 11 <= bytes.size()) {
        size_t flags = le16(at + 3), headSize = le16(at + 5);
        size_t addSize = (flags & 0x8000) ? (le16(at + 7) | le16(at + 9) << 16) : 0;
        if (headSize < 7 || bytes[at + 2] == '\x7B') break;
        if (bytes[at + 2] == '\x74') offsets.push_back(at);
        at += headSize + addSize;
    }
    return offsets;
}

// Starts a setup program that is expected to show the broken-file message
// without its dialog ever being usable.
void ExpectBrokenFile(const std::string& setup) {
    Running run;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + setup + "\"";
    Check(CreateProcessA(setup.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &run.process) != 0,
          "started " + setup);
    MessageBoxSeen box = WaitForMessageBox(run.process.dwProcessId, 30000);
    CheckEqual(box.text, "Broken file, please download again.", "broken-archive message");
    CheckEqual(box.icon, "hand", "its icon");
    CloseMessageBox(box);
    Finish(run, "the dialog closes by itself");
    CheckNothingInstalled(kDefaultDestination);
}

// An interrupted download: the file ends inside a header (the fixed part,
// then the name of an entry) near the end of the archive.
void TruncatedSetup(const Paths& paths) {
    std::string bytes = ReadWholeFile(paths.setup);
    std::vector<size_t> headers = FileHeaderOffsets(bytes);
    Check(headers.size() > 3, "the setup's entries found: " + std::to_string(headers.size()));
    if (headers.size() <= 3) return;
    std::string folder = paths.output + "\\truncated";
    CreateDirectoryA(folder.c_str(), nullptr);
    const size_t cuts[] = {headers[headers.size() - 2] + 20, headers.back() + 34};
    for (size_t cut : cuts) {
        std::string path = folder + "\\Setup.exe";
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.write(bytes.data(), static_cast<std::streamsize>(cut));
        }
        std::printf("\nSetup.exe cut to %zu of %zu bytes:\n", cut, bytes.size());
        ExpectBrokenFile(path);
    }
}

// The destination is a drive too small for the product: the install fails
// visibly, leaves no file cut short, and the dialog stays open.
void DiskFull(const Paths& paths) {
    const std::string destination = "R:\\Demo Product";
    Check(Exists("R:\\"), "drive R: (a small file system) is there");
    Running run = StartSetup(paths.setup);
    Check(run.dialog != nullptr, "setup dialog appears");
    if (run.dialog == nullptr) return;
    SetControlText(run.dialog, 1032, destination);
    ClickButton(run.dialog, 99);
    MessageBoxSeen box = WaitForMessageBox(run.process.dwProcessId, 60000);
    Check(box.window != nullptr, "a message box after OK");
    Check(box.text.find("successfully") == std::string::npos, "no success message: \"" + box.text + "\"");
    CheckEqual(box.icon, "hand", "a stop sign");
    CloseMessageBox(box);
    Sleep(500);
    Check(IsWindow(run.dialog) != 0, "the dialog stays open");

    // Every file left in the destination is whole.
    std::printf("\nFiles on the full drive:\n");
    int whole = 0;
    for (const std::string& relative : ProductFiles(paths.product)) {
        std::string installed = destination + "\\" + FileNamePart(relative);
        if (!Exists(installed)) continue;
        bool same = ReadWholeFile(installed) == ReadWholeFile(paths.product + "\\" + relative);
        Check(same, "whole: " + FileNamePart(relative));
        whole += same;
    }
    std::printf("%d whole files, none cut short\n", whole);
    CheckEqual(RegistryString(HKEY_CURRENT_USER, "Software\\Tallgrove", "DP"), "<absent>", "no folder record");
    CheckEqual(RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "<absent>", "no uninstall record");
    ClickButton(run.dialog, 2);
    Finish(run, "Cancel");
}

// A Japanese system (code page 932) and a product whose group is "ソフト表":
// the files, records and shortcuts land under the real folder, not beside it.
void JapaneseInstall(const Paths& paths) {
    const std::string group = "\x83\x5C\x83\x74\x83\x67\x95\x5C";
    Check(GetACP() == 932, "ANSI code page " + std::to_string(GetACP()));
    const std::string destination = "C:\\Program Files\\" + group;
    Running run = StartSetup(paths.setup);
    Check(run.dialog != nullptr, "setup dialog appears");
    if (run.dialog == nullptr) return;
    Check(ControlText(run.dialog, 1032) == destination, "proposed destination is Program Files\\<group>");
    ClickButton(run.dialog, 99);
    MessageBoxSeen box = WaitForMessageBox(run.process.dwProcessId, 60000);
    Check(box.text.find(group) == 0 && box.text.find("successfully") != std::string::npos, "success message");
    CloseMessageBox(box);
    Finish(run, "after the success message");

    CheckInstalledFiles(paths, destination, {});
    Check(!Exists("C:\\Program Files\\" + group + "README.TXT"), "no file beside the folder");
    Check(RegistryString(HKEY_CURRENT_USER, "Software\\Tallgrove", "DP") == destination, "folder record");
    const std::string uninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + group;
    Check(RegistryString(HKEY_LOCAL_MACHINE, uninstallKey.c_str(), "DisplayName") == group, "uninstall record");
    Check(RegistryString(HKEY_LOCAL_MACHINE, uninstallKey.c_str(), "UninstallString") == destination + "\\UnInst.exe",
          "uninstall command");
    std::string programs = SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\" + group;
    CheckLink(programs + "\\" + group + ".lnk", destination + "\\TGDEMO.EXE", destination);
    CheckLink(programs + "\\Uninstall.lnk", destination + "\\UnInst.exe", destination);
    CheckLink(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + group + ".lnk", destination + "\\TGDEMO.EXE", destination);
}

// CPU time (user and system, in ms) of the running programs whose first
// argument ends in programName, read from the host's /proc through drive Z:
// (Wine's GetProcessTimes reports nothing for another process).
// CPU milliseconds of each host process running programName in this test's
// Wine prefix, by host process id. Other scenarios may run their own setup
// programs at the same time, in prefixes of their own: they are left out.
std::map<std::string, uint64_t> HostCpuMs(const std::string& programName) {
    std::map<std::string, uint64_t> times;
    char prefix[MAX_PATH] = "";
    GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    const std::string ownPrefix = std::string("WINEPREFIX=") + prefix;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) return times;
    do {
        std::string pid = found.cFileName;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string commandLine = ReadWholeFile("Z:\\proc\\" + pid + "\\cmdline");
        std::string first = commandLine.substr(0, commandLine.find('\0'));
        if (first.size() < programName.size() ||
            lstrcmpiA(first.substr(first.size() - programName.size()).c_str(), programName.c_str()) != 0) {
            continue;
        }
        if (prefix[0] != 0) {
            std::string environment = '\0' + ReadWholeFile("Z:\\proc\\" + pid + "\\environ");
            if (environment.find('\0' + ownPrefix + '\0') == std::string::npos) continue;
        }
        // Fields 14 and 15 of stat, after the name in parentheses: utime, stime.
        std::string stat = ReadWholeFile("Z:\\proc\\" + pid + "\\stat");
        size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::vector<std::string> fields;
        size_t at = close + 2;
        while (at < stat.size()) {
            size_t space = stat.find(' ', at);
            fields.push_back(stat.substr(at, space == std::string::npos ? std::string::npos : space - at));
            if (space == std::string::npos) break;
            at = space + 1;
        }
        if (fields.size() > 12) times[pid] = (std::stoull(fields[11]) + std::stoull(fields[12])) * 10;  // 100 ticks/s
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return times;
}

// CPU time that the processes seen in both snapshots spent between them.
uint64_t CpuSpentBetween(const std::map<std::string, uint64_t>& before, const std::map<std::string, uint64_t>& after) {
    uint64_t spent = 0;
    for (const auto& [pid, ms] : after) {
        auto earlier = before.find(pid);
        if (earlier != before.end() && ms >= earlier->second) spent += ms - earlier->second;
    }
    return spent;
}

std::string NextToDriver(const char* name) {
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    return path.substr(0, path.find_last_of("\\/") + 1) + name;
}

// A running product whose window ignores WM_DESTROY for three seconds: the
// setup keeps asking without keeping a processor busy, and installs.
void StubbornProduct(const Paths& paths) {
    PROCESS_INFORMATION stubborn =
        StartProductWindow(NextToDriver("stubborn_window.exe"), " TallgroveDemoWindow 3", "the stubborn program");
    Running run = StartSetup(paths.setup);
    Check(run.dialog != nullptr, "setup dialog appears");
    if (run.dialog == nullptr) return;
    const std::map<std::string, uint64_t> cpuAtDialog = HostCpuMs("Setup.exe");
    const DWORD wallAtDialog = GetTickCount();
    Check(WaitForSingleObject(stubborn.hProcess, 20000) == WAIT_OBJECT_0, "the stubborn window closed in the end");
    Sleep(500);
    const uint64_t cpu = CpuSpentBetween(cpuAtDialog, HostCpuMs("Setup.exe"));
    const DWORD wall = GetTickCount() - wallAtDialog;
    std::printf("setup's CPU time while the window held out: %llu ms in %lu ms\n",
                static_cast<unsigned long long>(cpu), static_cast<unsigned long>(wall));
    Check(cpu * 4 < wall, "the setup used less than a quarter of a processor");
    // A loop without a pause asks thousands of times in those seconds (and
    // spends the processor time in the window's process and Wine's server).
    DWORD asked = 0;
    GetExitCodeProcess(stubborn.hProcess, &asked);
    std::printf("WM_DESTROY sent %lu times in %lu ms\n", static_cast<unsigned long>(asked),
                static_cast<unsigned long>(wall));
    Check(asked >= 2 && asked < 200, "the window was asked again after pauses, not in a tight loop");
    CloseHandle(stubborn.hProcess);
    CloseHandle(stubborn.hThread);

    ClickButton(run.dialog, 99);
    MessageBoxSeen box = WaitForMessageBox(run.process.dwProcessId, 60000);
    CheckEqual(box.text, "Demo Product has been successfully installed.", "success message");
    CloseMessageBox(box);
    Finish(run, "after the success message");
    CheckInstalledFiles(paths, kDefaultDestination, {});
}

// ---- unattended installation and the generated uninstaller ----------------

struct Watched {
    DWORD exitCode = 99;
    bool ended = false;
    int windowsSeen = 0;  // top-level windows of the process, hidden ones included
};

struct WindowCount {
    DWORD processId;
    int count;
};

BOOL CALLBACK CountProcessWindow(HWND window, LPARAM data) {
    WindowCount* count = reinterpret_cast<WindowCount*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == count->processId) ++count->count;
    return TRUE;
}

// Runs a command line and watches, until the process ends, for any
// top-level window it creates.
Watched RunWatched(const std::string& commandLine, const char* folder = nullptr, DWORD timeoutMs = 120000) {
    Watched watched;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, &process)) {
        Check(false, "start " + commandLine);
        return watched;
    }
    for (DWORD waited = 0; waited <= timeoutMs; waited += 20) {
        WindowCount count = {process.dwProcessId, 0};
        EnumWindows(CountProcessWindow, reinterpret_cast<LPARAM>(&count));
        watched.windowsSeen += count.count;
        if (WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0) {
            watched.ended = true;
            GetExitCodeProcess(process.hProcess, &watched.exitCode);
            break;
        }
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return watched;
}

void CheckNoShortcuts() {
    Check(!Exists(SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\" + kGroup), "no program group");
    Check(!Exists(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\Demo Product.lnk"), "no desktop shortcut");
    Check(!Exists(QuickLaunchFolder() + "\\Demo Product.lnk"), "no Quick Launch shortcut");
}

void Silent(const Paths& paths) {
    const std::string quoted = "\"" + paths.setup + "\"";
    std::printf("\nA damaged setup:\n");
    std::string damaged = paths.output + "\\damaged-Setup.exe";
    Check(WriteDamagedCopy(paths.setup, damaged), "one byte flipped in a copy of Setup.exe");
    Watched run = RunWatched("\"" + damaged + "\" /S /D=C:\\Damaged");
    Check(run.ended && run.exitCode == 2, "exit code " + std::to_string(run.exitCode) + " (2: damaged)");
    Check(run.windowsSeen == 0, "no window");
    Check(!Exists("C:\\Damaged"), "nothing installed");
    CheckNothingInstalled(kDefaultDestination);

    std::printf("\nBad command lines:\n");
    for (const char* arguments : {" /S /BOGUS", " /BOGUS /S", " /S /LANG=XX", " /S /LANG=DEU"}) {
        run = RunWatched(quoted + arguments);
        Check(run.ended && run.exitCode == 1, std::string(arguments) + ": exit code " + std::to_string(run.exitCode) + " (1: usage)");
        Check(run.windowsSeen == 0, "  no window");
    }
    CheckNothingInstalled(kDefaultDestination);

    std::printf("\nA bad argument without /S:\n");
    Running usage;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string line = quoted + " /BOGUS";
    // A busy wine server now and then refuses a start: asked again.
    bool started = false;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &usage.process) != 0;
        if (!started) Sleep(500);
    }
    Check(started, "Setup.exe /BOGUS started");
    MessageBoxSeen box = WaitForMessageBox(usage.process.dwProcessId, 30000);
    Check(box.text.find("unknown argument") == 0 && box.text.find("/D=FOLDER") != std::string::npos,
          "usage shown: " + box.text.substr(0, box.text.find('\n')));
    CheckEqual(box.icon, "hand", "its icon");
    CloseMessageBox(box);
    DWORD code = 99;
    bool ended = WaitForExit(usage.process.hProcess, 20000, &code);
    Check(ended && code == 1, "exit code " + std::to_string(code) + " (1: usage)");
    CloseHandle(usage.process.hProcess);
    CloseHandle(usage.process.hThread);
    CheckNothingInstalled(kDefaultDestination);

    std::printf("\nGerman only, no shortcuts:\n");
    const std::string german = "C:\\Demo German";
    run = RunWatched(quoted + " /S /NOICONS /LANG=DE /D=" + german);
    Check(run.ended && run.exitCode == 0, "exit code " + std::to_string(run.exitCode));
    Check(run.windowsSeen == 0, "no window");
    CheckInstalledFiles(paths, german, {"US", "FR", "IT", "ES", "NL"});
    CheckRecords(german);
    CheckNoShortcuts();

    std::printf("\nEverything, with a log:\n");
    const std::string destination = "C:\\Somewhere Else\\Demo";
    const std::string log = paths.output + "\\silent.log";
    run = RunWatched(quoted + " /S /LOG=\"" + log + "\" /D=" + destination);
    Check(run.ended && run.exitCode == 0, "exit code " + std::to_string(run.exitCode));
    Check(run.windowsSeen == 0, "no window ever created");
    CheckInstalledFiles(paths, destination, {});
    CheckRecords(destination);
    CheckShortcuts(destination, true, Exists(QuickLaunchFolder()));
    std::string text = ReadWholeFile(log);
    std::printf("\nThe log:\n%s", text.c_str());
    Check(text.find("File: " + destination + "\\TGDEMO.EXE\r\n") != std::string::npos, "log names an installed file");
    Check(text.find("Record: HKEY_CURRENT_USER\\Software\\Tallgrove DP = " + destination) != std::string::npos,
          "log names the folder record");
    Check(text.find("Shortcut: ") != std::string::npos, "log names the shortcuts");
    Check(text.size() > 2 && text.rfind("Result: 0 " + destination + "\r\n") == text.size() - (12 + destination.size()),
          "log ends with the result");
}

// The confirmation or report box of the uninstaller (which runs as a copy in
// the temporary folder, another process).
MessageBoxSeen WaitForUninstallBox(HWND notThis, DWORD timeoutMs) {
    for (DWORD waited = 0; waited <= timeoutMs; waited += 100) {
        HWND window = FindWindowA("#32770", "Uninstall");
        if (window != nullptr && window != notThis) {
            DWORD processId = 0;
            GetWindowThreadProcessId(window, &processId);
            return WaitForMessageBox(processId, 5000);
        }
        Sleep(100);
    }
    return MessageBoxSeen();
}

bool WaitUntilGone(const std::string& path, DWORD timeoutMs) {
    for (DWORD waited = 0; waited <= timeoutMs; waited += 100) {
        if (!Exists(path)) return true;
        Sleep(100);
    }
    return false;
}

void CheckUninstalled(const std::string& destination) {
    CheckEqual(RegistryString(HKEY_CURRENT_USER, "Software\\Tallgrove", "DP"), "<absent>", "folder record removed");
    HKEY key = nullptr;
    bool makerKey = RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tallgrove", 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (key) RegCloseKey(key);
    Check(!makerKey, "maker's key removed with its last value");
    key = nullptr;
    bool entry = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (key) RegCloseKey(key);
    Check(!entry, "uninstall entry removed");
    CheckNoShortcuts();
    Check(!Exists(destination + "\\TGDEMO.EXE") && !Exists(destination + "\\UnInst.exe"), "product files removed");
}

void Uninstall(const Paths& paths) {
    Running run = StartSetup(paths.setup);
    Check(run.dialog != nullptr, "setup dialog appears");
    if (run.dialog == nullptr) return;
    ClickButton(run.dialog, 99);
    MessageBoxSeen box = WaitForMessageBox(run.process.dwProcessId, 60000);
    CheckEqual(box.text, "Demo Product has been successfully installed.", "installed by the dialog");
    CloseMessageBox(box);
    Finish(run, "after the success message");
    bool quickLaunch = Exists(QuickLaunchFolder());
    CheckRecords(kDefaultDestination);
    CheckShortcuts(kDefaultDestination, true, quickLaunch);
    const std::string notes = std::string(kDefaultDestination) + "\\My notes.txt";
    { std::ofstream(notes) << "the user's own file\n"; }
    // A file in use (opened without sharing its deletion) cannot go now.
    const std::string busy = std::string(kDefaultDestination) + "\\README.TXT";
    HANDLE held = CreateFileA(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    Check(held != INVALID_HANDLE_VALUE, "README.TXT held open, as by a viewer");

    std::string command = RegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString");
    std::printf("\nRunning the uninstall entry's command: %s\n", command.c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    Check(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process) != 0,
          "uninstaller started");
    MessageBoxSeen ask = WaitForUninstallBox(nullptr, 30000);
    CheckEqual(ask.text, "Do you want to remove Demo Product and all of its components from this computer?",
               "confirmation");
    CheckEqual(ask.icon, "question", "its icon");
    SaveScreenshot(ask.window, paths.output + "\\uninstall-en.bmp");
    ClickButton(ask.window, IDYES);
    MessageBoxSeen report = WaitForUninstallBox(ask.window, 60000);
    CheckEqual(report.text,
               "Demo Product has been removed from this computer, except for the following.\n\n"
               "In use now, removed when Windows restarts:\n" + busy + "\n",
               "report names the file in use");
    CheckEqual(report.icon, "exclamation", "its icon");
    SaveScreenshot(report.window, paths.output + "\\uninstall-report-en.bmp");
    CloseMessageBox(report);
    DWORD code = 99;
    Check(WaitForExit(process.hProcess, 60000, &code), "uninstaller ended");
    Check(code == 3, "exit code " + std::to_string(code) + " (3: not everything removed now)");
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    Check(WaitUntilGone(std::string(kDefaultDestination) + "\\UnInst.exe", 20000), "the uninstaller removed itself");
    CheckUninstalled(kDefaultDestination);
    Check(Exists(notes), "the user's file stays, with its folder");
    CheckEqual(std::to_string(ProductFiles(kDefaultDestination).size()), "2", "files left in the folder (the user's, the one in use)");
    CloseHandle(held);

    std::printf("\nUnattended, both ways:\n");
    DeleteFileA(notes.c_str());
    DeleteFileA(busy.c_str());  // what the restart would do
    Watched install = RunWatched("\"" + paths.setup + "\" /S");
    Check(install.ended && install.exitCode == 0, "Setup.exe /S: exit code " + std::to_string(install.exitCode));
    CheckRecords(kDefaultDestination);
    // Started in the installation folder, as the "Uninstall" shortcut starts it.
    Watched remove = RunWatched("\"" + std::string(kDefaultDestination) + "\\UnInst.exe\" /S", kDefaultDestination);
    Check(remove.ended && remove.exitCode == 0, "UnInst.exe /S: exit code " + std::to_string(remove.exitCode));
    Check(remove.windowsSeen == 0, "no window");
    Check(WaitUntilGone(kDefaultDestination, 20000), "the installation folder is gone");
    CheckUninstalled(kDefaultDestination);
    // A message box of the earlier, interactive run may still be on its way
    // out; none may stay.
    bool windowLeft = true;
    for (int i = 0; i < 50 && windowLeft; ++i) {
        windowLeft = FindWindowA("#32770", "Uninstall") != nullptr;
        if (windowLeft) Sleep(100);
    }
    Check(!windowLeft, "no uninstaller window");
}

}  // namespace


int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: setup_driver SCENARIO SETUP_EXE PRODUCT_DIR OUTPUT_DIR\n");
        return 2;
    }
    CoInitialize(nullptr);
    std::string scenario = argv[1];
    Paths paths = {argv[2], argv[3], argv[4]};
    CreateDirectoryA(paths.output.c_str(), nullptr);
    std::printf("== scenario %s\n", scenario.c_str());
    if (scenario == "fresh") {
        FreshInstall(paths, false);
    } else if (scenario == "german") {
        FreshInstall(paths, true);
    } else if (scenario == "languages") {
        LanguagesUnticked(paths);
    } else if (scenario == "cancel") {
        CancelAndClose(paths);
    } else if (scenario == "second-run") {
        SecondRun(paths);
    } else if (scenario == "damaged") {
        DamagedPayload(paths);
    } else if (scenario == "running-copy") {
        RunningCopyClosed(paths);
    } else if (scenario == "browse") {
        BrowseForTheDestination(paths);
    } else if (scenario == "uncreatable-destination") {
        UncreatableDestination(paths);
    } else if (scenario == "empty-destination") {
        EmptyDestination(paths);
    } else if (scenario == "truncated") {
        TruncatedSetup(paths);
    } else if (scenario == "disk-full") {
        DiskFull(paths);
    } else if (scenario == "japanese") {
        JapaneseInstall(paths);
    } else if (scenario == "stubborn-product") {
        StubbornProduct(paths);
    } else if (scenario == "silent") {
        Silent(paths);
    } else if (scenario == "uninstall") {
        Uninstall(paths);
    } else {
        std::fprintf(stderr, "unknown scenario %s\n", scenario.c_str());
        return 2;
    }
    CoUninitialize();
    std::printf("\n%s: %d passed, %d failed\n", scenario.c_str(), gPassed, gFailed);
    return gFailed == 0 ? 0 : 1;
}
