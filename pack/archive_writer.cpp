#include "pack/archive_writer.h"

#include "util/crc32.h"

namespace {

void Put16(std::vector<uint8_t>* out, uint32_t v) {
    out->push_back(static_cast<uint8_t>(v));
    out->push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>* out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// HEAD_CRC: the low 16 bits of the CRC-32 of the header after its CRC field.
void FillHeaderCrc(std::vector<uint8_t>* out, size_t headerStart) {
    uint32_t crc = Crc32Of(out->data() + headerStart + 2, out->size() - headerStart - 2);
    (*out)[headerStart] = static_cast<uint8_t>(crc);
    (*out)[headerStart + 1] = static_cast<uint8_t>(crc >> 8);
}

}  // namespace

void ArchiveWriterInit(ArchiveWriter* writer, int level) {
    SolidEncoderInit(&writer->encoder, level);
    writer->storeWhenLarger = true;
    writer->packed.clear();
}

void AppendArchiveStart(std::vector<uint8_t>* out) {
    out->insert(out->end(), kMarker, kMarker + kMarkerSize);
    size_t start = out->size();
    Put16(out, 0);
    out->push_back(kBlockMain);
    Put16(out, kMainFlagSolid);
    Put16(out, kMainHeaderSize);
    Put16(out, 0);
    Put32(out, 0);
    FillHeaderCrc(out, start);
}

void AppendArchiveEnd(std::vector<uint8_t>* out) {
    size_t start = out->size();
    Put16(out, 0);
    out->push_back(kBlockEnd);
    Put16(out, kEndBlockFlags);
    Put16(out, kBlockHeaderSize);
    FillHeaderCrc(out, start);
}

void AppendFileHeader(std::vector<uint8_t>* out, const ArchiveEntry& entry, uint16_t flags, uint8_t method,
                      uint32_t packedSize, uint32_t unpackedSize, uint32_t crc) {
    size_t start = out->size();
    Put16(out, 0);
    out->push_back(kBlockFile);
    Put16(out, flags);
    Put16(out, static_cast<uint32_t>(kFileHeaderSize + entry.name.size()));
    Put32(out, packedSize);
    Put32(out, unpackedSize);
    out->push_back(kHostWin32);
    Put32(out, crc);
    Put32(out, entry.dosTime);
    out->push_back(kUnpackVersion20);
    out->push_back(method);
    Put16(out, static_cast<uint32_t>(entry.name.size()));
    Put32(out, entry.attributes);
    out->insert(out->end(), entry.name.begin(), entry.name.end());
    FillHeaderCrc(out, start);
}

EntryResult AppendArchiveEntry(ArchiveWriter* writer, const ArchiveEntry& entry, const uint8_t* data, size_t size,
                               std::vector<uint8_t>* out) {
    EntryResult result = {};
    result.crc = Crc32Of(data, size);
    const bool solid = writer->encoder.started;
    bool store = size == 0 && writer->storeWhenLarger;
    if (!store) {
        EncoderCheckpoint checkpoint;
        EncodeEntry(&writer->encoder, data, size, &writer->packed, &checkpoint);
        if (writer->storeWhenLarger && writer->packed.size() >= size) {
            // A stored entry never enters the decoder's window: forget it.
            RollbackEntry(&writer->encoder, checkpoint);
            store = true;
        }
    }
    uint16_t flags = kFlagHasData | kFileFlagDictionary1M;
    if (store) {
        result.stored = true;
        result.packedSize = static_cast<uint32_t>(size);
        AppendFileHeader(out, entry, flags, kMethodStored, result.packedSize, static_cast<uint32_t>(size), result.crc);
        out->insert(out->end(), data, data + size);
    } else {
        if (solid) flags |= kFileFlagSolid;
        result.packedSize = static_cast<uint32_t>(writer->packed.size());
        AppendFileHeader(out, entry, flags, kMethodBest, result.packedSize, static_cast<uint32_t>(size), result.crc);
        out->insert(out->end(), writer->packed.begin(), writer->packed.end());
    }
    return result;
}
