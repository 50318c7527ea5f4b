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
DWORD WINAPI CloseRunningProductThread(LPVOID);
