// The record the install procedure hands to the install pass's entry callback
// and to the shortcut step. Lives for one press of OK.
#pragma once
#include <windows.h>
#include <cstdint>

// A language row when there is no dialog (an unattended installation).
struct LanguageChoice {
    uint32_t tag;  // LanguageTag: two upper-case letters, first in the low byte
    bool ticked;
};

struct InstallContext {
    HWND dialog;                    // the setup dialog: language list 1010, status line 1047; null when unattended
    const LanguageChoice* languages;  // without a dialog: the rows the list would show; null with a dialog
    int languageCount;
    int32_t germanEntryCount;       // entries let through with the language tag "DE"
    char destination[260];          // where entries go; during a retry, the stand-in under the temporary folder
    char exeName[32];               // the main program's file name
    char licenseTextName[32];
    char orderFormName[32];
    char germanOrderFormName[32];
    char uninstallerName[32];
    char tempFolder[260];           // the numbered temporary folder of a retry; empty without one
    char savedDestination[260];     // the folder the user gave, kept here during a retry
};

// EntryCallback of the install pass (userData is the InstallContext): leaves an
// empty name to discard the entry or the full target path to write it there.
// Always returns 0.
int InstallEntryCallback(char* nameBuffer, const uint8_t* data, uint32_t size, void* userData);
