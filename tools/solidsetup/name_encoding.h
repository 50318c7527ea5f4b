// Names in the archive are in a Windows ANSI code page (the one the setup
// creates its files with): unless the publisher chooses another, 1252 on
// Linux and the system's own ANSI code page on Windows. On Linux the tool
// converts names to and from the locale's encoding (UTF-8 also under the
// plain C locale); on Windows from and to the system's ANSI code page.
#pragma once
#include <string>

const int kDefaultArchiveCodePage = 1252;  // where the system has no ANSI code page of its own

// Chooses the archive's code page; false when the system cannot convert it.
bool SetArchiveCodePage(int codePage);
int ArchiveCodePage();
// Converts one name; false when a character has no form on the other side.
bool ArchiveNameToLocal(const std::string& stored, std::string* local);
bool LocalNameToArchive(const std::string& local, std::string* stored);
// Takes the locale from the environment (once, at start).
void UseEnvironmentLocale();
