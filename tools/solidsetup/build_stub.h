// The setup stub: the executable the archive is appended to.
#pragma once
#include <filesystem>
#include <cstdint>
#include <string>
#include <vector>

// The last offset at which the setup program's scan finds the archive.
const uint32_t kLastArchiveOffset = 249996;

// Where the default stub is looked for, in this order, relative to the folder
// that holds this tool's executable (symbolic links resolved):
// "../share/solidsetup/Setup.exe" (the installed layout), "Setup.exe" beside
// the tool (the Windows zip), "../win32/Setup.exe" (the build tree).
std::vector<std::string> DefaultStubCandidates();

// The folder that holds this tool's executable (symbolic links resolved), or
// an empty path when the system does not tell. The tool's data files (the
// stub, the uninstaller) are looked for relative to it.
std::filesystem::path ToolFolder();

// The first of DefaultStubCandidates() that is a regular file, or an empty
// string when there is none.
std::string FindDefaultStub();

// Checks a stub: a Windows executable, small enough that the archive after
// it starts at or before kLastArchiveOffset, and without bytes that the
// setup program's scan would take for an archive before the real one.
// Returns an empty string when the stub is usable, else the reason.
std::string CheckStub(const std::vector<uint8_t>& stub, const std::vector<uint8_t>& archiveStart);
