// The installation log asked for on the command line: one line per
// installed file, per registry record and per shortcut made, and the result.
// Every call does nothing while no log is open, so the steps log
// unconditionally.
#pragma once

// Opens the file for appending (created when missing). False when it cannot
// be opened for writing; no log is open then.
bool OpenInstallLog(const char* path);
// Appends "what: detail" and a line break.
void LogInstallLine(const char* what, const char* detail);
void CloseInstallLog();
