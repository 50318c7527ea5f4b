#include "frontend/setup_state.h"

#include <commctrl.h>

#include <cstring>

#include "frontend/ui_strings.h"

void InitSetupState(HINSTANCE instance) {
    SetupState* state = gSetupState;
    if (state == nullptr) return;
    InitCommonControls();
    std::memset(state, 0, sizeof *state);
    state->icon = LoadIconA(instance, MAKEINTRESOURCEA(1));
    SelectDefaultLanguage();

    DWORD length = GetModuleFileNameA(GetModuleHandleA(nullptr), state->selfPath, sizeof state->selfPath);
    // A path that did not fit would name some other file: keep none, and the
    // survey then reports the archive as unreadable.
    if (length == 0 || length >= sizeof state->selfPath) state->selfPath[0] = 0;
}
