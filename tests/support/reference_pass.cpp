// The archive pass compiled a second time, over the reference engine, so that
// whole passes of the two engines can be compared result code for result code.
#include "tests/support/reference_engine.h"

#define ExtractArchive ReferenceExtractArchive
#define ExtractArchiveWithReport ReferenceExtractArchiveWithReport
#define CopyStoredEntry ReferenceCopyStoredEntry
#define UnpackEntry ReferenceUnpackEntry
#include "archive/extract_archive.cpp"
