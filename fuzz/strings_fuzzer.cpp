// The bounded string and path helpers over arbitrary texts and sizes, in the
// single-byte and the double-byte code page: never a write past the buffer,
// always a terminator.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "util/bounded_string.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    SetAnsiCodePageForTests(data[0] & 1 ? 932 : 1252);
    const int bufferSize = 1 + data[1] % 64;
    // The bytes after the first four, split in two texts (each up to its first zero).
    const size_t split = 4 + data[2] % (size - 3);
    std::string first(reinterpret_cast<const char*>(data + 4), split - 4);
    std::string second(reinterpret_cast<const char*>(data + split), size - split);
    first = first.c_str();
    second = second.c_str();

    // Exactly bufferSize bytes, so that the sanitizer sees any overrun.
    std::vector<char> buffer(static_cast<size_t>(bufferSize));
    auto reset = [&] {
        std::memset(buffer.data(), 0, buffer.size());
        std::strncpy(buffer.data(), first.c_str(), buffer.size() - 1);
    };
    auto terminated = [&] {
        if (std::memchr(buffer.data(), 0, buffer.size()) == nullptr) __builtin_trap();
    };
    reset();
    AppendBounded(second.c_str(), buffer.data(), bufferSize);
    terminated();
    reset();
    AppendBoundedBytes(second.c_str(), buffer.data(), bufferSize);
    terminated();
    reset();
    AssignBounded(second.c_str(), buffer.data(), bufferSize);
    terminated();
    reset();
    AppendClipped(second.c_str(), buffer.data(), bufferSize);
    terminated();
    reset();
    JoinPath(second.c_str(), buffer.data(), bufferSize);
    terminated();
    reset();
    EnsureTrailingSeparator(buffer.data(), bufferSize);
    terminated();
    CopyBounded(second.c_str(), buffer.data(), bufferSize);
    terminated();
    CutToDirectory(buffer.data());
    FileNameOffset(second.c_str());
    std::vector<uint16_t> wide(static_cast<size_t>(bufferSize));
    NarrowToWide(second.c_str(), wide.data(), bufferSize);
    WideToNarrow(wide.data(), buffer.data(), bufferSize);
    terminated();
    SetAnsiCodePageForTests(1252);
    return 0;
}
