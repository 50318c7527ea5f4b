// Stand-in dialog procedure: sets the texts and closes on OK, Cancel or the
// close box. The full dialog (survey, destination, installation) replaces it.
#include "frontend/setup_dialog.h"

#include "frontend/setup_state.h"
#include "frontend/ui_strings.h"

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            if (gSetupState != nullptr) ApplyDialogTexts(dialog, gSetupState->uiStrings, DialogTextIds);
            break;
        case WM_CLOSE:
            EndDialog(dialog, 0);
            break;
        case WM_COMMAND:
            if (LOWORD(wParam) == 99 || LOWORD(wParam) == IDCANCEL) PostMessageA(dialog, WM_CLOSE, 0, 0);
            break;
        default:
            break;
    }
    return 0;
}
