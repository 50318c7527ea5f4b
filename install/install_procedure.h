// What the setup dialog runs when the user presses OK, and the installation
// itself, which an unattended setup runs without any dialog.
#pragma once
#include <windows.h>

#include "install/install_context.h"

// The shortcuts to make once the files are in place.
struct InstallChoices {
    bool startMenu;
    bool desktop;
    bool quickLaunch;
};

// Installs into context->destination (not empty): the install pass, the
// retry through the temporary folder, the registry records and the chosen
// shortcuts. context->dialog may be null; nothing here shows a message.
// Returns 0 when installed. Otherwise *passFailed tells whether the archive
// pass failed (the result is then its code: kExtractCannotCreate when no
// output file could be created, also after the retry) or the shell could not
// move the retry's folder into place (-1).
int PerformInstall(InstallContext* context, const InstallChoices& choices, bool* passFailed);

// Installs into the folder named by the dialog's destination field.
// 0: installed, the dialog closes. Anything else leaves the dialog open after
// a stop box: the system's text for "cannot make" when no output file could
// be created or the retry's folder could not be moved into place, the
// broken-file text for any other failure of the pass. An empty destination
// returns -1 with no box.
int RunInstall(HWND dialog);
