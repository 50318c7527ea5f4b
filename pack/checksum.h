// CRC-32 (reflected, polynomial 0xEDB88320) of entry contents and headers.
#pragma once
#include <cstddef>
#include <cstdint>

// Advances a CRC-32 register (start it at 0xFFFFFFFF) over size bytes.
uint32_t UpdateCrc32(uint32_t crc, const uint8_t* data, size_t size);
// The finished CRC-32 of a block of bytes.
inline uint32_t Crc32Of(const uint8_t* data, size_t size) { return ~UpdateCrc32(0xFFFFFFFFu, data, size); }
