#include "gui_driver.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

namespace {

const DWORD kPoll = 50;

struct FindContext {
    DWORD processId;
    std::vector<HWND>* found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM parameter) {
    FindContext* context = reinterpret_cast<FindContext*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    if (owner == context->processId && std::strcmp(className, "#32770") == 0 && IsWindowVisible(window)) {
        context->found->push_back(window);
    }
    return TRUE;
}

bool IsSetupDialog(HWND window) {
    return GetDlgItem(window, 1010) != nullptr;
}

// Memory in another process, freed when it goes out of scope.
struct RemoteMemory {
    HANDLE process = nullptr;
    char* address = nullptr;
    RemoteMemory(HWND window, size_t size) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
        if (process != nullptr) {
            address = static_cast<char*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
        }
    }
    ~RemoteMemory() {
        if (address != nullptr) VirtualFreeEx(process, address, 0, MEM_RELEASE);
        if (process != nullptr) CloseHandle(process);
    }
    bool Write(const void* data, size_t size, size_t offset = 0) {
        return address != nullptr && WriteProcessMemory(process, address + offset, data, size, nullptr);
    }
    bool Read(void* data, size_t size, size_t offset = 0) {
        return address != nullptr && ReadProcessMemory(process, address + offset, data, size, nullptr);
    }
};

struct ChildSearch {
    bool wantIcon;
    HWND found;
};

BOOL CALLBACK FindStatic(HWND child, LPARAM parameter) {
    ChildSearch* search = reinterpret_cast<ChildSearch*>(parameter);
    char className[32] = "";
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Static") != 0) return TRUE;
    LONG style = GetWindowLongA(child, GWL_STYLE);
    bool isIcon = (style & SS_TYPEMASK) == SS_ICON;
    if (isIcon != search->wantIcon) return TRUE;
    if (!isIcon && GetWindowTextLengthA(child) == 0) return TRUE;
    search->found = child;
    return FALSE;
}

// The window's first static control with text (a message box's message);
// null when it has none.
HWND FirstTextControl(HWND window) {
    ChildSearch text = {false, nullptr};
    EnumChildWindows(window, FindStatic, reinterpret_cast<LPARAM>(&text));
    return text.found;
}

// The pixels of a rectangle of the screen, 32 bits each.
std::vector<uint32_t> CapturePixels(HDC source, int x, int y, int width, int height) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    GdiFlush();
    std::memcpy(pixels.data(), bits, pixels.size() * 4);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return pixels;
}

// The system icon drawn over the dialog's background, for comparison.
std::vector<uint32_t> RenderIcon(LPCSTR id, int width, int height, COLORREF background) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all = {0, 0, width, height};
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIconEx(memory, 0, 0, LoadIconA(nullptr, id), width, height, 0, nullptr, DI_NORMAL);
    std::vector<uint32_t> pixels = CapturePixels(memory, 0, 0, width, height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

std::string IdentifyIcon(HWND iconControl) {
    if (iconControl == nullptr) return "none";
    RECT r;
    GetWindowRect(iconControl, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return "unknown";
    HDC screen = GetDC(nullptr);
    std::vector<uint32_t> seen = CapturePixels(screen, r.left, r.top, width, height);
    ReleaseDC(nullptr, screen);
    // The corner pixel is the dialog's background under the icon's transparent part.
    COLORREF corner = RGB((seen[0] >> 16) & 0xFF, (seen[0] >> 8) & 0xFF, seen[0] & 0xFF);
    struct Candidate {
        LPCSTR id;
        const char* name;
    } candidates[] = {{IDI_HAND, "hand"}, {IDI_ASTERISK, "information"}, {IDI_QUESTION, "question"},
                      {IDI_EXCLAMATION, "exclamation"}};
    const char* best = "unknown";
    size_t bestDifferences = seen.size() / 4;  // more than a quarter differing: no match
    for (const Candidate& c : candidates) {
        std::vector<uint32_t> reference = RenderIcon(c.id, width, height, corner);
        size_t differences = 0;
        for (size_t i = 0; i < seen.size(); ++i) differences += (seen[i] & 0xFFFFFF) != (reference[i] & 0xFFFFFF);
        if (differences < bestDifferences) {
            bestDifferences = differences;
            best = c.name;
        }
    }
    return best;
}

// Whether the centre of the control shows the control itself rather than a
// window laid over it.
bool IsUncovered(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    POINT centre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    HWND seen = WindowFromPoint(centre);
    return seen == control || seen == GetParent(control);
}

// The icon a message box shows. The screen is shared with the scenarios that
// run beside this one, and a loaded machine paints late: while a window of
// theirs covers the box or the icon is not painted yet, the box is raised
// and repainted and the icon read again, for up to ten seconds.
std::string ReadIcon(HWND box, HWND iconControl) {
    if (iconControl == nullptr) return "none";
    std::string icon = "unknown";
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (IsUncovered(iconControl)) {
            icon = IdentifyIcon(iconControl);
            if (icon != "unknown") return icon;
        }
        SetWindowPos(box, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        Sleep(100);
    }
    return icon;
}

struct MenuSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindPopupMenu(HWND window, LPARAM parameter) {
    MenuSearch* search = reinterpret_cast<MenuSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (owner == search->processId && std::strcmp(className, "#32768") == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The pop-up menu a process shows at the moment, if any.
HWND VisiblePopupMenu(DWORD processId) {
    MenuSearch search = {processId, nullptr};
    EnumWindows(FindPopupMenu, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

std::vector<HWND> ProcessDialogs(DWORD processId) {
    std::vector<HWND> found;
    FindContext context = {processId, &found};
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&context));
    return found;
}

HWND WaitForSetupDialog(DWORD processId, DWORD timeoutMs) {
    for (DWORD waited = 0; waited <= timeoutMs; waited += kPoll) {
        for (HWND window : ProcessDialogs(processId)) {
            if (IsSetupDialog(window)) return window;
        }
        Sleep(kPoll);
    }
    return nullptr;
}

namespace {

struct Description {
    DWORD processId;
    std::string text;
};

BOOL CALLBACK DescribeWindow(HWND window, LPARAM parameter) {
    Description* description = reinterpret_cast<Description*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != description->processId) return TRUE;
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    description->text += std::string(description->text.empty() ? "" : "; ") + className + " \"" +
                         WindowText(window) + "\" " + (IsWindowVisible(window) ? "visible" : "hidden");
    HWND text = FirstTextControl(window);
    if (text != nullptr) description->text += " text \"" + WindowText(text) + "\"";
    return TRUE;
}

}  // namespace

std::string DescribeProcessWindows(DWORD processId) {
    Description description = {processId, ""};
    EnumWindows(DescribeWindow, reinterpret_cast<LPARAM>(&description));
    return description.text.empty() ? "no windows" : description.text;
}

MessageBoxSeen WaitForMessageBox(DWORD processId, DWORD timeoutMs) {
    MessageBoxSeen box;
    for (DWORD waited = 0; waited <= timeoutMs; waited += kPoll) {
        for (HWND window : ProcessDialogs(processId)) {
            if (IsSetupDialog(window)) continue;
            Sleep(200);  // let it paint before its icon is looked at
            box.window = window;
            box.caption = WindowText(window);
            HWND text = FirstTextControl(window);
            box.text = text != nullptr ? WindowText(text) : "";
            ChildSearch icon = {true, nullptr};
            EnumChildWindows(window, FindStatic, reinterpret_cast<LPARAM>(&icon));
            box.icon = ReadIcon(window, icon.found);
            return box;
        }
        Sleep(kPoll);
    }
    return box;
}

void CloseMessageBox(const MessageBoxSeen& box) {
    if (box.window == nullptr) return;
    HWND ok = GetDlgItem(box.window, IDOK);
    if (ok != nullptr) {
        PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    } else {
        PostMessageA(box.window, WM_COMMAND, IDCANCEL, 0);
    }
}

std::string WindowText(HWND window) {
    char text[1024] = "";
    // WM_GETTEXT is carried across processes by the system.
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string ControlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control ? WindowText(control) : std::string();
}

void SetControlText(HWND dialog, int id, const std::string& text) {
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool IsChecked(HWND dialog, int id) {
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND dialog, int id, bool checked) {
    SendMessageA(GetDlgItem(dialog, id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool IsControlVisible(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control != nullptr && (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

void ClickButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

std::vector<ListRow> ReadListRows(HWND list) {
    std::vector<ListRow> rows;
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    RemoteMemory remote(list, sizeof(LVITEMA) + 260);
    for (int row = 0; row < count; ++row) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
        item.iItem = row;
        item.stateMask = 0xF000;
        item.pszText = remote.address + sizeof(LVITEMA);
        item.cchTextMax = 260;
        if (!remote.Write(&item, sizeof item)) break;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote.address));
        char text[261] = "";
        remote.Read(&item, sizeof item);
        remote.Read(text, 260, sizeof(LVITEMA));
        ListRow r;
        r.text = text;
        r.data = item.lParam;
        r.ticked = (item.state & 0xF000) == 0x2000;
        rows.push_back(r);
    }
    return rows;
}

std::string ListColumnText(HWND list, int column) {
    RemoteMemory remote(list, sizeof(LVCOLUMNA) + 260);
    LVCOLUMNA c = {};
    c.mask = LVCF_TEXT;
    c.pszText = remote.address + sizeof(LVCOLUMNA);
    c.cchTextMax = 260;
    remote.Write(&c, sizeof c);
    SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(remote.address));
    char text[261] = "";
    remote.Read(text, 260, sizeof(LVCOLUMNA));
    return text;
}

namespace {

struct ClassSearch {
    const char* className;
    HWND found;
};

BOOL CALLBACK FindClass(HWND child, LPARAM parameter) {
    ClassSearch* search = reinterpret_cast<ClassSearch*>(parameter);
    char className[64] = "";
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, search->className) != 0) return TRUE;
    search->found = child;
    return FALSE;
}

}  // namespace

HWND FindChildOfClass(HWND parent, const char* className) {
    ClassSearch search = {className, nullptr};
    EnumChildWindows(parent, FindClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<std::string> SelectedTreePath(HWND tree) {
    std::vector<std::string> path;
    RemoteMemory remote(tree, sizeof(TVITEMA) + 260);
    HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    while (item != nullptr && path.size() < 64) {
        TVITEMA request = {};
        request.mask = TVIF_TEXT;
        request.hItem = item;
        request.pszText = remote.address + sizeof(TVITEMA);
        request.cchTextMax = 260;
        if (!remote.Write(&request, sizeof request)) break;
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote.address));
        char text[261] = "";
        remote.Read(text, 260, sizeof(TVITEMA));
        path.push_back(text);
        item = reinterpret_cast<HTREEITEM>(
            SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)));
    }
    return path;
}

void SetRowTicked(HWND list, int row, bool ticked) {
    RemoteMemory remote(list, sizeof(LVITEMA));
    LVITEMA item = {};
    item.stateMask = 0xF000;
    item.state = ticked ? 0x2000 : 0x1000;
    remote.Write(&item, sizeof item);
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.address));
}

bool ChooseContextMenuItem(HWND dialog, HWND list, int position, const std::string& screenshot) {
    DWORD processId = 0;
    GetWindowThreadProcessId(dialog, &processId);
    RECT r;
    GetWindowRect(list, &r);
    SetCursorPos(r.left + 10, r.top + 30);
    PostMessageA(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(r.left + 10, r.top + 30));
    HWND menuWindow = nullptr;
    for (DWORD waited = 0; waited < 5000 && menuWindow == nullptr; waited += kPoll) {
        menuWindow = VisiblePopupMenu(processId);
        if (menuWindow == nullptr) Sleep(kPoll);
    }
    if (menuWindow == nullptr) return false;
    // A window manager may have restacked the windows when the menu opened:
    // let the dialog repaint before the screen is taken.
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    Sleep(600);
    if (!screenshot.empty()) SaveScreenshot(GetDesktopWindow(), screenshot);
    // The keyboard, as a user would: the first Down selects the first item.
    for (int i = 0; i <= position; ++i) {
        PostMessageA(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
        Sleep(50);
    }
    PostMessageA(menuWindow, WM_KEYDOWN, VK_RETURN, 0);
    for (DWORD waited = 0; waited < 3000 && IsWindowVisible(menuWindow); waited += kPoll) Sleep(kPoll);
    Sleep(300);  // the chosen command runs after the menu has closed
    return !IsWindowVisible(menuWindow);
}

bool SaveScreenshot(HWND window, const std::string& path) {
    RECT r;
    if (!GetWindowRect(window, &r)) return false;
    int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    std::vector<uint32_t> pixels = CapturePixels(screen, r.left, r.top, width, height);
    ReleaseDC(nullptr, screen);
    int rowBytes = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(rowBytes * height);
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info, sizeof info, 1, out);
    std::vector<unsigned char> line(static_cast<size_t>(rowBytes));
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixels[static_cast<size_t>(y) * width + x];
            line[x * 3] = p & 0xFF;
            line[x * 3 + 1] = (p >> 8) & 0xFF;
            line[x * 3 + 2] = (p >> 16) & 0xFF;
        }
        std::fwrite(line.data(), 1, line.size(), out);
    }
    std::fclose(out);
    return true;
}

bool WaitForExit(HANDLE process, DWORD timeoutMs, DWORD* exitCode) {
    if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) return false;
    if (exitCode != nullptr) GetExitCodeProcess(process, exitCode);
    return true;
}
