// Browsing for the destination folder.
#pragma once
#include <windows.h>

void BrowseForDestination(HWND dialog, int editId);
int CALLBACK PreselectFolder(HWND browseWindow, UINT message, LPARAM parameter, LPARAM data);
// Replaces a path (260 bytes) by its full form when the system can give one.
void MakeFullPath(char* path);
