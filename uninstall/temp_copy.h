// A running program cannot delete its own file. The uninstaller therefore
// runs from a copy in the temporary folder: the copy does the work, tells
// the program started from the installation its result, waits for it to end,
// and then removes its file and the installation folder. The copy itself is
// given to Windows for removal at the next restart.
#pragma once
#include <windows.h>

// The switches by which the program hands over to its copy.
const char kRelaySwitch[] = "/_RELAY=";   // process handle and pipe handle, hexadecimal, comma between
const char kStarterSwitch[] = "/_FROM=";  // the uninstaller in the installation folder; the rest of the line

// Starts a copy of selfPath from the temporary folder, telling it selfPath
// and the silent switch, waits for its result and stores it in exitCode.
// False when no copy could be made or started (the caller then works in place).
bool RunFromTemporaryCopy(const char* selfPath, bool silent, int* exitCode);

// In the copy: hands the result to the waiting program (pipe), then waits
// (at most timeoutMs) until that program has ended.
void ReportToStarter(HANDLE starter, HANDLE pipe, int exitCode, DWORD timeoutMs);
