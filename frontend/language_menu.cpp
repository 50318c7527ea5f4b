#include "frontend/language_menu.h"

#include <commctrl.h>

#include "frontend/setup_state.h"
#include "frontend/ui_strings.h"
#include "resources/setup_ids.h"

namespace {

const UINT kStateImageMask = 0xF000;
const UINT kTickedImage = 0x2000;
const UINT kUntickedImage = 0x1000;

void SetRowState(HWND list, int row, UINT state) {
    LVITEMA item = {};
    item.stateMask = kStateImageMask;
    item.state = state;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

const UiStringTable* ActiveStrings() {
    return gSetupState != nullptr ? gSetupState->uiStrings : nullptr;
}

}  // namespace

const ListColumn LanguageColumns[] = {
    {kLanguageListId, -1, LVCFMT_LEFT},
    {0, 0, 0},
};

const unsigned short LanguageMenuIds[] = {kTickAllCommand, kClearAllCommand, kInvertTicksCommand, 0};

void InsertColumns(HWND list, const ListColumn* columns) {
    const int reserve = GetSystemMetrics(SM_CXVSCROLL) + 4;
    int fixed = 0;
    for (const ListColumn* c = columns; c->id != 0; ++c) {
        if (c->width > 0) fixed += c->width;
    }
    for (int i = 0; columns[i].id != 0; ++i) {
        int width = columns[i].width;
        if (width < 0) {
            RECT client = {};
            GetClientRect(list, &client);
            width = client.right - client.left - fixed - reserve;
            if (width < 100) width = 100;
        }
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = columns[i].format & 3;
        column.cx = width;
        column.pszText = const_cast<char*>("");
        column.iSubItem = 0;
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
}

void SetColumnTexts(HWND list, const ListColumn* columns) {
    for (int i = 0; columns[i].id != 0; ++i) {
        char text[64];
        LookupUiString(ActiveStrings(), columns[i].id, text, 63);
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT;
        column.pszText = text;
        SendMessageA(list, LVM_SETCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
}

void ShowLanguageMenu(HWND dialog) {
    POINT cursor = {};
    GetCursorPos(&cursor);
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return;
    for (const unsigned short* id = LanguageMenuIds; *id != 0; ++id) {
        char text[64];
        LookupUiString(ActiveStrings(), *id, text, 63);
        if (text[0] != 0) AppendMenuA(menu, MF_STRING, *id, text);
    }
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, dialog, nullptr);
    DestroyMenu(menu);
}

void TickAllLanguages(HWND list) {
    if (list != nullptr) SetRowState(list, -1, kTickedImage);
}

void ClearAllLanguages(HWND list) {
    if (list != nullptr) SetRowState(list, -1, kUntickedImage);
}

void InvertLanguageTicks(HWND list) {
    if (list == nullptr) return;
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        UINT state = static_cast<UINT>(SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), kStateImageMask));
        SetRowState(list, row, state == kUntickedImage ? kTickedImage : kUntickedImage);
    }
    SetCursor(previous);
}
