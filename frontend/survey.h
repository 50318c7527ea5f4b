// The survey pass: what the dialog learns from the archive before it opens.
#pragma once
#include <windows.h>
#include <cstdint>

#include "util/entry_roles.h"  // the survey's answers
#include "util/setup_text.h"   // ReadKeyValue

// The title control's font; its height is set when the title is shown.
extern LOGFONTA TitleFont;

// EntryCallback of the survey pass; userData is the dialog. Always returns 0.
int SurveyEntryCallback(char* nameBuffer, const uint8_t* data, uint32_t size, void* userData);
void ReadTitleLine(HWND dialog, const char* contents);
void ReadInstallKeys(const char* contents);
// contents holds size bytes followed by one zero byte; entryName ends in "_XX.LNG".
void AddLanguageFromFile(HWND dialog, const uint8_t* contents, uint32_t size, const char* entryName);
