#include "uninstall/temp_copy.h"

#include "util/bounded_string.h"

namespace {

const int kCopyAttempts = 64;

// "%TEMP%\UnInst-<process id>-<n>.exe" for the first n that is free.
bool MakeCopy(const char* selfPath, char* folder, char* copyPath, int size) {
    DWORD length = GetTempPathA(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH) return false;
    for (int n = 0; n < kCopyAttempts; ++n) {
        wsprintfA(copyPath, "%sUnInst-%lx-%x.exe", folder, GetCurrentProcessId(), n);
        if (lstrlenA(copyPath) >= size - 1) return false;
        if (CopyFileA(selfPath, copyPath, TRUE)) return true;
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

}  // namespace

bool RunFromTemporaryCopy(const char* selfPath, bool silent, int* exitCode) {
    char temporaryFolder[MAX_PATH];
    char copyPath[MAX_PATH];
    if (!MakeCopy(selfPath, temporaryFolder, copyPath, sizeof copyPath)) return false;

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr, self = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        DeleteFileA(copyPath);
        return false;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE, TRUE, 0);

    char commandLine[MAX_PATH * 2 + 100];
    wsprintfA(commandLine, "\"%s\" %s%s%lx,%lx %s%s", copyPath, silent ? "/S " : "", kRelaySwitch,
              static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(self)),
              static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(writeEnd)), kStarterSwitch, selfPath);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    // The copy works in the temporary folder: a current folder inside the
    // installation (the shortcut's working folder) would keep it from going.
    BOOL started = CreateProcessA(copyPath, commandLine, nullptr, nullptr, TRUE, 0, nullptr, temporaryFolder, &startup,
                                  &process);
    CloseHandle(writeEnd);
    if (self != nullptr) CloseHandle(self);
    if (!started) {
        CloseHandle(readEnd);
        DeleteFileA(copyPath);
        return false;
    }
    DWORD code = 0, got = 0;
    if (!ReadFile(readEnd, &code, sizeof code, &got, nullptr) || got != sizeof code) {
        // The copy ended without a word: its own exit code tells what happened.
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
    }
    CloseHandle(readEnd);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    *exitCode = static_cast<int>(code);
    return true;
}

void ReportToStarter(HANDLE starter, HANDLE pipe, int exitCode, DWORD timeoutMs) {
    if (pipe != nullptr) {
        DWORD code = static_cast<DWORD>(exitCode), written = 0;
        WriteFile(pipe, &code, sizeof code, &written, nullptr);
        CloseHandle(pipe);
    }
    if (starter != nullptr) {
        WaitForSingleObject(starter, timeoutMs);
        CloseHandle(starter);
    }
}
