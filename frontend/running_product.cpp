// Closing a running copy of the product before its files are replaced.
#include "frontend/running_product.h"

#include "common/setup_state.h"

// Closes every running copy of the product: their main windows are sent
// WM_DESTROY until none of the product's window class is left.
DWORD WINAPI CloseRunningProductThread(LPVOID) {
    for (;;) {
        HWND window = FindWindowA(gSetupState->windowClass, nullptr);
        if (window == nullptr) return 0;
        SendMessageA(window, WM_DESTROY, 0, 0);
    }
}
