#include <gtest/gtest.h>

#include <string>

#include "util/entry_roles.h"

namespace {

std::string Part(const char* name, size_t stemLength) {
    const char* part = nullptr;
    size_t length = 0;
    if (!EntryLanguagePart(name, stemLength, &part, &length)) return "<none>";
    return std::string(part, length);
}

TEST(SurveyAnswerForName, PicksTheSpecialFilesIgnoringCase) {
    EXPECT_EQ(SurveyAnswerForName("FILE_ID.DIZ"), kSurveyTitleFile);
    EXPECT_EQ(SurveyAnswerForName("file_id.diz"), kSurveyTitleFile);
    EXPECT_EQ(SurveyAnswerForName("INSTALL.INF"), kSurveySettingsFile);
    EXPECT_EQ(SurveyAnswerForName("help\\other.inf"), kSurveySettingsFile);
    EXPECT_EQ(SurveyAnswerForName("PROD_FR.lng"), kSurveyLanguageFile);
    EXPECT_EQ(SurveyAnswerForName("README.TXT"), kSurveyOtherEntry);
    // A folder before FILE_ID.DIZ makes it an ordinary entry: the whole name is compared.
    EXPECT_EQ(SurveyAnswerForName("sub\\FILE_ID.DIZ"), kSurveyOtherEntry);
}

TEST(SurveyAnswerForName, NamesOfAtMostFourBytesAreNeverSpecial) {
    EXPECT_EQ(SurveyAnswerForName(".INF"), kSurveyOtherEntry);
    EXPECT_EQ(SurveyAnswerForName(".LNG"), kSurveyOtherEntry);
    EXPECT_EQ(SurveyAnswerForName("A.INF"), kSurveySettingsFile);
    EXPECT_EQ(SurveyAnswerForName(""), kSurveyOtherEntry);
}

TEST(LanguageStem, TheFirstLanguageFileNamesItWithoutFolderOrCode) {
    char stem[32] = "";
    NoteLanguageStem("lang\\PROD_FR.LNG", stem, sizeof stem);
    EXPECT_STREQ(stem, "PROD");
    NoteLanguageStem("OTHER_DE.LNG", stem, sizeof stem);
    EXPECT_STREQ(stem, "PROD");  // kept: only the first counts
    char shortStem[32] = "";
    NoteLanguageStem("X.LNG", shortStem, sizeof shortStem);
    EXPECT_STREQ(shortStem, "X.LNG");  // too short to cut anything off
}

TEST(LanguageFileTag, TheTwoLettersBeforeTheExtensionUpperCased) {
    LanguageTag tag = 0;
    ASSERT_TRUE(LanguageFileTag("PROD_fr.lng", &tag));
    EXPECT_EQ(tag, 0x5246u);
    ASSERT_TRUE(LanguageFileTag("P_DE.LNG", &tag));
    EXPECT_EQ(tag, MakeLanguageTag('D', 'E'));
    EXPECT_FALSE(LanguageFileTag("DE.LNG", &tag));
}

TEST(EntryLanguagePart, OnlyTheStemsLengthCounts) {
    EXPECT_EQ(Part("DEMO_DE.TXT", 4), "DE");
    EXPECT_EQ(Part("help\\DEMO_FR.HLP", 4), "FR");   // the text after the first backslash
    EXPECT_EQ(Part("XXXX_IT.LNG", 4), "IT");         // another stem of the same length
    EXPECT_EQ(Part("FILE_ID.DIZ", 4), "ID");         // looked up like a language
    EXPECT_EQ(Part("DEMO_FRAN.TXT", 4), "FRAN");     // four letters are still looked up
    EXPECT_EQ(Part("DEMO_FRENCH.TXT", 4), "<none>"); // five are not
    EXPECT_EQ(Part("DEMO.TXT", 4), "<none>");
    EXPECT_EQ(Part("DEMO_DE", 4), "DE");             // no extension: to the end
    EXPECT_EQ(Part("a\\b\\DEMO_DE.TXT", 4), "<none>"); // only the first folder is stepped over
}

TEST(InstalledRoleOf, NamedFilesIgnoringCase) {
    EXPECT_EQ(InstalledRoleOf("license.txt"), InstalledRole::kLicenseText);
    EXPECT_EQ(InstalledRoleOf("ORDER.HTM"), InstalledRole::kOrderForm);
    EXPECT_EQ(InstalledRoleOf("Bestell.htm"), InstalledRole::kGermanOrderForm);
    EXPECT_EQ(InstalledRoleOf("UNINST.EXE"), InstalledRole::kUninstaller);
    EXPECT_EQ(InstalledRoleOf("INSTALL.INF"), InstalledRole::kSettings);
    EXPECT_EQ(InstalledRoleOf(".INF"), InstalledRole::kOther);  // not longer than the extension
    EXPECT_EQ(InstalledRoleOf("TGDEMO.EXE"), InstalledRole::kProgramCandidate);
    EXPECT_EQ(InstalledRoleOf("tool.exe"), InstalledRole::kProgramCandidate);
    EXPECT_EQ(InstalledRoleOf("MYTOOL.EXE"), InstalledRole::kOther);
    EXPECT_EQ(InstalledRoleOf("TGDEMO.DLL"), InstalledRole::kOther);
}

}  // namespace
