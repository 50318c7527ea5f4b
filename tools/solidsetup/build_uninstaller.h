// The uninstaller that 'build' adds to a product without one of its own: our
// uninstaller program with the installation's data appended.
#pragma once
#include <string>
#include <vector>

#include "tools/solidsetup/build_files.h"

// What the installation will leave, as the setup program will do it: every
// installed file name (every language's files, flattened as the setup
// flattens them, without the uninstaller itself), the product id, the group
// (INSTALL.INF's Group, else FILE_ID.DIZ's title), the window class and the
// main program. files are in archive order.
std::string DescribeInstallation(const std::vector<ProductFile>& files);

// Where the uninstaller program is looked for, as the stub is: the installed
// layout ("../share/solidsetup/Uninstaller.exe" from this tool's folder), next
// to this tool (the Windows zip), then the win32 build folder beside the
// tool's own build folder.
std::vector<std::string> DefaultUninstallerCandidates();

// When files hold no "UnInst.exe", writes the uninstaller program (from
// programPath, or the default candidates when empty) with the description
// appended to scratchPath and adds it to files as "UnInst.exe". Without any
// uninstaller program a warning says so and the setup gets none. False on a
// real failure (unreadable program, unwritable scratch file), with error set.
bool AddGeneratedUninstaller(const std::string& programPath, const std::string& scratchPath,
                             std::vector<ProductFile>* files, std::vector<std::string>* warnings, std::string* error);
