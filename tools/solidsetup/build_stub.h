// The setup stub: the executable the archive is appended to.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The last offset at which the setup program's scan finds the archive.
const uint32_t kLastArchiveOffset = 249996;

// Where the default stub is looked for: "Setup.exe" next to this tool, then
// in the win32 build folder beside the tool's own build folder.
std::vector<std::string> DefaultStubCandidates();

// Checks a stub: a Windows executable, small enough that the archive after
// it starts at or before kLastArchiveOffset, and without bytes that the
// setup program's scan would take for an archive before the real one.
// Returns an empty string when the stub is usable, else the reason.
std::string CheckStub(const std::vector<uint8_t>& stub, const std::vector<uint8_t>& archiveStart);
