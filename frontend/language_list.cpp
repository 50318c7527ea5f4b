#include "frontend/language_list.h"

#include <commctrl.h>

#include "frontend/setup_state.h"
#include "frontend/ui_strings.h"
#include "resources/setup_ids.h"

namespace {
const UINT kStateImageMask = 0xF000;
const UINT kTicked = 0x2000;
}  // namespace

void InsertLanguageRow(HWND listView, const char* text, LanguageTag tag) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<char*>(text);
    item.lParam = static_cast<LPARAM>(tag);
    int row = static_cast<int>(SendMessageA(listView, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    // Index -1 would tick every row: a row that was not inserted gets nothing.
    if (row < 0) return;

    // The list sorts its rows, so the new row's index is the one just returned.
    LVITEMA state = {};
    state.stateMask = kStateImageMask;
    state.state = kTicked;
    SendMessageA(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
}

int FindLanguageRow(HWND listView, LanguageTag tag) {
    LVFINDINFOA find = {};
    find.flags = LVFI_PARAM;
    find.lParam = static_cast<LPARAM>(tag);
    return static_cast<int>(SendMessageA(listView, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

LanguageTag GetLanguageTag(HWND listView, int row) {
    char text[260];
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = row;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    if (!SendMessageA(listView, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return 0;
    return static_cast<LanguageTag>(item.lParam);
}

void InsertBuiltInLanguages(HWND listView) {
    char name[32];
    const UiStringTable* table = gSetupState ? gSetupState->uiStrings : nullptr;
    LookupUiString(table, kEnglishTextId, name, 31);
    InsertLanguageRow(listView, name, MakeLanguageTag('U', 'S'));
    LookupUiString(table, kGermanTextId, name, 31);
    InsertLanguageRow(listView, name, MakeLanguageTag('D', 'E'));
}
