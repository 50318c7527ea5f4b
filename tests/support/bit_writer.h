// Test-side writers of compressed streams: an MSB-first bit writer, and a
// stream writer that codes every alphabet with fixed-length codes (literal
// and control symbols in 9 bits, distance slots in 6, recent-copy length
// slots in 5), so tests can assemble streams symbol by symbol.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct BitWriter {
    std::string bytes;
    uint32_t bitCount = 0;

    // Appends the low `count` bits of value, most significant first; counts
    // above 32 put zero bits in front.
    void Put(uint32_t value, uint32_t count);
    // The bytes written so far, the last one padded with zero bits.
    std::string Bytes() const { return bytes; }
};

// Code lengths of the fixed codes the stream writer uses.
const uint8_t kFixedLiteralBits = 9;
const uint8_t kFixedDistanceBits = 6;
const uint8_t kFixedRecentLengthBits = 5;

struct StreamWriter {
    BitWriter bits;

    // A table block giving the fixed code lengths. With keep set, the lengths
    // are sent as changes against `previous` (374 entries).
    void TableBlock(bool keep = false, const std::vector<uint8_t>& previous = {});
    // A table block of arbitrary lengths (374 of them), each sent as a plain
    // bit-length symbol (5-bit bit-length code).
    void TableBlockWithLengths(const std::vector<uint8_t>& lengths, bool keep = false,
                               const std::vector<uint8_t>& previous = {});
    // A multimedia table block of `channels` channels, every length 9.
    void MultimediaTableBlock(uint32_t channels);

    void Literal(uint8_t byte);
    void Literals(const std::string& text);
    // A long copy (symbols 270 to 297) producing `length` bytes at `distance`,
    // the length bonus of large distances taken into account.
    void LongCopy(uint32_t length, uint32_t distance);
    // A copy at the n-th most recent distance (n = 1 to 4), producing `length`
    // bytes; `distance` is the distance it will use (for the length bonus).
    void RecentCopy(uint32_t n, uint32_t length, uint32_t distance);
    // A 2-byte copy at a short distance (1 to 256).
    void ShortCopy(uint32_t distance);
    void RepeatLast();
    // Symbol 269 followed by a fixed table block.
    void NewTables(bool keep = false);
    void Symbol(uint32_t symbol);

    std::string Bytes() const { return bits.Bytes(); }
};

// The fixed code lengths in table-block order (298 + 48 + 28).
std::vector<uint8_t> FixedLengths();
