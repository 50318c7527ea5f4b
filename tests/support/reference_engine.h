// The straightforward decompression engine kept beside the fast one: the same
// algorithms written plainly (a three-byte look-ahead for every field, the
// fixed search over the length bounds for every symbol, byte-by-byte copies
// with every window position masked). The tests hold the fast engine to it:
// the same bytes, checksums, state and result codes on any input.
#pragma once
#include <cstdint>
#include "archive/extraction_context.h"
#include "unpack/unpack_state.h"

int ReferenceReadPacked(UnpackState* context, uint8_t* dest, int32_t count);
void ReferenceRefillInput(UnpackState* context, bool first);
uint32_t ReferencePeekBits(const UnpackState* context);
void ReferenceSkipBits(UnpackState* context, uint32_t n);

void ReferenceBuildDecodeTable(const uint8_t* lengths, DecodeTable* table, uint32_t count);
// The symbol and code length that the length search gives for a 16-bit
// look-ahead, without touching any input.
uint32_t ReferenceSymbolAt(const DecodeTable* table, uint32_t lookahead, uint32_t* codeLength);
uint32_t ReferenceDecodeSymbol(UnpackState* context, const DecodeTable* table);
void ReferenceReadCodeTables(UnpackState* context);
void ReferenceReadTrailingTables(UnpackState* context);

void ReferenceUnpackEntry(UnpackState* context, uint8_t* window, int solid);
void ReferenceResetUnpackState(UnpackState* context, int solid);
void ReferenceCopyMatch(UnpackState* context);
void ReferenceFlushWindow(UnpackState* context);

// The whole archive pass over the reference engine.
int ReferenceExtractArchive(const char* archivePath, EntryCallback entryCallback, void* userData);
