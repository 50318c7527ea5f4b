// Finding the archive inside a file and walking its block headers.
#pragma once
#include <cstdint>

struct ExtractionContext;

void BuildCrcTable(ExtractionContext* context);
uint32_t Crc32Update(const ExtractionContext* context, uint32_t crc, const uint8_t* data, uint32_t size);
// Returns non-zero when an archive was found; the stream then stands after
// the 13 bytes of the main header.
int LocateArchive(ExtractionContext* context);
int ReadFixedHeader(ExtractionContext* context, uint8_t type);
int ReadNextEntryBlock(ExtractionContext* context);
void NormalizeEntryHeader(ExtractionContext* context);
// The attribute step of NormalizeEntryHeader alone.
void NormalizeEntryAttributes(ExtractionContext* context);
