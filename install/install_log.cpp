#include "install/install_log.h"

#include <windows.h>

#include <cstring>

namespace {

HANDLE gLog = INVALID_HANDLE_VALUE;

void Write(const char* text) {
    DWORD written = 0;
    WriteFile(gLog, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

}  // namespace

bool OpenInstallLog(const char* path) {
    CloseInstallLog();
    if (path == nullptr || path[0] == 0) return false;
    // Appending only: lines of earlier runs stay, and readers may look at the
    // file while the installation runs.
    gLog = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return gLog != INVALID_HANDLE_VALUE;
}

void LogInstallLine(const char* what, const char* detail) {
    if (gLog == INVALID_HANDLE_VALUE) return;
    Write(what);
    Write(": ");
    Write(detail != nullptr ? detail : "");
    Write("\r\n");
}

void CloseInstallLog() {
    if (gLog == INVALID_HANDLE_VALUE) return;
    CloseHandle(gLog);
    gLog = INVALID_HANDLE_VALUE;
}
