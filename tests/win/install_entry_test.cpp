// The install pass's entry placement: language filter, classification, flat
// placement into the destination and replacement of existing files, run as
// real passes over stored archives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/extract_archive.h"
#include "install/install_context.h"
#include "tests/win/install_test_helpers.h"

using namespace install_test;

namespace {

class InstallEntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(dialog.dialog, nullptr) << "windows need a display (DISPLAY)";
        root = MakeTempDir("placement");
        destination = root + "\\Tool";
        CreateDirectoryA(destination.c_str(), nullptr);
        std::strcpy(setup.state.fileStem, "PROD");
        std::memset(&context, 0, sizeof context);
        context.dialog = dialog.dialog;
        std::strcpy(context.destination, destination.c_str());
    }
    void TearDown() override { RemoveTree(root); }

    int Install(const std::vector<TestEntry>& entries) {
        std::string archive = root + "\\Setup.exe";
        if (!WriteFileBytes(archive, StoredArchive(entries))) return 999;
        return ExtractArchive(archive.c_str(), InstallEntryCallback, &context);
    }
    static std::vector<TestEntry> Entries(const std::vector<std::string>& names) {
        std::vector<TestEntry> entries;
        for (const std::string& name : names) entries.push_back(StoredEntry(name, "contents of " + name));
        return entries;
    }
    std::string At(const std::string& name) const { return destination + "\\" + name; }
    bool Installed(const std::string& name) const { return PathPresent(At(name)); }

    ScopedSetupState setup;
    InstallDialog dialog;
    InstallContext context;
    std::string root;
    std::string destination;
};

TEST_F(InstallEntryTest, LanguageEntriesFollowTheirRowsTick) {
    dialog.AddLanguage("French", "FR");
    dialog.AddLanguage("Italian", "IT");
    dialog.SetTicked("IT", false);
    // A three-letter tag, as a four-letter language part is looked up.
    InsertLanguageRow(dialog.list, "Spanish", 'S' | 'P' << 8 | 'A' << 16);
    int spanish = FindLanguageRow(dialog.list, 'S' | 'P' << 8 | 'A' << 16);
    LVITEMA item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(1);
    SendMessageA(dialog.list, LVM_SETITEMSTATE, static_cast<WPARAM>(spanish), reinterpret_cast<LPARAM>(&item));

    ASSERT_EQ(Install(Entries({"PROD_FR.LNG", "PROD_IT.LNG", "PROD_it.hlp", "Docs\\PROD_IT.TXT", "PROD_ES.LNG",
                               "PROD_SPAN.TXT", "PROD_SPANI.TXT", "PROD_DE.HLP", "PROD_US", "FILE_ID.DIZ",
                               "READ_IT.TXT"})),
              kExtractOk);
    EXPECT_TRUE(Installed("PROD_FR.LNG"));      // ticked
    EXPECT_FALSE(Installed("PROD_IT.LNG"));     // unticked
    EXPECT_FALSE(Installed("PROD_it.hlp"));     // the code is compared in upper case
    EXPECT_FALSE(Installed("PROD_IT.TXT"));     // the first folder of the name is passed over
    EXPECT_TRUE(Installed("PROD_ES.LNG"));      // no row: no effect
    EXPECT_FALSE(Installed("PROD_SPAN.TXT"));   // four letters: looked up by the first three
    EXPECT_TRUE(Installed("PROD_SPANI.TXT"));   // five letters: not looked up
    EXPECT_TRUE(Installed("PROD_DE.HLP"));
    EXPECT_TRUE(Installed("PROD_US"));
    EXPECT_TRUE(Installed("FILE_ID.DIZ"));      // "ID" at the stem's length: no such row
    EXPECT_FALSE(Installed("READ_IT.TXT"));     // only the stem's length counts, not its text
    EXPECT_EQ(context.germanEntryCount, 1);
}

TEST_F(InstallEntryTest, UntickedGermanSkipsEveryGermanEntry) {
    dialog.SetTicked("DE", false);
    ASSERT_EQ(Install(Entries({"PROD_DE.LNG", "HELP_DE.CHM", "BESTELL.HTM", "TGTOOL.EXE"})), kExtractOk);
    EXPECT_FALSE(Installed("PROD_DE.LNG"));
    EXPECT_FALSE(Installed("HELP_DE.CHM"));
    EXPECT_TRUE(Installed("BESTELL.HTM"));
    EXPECT_EQ(context.germanEntryCount, 0);
    EXPECT_STREQ(context.germanOrderFormName, "BESTELL.HTM");
}

TEST_F(InstallEntryTest, WithoutALanguageListNothingIsFiltered) {
    InstallDialog bare(false);
    context.dialog = bare.dialog;
    ASSERT_EQ(Install(Entries({"PROD_DE.LNG", "PROD_IT.LNG"})), kExtractOk);
    EXPECT_TRUE(Installed("PROD_DE.LNG"));
    EXPECT_TRUE(Installed("PROD_IT.LNG"));
    EXPECT_EQ(context.germanEntryCount, 0);
}

TEST_F(InstallEntryTest, ClassifiesNamedEntriesAndFlattensFolders) {
    ASSERT_EQ(Install(Entries({"Docs\\License.txt", "Web\\Forms\\ORDER.HTM", "bestell.htm", "Bin\\uninst.EXE",
                               "INSTALL.INF", "Setup\\extra.inf", "Bin\\tgtool.exe", "TGOTHER.EXE", "readme.txt"})),
              kExtractOk);
    EXPECT_STREQ(context.licenseTextName, "License.txt");
    EXPECT_STREQ(context.orderFormName, "ORDER.HTM");
    EXPECT_STREQ(context.germanOrderFormName, "bestell.htm");
    EXPECT_STREQ(context.uninstallerName, "uninst.EXE");
    EXPECT_STREQ(context.exeName, "tgtool.exe");  // the first qualifying program
    for (const char* name : {"License.txt", "ORDER.HTM", "bestell.htm", "uninst.EXE", "tgtool.exe", "TGOTHER.EXE",
                             "readme.txt"}) {
        EXPECT_TRUE(Installed(name)) << name;
    }
    EXPECT_FALSE(Installed("INSTALL.INF"));
    EXPECT_FALSE(Installed("extra.inf"));
    EXPECT_FALSE(PathPresent(At("Docs")));
    EXPECT_FALSE(PathPresent(At("Bin")));
    EXPECT_EQ(dialog.Status(), At("readme.txt"));
}

TEST_F(InstallEntryTest, MainProgramFromTheSetupStateIsKept) {
    std::strcpy(context.exeName, "MAIN.EXE");
    ASSERT_EQ(Install(Entries({"TGTOOL.EXE", "MAIN.EXE"})), kExtractOk);
    EXPECT_STREQ(context.exeName, "MAIN.EXE");
    std::memset(context.exeName, 0, sizeof context.exeName);
    ASSERT_EQ(Install(Entries({"SETUP.EXE", "TGTOOL.TXT", "t.exe", "TGTOOL.EXE"})), kExtractOk);
    EXPECT_STREQ(context.exeName, "t.exe");
}

TEST_F(InstallEntryTest, LaterEntryReplacesAnEarlierOneOfTheSameName) {
    std::vector<TestEntry> entries = {StoredEntry("A\\same.txt", "first"), StoredEntry("B\\same.txt", "second"),
                                      StoredEntry("PROD_IT.TXT", "skipped")};
    dialog.AddLanguage("Italian", "IT");
    dialog.SetTicked("IT", false);
    ASSERT_EQ(Install(entries), kExtractOk);
    EXPECT_EQ(ReadText(At("same.txt")), "second");
    EXPECT_EQ(dialog.Status(), At("same.txt"));  // the skipped entry left the status line alone
}

TEST_F(InstallEntryTest, WrittenFilesGetTheEntrysTimeAndAttributes) {
    TestEntry readOnly = StoredEntry("TGTOOL.EXE", "program");
    readOnly.attr = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY;
    ASSERT_EQ(Install({readOnly, StoredEntry("readme.txt", "text")}), kExtractOk);
    EXPECT_EQ(GetFileAttributesA(At("TGTOOL.EXE").c_str()), DWORD(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesA(At("readme.txt").c_str()), DWORD(FILE_ATTRIBUTE_ARCHIVE));

    EXPECT_EQ(LocalWriteTime(At("readme.txt")), "2020-06-15 12:30:40");  // kTestDosTime
}

TEST_F(InstallEntryTest, ExistingTargetsAreReplacedUnlessTheyCannotBeRemoved) {
    ASSERT_TRUE(WriteFileBytes(At("readme.txt"), "old"));
    ASSERT_EQ(Install(Entries({"readme.txt"})), kExtractOk);
    EXPECT_EQ(ReadText(At("readme.txt")), "contents of readme.txt");

    // A folder in the way stays, and the pass reports that it could not write.
    ASSERT_TRUE(CreateDirectoryA(At("folder.txt").c_str(), nullptr));
    EXPECT_EQ(Install(Entries({"first.txt", "folder.txt", "never.txt"})), kExtractCannotCreate);
    EXPECT_TRUE(Installed("first.txt"));
    EXPECT_TRUE(IsFolderPath(At("folder.txt")));
    EXPECT_FALSE(Installed("never.txt"));

    // So does a file another program holds open.
    ASSERT_TRUE(WriteFileBytes(At("locked.txt"), "in use"));
    HANDLE lock = CreateFileA(At("locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Install(Entries({"locked.txt"})), kExtractCannotCreate);
    CloseHandle(lock);
    EXPECT_EQ(ReadText(At("locked.txt")), "in use");

    // A read-only file is removed first where the system allows it, and is
    // otherwise reported like the locked one.
    SetFileAttributesA(At("locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    int result = Install(Entries({"locked.txt"}));
    if (result == kExtractOk) {
        EXPECT_EQ(ReadText(At("locked.txt")), "contents of locked.txt");
    } else {
        EXPECT_EQ(result, kExtractCannotCreate);
        EXPECT_EQ(ReadText(At("locked.txt")), "in use");
    }
}

// Names no sound archive holds: none of them may reach outside the
// destination, open a device or write a file Windows would rename.
TEST_F(InstallEntryTest, HostileNamesAreLeftOut) {
    const char* hostile[] = {"..",      "Docs\\..",      "C:evil.txt", "readme.txt:stream", "CON",
                             "nul.txt", "sub\\COM1.log", "LPT9",       "a\\b\\.",            "tab\\"};
    for (const char* name : hostile) {
        char buffer[260];
        std::strcpy(buffer, name);
        EXPECT_EQ(InstallEntryCallback(buffer, nullptr, 0, &context), 0) << name;
        EXPECT_EQ(buffer[0], 0) << name << " was not left out";
    }
    // Ordinary names in folders still go flat into the destination.
    char ordinary[260] = "..\\..\\Windows\\evil.dll";
    InstallEntryCallback(ordinary, nullptr, 0, &context);
    EXPECT_EQ(std::string(ordinary), At("evil.dll"));
    EXPECT_EQ(Install(Entries({"CON", "good.txt", "x:y"})), 0);
    EXPECT_TRUE(Installed("good.txt"));
    EXPECT_FALSE(PathPresent(root + "\\x"));
}

// Names that are merely invalid are not left out quietly: the pass cannot
// create them, and the installation fails instead of lacking the file.
TEST_F(InstallEntryTest, InvalidNamesFailTheInstallation) {
    const char* invalid[] = {"trailing.", "blank ", "what?.txt", "pipe|name", "star*.txt", "quote\".txt"};
    for (const char* name : invalid) {
        char buffer[260];
        std::strcpy(buffer, name);
        EXPECT_EQ(InstallEntryCallback(buffer, nullptr, 0, &context), 0) << name;
        EXPECT_EQ(std::string(buffer), At(name)) << name;
        EXPECT_EQ(Install(Entries({"good.txt", name, "later.txt"})), kExtractCannotCreate) << name;
        EXPECT_FALSE(Installed("later.txt")) << name;
    }
}

TEST_F(InstallEntryTest, ANameEndingInASeparatorIsNotWritten) {
    char name[260] = "Docs\\";
    EXPECT_EQ(InstallEntryCallback(name, nullptr, 0, &context), 0);
    EXPECT_EQ(name[0], 0);
    EXPECT_TRUE(IsFolderPath(destination));
}

}  // namespace
