#include <cstdint>

#include "archive/extraction_context.h"
#include "archive/header_reader.h"

void BuildCrcTable(ExtractionContext* context) {
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        context->crcTable[i] = c;
    }
}

uint32_t Crc32Update(const ExtractionContext* context, uint32_t crc, const uint8_t* data, uint32_t size) {
    const uint32_t* table = context->crcTable;
    for (uint32_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}
