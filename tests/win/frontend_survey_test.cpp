// The survey pass: query answers, the title line, INSTALL.INF keys, language
// files, and whole passes over archives built in the test.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "archive/extract_archive.h"
#include "frontend/survey.h"
#include "tests/support/archive_bytes.h"
#include "tests/win/frontend_fixture.h"

namespace {

// UTF-16 little-endian bytes of an ASCII text, with the byte-order mark.
std::string Utf16File(const std::string& text) {
    std::string out = "\xFF\xFE";
    for (char c : text) {
        out += c;
        out += '\0';
    }
    return out;
}

class SurveyTest : public FrontendTest {
protected:
    // The query call as the pass makes it; returns the answer byte.
    int Query(const std::string& name) {
        char buffer[260] = "";
        std::strcpy(buffer, name.c_str());
        EXPECT_EQ(SurveyEntryCallback(buffer, nullptr, 100, dialog_), 0);
        EXPECT_STREQ(buffer + 1, name.c_str() + 1) << "the name past the answer byte must stay";
        return static_cast<unsigned char>(buffer[0]);
    }
    // Query then delivery of contents (followed by the pass's extra zero byte).
    void Deliver(const std::string& name, const std::string& contents) {
        char buffer[260] = "";
        std::strcpy(buffer, name.c_str());
        SurveyEntryCallback(buffer, nullptr, static_cast<uint32_t>(contents.size()), dialog_);
        std::vector<uint8_t> data(contents.begin(), contents.end());
        data.push_back(0);
        EXPECT_EQ(SurveyEntryCallback(buffer, data.data(), static_cast<uint32_t>(contents.size()), dialog_), 0);
    }
    int RunPass(const std::vector<TestEntry>& entries) {
        std::string dir = MakeTempDir("survey");
        std::string path = dir + "\\Setup.exe";
        EXPECT_TRUE(WriteFileBytes(path, std::string("MZ stub bytes before the archive") + StoredArchive(entries)));
        int result = ExtractArchive(path.c_str(), SurveyEntryCallback, dialog_);
        RemoveTree(dir);
        return result;
    }
};

TEST_F(SurveyTest, QueryAnswersByName) {
    EXPECT_EQ(Query("FILE_ID.DIZ"), 1);
    EXPECT_EQ(Query("file_id.diz"), 1);
    EXPECT_EQ(Query("docs\\FILE_ID.DIZ"), 7);  // only the whole name counts
    EXPECT_EQ(Query("INSTALL.INF"), 2);
    EXPECT_EQ(Query("a.inf"), 2);
    EXPECT_EQ(Query(".INF"), 7);  // four characters or fewer
    EXPECT_EQ(Query("X"), 7);
    EXPECT_EQ(Query("README.TXT"), 7);
    EXPECT_EQ(Query("TOOL.INFO"), 7);
    EXPECT_STREQ(state_.fileStem, "");
    EXPECT_EQ(Query("lang\\PROD_FR.LNG"), 4);
    EXPECT_STREQ(state_.fileStem, "PROD");
    EXPECT_EQ(Query("OTHER_de.lng"), 4);
    EXPECT_STREQ(state_.fileStem, "PROD") << "the first language file names the stem";
}

TEST_F(SurveyTest, FileStemIsBoundedToItsField) {
    EXPECT_EQ(Query("ABCDEFGHIJKLMNOPQRSTUVWXYZ_FR.LNG"), 4);  // 33 characters: 31 kept, then 7 cut
    EXPECT_STREQ(state_.fileStem, "ABCDEFGHIJKLMNOPQRSTUVWX");
}

TEST_F(SurveyTest, TitleAndVersionFromFirstLine) {
    Deliver("FILE_ID.DIZ", "Tool Version 1.0\r\nA tool that does things.\r\n");
    EXPECT_EQ(Caption(), "Setup Tool 1.0");
    EXPECT_EQ(Text(1001), "Tool 1.0");
    EXPECT_STREQ(state_.group, "Tool");

    // The title control gets the 18-point font.
    HFONT font = reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog_, 1001, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTA info = {};
    ASSERT_NE(GetObjectA(font, sizeof info, &info), 0);
    HDC context = GetDC(dialog_);
    int expectedHeight = MulDiv(-18, GetDeviceCaps(context, LOGPIXELSY), 72);
    ReleaseDC(dialog_, context);
    EXPECT_EQ(info.lfHeight, expectedHeight);
    EXPECT_EQ(info.lfWeight, 400);
    EXPECT_STREQ(info.lfFaceName, "MS Sans Serif");
    EXPECT_EQ(info.lfPitchAndFamily, 0x22);
}

TEST_F(SurveyTest, TitleLineCuts) {
    struct Case {
        const char* line;
        const char* caption;
        const char* titleText;
        const char* group;
    } cases[] = {
        {"Product Name Version 2.1 (Build 7)\r\n", "Setup Product Name 2.1", "Product Name 2.1", "Product Name"},
        {"Tool Version 4.70 [XYZ]\r\n", "Setup Tool 4.70", "Tool 4.70", "Tool"},
        {"(beta)\r\n", "Setup  ", " ", ""},
        {"[x] Tool Version 1\r\n", "Setup  ", " ", ""},
        {"\r\nTool Version 1\r\n", "Setup  ", " ", ""},
        {"Just A Name\n", "Setup Just A Name ", "Just A Name ", "Just A Name"},
        {"Tool Version", "Setup Tool Version ", "Tool Version ", "Tool Version"},
        {"Tool  (beta)", "Setup Tool  ", "Tool  ", "Tool "},
        {"Tool version 3\r\n", "Setup Tool version 3 ", "Tool version 3 ", "Tool version 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        SetWindowTextA(dialog_, "Setup");
        state_.group[0] = 0;
        Deliver("FILE_ID.DIZ", c.line);
        EXPECT_EQ(Caption(), c.caption);
        EXPECT_EQ(Text(1001), c.titleText);
        EXPECT_STREQ(state_.group, c.group);
    }
}

TEST_F(SurveyTest, LongTitleAndVersionAreBounded) {
    std::string title(200, 'T');
    std::string version(50, '9');
    Deliver("FILE_ID.DIZ", title + " Version " + version + "\r\n");
    EXPECT_EQ(Text(1001), std::string(127, 'T') + " " + std::string(31, '9'));
    EXPECT_EQ(std::string(state_.group), std::string(31, 'T'));
    // Only the first 259 bytes of the file are looked at.
    SetWindowTextA(dialog_, "Setup");
    Deliver("FILE_ID.DIZ", std::string(300, 'A') + " Version 1\r\n");
    EXPECT_EQ(Text(1001), std::string(127, 'A') + " ");
}

TEST_F(SurveyTest, GroupSettingWinsInEitherOrder) {
    Deliver("FILE_ID.DIZ", "Tool Version 1.0\r\n");
    Deliver("INSTALL.INF", "Group=My Group\r\nExe=TOOL.EXE\r\n");
    EXPECT_STREQ(state_.group, "My Group");
    Deliver("FILE_ID.DIZ", "Other Version 2.0\r\n");
    EXPECT_STREQ(state_.group, "My Group");
    EXPECT_EQ(Caption(), "Setup Tool 1.0 Other 2.0") << "each title file appends once";
}

TEST_F(SurveyTest, InstallKeys) {
    Deliver("INSTALL.INF", "ID=ABCDE\r\nGroup=My Group\r\nClass=TOOL\r\nExe=TOOL.EXE\r\n");
    EXPECT_STREQ(state_.productId, "ABC");
    EXPECT_STREQ(state_.group, "My Group");
    EXPECT_STREQ(state_.windowClass, "TOOL");
    EXPECT_STREQ(state_.exeName, "TOOL.EXE");
}

TEST_F(SurveyTest, KeyValueRules) {
    struct Case {
        const char* contents;
        const char* key;
        const char* before;
        const char* after;
    } cases[] = {
        {"Exe = prog.exe\r\n", "Exe", "old", "old"},           // blank before "=": no match
        {"Exe=prog.exe \r\n", "Exe", "", "prog.exe "},          // trailing blank kept
        {"Exe=prog.exe\nNext=1", "Exe", "", "prog.exe"},       // LF alone ends it too
        {"Exe=a\rb\nc", "Exe", "", "a"},                       // CR first, then LF
        {"Exe=last", "Exe", "", "last"},                       // no line end at all
        {"XID=7\r\nID=2\r\n", "ID", "", "7"},                  // first occurrence, inside a word
        {"IDENT=5\r\nID=2\r\n", "ID", "old", "old"},           // first occurrence lacks "=": no later look
        {"id=5\r\n", "ID", "old", "old"},                      // case matters
        {"Group=\r\n", "Group", "Title", ""},                  // empty value replaces
        {"nothing here", "Class", "kept", "kept"},             // absent key leaves the field
        {"Class=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\r\n", "Class", "", "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.contents);
        char field[32];
        std::strcpy(field, c.before);
        ReadKeyValue(c.contents, c.key, field, sizeof field);
        EXPECT_STREQ(field, c.after);
    }
}

TEST_F(SurveyTest, LanguageFilesAddRowsOncePerCode) {
    Deliver("PROD_FR.LNG", "[Text]\r\nLanguage=French (France)\r\n");
    Deliver("PROD_nl.lng", "[Text]\r\nLanguage=Dutch\r\nOther=1\r\n");
    Deliver("PROD_fr.lng", "[Text]\r\nLanguage=Francais\r\n");   // same code: nothing
    Deliver("PROD_US.LNG", "[Text]\r\nLanguage=American\r\n");   // built-in rows stay alone
    Deliver("PROD_DE.LNG", "[Text]\r\nLanguage=Deutsch\r\n");
    Deliver("PROD_PL.LNG", Utf16File("[Text]\r\nLanguage=Polish (Polski)\r\n"));
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"Dutch", "English", "French ", "German", "Polish "}));
    EXPECT_EQ(RowOf("FR"), 2);
    EXPECT_EQ(RowOf("NL"), 0);
    EXPECT_EQ(RowOf("PL"), 4);
    for (int row = 0; row < RowCount(); ++row) EXPECT_EQ(RowStateImage(row), 2) << row;
    EXPECT_EQ(GetLanguageTag(list_, RowOf("FR")), 0x5246u);
    EXPECT_EQ(GetLanguageTag(list_, RowOf("US")), 0x5355u);
    EXPECT_EQ(GetLanguageTag(list_, 99), 0u);
}

TEST_F(SurveyTest, LanguageFilesThatAddNothing) {
    Deliver("PROD_AA.LNG", "Language=NoSection\r\n");            // does not begin with "["
    Deliver("PROD_BB.LNG", "[Text]\r\nName=Nothing\r\n");        // no "Language"
    Deliver("PROD_CC.LNG", "[Text]\r\nLanguage=(x)\r\n");        // empty name
    Deliver("PROD_DD.LNG", "[Text]\r\nLanguage");               // line ends before the name
    Deliver("PROD_EE.LNG", "[Text]\r\nLanguage=\r\n");
    Deliver("PROD_FF.LNG", "[Langu");                           // 6 bytes: too short to be read
    Deliver("FR.LNG", "[Text]\r\nLanguage=French\r\n");          // no room for a code before ".LNG"
    Deliver("X.LNG", "[Text]\r\nLanguage=French\r\n");
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"English", "German"}));
}

TEST_F(SurveyTest, NameCutsAndSmallFiles) {
    Deliver("P_GG.LNG", "[T]Language=A=B");    // 15 bytes: read; cut at "="
    Deliver("P_HH.LNG", "[T]Language Name(x)");  // any one character after the word
    Deliver("P_II.LNG", "[Language]");          // "Language" right after "[": nothing after it
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"A", "English", "German", "Name"}));
}

TEST_F(SurveyTest, Utf16FileIsReadOnlyWithinItsSize) {
    // No zero unit inside the file: the conversion must stop at its end even
    // though the bytes after the delivered contents are not text.
    std::string file = Utf16File("[Text]\r\nLanguage=Polish");
    std::vector<uint8_t> data(file.begin(), file.end());
    data.push_back(0);  // the pass's one extra zero byte
    for (int i = 0; i < 8; ++i) data.push_back('Z');
    char name[260] = "\x04PROD_PL.LNG";
    AddLanguageFromFile(dialog_, data.data(), static_cast<uint32_t>(file.size()), name);
    ASSERT_GE(RowOf("PL"), 0);
    EXPECT_EQ(RowText(RowOf("PL")), "Polish");

    // An odd size leaves the last half unit out.
    std::string odd = Utf16File("[Text]\r\nLanguage=Czech") + "X";
    std::vector<uint8_t> oddData(odd.begin(), odd.end());
    oddData.push_back(0);
    char oddName[260] = "\x04PROD_CZ.LNG";
    AddLanguageFromFile(dialog_, oddData.data(), static_cast<uint32_t>(odd.size()), oddName);
    ASSERT_GE(RowOf("CZ"), 0);
    EXPECT_EQ(RowText(RowOf("CZ")), "Czech");
}

TEST_F(SurveyTest, WholePassOverAnArchive) {
    std::vector<TestEntry> entries = {
        StoredEntry("FILE_ID.DIZ", "Tool Version 4.70 [XYZ]\r\nDescription line\r\n"),
        StoredEntry("TOOL.EXE", std::string(5000, 'x')),
        StoredEntry("INSTALL.INF", "ID=ab\r\nClass=TOOL\r\nExe=TOOL.EXE\r\n"),
        StoredEntry("TOOL_IT.LNG", "[Text]\r\nLanguage=Italian (Italiano)\r\n"),
        StoredEntry("TOOL_FR.LNG", Utf16File("[Text]\r\nLanguage=French\r\n")),
        StoredEntry("TOOL_fr.lng", "[Text]\r\nLanguage=Second French\r\n"),
        StoredEntry("TOOL_DE.LNG", "[Text]\r\nLanguage=German\r\n"),
    };
    EXPECT_EQ(RunPass(entries), 0);
    EXPECT_EQ(Caption(), "Setup Tool 4.70");
    EXPECT_EQ(Text(1001), "Tool 4.70");
    EXPECT_STREQ(state_.productId, "ab");
    EXPECT_STREQ(state_.group, "Tool");
    EXPECT_STREQ(state_.windowClass, "TOOL");
    EXPECT_STREQ(state_.exeName, "TOOL.EXE");
    EXPECT_STREQ(state_.fileStem, "TOOL");
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"English", "French", "German", "Italian "}));
}

TEST_F(SurveyTest, DamagedEntryFailsThePassAfterFieldsWereSet) {
    TestEntry damaged = StoredEntry("DATA.BIN", "payload");
    damaged.overrideCrc = true;
    damaged.crc = Crc32Of("payload") ^ 1;
    std::vector<TestEntry> entries = {
        StoredEntry("INSTALL.INF", "ID=xy\r\nGroup=Grp\r\n"),
        StoredEntry("P_FR.LNG", "[Text]\r\nLanguage=French\r\n"),
        damaged,
        StoredEntry("FILE_ID.DIZ", "Late Version 1\r\n"),
    };
    EXPECT_EQ(RunPass(entries), 3);
    EXPECT_STREQ(state_.productId, "xy");
    EXPECT_STREQ(state_.group, "Grp");
    EXPECT_GE(RowOf("FR"), 0);
    EXPECT_EQ(Caption(), "Setup") << "entries after the damaged one are not read";
}

TEST_F(SurveyTest, ArchiveWithoutTitleOrSettings) {
    EXPECT_EQ(RunPass({StoredEntry("README.TXT", "hello"), StoredEntry("TOOL.EXE", "MZ")}), 0);
    EXPECT_EQ(Caption(), "Setup");
    EXPECT_EQ(Text(1001), "");
    EXPECT_STREQ(state_.productId, "");
    EXPECT_STREQ(state_.group, "");
    EXPECT_STREQ(state_.windowClass, "");
    EXPECT_STREQ(state_.exeName, "");
    EXPECT_STREQ(state_.fileStem, "");
    EXPECT_EQ(RowTexts(), (std::vector<std::string>{"English", "German"}));
}

TEST_F(SurveyTest, MissingArchive) {
    EXPECT_EQ(ExtractArchive("C:\\no\\such\\Setup.exe", SurveyEntryCallback, dialog_), 2);
    EXPECT_EQ(Caption(), "Setup");
}

}  // namespace
