#include "tools/solidsetup/output_file.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "tools/solidsetup/tool_files.h"

namespace {

// The temporary file to remove when the process is interrupted. The handler
// may only read it, so it is a fixed buffer set before the file exists.
char gInterruptedPath[4096];
std::atomic<bool> gHandlersInstalled{false};

void RemoveOnSignal(int signalNumber) {
    if (gInterruptedPath[0] != 0) {
#ifdef _WIN32
        DeleteFileA(gInterruptedPath);
#else
        unlink(gInterruptedPath);
#endif
    }
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

void WatchForInterruption(const std::string& path) {
    if (path.size() >= sizeof gInterruptedPath) return;
    std::memcpy(gInterruptedPath, path.c_str(), path.size() + 1);
    if (!gHandlersInstalled.exchange(true)) {
        const int signals[] = {
            SIGINT, SIGTERM,
#ifdef SIGHUP
            SIGHUP,
#endif
#ifdef SIGBREAK
            SIGBREAK,
#endif
        };
        for (int signalNumber : signals) {
            // A signal the caller chose to ignore (nohup, a background job) stays ignored.
            if (std::signal(signalNumber, RemoveOnSignal) == SIG_IGN) std::signal(signalNumber, SIG_IGN);
        }
    }
}

void StopWatching() {
    gInterruptedPath[0] = 0;
}

bool RemovePath(const std::string& path) {
#ifdef _WIN32
    return DeleteFileA(path.c_str()) != 0;
#else
    return unlink(path.c_str()) == 0;
#endif
}

}  // namespace

unsigned long CurrentProcessId() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(getpid());
#endif
}

FILE* CreateExclusiveFile(const std::string& path, bool* exists) {
    *exists = false;
#ifdef _WIN32
    // Sharing delete lets the interruption handler remove the file while it is open.
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        *exists = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
        return nullptr;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY | _O_RDWR);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    return _fdopen(fd, "w+b");
#else
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        *exists = errno == EEXIST;
        return nullptr;
    }
    FILE* stream = fdopen(fd, "w+b");
    if (stream == nullptr) close(fd);
    return stream;
#endif
}

std::string CheckOutputTarget(const std::string& target) {
    switch (GetPathKind(target)) {
        case PathKind::kMissing:
        case PathKind::kFile:
            break;
        case PathKind::kDirectory:
            return "'" + target + "' is a folder; give the name of the file to write";
        case PathKind::kLink:
            return "'" + target + "' is a link; give the file itself";
    }
#ifndef _WIN32
    struct stat st;
    if (lstat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        return "'" + target + "' exists and is not a regular file (a device, pipe or socket); it is not replaced";
    }
#endif
    return std::string();
}

bool BeginOutput(const std::string& target, OutputFile* output, std::string* error) {
    output->target = target;
    output->stream = nullptr;
    unsigned long id = CurrentProcessId();
    for (int attempt = 0; attempt < 100; ++attempt) {
        output->temp = target + "." + std::to_string(id) + (attempt ? "-" + std::to_string(attempt) : "") + ".partial";
        // Watched before it exists, so that no moment is left in which an
        // interruption would leave it behind.
        WatchForInterruption(output->temp);
        bool exists = false;
        output->stream = CreateExclusiveFile(output->temp, &exists);
        if (output->stream != nullptr) return true;
        StopWatching();
        if (!exists) {
            *error = "cannot create '" + target + "': " + LastSystemError();
            output->temp.clear();
            return false;
        }
    }
    *error = "cannot create '" + target + "': no free temporary name beside it";
    output->temp.clear();
    return false;
}

bool WriteOutput(OutputFile* output, const void* data, size_t size, std::string* error) {
    if (size == 0 || std::fwrite(data, 1, size, output->stream) == size) return true;
    *error = "cannot write '" + output->target + "': " + std::strerror(errno);
    return false;
}

bool FinishOutput(OutputFile* output, std::string* error) {
    FILE* stream = output->stream;
    output->stream = nullptr;
    errno = 0;
    bool ok = std::fflush(stream) == 0;
    int flushError = errno;
    ok = std::fclose(stream) == 0 && ok;
    if (ok) return true;
    *error = "cannot write '" + output->target + "': " + std::strerror(flushError ? flushError : errno);
    return false;
}

bool CommitOutput(OutputFile* output, std::string* error) {
    // Checked again just before the move: nothing but a regular file is replaced.
    std::string problem = CheckOutputTarget(output->target);
    if (!problem.empty()) {
        *error = problem;
        AbandonOutput(output);
        return false;
    }
    if (!MoveReplacing(output->temp, output->target)) {
        *error = "cannot write '" + output->target + "': " + LastSystemError();
        AbandonOutput(output);
        return false;
    }
    StopWatching();
    output->temp.clear();
    return true;
}

void AbandonOutput(OutputFile* output) {
    if (output->stream != nullptr) std::fclose(output->stream);
    output->stream = nullptr;
    if (!output->temp.empty()) RemovePath(output->temp);
    StopWatching();
    output->temp.clear();
}
