// An output routine for the decompression engine in tests: the bytes are kept
// in a string and summed into a running CRC-32 the way the archive pass sums
// an entry, or only counted when the entry is discarded.
#pragma once
#include <cstdint>
#include <string>

#include "unpack/unpack_state.h"
#include "util/crc32.h"

struct CollectedOutput {
    std::string bytes;
    uint32_t crc = 0xFFFFFFFFu;  // the running register, as the pass keeps it
    bool discard = false;        // take nothing and sum nothing
    void Reset(bool discardBytes) {
        bytes.clear();
        crc = 0xFFFFFFFFu;
        discard = discardBytes;
    }
};

inline int CollectOutput(void* target, const uint8_t* data, uint32_t size) {
    CollectedOutput* out = static_cast<CollectedOutput*>(target);
    if (out->discard) return 0;
    out->bytes.append(reinterpret_cast<const char*>(data), size);
    out->crc = Crc32Update(out->crc, data, size);
    return static_cast<int>(size);
}

inline void ConnectOutput(UnpackState* state, CollectedOutput* out) {
    state->output = CollectOutput;
    state->outputTarget = out;
}
