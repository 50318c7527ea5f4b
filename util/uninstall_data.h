// What the generated uninstaller knows about the installation it removes.
// The builder appends it to the uninstaller program: lines "KEY=value"
// (ANSI, CR LF between lines), then a trailer of kUninstallTrailerSize bytes:
// the text's length (32 bits, little-endian) and kUninstallDataMagic.
#pragma once
#include <cstdint>

// The last eight bytes of an uninstaller that carries its data.
const char kUninstallDataMagic[9] = "SSUNDATA";
// Text length (4 bytes) and the magic (8 bytes) at the very end of the file.
const int kUninstallTrailerSize = 12;
// Larger texts are refused: no product lists that many files.
const uint32_t kMaxUninstallDataSize = 4u << 20;

// The keys of the text; "File" appears once per installed file name.
const char kUninstallKeyProductId[] = "ID";
const char kUninstallKeyGroup[] = "Group";
const char kUninstallKeyClass[] = "Class";
const char kUninstallKeyExe[] = "Exe";
const char kUninstallKeyFile[] = "File";

struct UninstallData {
    char productId[4];     // the registry value that remembers the folder
    char group[32];        // Start-menu group, uninstall entry, shortcut names
    char windowClass[32];  // the main window's class: a running copy is closed
    char exeName[32];      // the main program (names the shortcuts when there is no group)
    const char* files;     // fileCount names, each ending in a zero byte, one after another
    int fileCount;
};

// The text's length from the file's last kUninstallTrailerSize bytes, or 0
// when they are no trailer or announce more than the file holds before them.
uint32_t UninstallDataLength(const uint8_t* trailer, uint64_t fileSize);

// Reads the text of size bytes, rewriting it in place (the file names end up
// at its start). Unknown keys are skipped; a file name that is not a plain
// name the setup installs (folders, "..", devices, settings files) is left
// out, so the uninstaller never deletes outside its folder. Fields longer than
// their buffers are refused. False when the text is not uninstaller data.
bool ParseUninstallData(char* text, uint32_t size, UninstallData* data);
