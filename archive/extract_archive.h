// One complete pass over the archive appended to a file.
#pragma once
#include "archive/extraction_context.h"

int ExtractArchive(const char* archivePath, EntryCallback entryCallback, void* userData);
int CopyStoredEntry(ExtractionContext* context);
