// CRC-32 (reflected, polynomial 0xEDB88320) over a running register, as fast
// as the processor allows: carry-less multiplication where the CPU has it,
// slicing by eight bytes otherwise. Same results as the byte-wise table update.
#pragma once
#include <cstddef>
#include <cstdint>

uint32_t Crc32Fast(uint32_t crc, const uint8_t* data, size_t size);
// The portable path alone (slicing by eight), for tests and benchmarks.
uint32_t Crc32Sliced(uint32_t crc, const uint8_t* data, size_t size);
// True when Crc32Fast uses carry-less multiplication on this machine.
bool Crc32HasClmul();
// The carry-less multiplication path for at least 64 bytes; returns the
// register after the largest multiple of 16 bytes, and that count in *used.
uint32_t Crc32Clmul(uint32_t crc, const uint8_t* data, size_t size, size_t* used);
