// What makes a single file or folder name safe to create on Windows: archive
// names are untrusted, and a name that Windows would change (trailing dots
// and blanks), resolve elsewhere ("..", drive letters, streams) or open as a
// device (CON, NUL, COM1 ...) must never become a path.
#pragma once

// True for the names Windows maps to devices in every folder, with or
// without an extension: CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-9, LPT1-9
// (also with the superscript digits 1, 2 and 3).
bool IsReservedDeviceName(const char* name);
// Null when name (one component, no separators) is safe to create as it
// stands; otherwise why it is not. Double-byte characters are kept whole.
const char* UnsafeFileNameReason(const char* name);
// The name under which the setup installs an archive entry: the entry's
// file-name part (folders inside the archive are not reproduced), or null
// when the setup never installs the entry (a settings file "*.INF", or a
// name that is not safe to create). The setup and the uninstaller's list
// of installed files both come from here.
const char* InstalledFileName(const char* entryName);
