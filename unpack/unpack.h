// The RAR 2.0 decompression engine: packed input, code tables, LZ decoder.
#pragma once
#include <cstdint>
#include "archive/extraction_context.h"

// Packed input and bit reader.
int ReadPacked(ExtractionContext* context, uint8_t* dest, int32_t count);
void RefillInput(ExtractionContext* context, bool first);
uint32_t PeekBits(const ExtractionContext* context);
void SkipBits(ExtractionContext* context, uint32_t n);

// Code tables.
void BuildDecodeTable(const uint8_t* lengths, DecodeTable* table, uint32_t count);
uint32_t DecodeSymbol(ExtractionContext* context, const DecodeTable* table);
void ReadCodeTables(ExtractionContext* context);
void ReadTrailingTables(ExtractionContext* context);

// LZ decoder.
void UnpackEntry(ExtractionContext* context, uint8_t* window, int solid);
void ResetUnpackState(ExtractionContext* context, int solid);
void CopyMatch(ExtractionContext* context);
void FlushWindow(ExtractionContext* context);
