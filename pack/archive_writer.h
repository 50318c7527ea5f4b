// Writes the archive: the marker, the main header (solid), and per file a
// header and its packed data, compressed in one solid run or stored when
// compression does not shrink it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "pack/solid_encoder.h"

enum : uint32_t {
    kMaxEntrySize = 0x7FFFFFFF,  // sizes are held as signed 32-bit values
};

struct ArchiveEntry {
    std::string name;     // "\" between folders, at most 259 bytes
    uint32_t dosTime;     // modification time, MS-DOS local time
    uint32_t attributes;  // Windows attributes (archive bit, read-only)
};

// How one entry was written.
struct EntryResult {
    bool stored;
    uint32_t packedSize;
    uint32_t crc;
};

struct ArchiveWriter {
    SolidEncoder encoder;
    bool storeWhenLarger;  // store entries that compression does not shrink
    std::vector<uint8_t> packed;
};

void ArchiveWriterInit(ArchiveWriter* writer, int level);

// The marker and the main header.
void AppendArchiveStart(std::vector<uint8_t>* out);

// The end-of-archive block (type 0x7B, 7 bytes). The reader stops there, so
// whatever a signing tool appends behind the archive is never read as blocks.
void AppendArchiveEnd(std::vector<uint8_t>* out);

// One file header as the reader expects it (name, flags and sizes filled in).
void AppendFileHeader(std::vector<uint8_t>* out, const ArchiveEntry& entry, uint16_t flags, uint8_t method,
                      uint32_t packedSize, uint32_t unpackedSize, uint32_t crc);

// Packs one file: appends its header and packed data to out. The size must
// not exceed kMaxEntrySize and the name must be at most 259 bytes.
EntryResult AppendArchiveEntry(ArchiveWriter* writer, const ArchiveEntry& entry, const uint8_t* data, size_t size,
                               std::vector<uint8_t>* out);
