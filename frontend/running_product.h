// Closing a running copy of the product.
#pragma once
#include <windows.h>

// Thread routine: sends WM_DESTROY to every top-level window of the
// product's class (gSetupState->windowClass) until none is left, then
// returns 0.
DWORD WINAPI CloseRunningProductThread(LPVOID);
