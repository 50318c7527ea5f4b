#include "install/file_operations.h"

#include <shellapi.h>

#include <cstring>

#include "util/bounded_string.h"

namespace {

// A shell path list of one entry: the path, its terminator and one more zero.
const int kListSize = 262;

bool Exists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// Extra flags for every shell operation: none with the dialog, where the
// shell may show its progress and its own errors; none of its windows when
// the installation runs unattended.
FILEOP_FLAGS gQuietFlags = 0;

int RunShellMove(HWND owner, const char* sourceList, const char* targetList, FILEOP_FLAGS extraFlags) {
    SHFILEOPSTRUCTA operation;
    std::memset(&operation, 0, sizeof operation);
    operation.hwnd = owner;
    operation.wFunc = FO_MOVE;
    operation.pFrom = sourceList;
    operation.pTo = targetList;
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | extraFlags | gQuietFlags;
    if (SHFileOperationA(&operation) != 0 || operation.fAnyOperationsAborted) return -1;
    return 0;
}

// A shell path list on the process heap: paths one after another, each with
// its terminator, and one more zero at the end.
struct PathList {
    char* text;
    int used;
    int capacity;
};

// Appends folder\name to the list; with no text yet it only counts the bytes.
bool AppendToList(PathList* list, const char* folder, const char* name) {
    char path[MAX_PATH];
    AssignBounded(folder, path, sizeof path);
    if (JoinPath(name, path, sizeof path) != kStringDone) return false;
    int length = static_cast<int>(std::strlen(path)) + 1;
    if (list->text != nullptr) {
        if (list->used + length + 1 > list->capacity) return false;
        std::memcpy(list->text + list->used, path, static_cast<size_t>(length));
        list->text[list->used + length] = 0;
    }
    list->used += length;
    return true;
}

bool IsDotName(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

bool FolderIsEmpty(const char* folder) {
    char pattern[MAX_PATH];
    AssignBounded(folder, pattern, sizeof pattern);
    if (JoinPath("*", pattern, sizeof pattern) != kStringDone) return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return true;
    bool empty = true;
    do {
        if (!IsDotName(found.cFileName)) empty = false;
    } while (empty && FindNextFileA(search, &found));
    FindClose(search);
    return empty;
}

}  // namespace

int CreateDirectoryTree(const char* path) {
    if (CreateDirectoryA(path, nullptr)) return kTreeCreated;
    if (GetLastError() != ERROR_PATH_NOT_FOUND) return kTreeFailed;
    char parent[MAX_PATH];
    AssignBounded(path, parent, sizeof parent);
    CutToDirectory(parent);
    if (std::strlen(parent) < 4) return kTreeFailed;
    int result = CreateDirectoryTree(parent);
    if (result != kTreeCreated) return result;
    return CreateDirectoryA(path, nullptr) ? kTreeCreated : kTreeLeafFailed;
}

int MakeTempFolderName(char* buffer, int size) {
    if (buffer == nullptr || size <= 0) return -1;
    buffer[0] = 0;
    DWORD length = GetTempPathA(static_cast<DWORD>(size), buffer);
    // A temporary path that does not fit leaves nothing usable in the buffer.
    if (length == 0 || length >= static_cast<DWORD>(size)) {
        buffer[0] = 0;
        return -1;
    }
    EnsureTrailingSeparator(buffer, size);
    int base = static_cast<int>(std::strlen(buffer));
    if (base == 0 || buffer[base - 1] != '\\') {  // no room even for the separator
        buffer[0] = 0;
        return -1;
    }
    for (unsigned int counter = 1; counter != 0; ++counter) {
        char digits[12];
        int count = 0;
        for (unsigned int rest = counter; rest != 0; rest >>= 4) ++count;
        // The counter must fit whole: a cut number could name a taken folder.
        if (base + count >= size) break;
        for (int i = count - 1, rest = 0; i >= 0; --i, ++rest) {
            digits[i] = "0123456789abcdef"[(counter >> (4 * rest)) & 0xF];
        }
        digits[count] = 0;
        buffer[base] = 0;
        AppendBounded(digits, buffer, size);
        if (ProbePath(buffer) != 0) return -1;
    }
    buffer[0] = 0;
    return -1;
}

int ShellMove(HWND owner, const char* source, const char* target) {
    char sourceList[kListSize] = {};
    char targetList[kListSize] = {};
    CopyBounded(source, sourceList, MAX_PATH);
    CopyBounded(target, targetList, MAX_PATH);
    if (RunShellMove(owner, sourceList, targetList, 0) != 0) return -1;
    // Some shells report success for a move they could not make (or for a
    // source that was not there): the source must be gone and the target there.
    return (Exists(source) || !Exists(target)) ? -1 : 0;
}

int ShellMoveContents(HWND owner, const char* sourceFolder, const char* targetFolder) {
    char pattern[MAX_PATH];
    AssignBounded(sourceFolder, pattern, sizeof pattern);
    if (JoinPath("*", pattern, sizeof pattern) != kStringDone) return -1;

    // One list of every item and one of its place in the target folder, so the
    // shell moves each onto its own name: moving the folder itself onto an
    // existing folder would put it inside that folder instead. The first
    // round counts the bytes, the second fills the lists.
    PathList sources = {nullptr, 0, 0};
    PathList targets = {nullptr, 0, 0};
    int result = -1;
    for (int round = 0; round < 2; ++round) {
        if (round == 1) {
            if (sources.used == 0) return 0;  // nothing to move
            sources.capacity = sources.used + 1;
            targets.capacity = targets.used + 1;
            HANDLE heap = GetProcessHeap();
            sources.text = static_cast<char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, static_cast<SIZE_T>(sources.capacity)));
            targets.text = static_cast<char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, static_cast<SIZE_T>(targets.capacity)));
            if (sources.text == nullptr || targets.text == nullptr) break;
            sources.used = targets.used = 0;
        }
        bool fits = true;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(pattern, &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (IsDotName(found.cFileName)) continue;
                fits = AppendToList(&sources, sourceFolder, found.cFileName) &&
                       AppendToList(&targets, targetFolder, found.cFileName);
            } while (fits && FindNextFileA(search, &found));
            FindClose(search);
        }
        if (!fits) break;
        if (round == 1 && RunShellMove(owner, sources.text, targets.text, FOF_MULTIDESTFILES) == 0) {
            // Some shells report success for files they could not replace.
            result = FolderIsEmpty(sourceFolder) ? 0 : -1;
        }
    }
    if (sources.text != nullptr) HeapFree(GetProcessHeap(), 0, sources.text);
    if (targets.text != nullptr) HeapFree(GetProcessHeap(), 0, targets.text);
    return result;
}

void QuietShellOperations() {
    gQuietFlags = FOF_SILENT | FOF_NOERRORUI;
}

void ShellDelete(const char* path) {
    if (path == nullptr || !Exists(path)) return;
    char list[kListSize] = {};
    AssignBounded(path, list, 260);
    SHFILEOPSTRUCTA operation;
    std::memset(&operation, 0, sizeof operation);
    operation.wFunc = FO_DELETE;
    operation.pFrom = list;
    operation.fFlags = FOF_NOCONFIRMATION | gQuietFlags;
    SHFileOperationA(&operation);
}

void RenameOldSystemLibrary(const char* destination) {
    char oldName[MAX_PATH];
    char newName[MAX_PATH];
    AssignBounded(destination, oldName, sizeof oldName);
    EnsureTrailingSeparator(oldName, sizeof oldName);
    AssignBounded(oldName, newName, sizeof newName);
    // A name cut short by a long folder path would name some other file.
    if (AppendBounded("PSAPI.DLL", oldName, sizeof oldName) != kStringDone) return;
    if (AppendBounded("TG", newName, sizeof newName) != kStringDone) return;
    if (AppendBounded("PSAPI.DLL", newName, sizeof newName) != kStringDone) return;
    MoveFileA(oldName, newName);
}
