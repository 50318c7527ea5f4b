// Shared by 'test' and 'extract': what the tool knows about an archive's
// entries beyond the pass itself, to explain failures in plain words.
#pragma once
#include <string>
#include <vector>

// One file entry, in archive order. The pass asks the callback about every
// entry that is not a directory.
struct EntryNote {
    std::string name;
    bool directory = false;
    unsigned flags = 0;
    unsigned unpackVersion = 0;
    unsigned method = 0;
};

// Walks the archive's headers; returns false when no archive is found.
// firstEntryFlags, when given, receives HEAD_FLAGS of the first file entry
// (directories included), or 0 when there is none.
bool ReadEntryNotes(const char* path, std::vector<EntryNote>* notes, unsigned* firstEntryFlags = nullptr);
// The note of the n-th entry the pass asks about (directories skipped), or null.
const EntryNote* QueriedEntryNote(const std::vector<EntryNote>& notes, size_t n);
// Why an entry most likely failed its check.
std::string DescribeEntryFailure(const EntryNote* note);
// The message for a non-zero result of a pass (other than 3, which names an entry).
std::string DescribePassResult(int result, const char* path);
