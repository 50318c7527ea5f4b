// What the setup dialog runs when the user presses OK.
#pragma once
#include <windows.h>

// Installs into the folder named by the dialog's destination field.
// 0: installed, the dialog closes. Anything else leaves the dialog open.
int RunInstall(HWND dialog);
