// Closing a running copy of the product before its files are replaced.
#include "frontend/running_product.h"

#include "util/bounded_string.h"

namespace {

const int kClassNameSize = 32;
// Pause before a window that outlived WM_DESTROY is asked again.
const DWORD kCloseRetryPauseMs = 75;

// The parameter is the class name in a block of the process heap, which the
// thread owns and frees.
DWORD WINAPI CloseRunningProductThread(LPVOID parameter) {
    char* windowClass = static_cast<char*>(parameter);
    for (int round = 0;; ++round) {
        HWND window = FindWindowA(windowClass, nullptr);
        if (window == nullptr) break;
        if (round > 0) Sleep(kCloseRetryPauseMs);
        SendMessageA(window, WM_DESTROY, 0, 0);
    }
    HeapFree(GetProcessHeap(), 0, windowClass);
    return 0;
}

}  // namespace

HANDLE StartClosingRunningProduct(const char* windowClass) {
    char* copy = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kClassNameSize));
    if (copy == nullptr) return nullptr;
    CopyBounded(windowClass, copy, kClassNameSize);
    HANDLE thread = CreateThread(nullptr, 0, CloseRunningProductThread, copy, 0, nullptr);
    if (thread == nullptr) HeapFree(GetProcessHeap(), 0, copy);
    return thread;
}
