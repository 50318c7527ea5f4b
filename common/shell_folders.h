// The shell's special folders: the Start menu, the desktop, application data
// and the user's Quick Launch folder.
#pragma once

// The special folder's file-system path (output of 260 bytes), or empty when
// the shell gives none.
void GetSpecialFolderPath(int csidl, char* output);
// Fills output with the Quick Launch folder's path (existence not checked),
// or leaves it empty when the shell gives no application-data folder.
void GetQuickLaunchPath(char* output, int size);
// 1 when the Quick Launch folder exists, else 0.
int QuickLaunchExists();
