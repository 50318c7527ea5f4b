// TGPSAPI.DLL: the demo product's helper library.
#include <windows.h>

extern "C" __declspec(dllexport) int TgpsGreeting(char* buffer, int size) {
    static const char kGreeting[] = "Hello from TGPSAPI.DLL, the Demo Product helper library.";
    if (buffer == nullptr || size <= 0) return 0;
    lstrcpynA(buffer, kGreeting, size);
    return lstrlenA(buffer);
}

extern "C" __declspec(dllexport) int TgpsVersion() {
    return 0x0100;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
