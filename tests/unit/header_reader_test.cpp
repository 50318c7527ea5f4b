#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "archive/entry_output.h"
#include "archive/extraction_context.h"
#include "archive/header_reader.h"
#include "platform/platform.h"
#include "tests/support/archive_bytes.h"

namespace {

// Walks an archive file the way a pass does and records what the reader returns.
struct Walk {
    bool found = false;
    long afterMain = -1;
    std::vector<std::string> names;
    std::vector<FileHeader> headers;
    std::vector<uint8_t> blockTypes;
    int last = 1;  // what the reader returned when the walk ended
};

class HeaderReader : public ::testing::Test {
protected:
    void SetUp() override { dir_ = MakeTempDir("reader"); }
    void TearDown() override { RemoveTree(dir_); }

    Walk WalkBytes(const std::string& bytes) {
        std::string path = dir_ + "/archive.bin";
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        ExtractionContext* context = static_cast<ExtractionContext*>(AllocZeroed(sizeof(ExtractionContext)));
        context->archiveStream = OpenArchiveForReading(path.c_str());
        Walk walk;
        walk.found = LocateArchive(context) != 0;
        if (walk.found) {
            walk.afterMain = std::ftell(context->archiveStream);
            std::fseek(context->archiveStream, context->mainHeader.HEAD_SIZE - 13, SEEK_CUR);
            while ((walk.last = ReadNextEntryBlock(context)) > 0) {
                walk.blockTypes.push_back(context->lastBlockType);
                if (context->lastBlockType == kBlockFile) {
                    walk.names.push_back(context->entryName);
                    walk.headers.push_back(context->fileHeader);
                }
                std::fseek(context->archiveStream, context->nextBlock, SEEK_SET);
            }
        }
        std::fclose(context->archiveStream);
        ReleaseBlock(&context);
        return walk;
    }

    std::string dir_;
};

const std::string kTwoEntries =
    MainHeaderBytes() + EntryBytes(StoredEntry("a.txt", "alpha")) + EntryBytes(StoredEntry("b.txt", "beta"));

TEST_F(HeaderReader, MarkerAtOffsetZeroIsReadWithoutScan) {
    Walk walk = WalkBytes(MarkerBytes() + kTwoEntries);
    ASSERT_TRUE(walk.found);
    EXPECT_EQ(walk.afterMain, 20);
    EXPECT_EQ(walk.names, (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(walk.headers[1].UNP_SIZE, 4);
    EXPECT_EQ(walk.headers[1].FILE_CRC, Crc32Of("beta"));
    EXPECT_EQ(walk.headers[1].FTIME, kTestDosTime);
}

TEST_F(HeaderReader, MarkerFoundByScanningAfterAnExecutable) {
    std::string stub(106496, 'M');
    Walk walk = WalkBytes(stub + MarkerBytes() + kTwoEntries);
    ASSERT_TRUE(walk.found);
    EXPECT_EQ(walk.afterMain, 106496 + 20);
    EXPECT_EQ(walk.names.size(), 2u);
}

TEST_F(HeaderReader, FalseMarkerIsPassedOver) {
    // A marker followed by a block that is not a main header, then the real one.
    std::string fake = MarkerBytes() + std::string("\0\0\x74", 3) + std::string(20, 'x');
    Walk walk = WalkBytes(std::string(100, 'P') + fake + MarkerBytes() + kTwoEntries);
    ASSERT_TRUE(walk.found);
    EXPECT_EQ(walk.afterMain, 100 + static_cast<long>(fake.size()) + 20);
}

TEST_F(HeaderReader, LowerOfTwoMarkersWins) {
    std::string first = MarkerBytes() + MainHeaderBytes() + EntryBytes(StoredEntry("first", "1"));
    Walk walk = WalkBytes(std::string(50, 'P') + first + MarkerBytes() + kTwoEntries);
    ASSERT_TRUE(walk.found);
    EXPECT_EQ(walk.afterMain, 50 + 20);
    ASSERT_FALSE(walk.names.empty());
    EXPECT_EQ(walk.names[0], "first");
}

TEST_F(HeaderReader, MarkerAtTheEdgeOfTheScanWindow) {
    // The last offset at which a whole candidate (ten bytes) still lies in the window.
    Walk inside = WalkBytes(std::string(249996, 'P') + MarkerBytes() + kTwoEntries);
    EXPECT_TRUE(inside.found);
    Walk outside = WalkBytes(std::string(249997, 'P') + MarkerBytes() + kTwoEntries);
    EXPECT_FALSE(outside.found);
    Walk far = WalkBytes(std::string(300000, 'P') + MarkerBytes() + kTwoEntries);
    EXPECT_FALSE(far.found);
}

TEST_F(HeaderReader, TooShortFilesAreNoArchives) {
    EXPECT_FALSE(WalkBytes("").found);
    EXPECT_FALSE(WalkBytes("Rar!").found);
    EXPECT_FALSE(WalkBytes(MarkerBytes() + "\x01\x02\x03").found);  // main header cut short
}

TEST_F(HeaderReader, MainHeaderShorterThanItsFixedPartIsRejected) {
    EXPECT_FALSE(WalkBytes(MarkerBytes() + MainHeaderBytes(0x0008, 7) + EntryBytes(StoredEntry("a", "1"))).found);
    EXPECT_FALSE(WalkBytes("xx" + MarkerBytes() + MainHeaderBytes(0x0008, 12) + EntryBytes(StoredEntry("a", "1"))).found);
}

TEST_F(HeaderReader, LongerMainHeaderIsSkipped) {
    Walk walk = WalkBytes(MarkerBytes() + MainHeaderBytes(0x0008, 40) + EntryBytes(StoredEntry("a.txt", "1")));
    ASSERT_TRUE(walk.found);
    EXPECT_EQ(walk.names, std::vector<std::string>{"a.txt"});
}

TEST_F(HeaderReader, OtherBlocksAreSkippedWithTheirDataAreas) {
    std::string bytes = MarkerBytes() + MainHeaderBytes() + EntryBytes(StoredEntry("a.txt", "alpha")) +
                        BlockBytes(0x75, 0x0000, 20) + BlockBytes(0x79, 0x8000, 15, std::string(300, 'Z')) +
                        EntryBytes(StoredEntry("b.txt", "beta")) + BlockBytes(0x79, 0x4000, 199);
    Walk walk = WalkBytes(bytes);
    EXPECT_EQ(walk.names, (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST_F(HeaderReader, SubBlocksAreReportedToThePass) {
    std::string bytes = MarkerBytes() + MainHeaderBytes() + BlockBytes(0x77, 0x8000, 20, "comment") +
                        EntryBytes(StoredEntry("a.txt", "alpha"));
    Walk walk = WalkBytes(bytes);
    EXPECT_EQ(walk.blockTypes, (std::vector<uint8_t>{kBlockSub, kBlockFile}));
}

TEST_F(HeaderReader, BrokenSizesEndTheArchive) {
    std::string head = MarkerBytes() + MainHeaderBytes() + EntryBytes(StoredEntry("a.txt", "alpha"));
    EXPECT_EQ(WalkBytes(head + BlockBytes(0x75, 0, 5) + EntryBytes(StoredEntry("b", "2"))).names.size(), 1u);
    // A data area whose size wraps the offset backwards.
    TestEntry backwards = StoredEntry("b", "2");
    backwards.overridePackSize = true;
    backwards.packSize = -100;
    EXPECT_EQ(WalkBytes(head + EntryBytes(backwards) + EntryBytes(StoredEntry("c", "3"))).names.size(), 1u);
    TestEntry huge = StoredEntry("b", "2");
    huge.overridePackSize = true;
    huge.packSize = 0x10000000;
    // A data area that runs past the end of the file: cut short, not an entry.
    Walk cut = WalkBytes(head + EntryBytes(huge));
    EXPECT_EQ(cut.names.size(), 1u);
    EXPECT_EQ(cut.last, kHeaderCutShort);
    // One whose end would lie past the 2 GB offset range wraps: the archive ends.
    huge.packSize = 0x7FFFFFF0;
    EXPECT_EQ(WalkBytes(head + EntryBytes(huge)).names.size(), 1u);
}

TEST_F(HeaderReader, EndOfArchiveBlockEndsTheArchive) {
    std::string head = MarkerBytes() + MainHeaderBytes() + EntryBytes(StoredEntry("a.txt", "alpha"));
    // Bytes that read as a further file header must not be taken for one.
    std::string trailer = std::string(8, '\0') + EntryBytes(StoredEntry("certificate", std::string(64, 'C')));
    EXPECT_EQ(WalkBytes(head + BlockBytes(kBlockEnd, 0x4000, 7) + trailer).names, std::vector<std::string>{"a.txt"});
    EXPECT_EQ(WalkBytes(head + BlockBytes(kBlockEnd, 0x4000, 7)).names, std::vector<std::string>{"a.txt"});
    // Without an end block the walk goes on as before.
    EXPECT_EQ(WalkBytes(head + EntryBytes(StoredEntry("b.txt", "beta"))).names.size(), 2u);
}

TEST_F(HeaderReader, HeaderCutShortByTheEndOfTheFileEndsTheArchive) {
    std::string full = MarkerBytes() + MainHeaderBytes() + EntryBytes(StoredEntry("a.txt", "alpha"));
    std::string second = FileHeaderBytes(StoredEntry("second-name.txt", "beta"));
    for (size_t cut : {size_t(1), size_t(6), size_t(20), size_t(31), size_t(35)}) {
        Walk walk = WalkBytes(full + second.substr(0, cut));
        EXPECT_EQ(walk.names, std::vector<std::string>{"a.txt"}) << "cut after " << cut << " bytes";
    }
}

TEST_F(HeaderReader, LongNamesAreCutTo259Bytes) {
    std::string name(300, 'n');
    Walk walk = WalkBytes(MarkerBytes() + MainHeaderBytes() + EntryBytes(StoredEntry(name, "x")) +
                          EntryBytes(StoredEntry("next", "y")));
    ASSERT_EQ(walk.names.size(), 2u);
    EXPECT_EQ(walk.names[0], std::string(259, 'n'));
    EXPECT_EQ(walk.headers[0].NAME_SIZE, 259);
    EXPECT_EQ(walk.names[1], "next");
}

TEST_F(HeaderReader, ForwardSlashesBecomeBackslashes) {
    Walk walk = WalkBytes(MarkerBytes() + MainHeaderBytes() + EntryBytes(StoredEntry("dir/sub\\file.txt", "x")));
    EXPECT_EQ(walk.names, std::vector<std::string>{"dir\\sub\\file.txt"});
}

TEST_F(HeaderReader, UnixAttributesAreNormalised) {
    TestEntry dir = StoredEntry("folder", "");
    dir.hostOs = 3;
    dir.flags = 0x8000 | 0x00E0;
    dir.attr = 0x41ED;
    TestEntry file = StoredEntry("file", "x");
    file.hostOs = 3;
    file.flags = 0x8000 | 0x0080;
    file.attr = 0x81B4;
    TestEntry windows = StoredEntry("win", "x");
    windows.attr = 0x21;
    Walk walk = WalkBytes(MarkerBytes() + MainHeaderBytes() + EntryBytes(dir) + EntryBytes(file) + EntryBytes(windows));
    ASSERT_EQ(walk.headers.size(), 3u);
    EXPECT_EQ(walk.headers[0].ATTR, 0x10u);
    EXPECT_EQ(walk.headers[1].ATTR, 0x20u);
    EXPECT_EQ(walk.headers[2].ATTR, 0x21u);
}

TEST_F(HeaderReader, HeaderChecksumIsNotVerified) {
    std::string entry = EntryBytes(StoredEntry("a.txt", "alpha"));
    entry[0] ^= 0x5A;
    entry[1] ^= 0xA5;
    EXPECT_EQ(WalkBytes(MarkerBytes() + MainHeaderBytes() + entry).names, std::vector<std::string>{"a.txt"});
}

TEST_F(HeaderReader, RealArchivesList) {
    struct Expected {
        const char* file;
        std::vector<std::string> names;
    } cases[] = {
        {"real/rar2-unix-owner.rar", {"file.txt"}},
        {"real/rar202-comment-nopsw.rar", {"FILE1.TXT", "FILE2.TXT"}},
        {"real/rar15-comment.rar", {"FILE1.TXT", "FILE2.TXT"}},
        {"real/seektest.rar", {"stest1.txt", "stest2.txt"}},
        {"real/rar3-readonly-win.rar", {"ro_dir\\ro_file.txt", "ro_dir"}},
    };
    for (const Expected& c : cases) {
        Walk walk = WalkBytes(ReadFileBytes(TestDataPath(c.file)));
        EXPECT_TRUE(walk.found) << c.file;
        EXPECT_EQ(walk.names, c.names) << c.file;
    }
    Walk unix = WalkBytes(ReadFileBytes(TestDataPath("real/rar2-unix-owner.rar")));
    ASSERT_EQ(unix.headers.size(), 1u);
    EXPECT_EQ(unix.headers[0].ATTR, 0x20u);
    EXPECT_EQ(unix.headers[0].UNP_VER, 20);
    EXPECT_EQ(unix.headers[0].FILE_CRC, 0x7E3265A8u);
    EXPECT_FALSE(WalkBytes(ReadFileBytes(TestDataPath("real/rar3-seektest.sfx"))).found);
}

}  // namespace

// A file cut anywhere but between two blocks is damage; a cut between two
// blocks, a HEAD_SIZE below 7 and trailing bytes after an end block are quiet
// ends of the archive.
TEST_F(HeaderReader, EveryCutInsideABlockIsReportedAsCutShort) {
    const std::string prefix = MarkerBytes() + MainHeaderBytes();
    const std::string first = EntryBytes(StoredEntry("first.txt", "the first entry"));
    const std::string second = EntryBytes(StoredEntry("dir/second.txt", std::string(40, 's')));
    const std::string end = BlockBytes(kBlockEnd, 0x4000, 7);
    const std::string whole = prefix + first + second + end;
    const size_t boundaries[] = {prefix.size(), prefix.size() + first.size(), prefix.size() + first.size() + second.size(),
                                 whole.size()};
    for (size_t length = prefix.size(); length <= whole.size(); ++length) {
        Walk walk = WalkBytes(whole.substr(0, length));
        bool onBoundary = false;
        for (size_t b : boundaries) onBoundary = onBoundary || b == length;
        SCOPED_TRACE("cut at " + std::to_string(length));
        ASSERT_TRUE(walk.found);
        if (onBoundary) {
            EXPECT_EQ(walk.last, 0);
        } else {
            EXPECT_EQ(walk.last, kHeaderCutShort);
        }
        // Only entries whose data lies wholly within the file are returned.
        size_t expected = length >= prefix.size() + first.size() ? 1 : 0;
        if (length >= prefix.size() + first.size() + second.size()) expected = 2;
        EXPECT_EQ(walk.names.size(), expected);
    }
}

TEST_F(HeaderReader, QuietEndsStayQuiet) {
    const std::string head = MarkerBytes() + MainHeaderBytes() + EntryBytes(StoredEntry("a.txt", "alpha"));
    // HEAD_SIZE below 7, even with the file ending inside the block's fixed part.
    EXPECT_EQ(WalkBytes(head + BlockBytes(0x75, 0, 5)).last, 0);
    // Whatever follows an end block, even a few stray bytes.
    EXPECT_EQ(WalkBytes(head + BlockBytes(kBlockEnd, 0x4000, 7) + "xyz").last, 0);
}
