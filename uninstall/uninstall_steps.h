// The uninstaller's removal steps. folder is the installation's folder (the
// uninstaller's own, without a trailing separator); every step removes only
// what belongs to that installation and notes what it could not remove.
#pragma once
#include "uninstall/removal_report.h"
#include "util/uninstall_data.h"

// The name of the desktop and Quick Launch shortcuts, as the setup gives
// them: the group, or the main program's name without its extension.
void ProductDisplayName(const UninstallData& data, char* name, int size);

// Sends the product's main windows WM_DESTROY until none is left, as the
// setup does, giving up after timeoutMs.
void CloseRunningProduct(const char* windowClass, unsigned long timeoutMs);

// The listed files found in the folder. A file the user added stays.
void RemoveInstalledFiles(const char* folder, const UninstallData& data, RemovalReport* report);

// The program group's shortcuts (and the group folder when it is empty
// then), the desktop and Quick Launch shortcuts: each only when it points
// into folder. COM must be initialised.
void RemoveShortcuts(const char* folder, const UninstallData& data, RemovalReport* report);

// The remembered folder value and the uninstall entry, each only when it
// names folder.
void RemoveRecords(const char* folder, const UninstallData& data, RemovalReport* report);

// True when the two paths name the same folder (case and a trailing
// separator ignored).
bool SameFolder(const char* a, const char* b);
