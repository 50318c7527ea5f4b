// The setup program's one dialog (template 1000).
#pragma once
#include <windows.h>

enum : int {
    kSetupDialogId = 1000,
    kOkButtonId = 99,
    kTitleControlId = 1001,
    kLanguageListId = 1010,
    kDestinationLabelId = 1031,
    kDestinationEditId = 1032,
    kBrowseButtonId = 1033,
    kStartMenuBoxId = 1041,
    kDesktopBoxId = 1042,
    kQuickLaunchBoxId = 1043,
    kStatusLineId = 1047,
};

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void InitSetupDialog(HWND dialog);
void CentreOnDesktop(HWND window);
// Sends WM_DESTROY to the product's windows until none is left. The
// parameter is the window class name in a 32-byte block from the process heap,
// which the thread owns and frees.
DWORD WINAPI CloseRunningProductThread(LPVOID windowClass);
