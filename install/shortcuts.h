// Shell links: the program group, the desktop and Quick Launch shortcuts.
#pragma once
#include <windows.h>
#include "install/install_context.h"

// Writes a link with the target, the working folder and SW_SHOW. Returns the
// last COM result, or 0 when a fault inside the shell objects was caught.
HRESULT CreateShortcut(const char* linkPath, const char* targetPath, const char* workingFolder);
void CreateGroupShortcut(const char* shortcutName, const char* installedFolder, const char* targetFileName,
                         const char* groupFolder);
void CreateProgramGroup(HWND owner, const InstallContext* context);
void CreateDesktopShortcut(const char* targetPath, const char* shortcutName);
void CreateQuickLaunchShortcut(const char* targetPath, const char* shortcutName);
