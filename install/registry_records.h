// The registry records of an installation: the folder it went to and the
// entry in the system's list of uninstallable programs.
#pragma once

// HKEY_CURRENT_USER "Software\Tallgrove", value named by the product id.
void WriteFolderRecord(const char* folder);
// HKEY_LOCAL_MACHINE uninstall entry named after the group.
void WriteUninstallRecord(const char* uninstallerPath);
