#include "util/crc32.h"

namespace {

const uint32_t kPolynomial = 0xEDB88320u;

// Eight tables: entry k of table t is the register after byte k followed by
// t zero bytes. Filled at first use, so they take no room in the program file.
struct SliceTables {
    uint32_t t[8][256];
};

SliceTables gSlices;
bool gSlicesBuilt = false;

const SliceTables& Slices() {
    if (!gSlicesBuilt) {
        SliceTables& s = gSlices;
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ kPolynomial : c >> 1;
            s.t[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; ++i) {
            for (int t = 1; t < 8; ++t) s.t[t][i] = (s.t[t - 1][i] >> 8) ^ s.t[0][s.t[t - 1][i] & 0xFF];
        }
        gSlicesBuilt = true;
    }
    return gSlices;
}

uint32_t LoadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

uint32_t Crc32Sliced(uint32_t crc, const uint8_t* data, size_t size) {
    const SliceTables& s = Slices();
    while (size >= 8) {
        uint32_t low = LoadLe32(data) ^ crc;
        uint32_t high = LoadLe32(data + 4);
        crc = s.t[7][low & 0xFF] ^ s.t[6][(low >> 8) & 0xFF] ^ s.t[5][(low >> 16) & 0xFF] ^ s.t[4][low >> 24] ^
              s.t[3][high & 0xFF] ^ s.t[2][(high >> 8) & 0xFF] ^ s.t[1][(high >> 16) & 0xFF] ^ s.t[0][high >> 24];
        data += 8;
        size -= 8;
    }
    while (size-- > 0) crc = s.t[0][(crc ^ *data++) & 0xFF] ^ (crc >> 8);
    return crc;
}

uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size) {
    static const bool clmul = Crc32HasClmul();
    if (clmul && size >= 64) {
        size_t used = 0;
        crc = Crc32Clmul(crc, data, size, &used);
        data += used;
        size -= used;
    }
    return Crc32Sliced(crc, data, size);
}
