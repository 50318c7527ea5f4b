// The LZ decoder on streams assembled symbol by symbol.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/archive_bytes.h"
#include "tests/support/bit_writer.h"
#include "tests/support/collected_output.h"
#include "unpack/unpack.h"

namespace {

// Runs entries through UnpackEntry the way the pass does, one context and one
// window for all of them, collecting each entry's output in memory.
class Decoder {
  public:
    Decoder() : context_(new UnpackState()), window_(kWindowSize, 0x5A) {
        ConnectOutput(context_.get(), &output_);
        dir_ = MakeTempDir("lz");
    }
    ~Decoder() { RemoveTree(dir_); }

    std::string Decode(const std::string& packed, int32_t unpackedSize, bool solid) {
        std::string path = dir_ + "/packed" + std::to_string(count_++);
        WriteFileBytes(path, packed);
        FILE* stream = std::fopen(path.c_str(), "rb");
        UnpackState* c = context_.get();
        c->inputStream = stream;
        c->packedRemaining = static_cast<int32_t>(packed.size());
        c->unpackedRemaining = unpackedSize;
        output_.Reset(false);
        UnpackEntry(c, window_.data(), solid ? 1 : 0);
        std::fclose(stream);
        c->inputStream = nullptr;
        return output_.bytes;
    }

    UnpackState* context() { return context_.get(); }
    // The running CRC-32 register of the last entry's output.
    uint32_t crc() const { return output_.crc; }
    std::vector<uint8_t>& window() { return window_; }

  private:
    std::unique_ptr<UnpackState> context_;
    std::vector<uint8_t> window_;
    CollectedOutput output_;
    std::string dir_;
    int count_ = 0;
};

// Applies a copy to an expected output the way the format defines it: byte by
// byte, positions before the start of the output reading as zero.
void ExpectCopy(std::string* out, uint32_t length, uint32_t distance) {
    for (uint32_t i = 0; i < length; ++i) {
        size_t size = out->size();
        out->push_back(distance <= size && distance != 0 ? (*out)[size - distance] : '\0');
    }
}

TEST(LzDecoder, LiteralsAndChecksum) {
    Decoder d;
    StreamWriter w;
    w.TableBlock();
    w.Literals("hello, world");
    EXPECT_EQ(d.Decode(w.Bytes(), 12, false), "hello, world");
    EXPECT_EQ(~d.crc(), Crc32Of("hello, world"));
    EXPECT_EQ(d.context()->unpackedRemaining, -1);
}

TEST(LzDecoder, NonSolidEntryClearsTheWindow) {
    Decoder d;  // the window starts filled with 0x5A
    StreamWriter w;
    w.TableBlock();
    w.Literal('a');
    w.LongCopy(4, 1000);  // reaches before the entry's start
    EXPECT_EQ(d.Decode(w.Bytes(), 5, false), std::string("a\0\0\0\0", 5));
}

TEST(LzDecoder, DistanceOneRepeatsThePreviousByte) {
    Decoder d;
    StreamWriter w;
    w.TableBlock();
    w.Literal('x');
    w.LongCopy(5, 1);
    w.Literal('y');
    EXPECT_EQ(d.Decode(w.Bytes(), 7, false), "xxxxxxy");
}

TEST(LzDecoder, ShortAndLongCopiesAcrossSlots) {
    Decoder d;
    StreamWriter w;
    std::string expected;
    w.TableBlock();
    std::string text;
    for (int i = 0; i < 300; ++i) text.push_back(static_cast<char>('A' + (i * 7) % 26));
    w.Literals(text);
    expected = text;
    const uint32_t shortDistances[] = {1, 4, 5, 9, 17, 33, 65, 129, 193, 256};
    for (uint32_t dist : shortDistances) {
        w.ShortCopy(dist);
        ExpectCopy(&expected, 2, dist);
    }
    const uint32_t lengths[] = {3, 10, 11, 19, 35, 67, 130, 200, 257};
    for (uint32_t len : lengths) {
        w.LongCopy(len, 299);
        ExpectCopy(&expected, len, 299);
    }
    std::string out = d.Decode(w.Bytes(), static_cast<int32_t>(expected.size()), false);
    EXPECT_EQ(out, expected);
}

TEST(LzDecoder, LiteralsWrapAroundTheWindowEnd) {
    Decoder d;
    StreamWriter tables;
    tables.TableBlock();
    d.Decode(tables.Bytes(), 0, false);  // reads the tables only
    UnpackState* c = d.context();
    c->writePos = c->flushPos = kWindowMask;

    StreamWriter w;
    w.Literals("abc");
    w.LongCopy(3, 3);
    EXPECT_EQ(d.Decode(w.Bytes(), 6, true), "abcabc");
    EXPECT_EQ(d.window()[kWindowMask], 'a');
    EXPECT_EQ(d.window()[0], 'b');
    EXPECT_EQ(d.window()[4], 'c');
    EXPECT_EQ(c->writePos, 5u);
    EXPECT_EQ(c->flushPos, 5u);
}

TEST(LzDecoder, RecentDistanceRing) {
    // Copies at d1, d2, d3, then 258 copies at d2 and leaves the ring as
    // d1 d2 d3 d2; from there 257 uses d2 again and 260 uses d1.
    const uint32_t d1 = 3, d2 = 7, d3 = 11;
    for (uint32_t next : {257u, 260u}) {
        SCOPED_TRACE(next);
        Decoder d;
        StreamWriter w;
        w.TableBlock();
        std::string expected = "abcdefghijklmnopqrstuvwxyz";
        w.Literals(expected);
        for (uint32_t dist : {d1, d2, d3}) {
            w.ShortCopy(dist);
            ExpectCopy(&expected, 2, dist);
        }
        w.RecentCopy(2, 4, d2);
        ExpectCopy(&expected, 4, d2);
        uint32_t dist = next == 257 ? d2 : d1;
        w.RecentCopy(next - 256, 3, dist);
        ExpectCopy(&expected, 3, dist);
        EXPECT_EQ(d.Decode(w.Bytes(), static_cast<int32_t>(expected.size()), false), expected);
        UnpackState* c = d.context();
        EXPECT_EQ(c->recentCount, 5u);
        EXPECT_EQ(c->recentDistances[1], d2);
        EXPECT_EQ(c->recentDistances[2], d3);
        EXPECT_EQ(c->recentDistances[3], d2);
        EXPECT_EQ(c->recentDistances[0], dist);  // the fifth copy overwrote d1
    }
}

TEST(LzDecoder, LengthBonusAtLargeDistances) {
    // The writer codes each copy's true length with the bonus removed; if the
    // decoder's thresholds were off by one, the bytes after the copy would
    // land in the wrong place.
    struct Case {
        bool recent;
        uint32_t distance;
    };
    const Case cases[] = {{false, 0x1FFF}, {false, 0x2000}, {false, 0x3FFFF}, {false, 0x40000},
                          {true, 0x100},   {true, 0x101},   {true, 0x1FFF},   {true, 0x2000},
                          {true, 0x3FFFF}, {true, 0x40000}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.distance);
        SCOPED_TRACE(k.recent);
        Decoder d;
        StreamWriter w;
        w.TableBlock();
        std::string expected = "ab";
        w.Literals(expected);
        w.LongCopy(6, k.distance);
        ExpectCopy(&expected, 6, k.distance);
        if (k.recent) {
            w.RecentCopy(1, 7, k.distance);
            ExpectCopy(&expected, 7, k.distance);
        }
        w.Literal('z');
        expected += 'z';
        EXPECT_EQ(d.Decode(w.Bytes(), static_cast<int32_t>(expected.size()), false), expected);
    }
    // The smallest long copy at 0x40000 is two bytes longer than its slot.
    Decoder d;
    StreamWriter w;
    w.TableBlock();
    w.Symbol(270);  // length slot 0: 3 bytes
    w.bits.Put(36, kFixedDistanceBits);  // distance base 262144, 16 extra bits
    w.bits.Put(0xFFFF, 16);
    w.Literal('q');
    EXPECT_EQ(d.Decode(w.Bytes(), 6, false), std::string("\0\0\0\0\0q", 6));
}

TEST(LzDecoder, RepeatAsFirstCopyProducesNothing) {
    Decoder d;
    StreamWriter w;
    w.TableBlock();
    w.Literal('a');
    w.RepeatLast();
    w.Literal('b');
    EXPECT_EQ(d.Decode(w.Bytes(), 2, false), "ab");
    UnpackState* c = d.context();
    EXPECT_EQ(c->recentCount, 1u);
    EXPECT_EQ(c->recentDistances[0], 0u);
    EXPECT_EQ(c->unpackedRemaining, -1);
}

TEST(LzDecoder, EmptyEntryStillReadsItsTables) {
    Decoder d;
    StreamWriter w;
    w.TableBlock();
    EXPECT_EQ(d.Decode(w.Bytes(), 0, false), "");
    UnpackState* c = d.context();
    EXPECT_EQ(d.crc(), 0xFFFFFFFFu);
    EXPECT_EQ(c->literalTable.maxNum, 298u);
    EXPECT_EQ(c->distanceTable.maxNum, 48u);
    EXPECT_EQ(c->recentLengthTable.maxNum, 28u);
    EXPECT_EQ(c->unpackedRemaining, -1);
}

TEST(LzDecoder, OverlongLastCopyIsFlushedToo) {
    Decoder d;
    StreamWriter w;
    w.TableBlock();
    w.Literal('a');
    w.LongCopy(5, 1);
    EXPECT_EQ(d.Decode(w.Bytes(), 3, false), "aaaaaa");
    EXPECT_EQ(d.context()->unpackedRemaining, -4);
}

TEST(LzDecoder, SolidEntriesContinueTheWindowAndHistory) {
    Decoder d;
    StreamWriter first;
    first.TableBlock();
    first.Literals("hello world");
    EXPECT_EQ(d.Decode(first.Bytes(), 11, false), "hello world");

    StreamWriter second;  // no table block: the first entry's tables go on
    second.LongCopy(5, 11);
    second.Literal('!');
    second.RepeatLast();
    // The repeat goes on from where the copy left off: "world".
    EXPECT_EQ(d.Decode(second.Bytes(), 11, true), "hello!world");
    EXPECT_EQ(d.context()->writePos, 22u);
}

TEST(LzDecoder, TablesChangeWithinAnEntryAndForTheNext) {
    Decoder d;
    StreamWriter w;
    w.TableBlock();
    w.Literal('a');
    w.NewTables(true);  // same lengths, sent as changes
    w.Literal('b');
    // A table block straight after the last symbol belongs to the next entry.
    w.Symbol(269);
    std::vector<uint8_t> other = FixedLengths();
    other[0] = 8;  // differs from the fixed lengths, so its arrival shows
    w.TableBlockWithLengths(other, false);
    w.bits.Put(0, 40);  // spare bytes, so the trailing check looks at the symbol
    EXPECT_EQ(d.Decode(w.Bytes(), 2, false), "ab");
    EXPECT_EQ(d.context()->previousLengths[0], 8);
}

TEST(LzDecoder, FirstEntryFlaggedSolidUsesEmptyTables) {
    // Fresh all-zero tables: every symbol takes 15 bits and reads as literal 0.
    Decoder d;
    d.window()[0] = 0;
    BitWriter w;
    w.Put(0x7FFF, 15);
    w.Put(0x1234, 15);
    w.Put(0, 26);
    std::string out = d.Decode(w.Bytes(), 2, true);
    EXPECT_EQ(out, std::string("\0\0", 2));
    EXPECT_EQ(d.context()->inputPos, 3u);
    EXPECT_EQ(d.context()->inputBit, 6u);
}

TEST(LzDecoder, LargeOutputIsFlushedInBlocks) {
    // More than a window's worth: the pending bytes are flushed before the
    // window wraps over them.
    Decoder d;
    StreamWriter w;
    w.TableBlock();
    std::string expected = "xyz";
    w.Literals(expected);
    const uint32_t total = 3 * kWindowSize;
    while (expected.size() + 257 <= total) {
        w.LongCopy(257, 3);
        ExpectCopy(&expected, 257, 3);
    }
    w.Literals(std::string(total - expected.size(), 'k'));
    expected.resize(total, 'k');
    std::string out = d.Decode(w.Bytes(), static_cast<int32_t>(total), false);
    EXPECT_TRUE(out == expected);
    EXPECT_EQ(~d.crc(), Crc32Of(expected));
}

// Damaged input must end the entry, short, instead of decoding forever.
TEST(LzDecoder, EndsWhenPackedDataRunsOut) {
    {
        SCOPED_TRACE("truncated stream");
        Decoder d;
        StreamWriter w;
        w.TableBlock();
        w.Literals("abc");
        std::string out = d.Decode(w.Bytes(), 1000000, false);
        EXPECT_LE(out.size(), 4u);
        EXPECT_EQ(out.substr(0, 3), "abc");
        EXPECT_GE(d.context()->unpackedRemaining, 0);
    }
    {
        SCOPED_TRACE("only repeats of an empty copy and table blocks");
        Decoder d;
        StreamWriter w;
        w.TableBlock();
        for (int i = 0; i < 5000; ++i) {
            w.RepeatLast();
            if (i % 100 == 0) w.NewTables();
        }
        // The padding bits of the last byte may still decode as one symbol.
        EXPECT_LE(d.Decode(w.Bytes(), 100, false).size(), 1u);
    }
    {
        SCOPED_TRACE("no packed data at all");
        Decoder d;
        EXPECT_EQ(d.Decode("", 50, false).size(), 0u);
        StreamWriter tables;
        tables.TableBlock();
        d.Decode(tables.Bytes(), 0, false);
        EXPECT_EQ(d.Decode("", 50, true).size(), 0u);
    }
}

TEST(LzDecoder, MultimediaBlockEndsTheEntry) {
    Decoder d;
    StreamWriter w;
    w.TableBlock();
    w.Literal('a');
    w.Symbol(269);
    w.MultimediaTableBlock(2);
    w.bits.Put(0, 9 * 50);
    EXPECT_EQ(d.Decode(w.Bytes(), 10, false), "a");
    EXPECT_NE(d.context()->multimediaMode, 0u);
    // A solid continuation in multimedia mode produces nothing either.
    StreamWriter next;
    next.bits.Put(0, 9 * 50);
    EXPECT_EQ(d.Decode(next.Bytes(), 10, true), "");
}

}  // namespace
