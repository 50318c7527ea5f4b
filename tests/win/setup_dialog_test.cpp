// The setup dialog's own pieces, in process: the language column, the context
// menu and its commands, centring, and initialisation without an archive.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/language_menu.h"
#include "frontend/setup_dialog.h"
#include "tests/win/frontend_fixture.h"

namespace {

class SetupDialogPieces : public FrontendTest {
protected:
    void AddRows() {
        InsertLanguageRow(list_, "French ", MakeLanguageTag('F', 'R'));
        InsertLanguageRow(list_, "Italian ", MakeLanguageTag('I', 'T'));
    }
    std::vector<int> Images() const {
        std::vector<int> images;
        for (int row = 0; row < RowCount(); ++row) images.push_back(RowStateImage(row));
        return images;
    }
};

TEST_F(SetupDialogPieces, ColumnFillsTheListAndTakesItsText) {
    HWND list = CreateWindowA(WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 300, 100, dialog_, nullptr, nullptr, nullptr);
    InsertColumns(list, LanguageColumns);
    SetColumnTexts(list, LanguageColumns);
    RECT client;
    GetClientRect(list, &client);
    int width = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0));
    EXPECT_EQ(width, client.right - GetSystemMetrics(SM_CXVSCROLL) - 4);
    char text[64] = "";
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT;
    column.pszText = text;
    column.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    EXPECT_STREQ(text, "Language");

    // A narrow list still gets a column of at least 100 pixels.
    HWND narrow = CreateWindowA(WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 60, 100, dialog_, nullptr, nullptr, nullptr);
    InsertColumns(narrow, LanguageColumns);
    EXPECT_EQ(SendMessageA(narrow, LVM_GETCOLUMNWIDTH, 0, 0), 100);
}

TEST_F(SetupDialogPieces, TickClearAndInvert) {
    AddRows();
    ClearAllLanguages(list_);
    EXPECT_EQ(Images(), (std::vector<int>{1, 1, 1, 1}));
    TickAllLanguages(list_);
    EXPECT_EQ(Images(), (std::vector<int>{2, 2, 2, 2}));
    // ticked, unticked, ticked, unticked -> unticked, ticked, unticked, ticked
    ClearAllLanguages(list_);
    TickAllLanguages(nullptr);  // no list: nothing happens
    LVITEMA item = {};
    item.stateMask = 0xF000;
    item.state = 0x2000;
    SendMessageA(list_, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    SendMessageA(list_, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&item));
    InvertLanguageTicks(list_);
    EXPECT_EQ(Images(), (std::vector<int>{1, 2, 1, 2}));
    InvertLanguageTicks(nullptr);
}

// The menu is modal: a timer on this thread reads it while it is open and
// closes it again.
std::vector<std::string> gMenuItems;

void CALLBACK ReadOpenMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND menuWindow = FindWindowA("#32768", nullptr);
    HMENU menu = menuWindow ? reinterpret_cast<HMENU>(SendMessageA(menuWindow, 0x01E1 /* MN_GETHMENU */, 0, 0)) : nullptr;
    if (menu == nullptr) return;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[64] = "";
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        gMenuItems.push_back(std::to_string(GetMenuItemID(menu, i)) + " " + text);
    }
    KillTimer(nullptr, timer);
    EndMenu();
}

TEST_F(SetupDialogPieces, ContextMenuOffersTheThreeCommands) {
    gMenuItems.clear();
    UINT_PTR timer = SetTimer(nullptr, 0, 200, ReadOpenMenu);
    ShowLanguageMenu(dialog_);
    KillTimer(nullptr, timer);
    EXPECT_EQ(gMenuItems, (std::vector<std::string>{"136 Select &all", "137 &Deselect all", "138 &Invert selection"}));
}

TEST_F(SetupDialogPieces, CentredOnTheDesktop) {
    CentreOnDesktop(dialog_);
    RECT desktop, own;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(dialog_, &own);
    EXPECT_EQ(own.left, ((desktop.right - desktop.left) - (own.right - own.left)) >> 1);
    EXPECT_EQ(own.top, ((desktop.bottom - desktop.top) - (own.bottom - own.top)) >> 1);
}

}  // namespace
