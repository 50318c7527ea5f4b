#include "install/messages.h"

#include "common/setup_state.h"
#include "frontend/ui_strings.h"
#include "util/bounded_string.h"

int ShowMessage(HWND owner, const char* text, const char* caption, UINT flags) {
    if (text == nullptr || text[0] == 0) return IDCANCEL;
    if (owner == nullptr) owner = GetActiveWindow();
    // A full path as caption shows as the file's name; a plain title, or a
    // path ending in a separator, shows whole.
    const char* shown = caption;
    if (caption != nullptr && caption[FileNameOffset(caption)] != 0) shown = caption + FileNameOffset(caption);
    return MessageBoxA(owner, text, shown, flags);
}

int ShowUiMessage(HWND owner, unsigned short id, const char* caption, UINT flags) {
    char text[512];
    LookupUiString(gSetupState ? gSetupState->uiStrings : nullptr, id, text, 510);
    return ShowMessage(owner, text, caption, flags);
}

void FormatSystemError(DWORD code, char* buffer, int size, bool flatten) {
    if (buffer == nullptr || size <= 0) return;
    buffer[0] = 0;
    buffer[size - 1] = 0;
    char* systemText = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&systemText),
                                  0, nullptr);
    if (length != 0 && systemText != nullptr) AppendBounded(systemText, buffer, size - 1);
    if (systemText != nullptr) LocalFree(systemText);
    if (!flatten) return;
    for (int i = 0; i < size - 1 && buffer[i] != 0; ++i) {
        if (static_cast<unsigned char>(buffer[i]) < 32) buffer[i] = ' ';
    }
}

int ShowSystemError(HWND owner, DWORD code, const char* caption) {
    char text[512] = {};
    if (code == 0) code = GetLastError();
    if (code == 0) return 0;
    FormatSystemError(code, text, sizeof text, false);
    if (text[0] == 0) return IDCANCEL;
    // Without a caption the box's caption is empty, not the system's "Error".
    return ShowMessage(owner, text, caption != nullptr ? caption : "", MB_ICONHAND);
}
