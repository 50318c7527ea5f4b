// The setup program's one dialog (template 1000).
#pragma once
#include <windows.h>

#include "resources/setup_ids.h"


INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void InitSetupDialog(HWND dialog);
void CentreOnDesktop(HWND window);
