// The uninstaller's removal steps on real files, links and registry keys:
// everything it removes belongs to its own folder, and what it cannot
// remove is reported.
#include <gtest/gtest.h>
#include <ole2.h>

#include <string>

#include "install/shortcuts.h"
#include "tests/win/install_test_helpers.h"
#include "uninstall/uninstall_steps.h"

using namespace install_test;

namespace {

class UninstallStepsTest : public ::testing::Test {
protected:
    void SetUp() override {
        OleInitialize(nullptr);
        installed = MakeTempDir("installed");
        other = MakeTempDir("other");
        group = UniqueName("SolidTest Uninst");
        std::strcpy(data.productId, "Uq");
        std::strcpy(data.group, group.c_str());
        std::strcpy(data.exeName, "TGTOOL.EXE");
    }
    void TearDown() override {
        RemoveTree(installed);
        RemoveTree(other);
        OleUninitialize();
    }
    // The list of installed names: zero-separated, as the parser leaves it.
    void SetFiles(const std::string& names) {
        files = names;
        data.files = files.data();
        data.fileCount = 0;
        for (char c : files) data.fileCount += c == 0;
    }
    void SetRegistryText(HKEY root, const std::string& key, const char* name, const std::string& value) {
        HKEY opened = nullptr;
        ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
        RegCloseKey(opened);
    }
    void Link(const std::string& link, const std::string& target) {
        CreateShortcut(link.c_str(), target.c_str(), "C:\\");
        ASSERT_TRUE(PathPresent(link)) << link;
    }

    ScratchProfile profile{true, true};
    std::string installed, other, group, files;
    UninstallData data = {};
    RemovalReport report = {};
};

TEST_F(UninstallStepsTest, SameFolderIgnoresCaseAndATrailingSeparator) {
    EXPECT_TRUE(SameFolder("C:\\Apps\\Tool", "c:\\apps\\TOOL\\"));
    EXPECT_TRUE(SameFolder("C:\\", "c:\\"));
    EXPECT_FALSE(SameFolder("C:\\Apps\\Tool", "C:\\Apps\\Tools"));
    EXPECT_FALSE(SameFolder("C:\\Apps\\Tool", "C:\\Apps"));
    EXPECT_FALSE(SameFolder("", ""));
}

TEST_F(UninstallStepsTest, ListedFilesGoWhatTheUserAddedStays) {
    for (const char* name : {"TGTOOL.EXE", "README.TXT", "LOCKED.TXT", "notes.txt"}) {
        ASSERT_TRUE(WriteFileBytes(installed + "\\" + name, "x"));
    }
    SetFileAttributesA((installed + "\\LOCKED.TXT").c_str(), FILE_ATTRIBUTE_READONLY);
    CreateDirectoryA((installed + "\\HELP.TXT").c_str(), nullptr);  // a folder where the product had a file
    SetFiles(std::string("TGTOOL.EXE\0README.TXT\0LOCKED.TXT\0HELP.TXT\0MISSING.DAT\0", 52));
    RemoveInstalledFiles(installed.c_str(), data, &report);
    EXPECT_FALSE(PathPresent(installed + "\\TGTOOL.EXE"));
    EXPECT_FALSE(PathPresent(installed + "\\README.TXT"));
    EXPECT_FALSE(PathPresent(installed + "\\LOCKED.TXT")) << "a read-only file of the product goes too";
    EXPECT_TRUE(PathPresent(installed + "\\notes.txt")) << "the user's own file stays";
    EXPECT_TRUE(IsFolderPath(installed + "\\HELP.TXT"));
    EXPECT_EQ(report.leftCount, 1);
    EXPECT_EQ(std::string(report.left), installed + "\\HELP.TXT\n");
    EXPECT_EQ(report.restartCount, 0);
}

TEST_F(UninstallStepsTest, AFileInUseIsRemovedAtTheNextRestart) {
    std::string busy = installed + "\\TGTOOL.EXE";
    ASSERT_TRUE(WriteFileBytes(busy, "x"));
    HANDLE held = CreateFileA(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    SetFiles(std::string("TGTOOL.EXE\0", 11));
    RemoveInstalledFiles(installed.c_str(), data, &report);
    CloseHandle(held);
    EXPECT_EQ(report.restartCount, 1);
    EXPECT_EQ(std::string(report.atRestart), busy + "\n");
    EXPECT_EQ(report.leftCount, 0);
    // Undo the pending removal so that nothing of the test waits for a restart.
    MoveFileExA(busy.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

TEST_F(UninstallStepsTest, RecordsGoOnlyWhenTheyNameItsFolder) {
    const std::string entry = std::string(kUninstallKey) + "\\" + group;
    // Another installation of the same product elsewhere owns the records.
    SetRegistryText(HKEY_CURRENT_USER, kMakerKey, "Uq", other);
    SetRegistryText(HKEY_LOCAL_MACHINE, entry, "UninstallString", other + "\\UnInst.exe");
    RemoveRecords(installed.c_str(), data, &report);
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kMakerKey, "Uq"), other);
    EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, entry));

    SetRegistryText(HKEY_CURRENT_USER, kMakerKey, "Uq", installed + "\\");
    SetRegistryText(HKEY_CURRENT_USER, kMakerKey, "XY", "C:\\Another Product");
    SetRegistryText(HKEY_LOCAL_MACHINE, entry, "UninstallString", installed + "\\UnInst.exe");
    RemoveRecords(installed.c_str(), data, &report);
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kMakerKey, "Uq"), "<none>");
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kMakerKey, "XY"), "C:\\Another Product") << "another product's record stays";
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, entry));
    EXPECT_EQ(report.leftCount, 0);

    // With its last value the maker's key goes too.
    SetRegistryText(HKEY_CURRENT_USER, kMakerKey, "Uq", installed);
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kMakerKey, "XY");
    RemoveRecords(installed.c_str(), data, &report);
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kMakerKey));
}

TEST_F(UninstallStepsTest, ShortcutsGoOnlyWhenTheyPointIntoItsFolder) {
    std::string groupFolder = profile.programs + "\\" + group;
    CreateDirectoryA(groupFolder.c_str(), nullptr);
    Link(groupFolder + "\\" + group + ".lnk", installed + "\\TGTOOL.EXE");
    Link(groupFolder + "\\Uninstall.lnk", installed + "\\UnInst.exe");
    Link(groupFolder + "\\License.lnk", other + "\\LICENSE.TXT");  // another installation's
    Link(groupFolder + "\\Mine.lnk", installed + "\\TGTOOL.EXE");   // the user's own, not a name the setup makes
    Link(profile.quickLaunch + "\\" + group + ".lnk", installed + "\\TGTOOL.EXE");
    RemoveShortcuts(installed.c_str(), data, &report);
    EXPECT_FALSE(PathPresent(groupFolder + "\\" + group + ".lnk"));
    EXPECT_FALSE(PathPresent(groupFolder + "\\Uninstall.lnk"));
    EXPECT_TRUE(PathPresent(groupFolder + "\\License.lnk"));
    EXPECT_TRUE(PathPresent(groupFolder + "\\Mine.lnk"));
    EXPECT_TRUE(IsFolderPath(groupFolder)) << "a group that still holds links stays";
    EXPECT_FALSE(PathPresent(profile.quickLaunch + "\\" + group + ".lnk"));

    DeleteFileA((groupFolder + "\\Mine.lnk").c_str());
    Link(groupFolder + "\\License.lnk", installed + "\\LICENSE.TXT");
    RemoveShortcuts(installed.c_str(), data, &report);
    EXPECT_FALSE(PathPresent(groupFolder)) << "the emptied group goes";
    EXPECT_EQ(report.leftCount, 0);
}

}  // namespace
