// CRC-32 by folding with carry-less multiplication (PCLMULQDQ): four 128-bit
// lanes fold 64 bytes per step, then fold to one lane, to 64 bits, and a
// Barrett reduction gives the 32-bit register. The constants are powers of x
// modulo the bit-reflected polynomial.
#include "util/crc32.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>

namespace {

#define CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))

CLMUL_TARGET inline __m128i Fold(__m128i lane, __m128i constants, __m128i next) {
    __m128i low = _mm_clmulepi64_si128(lane, constants, 0x00);
    __m128i high = _mm_clmulepi64_si128(lane, constants, 0x11);
    return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

}  // namespace

bool Crc32HasClmul() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    return (ecx & bit_PCLMUL) != 0 && (ecx & bit_SSE4_1) != 0;
}

CLMUL_TARGET uint32_t Crc32Clmul(uint32_t crc, const uint8_t* data, size_t size, size_t* used) {
    const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596LL, 0x0154442bd4LL);
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009eLL, 0x01751997d0LL);
    const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124LL);
    const __m128i poly = _mm_set_epi64x(0x01f7011641LL, 0x01db710641LL);
    const __m128i mask32 = _mm_setr_epi32(-1, 0, -1, 0);
    const uint8_t* start = data;

    __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
    __m128i x2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16));
    __m128i x3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 32));
    __m128i x4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 48));
    x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128(static_cast<int>(crc)));
    data += 64;
    size -= 64;
    while (size >= 64) {
        x1 = Fold(x1, k1k2, _mm_loadu_si128(reinterpret_cast<const __m128i*>(data)));
        x2 = Fold(x2, k1k2, _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16)));
        x3 = Fold(x3, k1k2, _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 32)));
        x4 = Fold(x4, k1k2, _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 48)));
        data += 64;
        size -= 64;
    }
    x1 = Fold(x1, k3k4, x2);
    x1 = Fold(x1, k3k4, x3);
    x1 = Fold(x1, k3k4, x4);
    while (size >= 16) {
        x1 = Fold(x1, k3k4, _mm_loadu_si128(reinterpret_cast<const __m128i*>(data)));
        data += 16;
        size -= 16;
    }
    // 128 bits to 64.
    __m128i x = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k3k4, 0x10));
    x = _mm_xor_si128(_mm_srli_si128(x, 4), _mm_clmulepi64_si128(_mm_and_si128(x, mask32), k5, 0x00));
    // Barrett reduction to 32 bits.
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x, mask32), poly, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, mask32), poly, 0x00);
    x = _mm_xor_si128(x, t);
    *used = static_cast<size_t>(data - start);
    return static_cast<uint32_t>(_mm_extract_epi32(x, 1));
}

#else

bool Crc32HasClmul() {
    return false;
}

uint32_t Crc32Clmul(uint32_t crc, const uint8_t*, size_t, size_t* used) {
    *used = 0;
    return crc;
}

#endif
