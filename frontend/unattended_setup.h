// The setup's command line: the unattended installation (/S) that shows no
// window at all, and the same options as presets of the dialog.
#pragma once
#include <windows.h>

#include "util/setup_command_line.h"

// The parsed command line, for the whole process; set by WinMain.
extern SetupCommandLine gSetupCommandLine;

// Surveys the archive, closes a running copy of the product and installs as
// the command line says, without creating any window. Returns the exit code
// (kSetupExit...). Logs to the command line's log file when one is open.
int RunUnattendedSetup();

// Puts the command line's destination, language list and /NOICONS into the
// dialog after it proposed its defaults. Languages the list lacks are ignored.
void ApplyCommandLineToDialog(HWND dialog);

// The usage in a message box after the problem found; returns the exit code.
int ShowCommandLineUsage(const char* problem);
