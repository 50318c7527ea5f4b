// The message boxes the setup shows and the system's error texts.
#pragma once
#include <windows.h>

int ShowMessage(HWND owner, const char* text, const char* caption, UINT flags);
int ShowUiMessage(HWND owner, unsigned short id, const char* caption, UINT flags);
void FormatSystemError(DWORD code, char* buffer, int size, bool flatten);
int ShowSystemError(HWND owner, DWORD code, const char* caption);
