// Process entry of Setup.exe: one setup state, OLE, the dialog, and exit code 0.
#include <windows.h>
#include <ole2.h>

#include "archive/entry_output.h"
#include "frontend/setup_dialog.h"
#include "frontend/setup_state.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    gSetupState = static_cast<SetupState*>(AllocZeroed(sizeof(SetupState)));
    if (gSetupState == nullptr) return 0;
    // Shell link objects and the folder browser are COM objects used on this thread.
    OleInitialize(nullptr);
    InitSetupState(instance);
    DialogBoxParamA(instance, MAKEINTRESOURCEA(kSetupDialogId), nullptr, SetupDialogProc, 0);
    OleUninitialize();
    ReleaseBlock(&gSetupState);
    return 0;
}
