// A stand-in for a product whose main window does not close at once: it
// ignores WM_DESTROY for its first few seconds, then closes for good.
// Its exit code is the number of WM_DESTROY messages it received.
// usage: stubborn_window [WINDOW_CLASS [SECONDS]]
#include <windows.h>

#include <cstdlib>

namespace {

DWORD gStart = 0;
DWORD gHoldMs = 3000;
int gDestroyCount = 0;

LRESULT CALLBACK StubbornProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        ++gDestroyCount;
        if (GetTickCount() - gStart < gHoldMs) return 0;  // not yet
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    const char* windowClass = argc > 1 ? argv[1] : "TallgroveDemoWindow";
    if (argc > 2) gHoldMs = static_cast<DWORD>(std::atoi(argv[2]) * 1000);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = StubbornProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = windowClass;
    if (!RegisterClassA(&wc)) return 1;
    HWND window = CreateWindowA(windowClass, "Stubborn product", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                wc.hInstance, nullptr);
    if (window == nullptr) return 1;
    gStart = GetTickCount();
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    DestroyWindow(window);
    return gDestroyCount;
}
