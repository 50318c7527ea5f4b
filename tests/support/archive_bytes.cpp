#include "tests/support/archive_bytes.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

uint32_t Crc32Of(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

std::string Le16(uint16_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

std::string Le32(uint32_t v) {
    return Le16(static_cast<uint16_t>(v & 0xFFFF)) + Le16(static_cast<uint16_t>(v >> 16));
}

namespace {

// HEAD_CRC over everything after the CRC field itself.
std::string WithHeaderCrc(const std::string& afterCrc) {
    return Le16(static_cast<uint16_t>(Crc32Of(afterCrc) & 0xFFFF)) + afterCrc;
}

}  // namespace

std::string MarkerBytes() {
    return std::string("Rar!\x1A\x07\x00", 7);
}

std::string MainHeaderBytes(uint16_t flags, uint16_t headSize) {
    std::string body = std::string(1, '\x73') + Le16(flags) + Le16(headSize) + Le16(0) + Le32(0);
    if (headSize > 13) body += std::string(headSize - 13, '\0');
    return WithHeaderCrc(body);
}

std::string BlockBytes(uint8_t type, uint16_t flags, uint16_t headSize, const std::string& dataArea) {
    std::string body = std::string(1, static_cast<char>(type)) + Le16(flags) + Le16(headSize);
    if (flags & 0x8000) body += Le32(static_cast<uint32_t>(dataArea.size()));
    if (body.size() + 2 < headSize) body += std::string(headSize - 2 - body.size(), '\0');
    return WithHeaderCrc(body) + ((flags & 0x8000) ? dataArea : "");
}

std::string FileHeaderBytes(const TestEntry& e) {
    const std::string& packed = (e.method == 0x30 && !e.usePacked) ? e.data : e.packed;
    int32_t packSize = e.overridePackSize ? e.packSize : static_cast<int32_t>(packed.size());
    int32_t unpSize = e.overrideUnpSize ? e.unpSize : static_cast<int32_t>(e.data.size());
    uint32_t crc = e.overrideCrc ? e.crc : Crc32Of(e.data);
    uint16_t headSize = static_cast<uint16_t>(32 + e.name.size() + e.extraHeaderBytes);
    std::string body = std::string(1, '\x74') + Le16(e.flags) + Le16(headSize) +
                       Le32(static_cast<uint32_t>(packSize)) + Le32(static_cast<uint32_t>(unpSize)) +
                       std::string(1, static_cast<char>(e.hostOs)) + Le32(crc) + Le32(e.ftime) +
                       std::string(1, static_cast<char>(e.unpVer)) + std::string(1, static_cast<char>(e.method)) +
                       Le16(static_cast<uint16_t>(e.name.size())) + Le32(e.attr) + e.name +
                       std::string(e.extraHeaderBytes, '\0');
    return WithHeaderCrc(body);
}

std::string EntryBytes(const TestEntry& e) {
    const std::string& packed = (e.method == 0x30 && !e.usePacked) ? e.data : e.packed;
    return FileHeaderBytes(e) + packed;
}

std::string StoredArchive(const std::vector<TestEntry>& entries) {
    std::string out = MarkerBytes() + MainHeaderBytes();
    for (const TestEntry& e : entries) out += EntryBytes(e);
    return out;
}

TestEntry StoredEntry(const std::string& name, const std::string& data) {
    TestEntry e;
    e.name = name;
    e.data = data;
    return e;
}

std::string MakeTempDir(const std::string& hint) {
    static std::atomic<unsigned> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (;;) {
        fs::path dir = fs::temp_directory_path() /
                       ("solidsetup-" + hint + "-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        std::error_code ec;
        if (fs::create_directory(dir, ec)) return dir.string();
    }
}

void RemoveTree(const std::string& path) {
    std::error_code ec, ignored;
    // Read-only files must be made writable first for Windows to remove them.
    for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    fs::remove_all(path, ignored);
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

std::string TestDataPath(const std::string& relative) {
    return std::string(SOLIDSETUP_TESTDATA) + "/" + relative;
}
