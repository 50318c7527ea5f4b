#include "pack/pack_format.h"

uint32_t LengthSlot(uint32_t value) {
    if (value < 8) return value;
    uint32_t high = 31 - static_cast<uint32_t>(__builtin_clz(value));  // 3..7
    return 8 + (high - 3) * 4 + ((value >> (high - 2)) & 3);
}
