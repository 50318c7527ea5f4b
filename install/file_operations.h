// Folders and shell file operations used by the installation.
#pragma once
#include <windows.h>

enum : int {
    kTreeCreated = 0,
    kTreeFailed = 2,         // any failure but a missing parent, or the parent is a drive root
    kTreeLeafFailed = 3,     // the parents were made, the folder itself was not
};

int CreateDirectoryTree(const char* path);
// Fills buffer with a numbered folder name under the user's temporary folder
// that nothing uses yet (the folder is not created). When no such name fits
// in the buffer, the buffer is left empty. Returns -1.
int MakeTempFolderName(char* buffer, int size);
// Moves a file or folder with the shell. 0 when the shell completed the move.
int ShellMove(HWND owner, const char* source, const char* target);
// Moves everything inside sourceFolder into the existing targetFolder,
// replacing files of the same name. 0 when nothing was left behind.
int ShellMoveContents(HWND owner, const char* sourceFolder, const char* targetFolder);
// From now on the shell operations below show no progress and no error
// windows of their own (an unattended installation).
void QuietShellOperations();
// Deletes a file or a folder tree for good, without asking.
void ShellDelete(const char* path);
// Renames PSAPI.DLL in the destination folder to TGPSAPI.DLL.
void RenameOldSystemLibrary(const char* destination);
