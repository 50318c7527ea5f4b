// The rows of the language list: display name, LanguageTag as item data, tick.
#pragma once
#include <windows.h>
#include <cstdint>

#include "util/entry_roles.h"  // LanguageTag

void InsertLanguageRow(HWND listView, const char* text, LanguageTag tag);
int FindLanguageRow(HWND listView, LanguageTag tag);
LanguageTag GetLanguageTag(HWND listView, int row);
void InsertBuiltInLanguages(HWND listView);
