// Drives another process's windows as a user would: finds its dialog and
// message boxes, reads and sets control texts, list rows and ticks, and takes
// screenshots. List-view items live in the other process, so they are read
// and written through memory allocated in it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct ListRow {
    std::string text;
    LPARAM data = 0;
    bool ticked = false;
};

struct MessageBoxSeen {
    HWND window = nullptr;
    std::string text;
    std::string caption;
    std::string icon;  // "hand", "information", "question", "exclamation", "none" or "unknown"
};

// Top-level dialog windows ("#32770") of a process.
std::vector<HWND> ProcessDialogs(DWORD processId);
// Waits up to timeoutMs for the process's setup dialog (the one with a
// language list); null when it does not appear.
HWND WaitForSetupDialog(DWORD processId, DWORD timeoutMs);
// What a process shows, for a failure's report: each top-level window of
// the process (hidden ones too) with its class, caption, visibility and first
// text; "no windows" when it has none.
std::string DescribeProcessWindows(DWORD processId);
// Waits for a message box of the process (a dialog other than the setup
// dialog); its window is null when none appears in time.
MessageBoxSeen WaitForMessageBox(DWORD processId, DWORD timeoutMs);
// Presses the box's OK (or only) button.
void CloseMessageBox(const MessageBoxSeen& box);

std::string WindowText(HWND window);
std::string ControlText(HWND dialog, int id);
void SetControlText(HWND dialog, int id, const std::string& text);
bool IsChecked(HWND dialog, int id);
void SetChecked(HWND dialog, int id, bool checked);
bool IsControlVisible(HWND dialog, int id);
// Clicks a button the way the keyboard or mouse would (BN_CLICKED via BM_CLICK),
// without waiting for what the click starts.
void ClickButton(HWND dialog, int id);

std::vector<ListRow> ReadListRows(HWND list);
std::string ListColumnText(HWND list, int column);
void SetRowTicked(HWND list, int row, bool ticked);
// Opens the list's context menu (as a right click would) and chooses the
// item at the position with the keyboard; an optional screenshot of the
// screen shows the open menu. False when no menu appeared.
bool ChooseContextMenuItem(HWND dialog, HWND list, int position, const std::string& screenshot = "");

// The first child window of the given class (such as "SysTreeView32"), at
// any depth; null when there is none.
HWND FindChildOfClass(HWND parent, const char* className);
// The texts of a tree view's selected item and of the items above it, the
// selection first; empty when nothing is selected.
std::vector<std::string> SelectedTreePath(HWND tree);

// Saves the window's screen area as a 24-bit BMP file.
bool SaveScreenshot(HWND window, const std::string& path);
// Waits for the process to end; returns false when it does not in time.
bool WaitForExit(HANDLE process, DWORD timeoutMs, DWORD* exitCode);
