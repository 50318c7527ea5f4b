// The proposed destination and the option ticks. The registry sources are
// read through keys the test owns: HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER
// are redirected (RegOverridePredefKey) to a scratch key that is deleted
// afterwards, so the prefix's own values are never touched.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/shell_folders.h"
#include "frontend/default_destination.h"
#include "tests/support/archive_bytes.h"
#include "tests/win/frontend_fixture.h"

namespace {

const char kScratchRoot[] = "Software\\SolidsetupTests";

std::string ScratchPath() {
    return std::string(kScratchRoot) + "\\Destination" + std::to_string(GetCurrentProcessId());
}

void SetValue(HKEY root, const char* keyPath, const char* name, const std::string& data, bool terminated = true) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    DWORD size = static_cast<DWORD>(data.size() + (terminated ? 1 : 0));
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

bool DirectoryExists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Environment variable set or removed for one test, then put back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        char old[1024];
        DWORD n = GetEnvironmentVariableA(name, old, sizeof old);
        had_ = n > 0 && n < sizeof old;
        if (had_) old_ = old;
        SetEnvironmentVariableA(name, value);
    }
    ~ScopedEnvironment() { SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

class DestinationTest : public FrontendTest {
protected:
    void SetUp() override {
        FrontendTest::SetUp();
        scratch_ = ScratchPath();
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (scratch_ + "\\HKLM").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &machine_, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (scratch_ + "\\HKCU").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &user_, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_), ERROR_SUCCESS);
        std::strcpy(state_.group, "Tool");
        std::strcpy(state_.fileStem, "PROD");
        folder_ = MakeTempDir("destination");
    }
    void TearDown() override {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(machine_);
        RegCloseKey(user_);
        RegDeleteTreeA(HKEY_CURRENT_USER, scratch_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, kScratchRoot);  // only goes when empty
        RemoveTree(folder_);
        FrontendTest::TearDown();
    }
    // Current-user values go to the scratch key only while this is in effect.
    void RedirectCurrentUser() { ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, user_), ERROR_SUCCESS); }
    void SetProgramFilesDir(const std::string& value, bool terminated = true) {
        SetValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", value,
                 terminated);
    }
    std::string Proposal() {
        char buffer[260];
        std::memset(buffer, 'x', sizeof buffer);
        DefaultDestination(buffer, sizeof buffer);
        return buffer;
    }

    std::string scratch_;
    std::string folder_;
    HKEY machine_ = nullptr;
    HKEY user_ = nullptr;
};

TEST_F(DestinationTest, RememberedFolderIsUsedAsItIs) {
    RedirectCurrentUser();
    SetProgramFilesDir("C:\\PF");
    SetValue(HKEY_CURRENT_USER, "Software\\Tallgrove", "ab", "D:\\Apps\\Tool");
    std::strcpy(state_.productId, "ab");
    EXPECT_EQ(Proposal(), "D:\\Apps\\Tool");

    // Without an "ID" setting the remembered folders are not consulted.
    SetValue(HKEY_CURRENT_USER, "Software\\Tallgrove", "", "D:\\Default");
    state_.productId[0] = 0;
    EXPECT_EQ(Proposal(), "C:\\PF\\Tool");

    // An empty or missing remembered value falls through to Program Files.
    SetValue(HKEY_CURRENT_USER, "Software\\Tallgrove", "cd", "");
    std::strcpy(state_.productId, "cd");
    EXPECT_EQ(Proposal(), "C:\\PF\\Tool");
    std::strcpy(state_.productId, "zz");
    EXPECT_EQ(Proposal(), "C:\\PF\\Tool");
}

TEST_F(DestinationTest, ProgramFilesDirThenEnvironment) {
    ScopedEnvironment environment("ProgramFiles", "C:\\EnvPF");
    SetProgramFilesDir("C:\\Program Files\\");
    EXPECT_EQ(Proposal(), "C:\\Program Files\\Tool") << "no doubled backslash";
    SetProgramFilesDir("C:\\PF");
    state_.group[0] = 0;
    EXPECT_EQ(Proposal(), "C:\\PF\\") << "an empty group leaves the trailing backslash";
    std::strcpy(state_.group, "Tool");

    // A value stored without its terminator is read without trailing garbage.
    SetProgramFilesDir("C:\\Bare", false);
    EXPECT_EQ(Proposal(), "C:\\Bare\\Tool");

    // Empty, too long for the buffer, or missing: the environment is next.
    SetProgramFilesDir("");
    EXPECT_EQ(Proposal(), "C:\\EnvPF\\Tool");
    SetProgramFilesDir("C:\\" + std::string(300, 'L'));
    EXPECT_EQ(Proposal(), "C:\\EnvPF\\Tool");
    RegDeleteTreeA(machine_, nullptr);
    EXPECT_EQ(Proposal(), "C:\\EnvPF\\Tool");
}

TEST_F(DestinationTest, WindowsDriveWhenNoSourceGivesAFolder) {
    ScopedEnvironment environment("ProgramFiles", nullptr);
    char windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, sizeof windows), 0u);
    std::string drive = std::string(windows, 3);  // such as "C:\"
    std::string programme = drive + "Programme";
    if (DirectoryExists(programme)) GTEST_SKIP() << programme << " exists in this prefix";

    EXPECT_EQ(Proposal(), drive + "Program Files\\Tool");
    ASSERT_TRUE(CreateDirectoryA(programme.c_str(), nullptr));
    std::string withProgramme = Proposal();
    RemoveDirectoryA(programme.c_str());
    EXPECT_EQ(withProgramme, drive + "Programme\\Tool");
}

TEST_F(DestinationTest, LanguageFilePaths) {
    char path[260];
    LanguageFilePath("C:\\Dir", "FR", path, sizeof path);
    EXPECT_STREQ(path, "C:\\Dir\\PROD_FR.LNG");
    LanguageFilePath("C:\\Dir\\", "IT", path, sizeof path);
    EXPECT_STREQ(path, "C:\\Dir\\PROD_IT.LNG");
    LanguageFilePath("C:\\Dir", "", path, sizeof path);
    EXPECT_STREQ(path, "C:\\Dir\\PROD_.LNG");
    std::memset(path, 'x', sizeof path);
    LanguageFilePath("C:\\Dir", "FR", path, 12);
    EXPECT_STREQ(path, "C:\\Dir\\PROD");
    EXPECT_EQ(path[12], 'x');
}

TEST_F(DestinationTest, UpdateKeepsBoxesClearAndUnticksMissingLanguages) {
    std::string installed = folder_ + "\\Tool";
    ASSERT_TRUE(CreateDirectoryA(installed.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(installed + "\\PROD_FR.LNG", "[Text]"));
    ASSERT_TRUE(WriteFileBytes(installed + "\\PROD_DE.LNG", "[Text]"));
    SetProgramFilesDir(folder_);
    InsertLanguageRow(list_, "French", MakeLanguageTag('F', 'R'));
    InsertLanguageRow(list_, "Italian", MakeLanguageTag('I', 'T'));
    InsertLanguageRow(list_, "Dutch", MakeLanguageTag('N', 'L'));
    ListView_SetItemState(list_, RowOf("NL"), 0x1000, 0xF000);  // already unticked, file present
    ASSERT_TRUE(WriteFileBytes(installed + "\\PROD_NL.LNG", "[Text]"));

    ShowDefaultDestination(dialog_);
    EXPECT_EQ(Text(1032), installed);
    EXPECT_TRUE(Ticked("FR"));
    EXPECT_FALSE(Ticked("IT"));
    EXPECT_FALSE(Ticked("NL")) << "ticks are only ever removed";
    EXPECT_TRUE(Ticked("US"));
    EXPECT_TRUE(Ticked("DE"));
    EXPECT_FALSE(Checked(1041));
    EXPECT_FALSE(Checked(1042));
    EXPECT_FALSE(Checked(1043));
    EXPECT_TRUE(Visible(1043));
}

TEST_F(DestinationTest, AFileOfTheFolderNameCountsAsAnUpdate) {
    ASSERT_TRUE(WriteFileBytes(folder_ + "\\Tool", "not a folder"));
    SetProgramFilesDir(folder_);
    InsertLanguageRow(list_, "French", MakeLanguageTag('F', 'R'));
    ShowDefaultDestination(dialog_);
    EXPECT_FALSE(Checked(1041));
    EXPECT_FALSE(Ticked("FR"));
}

// Points the current user's application-data folder at a scratch folder of
// the test, so that the Quick Launch folder can be made present or absent
// without touching the prefix's own folders (other tests may run meanwhile).
void UseScratchAppData(const std::string& appData, bool withQuickLaunch) {
    SetValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", "AppData",
             appData);
    SetValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "AppData",
             appData);
    if (withQuickLaunch) {
        std::string path = appData;
        for (const char* part : {"\\Microsoft", "\\Internet Explorer", "\\Quick Launch"}) {
            path += part;
            CreateDirectoryA(path.c_str(), nullptr);
        }
    }
}

TEST_F(DestinationTest, QuickLaunchPathFollowsApplicationData) {
    RedirectCurrentUser();
    std::string appData = folder_ + "\\AppData";
    ASSERT_TRUE(CreateDirectoryA(appData.c_str(), nullptr));
    UseScratchAppData(appData, false);
    char path[MAX_PATH];
    GetQuickLaunchPath(path, sizeof path);
    EXPECT_EQ(std::string(path), appData + "\\Microsoft\\Internet Explorer\\Quick Launch");
    EXPECT_EQ(QuickLaunchExists(), 0);
    UseScratchAppData(appData, true);
    EXPECT_EQ(QuickLaunchExists(), 1);
    std::memset(path, 'x', sizeof path);
    GetQuickLaunchPath(path, 20);
    EXPECT_EQ(std::string(path), appData.substr(0, 19));
}

TEST_F(DestinationTest, NewInstallationTicksBoxesAndQuickLaunchWhenPresent) {
    RedirectCurrentUser();
    std::string appData = folder_ + "\\AppData";
    ASSERT_TRUE(CreateDirectoryA(appData.c_str(), nullptr));
    UseScratchAppData(appData, true);
    ASSERT_EQ(QuickLaunchExists(), 1);
    SetProgramFilesDir(folder_);
    InsertLanguageRow(list_, "Italian", MakeLanguageTag('I', 'T'));
    ShowDefaultDestination(dialog_);
    EXPECT_EQ(Text(1032), folder_ + "\\Tool");
    EXPECT_TRUE(Checked(1041));
    EXPECT_TRUE(Checked(1042));
    EXPECT_TRUE(Checked(1043));
    EXPECT_TRUE(Visible(1043));
    EXPECT_TRUE(Ticked("IT")) << "a new installation keeps every language ticked";
}

TEST_F(DestinationTest, NewInstallationHidesQuickLaunchWhenMissing) {
    RedirectCurrentUser();
    std::string appData = folder_ + "\\AppData";
    ASSERT_TRUE(CreateDirectoryA(appData.c_str(), nullptr));
    UseScratchAppData(appData, false);
    ASSERT_EQ(QuickLaunchExists(), 0);
    SetProgramFilesDir(folder_);
    ShowDefaultDestination(dialog_);
    EXPECT_TRUE(Checked(1041));
    EXPECT_TRUE(Checked(1042));
    EXPECT_FALSE(Checked(1043));
    EXPECT_FALSE(Visible(1043));
    EXPECT_TRUE(Visible(1042));
}

TEST_F(DestinationTest, EmptyGroupProposesProgramFilesItself) {
    SetProgramFilesDir(folder_);
    state_.group[0] = 0;
    ShowDefaultDestination(dialog_);
    EXPECT_EQ(Text(1032), folder_ + "\\");
    EXPECT_FALSE(Checked(1041)) << "the Program Files folder itself exists: an update";
}

}  // namespace
