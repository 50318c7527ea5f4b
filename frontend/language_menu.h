// The language list's column and its context menu commands.
#pragma once
#include <windows.h>

#include "resources/setup_ids.h"

// A column of the list: string id of its header, width in pixels (negative:
// the rest of the list's width) and format; a row with id 0 ends the table.
struct ListColumn {
    unsigned short id;
    int width;
    int format;
};

extern const ListColumn LanguageColumns[];
// Context menu commands; their texts are the UI strings of the same ids.
extern const unsigned short LanguageMenuIds[];


void InsertColumns(HWND list, const ListColumn* columns);
void SetColumnTexts(HWND list, const ListColumn* columns);
void ShowLanguageMenu(HWND dialog);
void TickAllLanguages(HWND list);
void ClearAllLanguages(HWND list);
void InvertLanguageTicks(HWND list);
