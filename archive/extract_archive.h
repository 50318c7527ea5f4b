// One complete pass over the archive appended to a file.
#pragma once
#include "archive/extraction_context.h"

// Finds the archive in the file at archivePath and decodes every entry in
// order; the entry callback decides for each whether it is discarded,
// delivered in memory or written to a file, and entries that fail their
// CRC-32 end the pass. Returns kExtractOk or one of the kExtract failures.
int ExtractArchive(const char* archivePath, EntryCallback entryCallback, void* userData);

// The engine that decodes one compressed entry into the pass's window.
typedef void (*EntryDecoder)(UnpackState* state, uint8_t* window, int solid);
// ExtractArchive with another engine for the compressed entries (the tests
// hold the fast engine to a plain one over whole passes).
int ExtractArchiveWith(const char* archivePath, EntryCallback entryCallback, void* userData, EntryDecoder decoder);

// Copies a stored entry's packed bytes to WriteUnpacked, at most
// unpackedRemaining of them; returns kExtractOk or kExtractNoCopyMemory.
int CopyStoredEntry(ExtractionContext* context);
