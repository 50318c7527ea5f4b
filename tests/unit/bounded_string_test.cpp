#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "tests/support/archive_bytes.h"
#include "util/bounded_string.h"

namespace {

TEST(AppendBounded, TenByteBufferCases) {
    char buffer[10] = "123456789";
    EXPECT_EQ(AppendBounded("x", buffer, 10), 123);
    EXPECT_STREQ(buffer, "123456789");

    std::strcpy(buffer, "123456");
    EXPECT_EQ(AppendBounded("abc", buffer, 10), 0);
    EXPECT_STREQ(buffer, "123456abc");

    std::strcpy(buffer, "123456");
    EXPECT_EQ(AppendBounded("abcd", buffer, 10), 111);
    EXPECT_STREQ(buffer, "123456abc");
}

TEST(AppendBounded, NoSizeOrNullWritesNothing) {
    char buffer[4] = "ab";
    EXPECT_EQ(AppendBounded("cd", buffer, 0), 0);
    EXPECT_EQ(AppendBounded("cd", buffer, -3), 0);
    EXPECT_EQ(AppendBounded(nullptr, buffer, 4), 0);
    EXPECT_EQ(AppendBounded("cd", nullptr, 4), 0);
    EXPECT_STREQ(buffer, "ab");
}

TEST(AssignBounded, ReplacesAndTruncates) {
    char buffer[6] = "old";
    EXPECT_EQ(AssignBounded("new", buffer, 6), 0);
    EXPECT_STREQ(buffer, "new");
    EXPECT_EQ(AssignBounded("longer text", buffer, 6), 111);
    EXPECT_STREQ(buffer, "longe");
}

TEST(CopyBounded, TruncatesAndTerminates) {
    char buffer[8] = "xxxxxxx";
    CopyBounded("abc", buffer, 1);
    EXPECT_STREQ(buffer, "");
    std::strcpy(buffer, "xxxxxxx");
    CopyBounded(nullptr, buffer, 8);
    EXPECT_STREQ(buffer, "");
    CopyBounded("abcdefghij", buffer, 8);
    EXPECT_STREQ(buffer, "abcdefg");
    CopyBounded("abc", nullptr, 8);  // must not crash
}

TEST(AppendClipped, AddsAtMostTheRoomLeft) {
    char buffer[8] = "abc";
    AppendClipped("defghijk", buffer, 8);
    EXPECT_STREQ(buffer, "abcdefg");
    char full[4] = "abc";
    AppendClipped("d", full, 3);  // length 3 is not below size 3: nothing
    EXPECT_STREQ(full, "abc");
}

TEST(EnsureTrailingSeparator, AddsOnlyWhenMissing) {
    char path[16] = "";
    EnsureTrailingSeparator(path, 16);
    EXPECT_STREQ(path, "");
    std::strcpy(path, "C:\\App");
    EnsureTrailingSeparator(path, 16);
    EXPECT_STREQ(path, "C:\\App\\");
    std::strcpy(path, "dir/");
    EnsureTrailingSeparator(path, 16);
    EXPECT_STREQ(path, "dir/");
    char tight[4] = "abc";
    EnsureTrailingSeparator(tight, 4);
    EXPECT_STREQ(tight, "abc");
}

TEST(JoinPath, TypicalInputs) {
    struct Case {
        const char* before;
        const char* name;
        const char* after;
        int result;
    } cases[] = {
        {"C:\\App", "main.exe", "C:\\App\\main.exe", 0},
        {"C:\\App\\", "\\main.exe", "C:\\App\\main.exe", 0},
        {"C:\\App/", "main.exe", "C:\\App/main.exe", 0},
        {"", "\\main.exe", "main.exe", 0},
        {"C:\\App", "", "C:\\App", 0},
    };
    for (const Case& c : cases) {
        char path[260];
        std::strcpy(path, c.before);
        EXPECT_EQ(JoinPath(c.name, path, 260), c.result) << c.before << " + " << c.name;
        EXPECT_STREQ(path, c.after) << c.before << " + " << c.name;
    }
    char path[260] = "C:\\App";
    EXPECT_EQ(JoinPath(nullptr, path, 260), 0);
    EXPECT_STREQ(path, "C:\\App");
}

TEST(JoinPath, ReportsTruncation) {
    char path[10] = "C:\\ab";
    EXPECT_EQ(JoinPath("long.txt", path, 10), 111);
    EXPECT_STREQ(path, "C:\\ab\\lon");
    char full[6] = "C:\\ab";
    EXPECT_EQ(JoinPath("x", full, 6), 123);
}

TEST(CutToDirectory, TypicalInputs) {
    struct Case {
        const char* input;
        const char* result;
    } cases[] = {
        {"C:\\Program Files\\App\\main.exe", "C:\\Program Files\\App"},
        {"C:\\App", "C:\\"},
        {"C:\\", "C:\\"},
        {"dir/", "dir"},
        {"\\file", ""},
        {"file.txt", ""},
        {"ab\\c", "ab"},
    };
    for (const Case& c : cases) {
        char path[260];
        std::strcpy(path, c.input);
        CutToDirectory(path);
        EXPECT_STREQ(path, c.result) << c.input;
    }
}

TEST(FileNameOffset, FindsTheFileNamePart) {
    EXPECT_EQ(FileNameOffset("C:\\a\\b.txt"), 5);
    EXPECT_EQ(FileNameOffset("b.txt"), 0);
    EXPECT_EQ(FileNameOffset("dir\\"), 4);
    EXPECT_EQ(FileNameOffset("a/b"), 2);
}

TEST(ProbePath, FoldersAndFilesAlike) {
    std::string dir = MakeTempDir("probe");
    std::string file = dir + "/file.txt";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    EXPECT_EQ(ProbePath(dir.c_str()), 0);
    EXPECT_EQ(ProbePath(file.c_str()), 0);
    EXPECT_EQ(ProbePath((dir + "/missing").c_str()), -1);
    RemoveTree(dir);
}

TEST(WideNarrow, ConvertWithinBounds) {
    const uint16_t wide[] = {'F', 'r', 0xE8, 'n', 0x20AC, 0};
    char narrow[8];
    WideToNarrow(wide, narrow, 8);
    EXPECT_STREQ(narrow, "Fr\xE8n\x80");
    WideToNarrow(wide, narrow, 3);
    EXPECT_STREQ(narrow, "Fr");
    WideToNarrow(nullptr, narrow, 8);
    EXPECT_STREQ(narrow, "");
    WideToNarrow(wide, narrow, 0);  // no room: nothing written

    uint16_t back[8];
    NarrowToWide("Fr\xE8n", back, 8);
    EXPECT_EQ(back[2], 0xE8);
    EXPECT_EQ(back[4], 0);
    NarrowToWide("abcdef", back, 4);
    EXPECT_EQ(back[2], 'c');
    EXPECT_EQ(back[3], 0);
}

#ifndef _WIN32
// Under a double-byte code page a cut never leaves half a character.
class DoubleByteCodePage : public ::testing::Test {
protected:
    void SetUp() override { SetAnsiCodePageForTests(932); }
    void TearDown() override { SetAnsiCodePageForTests(1252); }
};

TEST_F(DoubleByteCodePage, AppendBoundedKeepsCharactersWhole) {
    // "ab" then two double-byte characters (lead bytes 0x82 and 0x83).
    char buffer[6] = "ab";
    EXPECT_EQ(AppendBounded("\x82\xA0\x83\x41", buffer, 6), 111);
    EXPECT_STREQ(buffer, "ab\x82\xA0");

    char odd[5] = "ab";
    EXPECT_EQ(AppendBounded("c\x82\xA0", odd, 5), 111);
    EXPECT_STREQ(odd, "abc");
}

TEST_F(DoubleByteCodePage, AppendBoundedBytesCutsAtTheByteCount) {
    char buffer[5] = "ab";
    EXPECT_EQ(AppendBoundedBytes("c\x82\xA0", buffer, 5), 111);
    EXPECT_STREQ(buffer, "abc\x82");
}

// "\x83\x5C" is "ソ" and "\x95\x5C" is "表" in code page 932: their trail
// byte is the backslash's value, yet no separator.
TEST_F(DoubleByteCodePage, SeparatorScansStepOverDoubleByteCharacters) {
    char folder[260] = "C:\\Program Files\\\x95\x5C";
    EXPECT_EQ(JoinPath("readme.txt", folder, sizeof folder), 0);
    EXPECT_STREQ(folder, "C:\\Program Files\\\x95\x5C\\readme.txt");

    char ends[260] = "D:\\\x83\x5C";
    EnsureTrailingSeparator(ends, sizeof ends);
    EXPECT_STREQ(ends, "D:\\\x83\x5C\\");

    EXPECT_EQ(FileNameOffset("dir\\\x83\x5C\x83\x74\x83\x67.exe"), 4);
    EXPECT_EQ(FileNameOffset("\x83\x5C\x83\x74"), 0);
    EXPECT_EQ(FileNameOffset("\x83\x5C\\x"), 3);

    char path[260] = "C:\\\x83\x5C\x83\x74\\\x95\x5C.txt";
    CutToDirectory(path);
    EXPECT_STREQ(path, "C:\\\x83\x5C\x83\x74");
    char root[260] = "C:\\\x95\x5C";
    CutToDirectory(root);
    EXPECT_STREQ(root, "C:\\");
    char bare[260] = "\x95\x5C";
    CutToDirectory(bare);
    EXPECT_STREQ(bare, "");
}

TEST(SingleByteCodePage, TheSameBytesAreSeparatorsUnder1252) {
    // 0x95 is a bullet in code page 1252, followed by a real backslash.
    EXPECT_EQ(FileNameOffset("dir\\\x95\\x"), 6);
    char folder[260] = "C:\\\x95\\";
    EXPECT_EQ(JoinPath("a", folder, sizeof folder), 0);
    EXPECT_STREQ(folder, "C:\\\x95\\a");
}

TEST_F(DoubleByteCodePage, CaseInsensitiveCompareLeavesTrailBytesAlone) {
    EXPECT_EQ(CompareNoCase("file_id.diz", "FILE_ID.DIZ"), 0);
    // 0x82 0x61 is one character; its trail byte 'a' must not fold to 'A'.
    EXPECT_NE(CompareNoCase("\x82" "a", "\x82" "A"), 0);
}
#endif

}  // namespace
