// The files of a product folder as the builder packs them: their archive
// names (checked against what Windows and the setup program accept), their
// order in the archive, and their time stamps and attributes.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct ProductFile {
    std::filesystem::path path;  // on disk
    std::string name;            // in the archive: ANSI, "\" between folders
    uint64_t size;
    uint32_t dosTime;
    uint32_t attributes;
};

// Collects every regular file below folder. On failure returns false and
// puts a message for the user into error. Warnings that do not stop the
// build are appended to warnings.
bool CollectProductFiles(const std::filesystem::path& folder, std::vector<ProductFile>* files,
                         std::vector<std::string>* warnings, std::string* error);

// Checks one archive name: non-empty parts, characters Windows allows, no
// reserved device names, no trailing blank or full stop, at most 259 bytes.
// Returns an empty string when the name is good, else the reason.
std::string CheckArchiveName(const std::string& name);

// The default order: FILE_ID.DIZ, INSTALL.INF, the language files (*.LNG),
// then everything else, each group by name.
void SortProductFiles(std::vector<ProductFile>* files);

// Puts the files named in an order list first, in the list's order (one name
// per line, "/" or "\" between folders, case ignored; blank lines and lines
// starting with "#" are skipped); the rest follow in the order they had.
bool ApplyOrderList(const std::string& listText, std::vector<ProductFile>* files, std::string* error);

// Refuses names that Windows would take for the same file (they differ only
// in case). Files in different folders with one file name are the install
// plan's concern (they land in one folder).
bool CheckNameClashes(const std::vector<ProductFile>& files, std::string* error);
