// Start-up of the setup state record.
#pragma once
#include <windows.h>

#include "common/setup_state.h"

// Fills gSetupState (which must be set): the icon, the UI language chosen
// from the system's, and the path of the running program (empty when it
// does not fit).
void InitSetupState(HINSTANCE instance);
