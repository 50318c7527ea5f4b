#include "pack/checksum.h"

namespace {

struct CrcTables {
    uint32_t t[4][256];
    CrcTables() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
            t[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; ++i) {
            for (int k = 1; k < 4; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
        }
    }
};

const CrcTables& Tables() {
    static const CrcTables tables;
    return tables;
}

}  // namespace

uint32_t UpdateCrc32(uint32_t crc, const uint8_t* data, size_t size) {
    const CrcTables& tables = Tables();
    // Four bytes per step, then the rest byte by byte.
    while (size >= 4) {
        crc ^= static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
               (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24);
        crc = tables.t[3][crc & 0xFF] ^ tables.t[2][(crc >> 8) & 0xFF] ^ tables.t[1][(crc >> 16) & 0xFF] ^
              tables.t[0][crc >> 24];
        data += 4;
        size -= 4;
    }
    while (size-- > 0) crc = tables.t[0][(crc ^ *data++) & 0xFF] ^ (crc >> 8);
    return crc;
}
