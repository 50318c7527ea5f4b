// Finding the archive inside a file and walking its block headers.
#pragma once
#include <cstdint>

struct ExtractionContext;

// ReadNextEntryBlock's result for a block cut short by the end of the file.
const int kHeaderCutShort = -1;

void BuildCrcTable(ExtractionContext* context);
uint32_t Crc32Update(const ExtractionContext* context, uint32_t crc, const uint8_t* data, uint32_t size);
// Returns non-zero when an archive was found; the stream then stands after
// the 13 bytes of the main header.
int LocateArchive(ExtractionContext* context);
int ReadFixedHeader(ExtractionContext* context, uint8_t type);
// Returns a positive count when a file header (lastBlockType 0x74) or a
// sub-block (0x77) was found; 0 at the end of the archive (nothing more to
// read, HEAD_SIZE below 7, a block that does not advance, or the
// end-of-archive block); kHeaderCutShort when a block's header, name or data
// area is cut short by the end of the file, which is damage. After 0 or
// kHeaderCutShort the stream stands at the start of that block and
// fileHeader is unchanged.
int ReadNextEntryBlock(ExtractionContext* context);
void NormalizeEntryHeader(ExtractionContext* context);
// The attribute step of NormalizeEntryHeader alone.
void NormalizeEntryAttributes(ExtractionContext* context);
