// The build's output file, written atomically: the new file is created under a
// fresh temporary name beside the target (exclusively, so that nothing planted
// under that name is written through or replaced), and it replaces the target
// only when it is complete. An existing target that is not a regular file is
// never replaced, and an interrupted build (Ctrl-C, SIGTERM) removes the
// temporary file. Error messages name the target the user gave and give the
// system's reason.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

struct OutputFile {
    std::string target;  // as the user gave it
    std::string temp;    // the file being written
    FILE* stream = nullptr;
};

// This process's id: part of the temporary names, so that two builds never share one.
unsigned long CurrentProcessId();

// Opens a new file for writing and reading, exclusively: fails when anything
// (a file, a link, a folder) already has the name, with *exists set; links
// are never followed.
FILE* CreateExclusiveFile(const std::string& path, bool* exists);

// Empty when the target is missing or a regular file; otherwise why it cannot be replaced.
std::string CheckOutputTarget(const std::string& target);
// Creates the temporary file. False with the reason in error.
bool BeginOutput(const std::string& target, OutputFile* output, std::string* error);
bool WriteOutput(OutputFile* output, const void* data, size_t size, std::string* error);
// Closes the stream, flushing it; the file stays for reading back.
bool FinishOutput(OutputFile* output, std::string* error);
// Moves the finished file over the target.
bool CommitOutput(OutputFile* output, std::string* error);
// Closes and removes the temporary file (a failed build leaves the target as it was).
void AbandonOutput(OutputFile* output);
