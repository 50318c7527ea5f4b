// One complete pass over the archive appended to a file.
#pragma once
#include "archive/extraction_context.h"

int ExtractArchive(const char* archivePath, EntryCallback entryCallback, void* userData);

// What a pass can tell beyond its result code.
struct PassReport {
    // With result 3: the system's error number when the entry's file could
    // not be written whole (disk full, file too large); 0 when its contents
    // were damaged.
    int writeError;
    // With result 3: set when a block's header, name or data area runs past
    // the end of the file (an archive cut short), at file offset cutShortAt.
    bool cutShort;
    int32_t cutShortAt;
};
// ExtractArchive, filling the report (when not null).
int ExtractArchiveWithReport(const char* archivePath, EntryCallback entryCallback, void* userData,
                             PassReport* report);
int CopyStoredEntry(ExtractionContext* context);
