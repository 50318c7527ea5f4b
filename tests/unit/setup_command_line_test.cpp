#include <gtest/gtest.h>

#include <string>

#include "util/setup_command_line.h"

namespace {

SetupCommandLine Parse(const char* line, const char** problem = nullptr) {
    SetupCommandLine options;
    const char* found = ParseSetupCommandLine(line, &options);
    if (problem != nullptr) *problem = found;
    else EXPECT_EQ(found, nullptr) << line;
    return options;
}

TEST(SetupCommandLine, NoArgumentsMeansTheDialogAsAlways) {
    for (const char* line : {"", "   ", "\t"}) {
        SetupCommandLine options = Parse(line);
        EXPECT_FALSE(options.given);
        EXPECT_FALSE(options.silent);
    }
    SetupCommandLine options = Parse(nullptr);
    EXPECT_FALSE(options.given);
}

TEST(SetupCommandLine, SwitchesInAnyCaseAndOrder) {
    SetupCommandLine options = Parse("/noicons /s /Lang=de,fr /LOG=C:\\setup.log");
    EXPECT_TRUE(options.given);
    EXPECT_TRUE(options.silent);
    EXPECT_TRUE(options.noIcons);
    ASSERT_EQ(options.languageCount, 2);
    EXPECT_STREQ(options.languages[0], "DE");
    EXPECT_STREQ(options.languages[1], "FR");
    EXPECT_STREQ(options.logPath, "C:\\setup.log");
    EXPECT_STREQ(options.destination, "");
}

TEST(SetupCommandLine, DestinationTakesTheRestOfTheLineWithBlanks) {
    SetupCommandLine options = Parse("/S /D=C:\\Somewhere Else\\Demo  ");
    EXPECT_TRUE(options.silent);
    EXPECT_STREQ(options.destination, "C:\\Somewhere Else\\Demo");
    // Whatever follows /D= belongs to the folder, switches included.
    EXPECT_STREQ(Parse("/D=C:\\a /S").destination, "C:\\a /S");
    EXPECT_FALSE(Parse("/D=C:\\a /S").silent);
    EXPECT_STREQ(Parse("/S /D=\"C:\\Program Files\\Demo\"").destination, "C:\\Program Files\\Demo");
}

TEST(SetupCommandLine, QuotedValuesKeepTheirBlanks) {
    EXPECT_STREQ(Parse("/LOG=\"C:\\my logs\\setup.log\" /S").logPath, "C:\\my logs\\setup.log");
    EXPECT_STREQ(Parse("\"/LOG=C:\\a b.log\"").logPath, "C:\\a b.log");
}

TEST(SetupCommandLine, DuplicateLanguagesCountOnce) {
    SetupCommandLine options = Parse("/LANG=de,DE,us");
    ASSERT_EQ(options.languageCount, 2);
    EXPECT_STREQ(options.languages[1], "US");
}

TEST(SetupCommandLine, BadArgumentsAreRefused) {
    for (const char* line : {"/X", "/S /Q", "/SILENT", "/S2", "/LANG=", "/LANG=D", "/LANG=DEU", "/LANG=DE,",
                             "/LANG=D1", "/LANG=DE;FR", "/LANG=DE /LANG=FR", "/LOG=", "/D=", "/D=   ", "/D=\"\"",
                             "/LOG=\"unclosed", "setup", "-S"}) {
        const char* problem = nullptr;
        Parse(line, &problem);
        EXPECT_NE(problem, nullptr) << line;
    }
}

TEST(SetupCommandLine, SilentIsSeenEvenAfterABadArgument) {
    // An unattended call with a typo must not open the usage box.
    const char* problem = nullptr;
    SetupCommandLine options = Parse("/BOGUS /S", &problem);
    EXPECT_NE(problem, nullptr);
    EXPECT_TRUE(options.silent);
    options = Parse("/S /LANG=XYZ /D=C:\\x", &problem);
    EXPECT_NE(problem, nullptr);
    EXPECT_TRUE(options.silent);
}

TEST(SetupCommandLine, OverlongValuesAreRefusedNotCut) {
    std::string folder(300, 'a');
    const char* problem = nullptr;
    Parse(("/D=C:\\" + folder).c_str(), &problem);
    EXPECT_NE(problem, nullptr);
    Parse(("/LOG=C:\\" + folder).c_str(), &problem);
    EXPECT_NE(problem, nullptr);
    std::string many = "/LANG=";
    for (char c = 'A'; c <= 'T'; ++c) many += std::string(many.size() > 6 ? "," : "") + c + c;
    Parse(many.c_str(), &problem);
    EXPECT_NE(problem, nullptr);
}

}  // namespace
