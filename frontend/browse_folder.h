// Browsing for the destination folder.
#pragma once
#include <windows.h>
#include <shlobj.h>

void BrowseForDestination(HWND dialog, int editId);
int CALLBACK PreselectFolder(HWND browseWindow, UINT message, LPARAM parameter, LPARAM data);
// Replaces a path (260 bytes) by its full form when the system can give one.
void MakeFullPath(char* path);
// The folder the browser opens on for the destination's text (path, 260
// bytes): the text made a full path, or its parent folder when that folder
// does not exist yet; path is left holding the folder chosen. Returns that
// folder's item list, which the caller frees with the shell's allocator, or
// null when the text is empty or neither folder can be parsed (the browser
// then opens with nothing preselected).
LPITEMIDLIST ParseInitialFolder(IShellFolder* desktop, HWND owner, char* path);
