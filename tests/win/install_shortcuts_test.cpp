// Shortcuts: written through the shell link object and read back with it.
#include <gtest/gtest.h>

#include <string>

#include "install/file_operations.h"
#include "install/shortcuts.h"
#include "tests/win/install_test_helpers.h"

using namespace install_test;

namespace {

class ShortcutsTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = MakeTempDir("shortcuts");
        std::strcpy(setup.state.group, group.c_str());
        std::memset(&context, 0, sizeof context);
        std::strcpy(context.destination, "C:\\Apps\\Tool");
        std::strcpy(context.exeName, "TGTOOL.EXE");
        std::strcpy(context.uninstallerName, "UnInst.exe");
        std::strcpy(context.licenseTextName, "LICENSE.TXT");
        std::strcpy(context.orderFormName, "ORDER.HTM");
        std::strcpy(context.germanOrderFormName, "BESTELL.HTM");
        programs = SpecialFolder(CSIDL_COMMON_PROGRAMS);
        ASSERT_FALSE(programs.empty());
        groupFolder = programs + "\\" + group;
    }
    void TearDown() override { RemoveTree(root); }

    void ExpectLink(const std::string& link, const std::string& target, const std::string& workingFolder) {
        LinkInfo info = ReadShortcut(link);
        ASSERT_TRUE(info.loaded) << link;
        EXPECT_EQ(info.path, target) << link;
        EXPECT_EQ(info.workingFolder, workingFolder) << link;
        // The file holds SW_SHOW; the shell may hand a value the link format
        // does not list back as SW_SHOWNORMAL when it loads the link.
        EXPECT_TRUE(info.showCommand == SW_SHOW || info.showCommand == SW_SHOWNORMAL) << link;
        std::string bytes = ReadFileBytes(link);
        ASSERT_GE(bytes.size(), 0x4Cu);
        EXPECT_EQ(bytes[0x3C], SW_SHOW) << link;  // the header's ShowCommand field
    }

    OleScope ole;
    ScopedSetupState setup;
    std::string group = UniqueName("SolidTest Links");
    ScratchProfile profile{true};
    MachineGuard machine{group};
    InstallContext context;
    std::string root;
    std::string programs;
    std::string groupFolder;
};

TEST_F(ShortcutsTest, CreateShortcutWritesTargetFolderAndShowCommand) {
    std::string link = root + "\\Tool.lnk";
    EXPECT_EQ(CreateShortcut(link.c_str(), "C:\\Apps\\Tool\\TGTOOL.EXE", "C:\\Apps\\Tool"), S_OK);
    ExpectLink(link, "C:\\Apps\\Tool\\TGTOOL.EXE", "C:\\Apps\\Tool");
    // A folder that does not exist: saving fails, nothing is made.
    std::string nowhere = root + "\\missing\\Tool.lnk";
    EXPECT_TRUE(FAILED(CreateShortcut(nowhere.c_str(), "C:\\Apps\\Tool\\TGTOOL.EXE", "C:\\Apps\\Tool")));
    EXPECT_FALSE(PathPresent(nowhere));
}

TEST_F(ShortcutsTest, GroupShortcutsNeedANameAndATarget) {
    CreateGroupShortcut("", "C:\\Apps\\Tool", "TGTOOL.EXE", root.c_str());
    CreateGroupShortcut("Order", "C:\\Apps\\Tool", "", root.c_str());
    CreateGroupShortcut("Order", "C:\\Apps\\Tool", nullptr, root.c_str());
    EXPECT_FALSE(PathPresent(root + "\\.lnk"));
    EXPECT_FALSE(PathPresent(root + "\\Order.lnk"));
    CreateGroupShortcut("Order", "C:\\Apps\\Tool\\", "\\ORDER.HTM", root.c_str());
    ExpectLink(root + "\\Order.lnk", "C:\\Apps\\Tool\\ORDER.HTM", "C:\\Apps\\Tool\\");
}

TEST_F(ShortcutsTest, ProgramGroupWithAllItsShortcuts) {
    context.germanEntryCount = 2;
    CreateProgramGroup(nullptr, &context);
    ExpectLink(groupFolder + "\\" + group + ".lnk", "C:\\Apps\\Tool\\TGTOOL.EXE", "C:\\Apps\\Tool");
    ExpectLink(groupFolder + "\\Uninstall.lnk", "C:\\Apps\\Tool\\UnInst.exe", "C:\\Apps\\Tool");
    ExpectLink(groupFolder + "\\License.lnk", "C:\\Apps\\Tool\\LICENSE.TXT", "C:\\Apps\\Tool");
    ExpectLink(groupFolder + "\\Order.lnk", "C:\\Apps\\Tool\\ORDER.HTM", "C:\\Apps\\Tool");
    ExpectLink(groupFolder + "\\Bestellung.lnk", "C:\\Apps\\Tool\\BESTELL.HTM", "C:\\Apps\\Tool");
}

TEST_F(ShortcutsTest, ProgramGroupLeavesOutWhatTheArchiveLacks) {
    context.germanEntryCount = 0;  // German not installed
    context.licenseTextName[0] = 0;
    context.uninstallerName[0] = 0;
    CreateProgramGroup(nullptr, &context);
    EXPECT_TRUE(PathPresent(groupFolder + "\\" + group + ".lnk"));
    EXPECT_TRUE(PathPresent(groupFolder + "\\Order.lnk"));
    EXPECT_FALSE(PathPresent(groupFolder + "\\Bestellung.lnk"));
    EXPECT_FALSE(PathPresent(groupFolder + "\\License.lnk"));
    EXPECT_FALSE(PathPresent(groupFolder + "\\Uninstall.lnk"));
}

TEST_F(ShortcutsTest, ExistingGroupIsLeftAsItWas) {
    ASSERT_TRUE(CreateDirectoryA(groupFolder.c_str(), nullptr));
    std::string old = groupFolder + "\\" + group + ".lnk";
    ASSERT_EQ(CreateShortcut(old.c_str(), "C:\\Old\\TGTOOL.EXE", "C:\\Old"), S_OK);
    CreateProgramGroup(nullptr, &context);
    ExpectLink(old, "C:\\Old\\TGTOOL.EXE", "C:\\Old");
    EXPECT_FALSE(PathPresent(groupFolder + "\\Uninstall.lnk"));
}

TEST_F(ShortcutsTest, AfterARetryTheGroupIsBuiltAsideAndMovedIn) {
    std::string temp = root + "\\1";
    ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
    std::strcpy(context.tempFolder, temp.c_str());
    CreateProgramGroup(nullptr, &context);
    EXPECT_FALSE(PathPresent(temp + "\\" + group));
    ExpectLink(groupFolder + "\\" + group + ".lnk", "C:\\Apps\\Tool\\TGTOOL.EXE", "C:\\Apps\\Tool");
    ExpectLink(groupFolder + "\\Order.lnk", "C:\\Apps\\Tool\\ORDER.HTM", "C:\\Apps\\Tool");
}

TEST_F(ShortcutsTest, DesktopAndQuickLaunchShortcutsAreNamedAfterTheGroup) {
    std::string desktop = SpecialFolder(CSIDL_DESKTOP);
    ASSERT_FALSE(desktop.empty());
    CreateDesktopShortcut("C:\\Apps\\Tool\\TGTOOL.EXE", group.c_str());
    ExpectLink(desktop + "\\" + group + ".lnk", "C:\\Apps\\Tool\\TGTOOL.EXE", "C:\\Apps\\Tool");

    EXPECT_EQ(QuickLaunchFolder(), profile.quickLaunch);
    EXPECT_EQ(QuickLaunchExists(), 1);
    CreateQuickLaunchShortcut("C:\\Apps\\Tool\\TGTOOL.EXE", group.c_str());
    ExpectLink(profile.quickLaunch + "\\" + group + ".lnk", "C:\\Apps\\Tool\\TGTOOL.EXE", "C:\\Apps\\Tool");
}

// Names a shell folder of all users in the machine's registry (the scratch
// copy of a ScratchProfile made with machineToo).
void SetMachineShellFolder(const char* name, const std::string& path) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                              0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>(path.size() + 1));
    RegCloseKey(key);
}

// A system whose shell gives no all-users Programs folder: the program group
// goes into the current user's own Programs folder instead.
TEST(ProgramGroupFallbackTest, WithoutAnAllUsersProgramsFolderTheGroupGoesToTheUsersOwn) {
    OleScope ole;
    ScopedSetupState setup;
    std::string group = UniqueName("SolidTest Own Programs");
    std::strcpy(setup.state.group, group.c_str());
    MachineGuard machine{group};
    ScratchProfile profile(false, true);
    SetMachineShellFolder("Common Programs", "Q:\\No Such Drive\\Programs");
    ASSERT_EQ(SpecialFolder(CSIDL_COMMON_PROGRAMS), "");
    ASSERT_EQ(SpecialFolder(CSIDL_PROGRAMS), profile.programs);

    InstallContext context;
    std::memset(&context, 0, sizeof context);
    std::strcpy(context.destination, "C:\\Apps\\Tool");
    std::strcpy(context.exeName, "TGTOOL.EXE");
    std::strcpy(context.orderFormName, "ORDER.HTM");
    CreateProgramGroup(nullptr, &context);
    std::string groupFolder = profile.programs + "\\" + group;
    LinkInfo main = ReadShortcut(groupFolder + "\\" + group + ".lnk");
    EXPECT_TRUE(main.loaded);
    EXPECT_EQ(main.path, "C:\\Apps\\Tool\\TGTOOL.EXE");
    EXPECT_EQ(ReadShortcut(groupFolder + "\\Order.lnk").path, "C:\\Apps\\Tool\\ORDER.HTM");
}

TEST(QuickLaunchTest, MissingFolderMeansNoShortcut) {
    OleScope ole;
    ScratchProfile profile(false);
    EXPECT_EQ(QuickLaunchFolder(), profile.appData + "\\Microsoft\\Internet Explorer\\Quick Launch");
    EXPECT_EQ(QuickLaunchExists(), 0);
    CreateQuickLaunchShortcut("C:\\Apps\\Tool\\TGTOOL.EXE", "SolidTest Nowhere");
    EXPECT_FALSE(PathPresent(profile.quickLaunch));
}

}  // namespace
