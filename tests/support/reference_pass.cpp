// The archive pass over the reference engine, so that whole passes of the two
// engines can be compared result code for result code.
#include "archive/extract_archive.h"
#include "tests/support/reference_engine.h"

int ReferenceExtractArchive(const char* archivePath, EntryCallback entryCallback, void* userData) {
    return ExtractArchiveWith(archivePath, entryCallback, userData, ReferenceUnpackEntry);
}
