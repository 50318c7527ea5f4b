// The rows of the language list: display name, LanguageTag as item data, tick.
#pragma once
#include <windows.h>
#include <cstdint>

typedef uint32_t LanguageTag;  // two upper-case letters, first in the low byte: "DE" = 0x4544

inline LanguageTag MakeLanguageTag(char first, char second) {
    return static_cast<LanguageTag>(static_cast<unsigned char>(first)) |
           (static_cast<LanguageTag>(static_cast<unsigned char>(second)) << 8);
}

void InsertLanguageRow(HWND listView, const char* text, LanguageTag tag);
int FindLanguageRow(HWND listView, LanguageTag tag);
LanguageTag GetLanguageTag(HWND listView, int row);
void InsertBuiltInLanguages(HWND listView);
