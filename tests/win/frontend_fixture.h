// Test fixture of the front-end tests: a fresh setup state (English texts)
// and the real setup dialog, created modeless from template 1000 with a
// procedure that does nothing, prepared the way dialog start-up prepares it
// (texts, language column, check-box list, built-in rows).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/language_list.h"
#include "frontend/setup_state.h"
#include "frontend/ui_strings.h"

inline INT_PTR CALLBACK InertDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

class FrontendTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitCommonControls();
        state_ = SetupState();
        gSetupState = &state_;
        state_.languageCode[0] = 'U';
        state_.languageCode[1] = 'S';
        SelectDefaultLanguage();
        dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1000), nullptr, InertDialogProc, 0);
        ASSERT_NE(dialog_, nullptr) << "dialog 1000 could not be created, error " << GetLastError();
        list_ = GetDlgItem(dialog_, 1010);
        ASSERT_NE(list_, nullptr);
        ApplyDialogTexts(dialog_, state_.uiStrings, DialogTextIds);
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.cx = 100;
        column.pszText = const_cast<char*>("Language");
        SendMessageA(list_, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
        SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, 0x424);
        InsertBuiltInLanguages(list_);
    }

    void TearDown() override {
        if (dialog_ != nullptr) DestroyWindow(dialog_);
        gSetupState = nullptr;
    }

    std::string Text(int id) const {
        char text[512] = "";
        GetDlgItemTextA(dialog_, id, text, sizeof text);
        return text;
    }
    std::string Caption() const {
        char text[512] = "";
        GetWindowTextA(dialog_, text, sizeof text);
        return text;
    }
    int RowCount() const {
        return static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
    }
    std::string RowText(int row) const {
        char text[260] = "";
        LVITEMA item = {};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(list_, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        return text;
    }
    std::vector<std::string> RowTexts() const {
        std::vector<std::string> rows;
        for (int i = 0; i < RowCount(); ++i) rows.push_back(RowText(i));
        return rows;
    }
    // State image of the row: 2 ticked, 1 not ticked.
    int RowStateImage(int row) const {
        UINT state = static_cast<UINT>(SendMessageA(list_, LVM_GETITEMSTATE, static_cast<WPARAM>(row), 0xF000));
        return static_cast<int>(state >> 12);
    }
    int RowOf(const char* code) const {
        return FindLanguageRow(list_, MakeLanguageTag(code[0], code[1]));
    }
    bool Ticked(const char* code) const {
        int row = RowOf(code);
        return row >= 0 && RowStateImage(row) == 2;
    }
    bool Checked(int id) const {
        return IsDlgButtonChecked(dialog_, id) == BST_CHECKED;
    }
    bool Visible(int id) const {
        return (GetWindowLongA(GetDlgItem(dialog_, id), GWL_STYLE) & WS_VISIBLE) != 0;
    }

    SetupState state_;
    HWND dialog_ = nullptr;
    HWND list_ = nullptr;
};
