// The uninstaller's texts in the setup's three languages, chosen by the same
// rule as the setup's (the system's default language).
#pragma once
#include "common/setup_state.h"  // UiStringTable

enum : unsigned short {
    kUninstallCaptionText = 4000,
    kConfirmText = 4001,        // "%s": the product's name
    kRemovedText = 4002,        // "%s": the product's name
    kPartlyRemovedText = 4003,  // "%s": the product's name; a list follows
    kAtRestartText = 4004,      // heads the files removed at the next restart
    kNotRemovedText = 4005,     // heads what could not be removed
    kUninstallUsageText = 4006,
};

// The table for the system's default language (English when it is neither
// German nor Italian).
const UiStringTable* SelectUninstallTexts();
