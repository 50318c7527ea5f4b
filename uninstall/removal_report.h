// What the uninstaller could not remove: items left for good, and files in
// use that Windows removes at the next restart.
#pragma once

struct RemovalReport {
    char left[2048];       // one path per line
    char atRestart[2048];  // one path per line
    int leftCount;
    int restartCount;
};

void NoteLeft(RemovalReport* report, const char* item);
void NoteAtRestart(RemovalReport* report, const char* item);

// Deletes a file. A read-only file loses that attribute first; a file in use
// is given to Windows for removal at the next restart (noted as such); any
// other failure is noted as left. A file that is not there is fine.
void RemoveFileNoting(const char* path, RemovalReport* report);
// Removes an empty folder; a folder that still holds something stays
// without a note (it holds what somebody else put there), unless
// atRestartWhenBusy asks to remove it at the next restart, after the files
// given to Windows before it.
void RemoveEmptyFolder(const char* path, bool atRestartWhenBusy, RemovalReport* report);
