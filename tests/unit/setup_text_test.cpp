#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/archive_bytes.h"
#include "platform/platform.h"
#include "util/setup_text.h"

namespace {

struct Title {
    std::string title, version;
};

Title Parse(const char* contents) {
    char title[128], version[32];
    ParseTitleLine(contents, title, version);
    return {title, version};
}

TEST(ParseTitleLine, SplitsTitleAndVersion) {
    Title t = Parse("Tool Version 1.0\r\nmore text");
    EXPECT_EQ(t.title, "Tool");
    EXPECT_EQ(t.version, "1.0");
    t = Parse("Product Name Version 2.1 (Build 7)");
    EXPECT_EQ(t.title, "Product Name");
    EXPECT_EQ(t.version, "2.1");
    t = Parse("Demo Product Version 1.0 [demo]\r\n");
    EXPECT_EQ(t.version, "1.0");
}

TEST(ParseTitleLine, StopsAndBlanks) {
    EXPECT_EQ(Parse("(beta) Tool Version 1").title, "");
    EXPECT_EQ(Parse("[x]").title, "");
    EXPECT_EQ(Parse("\r\nTool Version 1").title, "");
    EXPECT_EQ(Parse("Tool  (beta)").title, "Tool ");  // one blank of two goes with the note
    Title t = Parse("Tool Version");
    EXPECT_EQ(t.title, "Tool Version");
    EXPECT_EQ(t.version, "");
    EXPECT_EQ(Parse("Just a name\n").title, "Just a name");
}

TEST(ParseTitleLine, LongLinesAreBounded) {
    std::string line(400, 'T');
    Title t = Parse((line + " Version " + std::string(100, '9')).c_str());
    EXPECT_EQ(t.title, std::string(127, 'T'));
    EXPECT_EQ(t.version, "");  // the marker lies beyond the 259 bytes read
    t = Parse(("Tool Version " + std::string(100, '9')).c_str());
    EXPECT_EQ(t.version, std::string(31, '9'));
}

std::string Key(const char* contents, const char* key, const char* before = "old", int size = 32) {
    char field[32];
    std::strcpy(field, before);
    ReadKeyValue(contents, key, field, size);
    return field;
}

TEST(ReadKeyValue, FirstOccurrenceWithEqualsRightAfter) {
    EXPECT_EQ(Key("ID=ab\r\nClass=TOOL\r\n", "Class"), "TOOL");
    EXPECT_EQ(Key("ID=ABCDE\r\n", "ID", "", 4), "ABC");
    EXPECT_EQ(Key("Exe = prog.exe\r\n", "Exe"), "old");
    EXPECT_EQ(Key("Exe=prog.exe \r\n", "Exe"), "prog.exe ");
    EXPECT_EQ(Key("Group=My Group\r\n", "Group"), "My Group");
    EXPECT_EQ(Key("NoKeyHere", "Exe"), "old");
    // The key inside a longer word counts, and later occurrences are not looked at.
    EXPECT_EQ(Key("VIDEO=x\r\nID=ab\r\n", "ID"), "old");
    EXPECT_EQ(Key("GroupName=x\r\nGroup=y", "Group"), "old");
    EXPECT_EQ(Key("Exe=a\nb", "Exe"), "a");
}

std::string Language(const std::string& bytes) {
    char name[260];
    std::string delivered = bytes + std::string(1, '\0');
    ParseLanguageName(reinterpret_cast<const uint8_t*>(delivered.data()), static_cast<uint32_t>(bytes.size()), name);
    return name;
}

std::string Utf16(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

// UTF-16 with a byte-order mark from code units.
std::string Utf16Units(const std::vector<uint16_t>& units) {
    std::string out = "\xFF\xFE";
    for (uint16_t u : units) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

std::vector<uint16_t> Units(const std::string& ascii) {
    return std::vector<uint16_t>(ascii.begin(), ascii.end());
}

TEST(ParseLanguageName, AnsiAndUtf16) {
    EXPECT_EQ(Language("[Text]\r\nLanguage=French (France)\r\n"), "French ");
    EXPECT_EQ(Language("[Text]\r\nLanguage=Dutch\r\nX=1"), "Dutch");
    EXPECT_EQ(Language(Utf16("[Text]\r\nLanguage=Italian (Italiano)\r\n")), "Italian ");
    EXPECT_EQ(Language("Text\r\nLanguage=French"), "");  // no "[" first
    EXPECT_EQ(Language("[Text]\r\nName=French"), "");
    EXPECT_EQ(Language("[Text]\r\nLanguage"), "");
    EXPECT_EQ(Language("[Text]\r\nLanguage=(x)"), "");
}

TEST(ParseLanguageName, Utf16NamesBeyondAscii) {
    // "Français" (U+00E7) under code page 1252.
    std::vector<uint16_t> french = Units("[Text]\r\nLanguage=Fran");
    french.push_back(0x00E7);
    for (char c : std::string("ais\r\n")) french.push_back(static_cast<uint16_t>(c));
    EXPECT_EQ(Language(Utf16Units(french)), "Fran\xE7" "ais");
#ifndef _WIN32
    // "日本語 (Japanese)" under code page 932: three double-byte characters.
    SetAnsiCodePageForTests(932);
    std::vector<uint16_t> japanese = Units("[Text]\r\nLanguage=");
    for (uint16_t u : {0x65E5, 0x672C, 0x8A9E}) japanese.push_back(u);
    for (char c : std::string(" (Japanese)\r\n")) japanese.push_back(static_cast<uint16_t>(c));
    std::string name = Language(Utf16Units(japanese));
    SetAnsiCodePageForTests(1252);
    EXPECT_EQ(name, "\x93\xFA\x96\x7B\x8C\xEA ");
#endif
}

TEST(ParseLanguageName, Utf16StaysWithinTheDeliveredBytes) {
    // An odd size and no terminating unit: only the whole units are read.
    std::string odd = Utf16("[Text]\r\nLanguage=Czech") + "C";
    EXPECT_EQ(Language(odd), "Czech");
    EXPECT_EQ(Language("\xFF\xFE"), "");
    std::string longText = Utf16("[Text]\r\nLanguage=" + std::string(600, 'x'));
    EXPECT_EQ(Language(longText).size(), 259u - 17u);
}

}  // namespace
