// The fast engine against the reference engine on thousands of streams:
// archives from the builder as they are, and the same with bits flipped,
// data cut short, garbage spliced in and sizes or flags changed. Both must
// give the same bytes, the same running checksum, the same engine state and,
// over whole archives, the same result code and files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "archive/extract_archive.h"
#include "tests/support/archive_bytes.h"
#include "tests/support/bit_writer.h"
#include "tests/support/collected_output.h"
#include "tests/support/reference_engine.h"
#include "tests/unit/pack_roundtrip.h"
#include "unpack/unpack.h"

namespace {

typedef void (*UnpackFunction)(UnpackState*, uint8_t*, int);

// One entry's packed data as the pass would hand it to the engine.
struct Stream {
    std::string packed;
    int32_t packedSize;  // what the header says (may exceed the bytes there)
    int32_t unpackedSize;
    bool solid;
};

uint32_t Le(const std::vector<uint8_t>& a, size_t p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | a[p + i];
    return v;
}

// The compressed entries of an archive from the builder, in order.
std::vector<Stream> CompressedEntries(const std::vector<uint8_t>& archive) {
    std::vector<Stream> streams;
    size_t p = 7;  // past the marker block
    while (p + 7 <= archive.size()) {
        const uint8_t type = archive[p + 2];
        const uint32_t flags = Le(archive, p + 3, 2);
        const uint32_t headSize = Le(archive, p + 5, 2);
        const uint32_t dataSize = (flags & 0x8000) ? Le(archive, p + 7, 4) : 0;
        if (type == kBlockFile) {
            const uint8_t method = archive[p + 25];
            if (method != 0x30) {
                Stream s;
                s.packed.assign(archive.begin() + p + headSize, archive.begin() + p + headSize + dataSize);
                s.packedSize = static_cast<int32_t>(dataSize);
                s.unpackedSize = static_cast<int32_t>(Le(archive, p + 11, 4));
                s.solid = (flags & 0x10) != 0;
                streams.push_back(s);
            }
        }
        if (headSize == 0) break;
        p += headSize + dataSize;
    }
    return streams;
}

// One engine with its own context, window and output buffer, fed the way
// the pass feeds it.
struct Engine {
    UnpackFunction unpack;
    std::unique_ptr<UnpackState> context{new UnpackState()};
    std::vector<uint8_t> window = std::vector<uint8_t>(kWindowSize, 0);
    CollectedOutput output;

    explicit Engine(UnpackFunction f) : unpack(f) {
        for (int i = 0; i < 4; ++i) context->channelTablePtrs[i] = &context->channelTables[i];
        ConnectOutput(context.get(), &output);
    }

    std::string Run(const std::string& path, const Stream& s, bool discard) {
        FILE* input = std::fopen(path.c_str(), "rb");
        UnpackState* c = context.get();
        c->inputStream = input;
        c->packedRemaining = s.packedSize;
        c->unpackedRemaining = s.unpackedSize;
        output.Reset(discard);
        unpack(c, window.data(), s.solid ? 0x10 : 0);
        std::fclose(input);
        c->inputStream = nullptr;
        return output.bytes;
    }
};

bool SameTable(const DecodeTable& a, const DecodeTable& b) {
    return a.maxNum == b.maxNum && std::memcmp(a.decodeLen, b.decodeLen, sizeof a.decodeLen) == 0 &&
           std::memcmp(a.decodePos, b.decodePos, sizeof a.decodePos) == 0 &&
           std::memcmp(a.decodeNum, b.decodeNum, sizeof a.decodeNum) == 0;
}

// Everything of the engine's state that the next entry or the pass can see.
void ExpectSameState(const Engine& fast, const Engine& reference, const std::string& what) {
    const UnpackState& a = *fast.context;
    const UnpackState& b = *reference.context;
    EXPECT_EQ(fast.output.crc, reference.output.crc) << what;
    EXPECT_EQ(a.unpackedRemaining, b.unpackedRemaining) << what;
    EXPECT_EQ(a.packedRemaining, b.packedRemaining) << what;
    EXPECT_EQ(a.writePos, b.writePos) << what;
    EXPECT_EQ(a.flushPos, b.flushPos) << what;
    EXPECT_EQ(a.symbol, b.symbol) << what;
    EXPECT_EQ(a.inputPos, b.inputPos) << what;
    EXPECT_EQ(a.inputBit, b.inputBit) << what;
    EXPECT_EQ(a.inputEnd, b.inputEnd) << what;
    EXPECT_EQ(a.inputValidEnd, b.inputValidEnd) << what;
    EXPECT_EQ(a.inputDrained, b.inputDrained) << what;
    EXPECT_EQ(a.lastDistance, b.lastDistance) << what;
    EXPECT_EQ(a.lastLength, b.lastLength) << what;
    EXPECT_EQ(a.copyLength, b.copyLength) << what;
    EXPECT_EQ(a.copyDistance, b.copyDistance) << what;
    EXPECT_EQ(std::memcmp(a.recentDistances, b.recentDistances, sizeof a.recentDistances), 0) << what;
    EXPECT_EQ(a.recentCount, b.recentCount) << what;
    EXPECT_EQ(a.multimediaMode, b.multimediaMode) << what;
    EXPECT_EQ(a.channelCount, b.channelCount) << what;
    EXPECT_EQ(a.currentChannel, b.currentChannel) << what;
    EXPECT_EQ(std::memcmp(a.inputBuffer, b.inputBuffer, sizeof a.inputBuffer), 0) << what;
    EXPECT_EQ(std::memcmp(a.previousLengths, b.previousLengths, sizeof a.previousLengths), 0) << what;
    EXPECT_TRUE(SameTable(a.bitLengthTable, b.bitLengthTable)) << what;
    EXPECT_TRUE(SameTable(a.literalTable, b.literalTable)) << what;
    EXPECT_TRUE(SameTable(a.distanceTable, b.distanceTable)) << what;
    EXPECT_TRUE(SameTable(a.recentLengthTable, b.recentLengthTable)) << what;
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(SameTable(a.channelTables[i], b.channelTables[i])) << what;
    EXPECT_TRUE(fast.window == reference.window) << what;
}

// Runs a solid run of streams through both engines and compares after every
// entry. Returns the number of entry decodes (per engine).
int CompareRun(const std::vector<Stream>& streams, const std::string& dir, const std::string& what,
               uint32_t discardMask = 0) {
    Engine fast(UnpackEntry);
    Engine reference(ReferenceUnpackEntry);
    const std::string path = dir + "/stream";
    for (size_t i = 0; i < streams.size(); ++i) {
        WriteFileBytes(path, streams[i].packed);
        const bool discard = (discardMask >> (i % 32)) & 1;
        std::string a = fast.Run(path, streams[i], discard);
        std::string b = reference.Run(path, streams[i], discard);
        const std::string where = what + ", entry " + std::to_string(i);
        EXPECT_TRUE(a == b) << where << ": " << a.size() << " bytes against " << b.size();
        ExpectSameState(fast, reference, where);
        if (::testing::Test::HasFailure()) return static_cast<int>(i + 1);
    }
    return static_cast<int>(streams.size());
}

// The sample archives, built once: every level, every kind of data, sizes
// from empty to past the window (so that copies wrap around its end).
struct Sample {
    std::string name;
    std::vector<packtest::Entry> entries;
    packtest::Built built;
    std::vector<Stream> streams;
};

const std::vector<Sample>& Samples() {
    static std::vector<Sample> samples;
    if (!samples.empty()) return samples;
    using packtest::BinaryBytes;
    using packtest::RandomBytes;
    using packtest::TextBytes;
    auto add = [](const std::string& name, int level, std::vector<packtest::Entry> entries) {
        Sample s;
        s.name = name + " level " + std::to_string(level);
        s.entries = std::move(entries);
        s.built = packtest::BuildArchive(s.entries, level, false);
        s.streams = CompressedEntries(s.built.archive);
        samples.push_back(std::move(s));
    };
    for (int level = 1; level <= 5; ++level) {
        add("text and binary", level,
            {{"a.txt", TextBytes(30000, level)}, {"b.bin", BinaryBytes(60000, level)}, {"empty", {}},
             {"c.txt", TextBytes(5000, 100 + level)}, {"one", {'x'}}});
    }
    add("random", 1, {{"r1", RandomBytes(20000, 1)}, {"t", TextBytes(20000, 2)}, {"r2", RandomBytes(3000, 3)}});
    std::vector<uint8_t> zeros(70000, 0);
    std::vector<uint8_t> pattern(70000);
    for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<uint8_t>("abcdefg"[i % 7]);
    add("runs", 3, {{"zeros", zeros}, {"pattern", pattern}, {"b", BinaryBytes(9000, 9)}});
    // Past the window's size: the write position wraps and copies reach
    // across the window's end.
    std::vector<uint8_t> big = BinaryBytes(700000, 11);
    std::vector<uint8_t> text = TextBytes(500000, 12);
    add("past the window", 1, {{"big.bin", big}, {"big.txt", text}, {"again.bin", BinaryBytes(200000, 11)}});
    return samples;
}

class Differential : public ::testing::Test {
  protected:
    void SetUp() override { dir_ = MakeTempDir("speed_diff"); }
    void TearDown() override { RemoveTree(dir_); }
    std::string dir_;
};

TEST_F(Differential, ValidArchivesFromTheBuilder) {
    int decodes = 0;
    for (const Sample& sample : Samples()) {
        ASSERT_FALSE(sample.streams.empty()) << sample.name;
        decodes += CompareRun(sample.streams, dir_, sample.name);
        // Discarded entries (no checksum, no output) leave the same state too.
        decodes += CompareRun(sample.streams, dir_, sample.name + " discarded", 0x5);
        ASSERT_FALSE(HasFailure()) << sample.name;
    }
    EXPECT_GE(decodes, 60);
    std::printf("decoder: %d entries decoded alike by the engine and the reference, %zu-bit build\n", decodes,
                sizeof(void*) * 8);
}

// A table block in the middle of an entry can end a few bytes before the
// input buffer's end; the bytes after it arrive only with the next refill.
// Streams whose block ends at every bit from well before to right at that
// point, followed by bytes unlike the buffer's earlier contents.
TEST_F(Differential, TableBlocksEndingNearTheInputBuffersEnd) {
    std::mt19937 rng(5);
    std::string tail;
    for (int i = 0; i < 3000; ++i) tail.push_back(static_cast<char>('A' + rng() % 26));
    int decodes = 0;
    std::vector<uint32_t> blockEnds;
    for (uint32_t before = 6800; before < 6900; ++before) {
        StreamWriter w;
        w.TableBlock();
        for (uint32_t i = 0; i < before; ++i) w.Literal(static_cast<uint8_t>(rng()));
        w.NewTables(rng() % 2 == 0);
        blockEnds.push_back(w.bits.bitCount);
        w.Literals(tail);
        w.LongCopy(200, 3000);
        w.Literals(tail);
        Stream s;
        s.packed = w.Bytes();
        s.packedSize = static_cast<int32_t>(s.packed.size());
        s.unpackedSize = static_cast<int32_t>(before + 2 * tail.size() + 200);
        s.solid = false;
        decodes += CompareRun({s}, dir_, "block ending at bit " + std::to_string(blockEnds.back()));
        ASSERT_FALSE(HasFailure());
    }
    // The sweep covers block ends from before the last refill point (byte
    // 8162) to the last byte a look-ahead may start at (8190).
    EXPECT_LE(blockEnds.front(), 8150u * 8);
    EXPECT_GE(blockEnds.back(), 8191u * 8);
    EXPECT_EQ(decodes, 100);
}

// One random change of the streams of a sample.
std::vector<Stream> Damage(const std::vector<Stream>& original, std::mt19937& rng, int kind) {
    std::vector<Stream> streams = original;
    Stream& s = streams[rng() % streams.size()];
    const size_t size = s.packed.size();
    switch (kind) {
        case 0:  // a few flipped bits
        case 1: {
            if (size == 0) break;
            int flips = 1 + static_cast<int>(rng() % 6);
            for (int i = 0; i < flips; ++i) s.packed[rng() % size] ^= static_cast<char>(1 << (rng() % 8));
            break;
        }
        case 2: {  // flipped bits near the start, where the table block lies
            if (size == 0) break;
            size_t span = size < 64 ? size : 64;
            s.packed[rng() % span] ^= static_cast<char>(1 << (rng() % 8));
            break;
        }
        case 3:  // cut short: the archive file ends inside the entry
            s.packed.resize(size == 0 ? 0 : rng() % size);
            break;
        case 4:  // cut short and the header agrees
            s.packed.resize(size == 0 ? 0 : rng() % size);
            s.packedSize = static_cast<int32_t>(s.packed.size());
            break;
        case 5: {  // a run of garbage spliced over the data
            if (size == 0) break;
            size_t at = rng() % size;
            size_t n = 1 + rng() % 400;
            for (size_t i = at; i < at + n && i < size; ++i) s.packed[i] = static_cast<char>(rng());
            break;
        }
        case 6: {  // all garbage
            size_t n = rng() % 30000;
            s.packed.resize(n);
            for (auto& c : s.packed) c = static_cast<char>(rng());
            s.packedSize = static_cast<int32_t>(n);
            break;
        }
        case 7:  // a wrong unpacked size, now and then negative
            s.unpackedSize = rng() % 5 == 0 ? -static_cast<int32_t>(rng() % 20)
                                            : static_cast<int32_t>(rng() % (2u * s.unpackedSize + 300000));
            break;
        case 8:  // the solid flag flipped: the run restarts, or continues where it should not
            s.solid = !s.solid;
            break;
        default:  // a header giving more packed bytes than there are
            s.packedSize += static_cast<int32_t>(1 + rng() % 20000);
            break;
    }
    return streams;
}

TEST_F(Differential, DamagedStreams) {
    std::mt19937 rng(8);
    int decodes = 0;
    int runs = 0;
    for (const Sample& sample : Samples()) {
        // Fewer rounds over the large sample: each one decodes 1.4 MB twice.
        const int rounds = sample.name.find("past the window") == 0 ? 20 : 150;
        for (int round = 0; round < rounds; ++round) {
            const int kind = round % 10;
            std::vector<Stream> streams = Damage(sample.streams, rng, kind);
            decodes += CompareRun(streams, dir_, sample.name + ", damage " + std::to_string(kind) + " round " +
                                                     std::to_string(round),
                                  rng() % 4 == 0 ? rng() : 0);
            ++runs;
            ASSERT_FALSE(HasFailure());
        }
    }
    EXPECT_GE(runs, 1000);
    EXPECT_GE(decodes, 3000);
}

// Whole passes: the callback keeps some entries in memory, writes some to
// files and discards the rest; the archive file itself is damaged anywhere
// (headers included).
struct PassLog {
    std::string dir;
    std::vector<std::string> events;
    int index = 0;
};

int LoggingCallback(char* nameBuffer, const uint8_t* data, uint32_t size, void* userData) {
    PassLog* log = static_cast<PassLog*>(userData);
    if (data != nullptr) {
        log->events.push_back("delivered " + std::to_string(size) + ": " +
                              std::string(reinterpret_cast<const char*>(data), size));
        return 0;
    }
    log->events.push_back(std::string("entry ") + nameBuffer + " " + std::to_string(size));
    const int i = log->index++;
    if (i % 3 == 0) {
        nameBuffer[0] = 1;  // in memory
    } else if (i % 3 == 1) {
        std::string path = log->dir + "/f" + std::to_string(i);
        std::strncpy(nameBuffer, path.c_str(), kPathSize - 1);
        nameBuffer[kPathSize - 1] = 0;
    } else {
        nameBuffer[0] = 0;  // discarded
    }
    return 0;
}

std::string FilesOf(const std::string& dir, int count) {
    std::string all;
    for (int i = 0; i < count; ++i) {
        std::string path = dir + "/f" + std::to_string(i);
        all += FileExists(path) ? "[" + ReadFileBytes(path) + "]" : "-";
        std::remove(path.c_str());
    }
    return all;
}

TEST_F(Differential, WholePassesOverDamagedArchives) {
    std::mt19937 rng(2026);
    const std::string fastDir = dir_ + "/fast";
    const std::string referenceDir = dir_ + "/reference";
    ASSERT_TRUE(std::filesystem::create_directory(fastDir));
    ASSERT_TRUE(std::filesystem::create_directory(referenceDir));
    const std::string archivePath = dir_ + "/archive.rar";
    int passes = 0;
    int failedChecks = 0;
    for (const Sample& sample : Samples()) {
        if (sample.built.archive.size() > 400000) continue;
        for (int round = 0; round < 40; ++round) {
            std::vector<uint8_t> bytes = sample.built.archive;
            if (round > 0) {
                switch (round % 4) {
                    case 0:
                        bytes.resize(rng() % bytes.size());
                        break;
                    case 1:
                        bytes[rng() % bytes.size()] ^= static_cast<uint8_t>(1 << (rng() % 8));
                        break;
                    case 2:  // damage past the headers' start, in the packed data mostly
                        bytes[20 + rng() % (bytes.size() - 20)] = static_cast<uint8_t>(rng());
                        break;
                    default:
                        for (int i = 0; i < 3; ++i) bytes[rng() % bytes.size()] ^= 0xFF;
                        break;
                }
            }
            packtest::WriteFile(archivePath, bytes);
            PassLog fastLog;
            fastLog.dir = fastDir;
            PassLog referenceLog;
            referenceLog.dir = referenceDir;
            int a = ExtractArchive(archivePath.c_str(), LoggingCallback, &fastLog);
            int b = ReferenceExtractArchive(archivePath.c_str(), LoggingCallback, &referenceLog);
            const std::string what = sample.name + " round " + std::to_string(round);
            ASSERT_EQ(a, b) << what;
            if (round == 0) {
                EXPECT_EQ(a, kExtractOk) << what;
            }
            failedChecks += a == kExtractChecksumFailed ? 1 : 0;
            ASSERT_TRUE(fastLog.events == referenceLog.events) << what;
            ASSERT_EQ(FilesOf(fastDir, fastLog.index), FilesOf(referenceDir, referenceLog.index)) << what;
            ++passes;
        }
    }
    EXPECT_GE(passes, 200);
    EXPECT_GT(failedChecks, 0);  // the damage reached the checks, not only the headers
}

}  // namespace
