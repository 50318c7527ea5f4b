#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "archive/entry_output.h"
#include "archive/extraction_context.h"
#include "archive/header_reader.h"
#include "tests/support/archive_bytes.h"

namespace {

TEST(ByteBuffer, GrowsAdditively) {
    ByteBuffer buffer;
    ByteBufferInit(&buffer);
    std::string bytes(10000, 'b');
    EXPECT_EQ(ByteBufferAppend(&buffer, bytes.data(), 100), 0);
    EXPECT_EQ(buffer.capacity, 4096u);
    EXPECT_EQ(buffer.length, 100u);
    EXPECT_EQ(ByteBufferAppend(&buffer, bytes.data(), 5000), 0);
    EXPECT_EQ(buffer.capacity, 9096u);
    EXPECT_EQ(buffer.length, 5100u);
    EXPECT_EQ(ByteBufferAppend(&buffer, bytes.data(), 10), 0);
    EXPECT_EQ(buffer.capacity, 9096u);
    EXPECT_EQ(buffer.appendCount, 3);
    ByteBufferDestroy(&buffer);
    EXPECT_EQ(buffer.data, nullptr);
    EXPECT_EQ(buffer.capacity, 0u);

    EXPECT_EQ(ByteBufferAppend(&buffer, bytes.data(), 6000), 0);
    EXPECT_EQ(buffer.capacity, 6000u);
    ByteBufferDestroy(&buffer);
}

TEST(ByteBuffer, ResetKeepsStorageAndWritesFromTheStart) {
    ByteBuffer buffer;
    ByteBufferInit(&buffer);
    ByteBufferAppend(&buffer, "hello", 5);
    ByteBufferReset(&buffer);
    EXPECT_EQ(buffer.capacity, 4096u);
    EXPECT_EQ(buffer.length, 0u);
    ByteBufferAppend(&buffer, "HE", 2);
    EXPECT_EQ(std::memcmp(buffer.data, "HEllo", 5), 0);
    EXPECT_EQ(buffer.length, 2u);
    ByteBufferDestroy(&buffer);
}

TEST(ByteBuffer, GrowthBeyondFourGigabytesFails) {
    ByteBuffer buffer;
    ByteBufferInit(&buffer);
    ByteBufferAppend(&buffer, "abc", 3);
    // A claimed size that cannot be held: the append fails, contents are dropped.
    buffer.capacity = 0xFFFFF000u;
    buffer.length = 0xFFFFF000u;
    uint8_t* kept = buffer.data;
    buffer.data = static_cast<uint8_t*>(AllocZeroed(16));
    std::free(kept);
    EXPECT_EQ(ByteBufferAppend(&buffer, "defghij", 0x2000), 1);
    EXPECT_EQ(buffer.data, nullptr);
    EXPECT_EQ(buffer.length, 0u);
    // The next append starts afresh and succeeds.
    EXPECT_EQ(ByteBufferAppend(&buffer, "xyz", 3), 0);
    EXPECT_EQ(buffer.length, 3u);
    ByteBufferDestroy(&buffer);
}

TEST(AllocZeroed, ZeroSizeGivesNull) {
    EXPECT_EQ(AllocZeroed(0), nullptr);
    void* block = AllocZeroed(64);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(static_cast<uint8_t*>(block)[63], 0);
    ReleaseBlock(&block);
    EXPECT_EQ(block, nullptr);
    ReleaseBlock(&block);  // releasing an empty slot is harmless
}

class WriteUnpackedTest : public ::testing::Test {
protected:
    void SetUp() override {
        context_ = static_cast<ExtractionContext*>(AllocZeroed(sizeof(ExtractionContext)));
        context_->runningChecksum = 0xFFFFFFFFu;
        ByteBufferInit(&buffer_);
    }
    void TearDown() override {
        ByteBufferDestroy(&buffer_);
        ReleaseBlock(&context_);
    }
    ExtractionContext* context_ = nullptr;
    ByteBuffer buffer_;
};

TEST_F(WriteUnpackedTest, ChecksumOfAbc) {
    context_->outputBuffer = &buffer_;
    EXPECT_EQ(WriteUnpacked(context_, reinterpret_cast<const uint8_t*>("abc"), 3), 3);
    EXPECT_EQ(~context_->runningChecksum, 0x352441C2u);
    EXPECT_EQ(buffer_.length, 3u);
}

TEST_F(WriteUnpackedTest, DiscardedOutputTakesNothing) {
    context_->noChecksum = 1;
    EXPECT_EQ(WriteUnpacked(context_, reinterpret_cast<const uint8_t*>("abc"), 3), 0);
    EXPECT_EQ(context_->runningChecksum, 0xFFFFFFFFu);
}

TEST_F(WriteUnpackedTest, WritesToTheOutputFile) {
    std::string dir = MakeTempDir("output");
    std::string path = dir + "/out.bin";
    context_->outputFile = std::fopen(path.c_str(), "w+b");
    ASSERT_NE(context_->outputFile, nullptr);
    std::string data(70000, 'q');
    EXPECT_EQ(WriteUnpacked(context_, reinterpret_cast<const uint8_t*>(data.data()), 70000), 70000);
    std::fclose(context_->outputFile);
    EXPECT_EQ(ReadFileBytes(path), data);
    EXPECT_EQ(~context_->runningChecksum, Crc32Of(data));
    RemoveTree(dir);
}

// The decompression engine's output, once connected, is the pass's output:
// the bytes reach the entry's buffer and its checksum.
TEST_F(WriteUnpackedTest, EngineOutputReachesTheEntry) {
    ConnectEntryOutput(context_);
    context_->outputBuffer = &buffer_;
    UnpackState& engine = context_->unpack;
    ASSERT_NE(engine.output, nullptr);
    EXPECT_EQ(engine.output(engine.outputTarget, reinterpret_cast<const uint8_t*>("abc"), 3), 3);
    EXPECT_EQ(~context_->runningChecksum, 0x352441C2u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer_.data), buffer_.length), "abc");
}

}  // namespace
