#include "uninstall/removal_report.h"

#include <windows.h>

#include "util/bounded_string.h"

namespace {

void AddLine(char* list, int size, const char* item) {
    AppendBounded(item, list, size);
    AppendBounded("\n", list, size);
}

}  // namespace

void NoteLeft(RemovalReport* report, const char* item) {
    AddLine(report->left, sizeof report->left, item);
    ++report->leftCount;
}

void NoteAtRestart(RemovalReport* report, const char* item) {
    AddLine(report->atRestart, sizeof report->atRestart, item);
    ++report->restartCount;
}

void RemoveFileNoting(const char* path, RemovalReport* report) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return;  // nothing there
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        NoteLeft(report, path);  // a folder where the product had a file: not ours
        return;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    if (DeleteFileA(path)) return;
    DWORD error = GetLastError();
    if ((error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION) &&
        MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        NoteAtRestart(report, path);
        return;
    }
    NoteLeft(report, path);
}

void RemoveEmptyFolder(const char* path, bool atRestartWhenBusy, RemovalReport* report) {
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return;
    if (RemoveDirectoryA(path)) return;
    if (atRestartWhenBusy && MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) NoteAtRestart(report, path);
}
