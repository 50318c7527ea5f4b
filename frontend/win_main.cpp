// Process entry of Setup.exe: one setup state, OLE, then the dialog, or the
// unattended installation when the command line asks for it.
#include <windows.h>
#include <ole2.h>

#include "archive/entry_output.h"
#include "frontend/setup_dialog.h"
#include "frontend/setup_state.h"
#include "frontend/unattended_setup.h"
#include "install/install_log.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    gSetupState = static_cast<SetupState*>(AllocZeroed(sizeof(SetupState)));
    if (gSetupState == nullptr) return 0;
    // Shell link objects and the folder browser are COM objects used on this thread.
    OleInitialize(nullptr);
    InitSetupState(instance);

    // Without arguments the exit code is 0 whatever the user did in the dialog.
    int exitCode = 0;
    const char* problem = ParseSetupCommandLine(arguments, &gSetupCommandLine);
    if (problem != nullptr) {
        // A bad command line installs nothing.
        exitCode = gSetupCommandLine.silent ? kSetupExitBadCommandLine : ShowCommandLineUsage(problem);
    } else if (gSetupCommandLine.logPath[0] != 0 && !OpenInstallLog(gSetupCommandLine.logPath)) {
        exitCode = gSetupCommandLine.silent ? kSetupExitBadCommandLine
                                            : ShowCommandLineUsage("The log file named by /LOG= cannot be written");
    } else if (gSetupCommandLine.silent) {
        exitCode = RunUnattendedSetup();
    } else {
        DialogBoxParamA(instance, MAKEINTRESOURCEA(kSetupDialogId), nullptr, SetupDialogProc, 0);
    }
    CloseInstallLog();

    OleUninitialize();
    ReleaseBlock(&gSetupState);
    return exitCode;
}
