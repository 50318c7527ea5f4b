// TGDEMO.EXE: the demo product's program. One window, of the class the setup
// looks for when it closes a running copy, showing the helper library's greeting.
#include <windows.h>

#include "demo_identity.h"

namespace {

char gGreeting[160] = "TGPSAPI.DLL was not found.";

void LoadGreeting() {
    HMODULE library = LoadLibraryA("TGPSAPI.DLL");
    if (library == nullptr) return;
    typedef int(__cdecl * GreetingFunction)(char*, int);
    GreetingFunction greeting = reinterpret_cast<GreetingFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "TgpsGreeting")));
    if (greeting != nullptr) greeting(gGreeting, sizeof gGreeting);
    FreeLibrary(library);
}

LRESULT CALLBACK DemoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT area;
        GetClientRect(window, &area);
        DrawTextA(dc, gGreeting, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    LoadGreeting();
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DemoWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = DEMO_WINDOW_CLASS;
    if (!RegisterClassA(&windowClass)) return 1;
    HWND window = CreateWindowA(DEMO_WINDOW_CLASS, DEMO_GROUP, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 480,
                                200, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
