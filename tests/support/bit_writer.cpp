#include "tests/support/bit_writer.h"

#include <stdexcept>

namespace {

// The slot tables, derived from their construction rules rather than copied
// from the decoder: a length slot's extra bits grow by one every four slots
// from slot 8, a distance slot's every two slots from slot 4 (up to 16), and
// each base is the previous base plus the previous slot's range.
struct Slots {
    uint32_t lengthBase[28], lengthBits[28];
    uint32_t distanceBase[48], distanceBits[48];
    Slots() {
        uint32_t base = 0;
        for (uint32_t n = 0; n < 28; ++n) {
            lengthBits[n] = n < 8 ? 0 : n / 4 - 1;
            lengthBase[n] = base;
            base += 1u << lengthBits[n];
        }
        base = 0;
        for (uint32_t n = 0; n < 48; ++n) {
            uint32_t b = n < 4 ? 0 : (n - 2) / 2;
            distanceBits[n] = b > 16 ? 16 : b;
            distanceBase[n] = base;
            base += 1u << distanceBits[n];
        }
    }
};

const Slots& SlotTables() {
    static const Slots slots;
    return slots;
}

const uint32_t kShortBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
const uint32_t kShortBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

uint32_t FindSlot(const uint32_t* base, const uint32_t* bits, uint32_t count, uint32_t value) {
    for (uint32_t n = 0; n < count; ++n) {
        if (value >= base[n] && value - base[n] < (1u << bits[n])) return n;
    }
    throw std::invalid_argument("value has no slot");
}

uint32_t LengthBonus(uint32_t distance) {
    return (distance >= 0x40000 ? 1 : 0) + (distance >= 0x2000 ? 1 : 0);
}

}  // namespace

void BitWriter::Put(uint32_t value, uint32_t count) {
    for (uint32_t i = count; i-- > 0;) {
        if (bitCount % 8 == 0) bytes.push_back('\0');
        if (i < 32 && ((value >> i) & 1)) bytes.back() = static_cast<char>(bytes.back() | (0x80 >> (bitCount % 8)));
        ++bitCount;
    }
}

std::vector<uint8_t> FixedLengths() {
    std::vector<uint8_t> lengths(298, kFixedLiteralBits);
    lengths.insert(lengths.end(), 48, kFixedDistanceBits);
    lengths.insert(lengths.end(), 28, kFixedRecentLengthBits);
    return lengths;
}

void StreamWriter::TableBlockWithLengths(const std::vector<uint8_t>& lengths, bool keep,
                                         const std::vector<uint8_t>& previous) {
    bits.Put(0, 1);
    bits.Put(keep ? 1 : 0, 1);
    for (int i = 0; i < 19; ++i) bits.Put(5, 4);  // bit-length symbol s has the 5-bit code s
    for (size_t i = 0; i < lengths.size(); ++i) {
        uint8_t base = keep && i < previous.size() ? previous[i] : 0;
        bits.Put(static_cast<uint32_t>((lengths[i] - base) & 15), 5);
    }
}

void StreamWriter::TableBlock(bool keep, const std::vector<uint8_t>& previous) {
    TableBlockWithLengths(FixedLengths(), keep, previous);
}

void StreamWriter::MultimediaTableBlock(uint32_t channels) {
    bits.Put(1, 1);
    bits.Put(0, 1);
    bits.Put(channels - 1, 2);
    for (int i = 0; i < 19; ++i) bits.Put(5, 4);
    for (uint32_t i = 0; i < 257 * channels; ++i) bits.Put(9, 5);
}

void StreamWriter::Symbol(uint32_t symbol) {
    bits.Put(symbol, kFixedLiteralBits);
}

void StreamWriter::Literal(uint8_t byte) {
    Symbol(byte);
}

void StreamWriter::Literals(const std::string& text) {
    for (unsigned char c : text) Literal(c);
}

void StreamWriter::LongCopy(uint32_t length, uint32_t distance) {
    const Slots& s = SlotTables();
    uint32_t n = FindSlot(s.lengthBase, s.lengthBits, 28, length - 3 - LengthBonus(distance));
    Symbol(270 + n);
    bits.Put(length - 3 - LengthBonus(distance) - s.lengthBase[n], s.lengthBits[n]);
    uint32_t d = FindSlot(s.distanceBase, s.distanceBits, 48, distance - 1);
    bits.Put(d, kFixedDistanceBits);
    bits.Put(distance - 1 - s.distanceBase[d], s.distanceBits[d]);
}

void StreamWriter::RecentCopy(uint32_t n, uint32_t length, uint32_t distance) {
    const Slots& s = SlotTables();
    uint32_t value = length - 2 - LengthBonus(distance) - (distance >= 0x101 ? 1 : 0);
    uint32_t slot = FindSlot(s.lengthBase, s.lengthBits, 28, value);
    Symbol(256 + n);
    bits.Put(slot, kFixedRecentLengthBits);
    bits.Put(value - s.lengthBase[slot], s.lengthBits[slot]);
}

void StreamWriter::ShortCopy(uint32_t distance) {
    uint32_t n = FindSlot(kShortBase, kShortBits, 8, distance - 1);
    Symbol(261 + n);
    bits.Put(distance - 1 - kShortBase[n], kShortBits[n]);
}

void StreamWriter::RepeatLast() {
    Symbol(256);
}

void StreamWriter::NewTables(bool keep) {
    Symbol(269);
    TableBlock(keep, FixedLengths());
}
