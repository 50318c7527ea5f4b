// The one process-wide record of the setup's state, which the front end fills
// at start-up and from the archive survey and the installation reads.
#pragma once
#include <windows.h>

struct UiStringEntry {
    unsigned short id;
    const void* text;  // narrow text, or UTF-16 when the table's header id is 0xFFFF
};
typedef UiStringEntry UiStringTable;  // a table is an array of entries ending with id 0

struct SetupState {
    HICON icon;
    char languageCode[4];
    const UiStringTable* uiStrings;
    char productId[4];
    char group[32];
    char windowClass[32];
    char exeName[32];
    char fileStem[32];
    char selfPath[260];
};

// Set once by WinMain (or a test), read everywhere else; null before that.
extern SetupState* gSetupState;
