// CRC-32 (reflected, polynomial 0xEDB88320) of entry contents and headers,
// as fast as the processor allows: carry-less multiplication where the CPU
// has it, slicing by eight bytes otherwise. Every path gives the register of
// the byte-wise table update, crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8).
#pragma once
#include <cstddef>
#include <cstdint>

// Advances a CRC-32 register over size bytes of data. Start the register at
// 0xFFFFFFFF; its complement after the last byte is the CRC-32. Blocks may be
// fed in any split: the register after two calls equals that of one call
// over both.
uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size);
// The finished CRC-32 of a block of bytes.
inline uint32_t Crc32Of(const uint8_t* data, size_t size) { return ~Crc32Update(0xFFFFFFFFu, data, size); }

// The portable path alone (slicing by eight), for tests and benchmarks.
uint32_t Crc32Sliced(uint32_t crc, const uint8_t* data, size_t size);
// True when Crc32Update uses carry-less multiplication on this machine.
bool Crc32HasClmul();
// The carry-less multiplication path for at least 64 bytes; returns the
// register after the largest multiple of 16 bytes, and that count in *used.
uint32_t Crc32Clmul(uint32_t crc, const uint8_t* data, size_t size, size_t* used);
