// Entry names are untrusted input: before an entry becomes a file, its name
// must be a plain relative path that stays inside the destination folder.
#pragma once
#include <string>
#include <vector>

// Splits a stored name ("\" between folder names) into its components.
// Returns an empty string when the name is safe to use, else the reason it
// is refused. Double-byte characters are kept whole, so a trail byte that
// looks like a backslash does not split a name.
std::string CheckEntryName(const char* name, std::vector<std::string>* components);
