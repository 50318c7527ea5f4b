// Test-side writer of raw archive bytes: headers built byte by byte, so tests
// can make well-formed and deliberately broken archives alike.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// 2020-06-15 12:30:40 as MS-DOS local time.
const uint32_t kTestDosTime = (((2020 - 1980) << 9 | 6 << 5 | 15) << 16) | (12 << 11 | 30 << 5 | 20);

struct TestEntry {
    std::string name;
    std::string data;            // the unpacked contents
    std::string packed;          // packed bytes; for stored entries taken from data unless usePacked
    bool usePacked = false;
    uint8_t method = 0x30;       // stored
    uint8_t unpVer = 20;
    uint8_t hostOs = 2;
    uint16_t flags = 0x8000;
    uint32_t attr = 0x20;
    uint32_t ftime = kTestDosTime;
    bool overrideCrc = false;
    uint32_t crc = 0;
    bool overridePackSize = false;
    int32_t packSize = 0;
    bool overrideUnpSize = false;
    int32_t unpSize = 0;
    uint16_t extraHeaderBytes = 0;  // further header data after the name
};

uint32_t Crc32Of(const std::string& bytes);
std::string Le16(uint16_t v);
std::string Le32(uint32_t v);

std::string MarkerBytes();
std::string MainHeaderBytes(uint16_t flags = 0x0008, uint16_t headSize = 13);
// A block with the base fields only (plus ADD_SIZE when flags has 0x8000),
// padded with zeros to headSize, followed by its data area.
std::string BlockBytes(uint8_t type, uint16_t flags, uint16_t headSize, const std::string& dataArea = "");
// The file header (fixed part, name, extra bytes) without the packed data.
std::string FileHeaderBytes(const TestEntry& entry);
// The file header followed by the packed data.
std::string EntryBytes(const TestEntry& entry);
// Marker, main header and the entries, in order.
std::string StoredArchive(const std::vector<TestEntry>& entries);
// A stored entry with the given name and contents.
TestEntry StoredEntry(const std::string& name, const std::string& data);

std::string MakeTempDir(const std::string& hint);
void RemoveTree(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
std::string TestDataPath(const std::string& relative);
