// A structural check of an archive's blocks for 'list' and 'test', stricter
// than the setup's own reader: the header checksums of the main header, the
// file headers and the end block are verified, a block cut
// short by the end of the file is reported, and a missing end-of-archive block
// is noticed (every archive the builder writes ends with one, so an archive
// cut exactly between two blocks shows there).
#pragma once
#include <string>
#include <vector>

struct BlockCheck {
    bool found = false;       // an archive was found at all
    bool endBlock = false;    // the walk reached an end-of-archive block
    std::vector<std::string> damage;  // header checksum mismatches, blocks cut short
};

// Walks every block of the archive in the file at path.
BlockCheck CheckArchiveBlocks(const char* path);
// Prints the damage (as errors) and a missing end block (as a warning) to
// stderr; returns true when there is damage.
bool ReportBlockCheck(const BlockCheck& check, const char* path);
