// Finding the archive inside a file and walking its block headers. Each
// function reads from the context's archiveStream and fills its headers.
#pragma once
#include <cstdint>

struct ExtractionContext;

// Returns non-zero when an archive was found: at the file's start or, when
// the file does not start with the marker, within the first 250,000 bytes
// after offset 7. The stream then stands after the 13 bytes of the main header.
int LocateArchive(ExtractionContext* context);
// Reads the fixed part of a main header (type kBlockMain) or of a file
// header (any other type) into mainHeader or fileHeader; returns the number
// of bytes read (bytes past the end of the file read as zero).
int ReadFixedHeader(ExtractionContext* context, uint8_t type);
// Moves to the next file entry or sub-block, skipping every other block.
// For a file entry: returns the bytes of header and name read, with
// entryName, fileHeader, blockStart and nextBlock set and the stream after
// the name. Returns 0 at the end of the archive, at an end block and at a
// header that is cut short or names an impossible size; fileHeader then
// keeps the last entry's fields.
int ReadNextEntryBlock(ExtractionContext* context);
// Turns every "/" in entryName into a backslash and applies NormalizeEntryAttributes.
void NormalizeEntryHeader(ExtractionContext* context);
// Entries from other host systems get Windows attributes: a folder when the
// dictionary bits mark a directory, an ordinary file otherwise.
void NormalizeEntryAttributes(ExtractionContext* context);
