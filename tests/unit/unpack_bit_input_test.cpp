// The packed input buffer and the bit reader.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/archive_bytes.h"
#include "unpack/unpack.h"

namespace {

class BitInput : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = MakeTempDir("bits");
        context_.reset(new UnpackState());
    }
    void TearDown() override {
        if (stream_ != nullptr) std::fclose(stream_);
        RemoveTree(dir_);
    }
    // Opens a file of the given bytes as the entry's input, with `packed`
    // bytes announced by the header.
    void Open(const std::string& bytes, int32_t packed) {
        std::string path = dir_ + "/in";
        WriteFileBytes(path, bytes);
        stream_ = std::fopen(path.c_str(), "rb");
        context_->inputStream = stream_;
        context_->packedRemaining = packed;
    }
    std::string dir_;
    FILE* stream_ = nullptr;
    std::unique_ptr<UnpackState> context_;
};

std::string Pattern(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 256) & 0xFF);
    return s;
}

TEST_F(BitInput, LookAheadStartsAtTheNextUnreadBit) {
    UnpackState* c = context_.get();
    c->inputPos = 100;
    c->inputBit = 3;
    c->inputBuffer[100] = 0xA5;
    c->inputBuffer[101] = 0xC3;
    c->inputBuffer[102] = 0xB1;
    EXPECT_EQ(PeekBits(c), 0x2E1Du);
    SkipBits(c, 13);
    EXPECT_EQ(c->inputPos, 102u);
    EXPECT_EQ(c->inputBit, 0u);
    SkipBits(c, 16);
    EXPECT_EQ(c->inputPos, 104u);
    EXPECT_EQ(c->inputBit, 0u);
}

TEST_F(BitInput, ContinuationRefillKeepsTheReadingPosition) {
    std::string data = Pattern(20000);
    Open(data, 20000);
    UnpackState* c = context_.get();
    RefillInput(c, true);
    EXPECT_EQ(c->inputEnd, 8192u);
    EXPECT_EQ(c->packedRemaining, 20000 - 8192);
    c->inputPos = 8170;
    c->inputBit = 5;
    uint32_t before = PeekBits(c);
    RefillInput(c, false);
    EXPECT_EQ(c->inputPos, 10u);
    EXPECT_EQ(c->inputBit, 5u);
    EXPECT_EQ(PeekBits(c), before);
    EXPECT_EQ(c->inputEnd, 8192u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(c->inputBuffer), 8192), data.substr(8160, 8192));
    // The last refill reads only what is left of the entry.
    c->inputPos = 8163;
    RefillInput(c, false);
    EXPECT_EQ(c->inputEnd, 32u + (20000 - 8192 - 8160));
    EXPECT_EQ(c->packedRemaining, 0);
}

TEST_F(BitInput, SmallEntryAndLaterEmptyRefills) {
    Open(Pattern(100), 15);
    UnpackState* c = context_.get();
    RefillInput(c, true);
    EXPECT_EQ(c->inputEnd, 15u);
    EXPECT_EQ(c->packedRemaining, 0);
    c->inputPos = 8180;
    RefillInput(c, false);
    EXPECT_EQ(c->inputPos, 20u);
    EXPECT_EQ(c->inputEnd, 20u);  // nothing came: the end is where reading stands
    uint8_t byte;
    EXPECT_EQ(ReadPacked(c, &byte, 1), 0);
}

TEST_F(BitInput, ArchiveEndingInsideTheEntry) {
    Open(Pattern(100), 5000);
    UnpackState* c = context_.get();
    RefillInput(c, true);
    // The 100 bytes are stored, but the read that finds the end returns 0.
    EXPECT_EQ(c->inputEnd, 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(c->inputBuffer), 100), Pattern(100));
}

TEST_F(BitInput, ReadPackedBounds) {
    Open(Pattern(100), 40);
    UnpackState* c = context_.get();
    uint8_t buffer[64];
    EXPECT_EQ(ReadPacked(c, buffer, 0), 0);
    EXPECT_EQ(c->packedRemaining, 40);
    EXPECT_EQ(ReadPacked(c, buffer, 30), 30);
    EXPECT_EQ(ReadPacked(c, buffer, 30), 10);
    EXPECT_EQ(ReadPacked(c, buffer, 30), 0);
    // A negative packed size from a damaged header reads nothing.
    c->packedRemaining = -7;
    EXPECT_EQ(ReadPacked(c, buffer, 30), 0);
    // Without an input stream nothing is read.
    c->packedRemaining = 10;
    c->inputStream = nullptr;
    EXPECT_EQ(ReadPacked(c, buffer, 5), 0);
}

}  // namespace
