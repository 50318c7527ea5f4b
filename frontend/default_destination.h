// The destination folder and option ticks proposed when the dialog opens.
#pragma once
#include <windows.h>

void DefaultDestination(char* buffer, int size);
void ShowDefaultDestination(HWND dialog);
void RefreshLanguageTicks(HWND dialog, const char* folder);
void LanguageFilePath(const char* folder, const char* code, char* output, int size);
