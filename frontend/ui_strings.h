// The built-in UI texts in three languages and their lookup.
#pragma once
#include <windows.h>
#include "common/setup_state.h"

extern const UiStringTable kEnglishStrings[];
extern const UiStringTable kGermanStrings[];
extern const UiStringTable kItalianStrings[];
// The built-in tables in order (English first, the default), then null.
extern const UiStringTable* const kUiStringTables[];
// The ids that give the setup dialog its texts: caption first, then controls, 0 last.
extern const unsigned short DialogTextIds[];

void DetectSystemLanguage(char* code);
void SelectDefaultLanguage();
void LookupUiString(const UiStringTable* table, unsigned short id, char* buffer, unsigned int size);
void ExpandTabEscapes(char* text);
void ApplyDialogTexts(HWND window, const UiStringTable* table, const unsigned short* ids);
// The UI language code ("DE", "IT" or "US") for a Windows language identifier.
void LanguageCodeForId(unsigned short languageId, char* code);
