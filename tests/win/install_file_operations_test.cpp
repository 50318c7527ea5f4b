// Folder creation, temporary names, the shell's move and delete, the rename
// of an old system library, and the guard around the shell objects.
#include <gtest/gtest.h>

#include <string>

#include "install/fault_guard.h"
#include "install/file_operations.h"
#include "tests/win/install_test_helpers.h"

using namespace install_test;

namespace {

class FileOperationsTest : public ::testing::Test {
protected:
    void SetUp() override { root = MakeTempDir("fileops"); }
    void TearDown() override { RemoveTree(root); }
    std::string At(const std::string& relative) const { return root + "\\" + relative; }
    void Put(const std::string& relative, const std::string& text) { ASSERT_TRUE(WriteFileBytes(At(relative), text)); }

    std::string root;
};

TEST_F(FileOperationsTest, CreateDirectoryTreeMakesMissingParents) {
    EXPECT_EQ(CreateDirectoryTree(At("A\\B\\C").c_str()), kTreeCreated);
    EXPECT_TRUE(IsFolderPath(At("A\\B\\C")));
    EXPECT_EQ(CreateDirectoryTree(At("A\\B\\C").c_str()), kTreeFailed);  // exists already
    EXPECT_EQ(CreateDirectoryTree(At("A\\B\\D\\").c_str()), kTreeCreated);
    EXPECT_TRUE(IsFolderPath(At("A\\B\\D")));
}

TEST_F(FileOperationsTest, CreateDirectoryTreeFailures) {
    // No such drive: the search for a parent stops at the drive root.
    EXPECT_EQ(CreateDirectoryTree("Q:\\solidsetup\\x\\y"), kTreeFailed);
    // A file where a parent folder should be.
    Put("file", "x");
    EXPECT_EQ(CreateDirectoryTree(At("file\\sub").c_str()), kTreeFailed);
    EXPECT_EQ(CreateDirectoryTree(At("file\\sub\\deeper").c_str()), kTreeFailed);
    EXPECT_FALSE(PathPresent(At("file\\sub")));
}

TEST_F(FileOperationsTest, TempFolderNamesCountInHexadecimal) {
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", root.c_str()));
    char name[MAX_PATH];
    EXPECT_EQ(MakeTempFolderName(name, sizeof name), -1);
    EXPECT_EQ(std::string(name), At("1"));
    EXPECT_FALSE(PathPresent(name));  // only named, not made
    for (const char* taken : {"1", "2", "3", "4", "5", "6", "7", "8", "9"}) CreateDirectoryA(At(taken).c_str(), nullptr);
    MakeTempFolderName(name, sizeof name);
    EXPECT_EQ(std::string(name), At("a"));
    Put("a", "a file takes the name as well");
    for (const char* taken : {"b", "c", "d", "e", "f"}) CreateDirectoryA(At(taken).c_str(), nullptr);
    MakeTempFolderName(name, sizeof name);
    EXPECT_EQ(std::string(name), At("10"));
    SetEnvironmentVariableA("TMP", nullptr);
}

TEST_F(FileOperationsTest, TempFolderNameStaysWithinTheBuffer) {
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", root.c_str()));
    std::string base = root + "\\";
    // Room for the path and one digit only.
    std::string name(base.size() + 2, 'x');
    MakeTempFolderName(&name[0], static_cast<int>(name.size()));
    EXPECT_EQ(std::string(name.c_str()), base + "1");
    // With 1 to f taken, the next name would need two digits: none fits.
    for (const char* taken : {"1", "2", "3", "4", "5", "6", "7", "8", "9", "a", "b", "c", "d", "e", "f"}) {
        CreateDirectoryA(At(taken).c_str(), nullptr);
    }
    name.assign(base.size() + 2, 'x');
    MakeTempFolderName(&name[0], static_cast<int>(name.size()));
    EXPECT_EQ(std::string(name.c_str()), "");
    // A temporary path longer than the buffer.
    name.assign(base.size() - 3, 'x');
    MakeTempFolderName(&name[0], static_cast<int>(name.size()));
    EXPECT_EQ(std::string(name.c_str()), "");
    SetEnvironmentVariableA("TMP", nullptr);
}

TEST_F(FileOperationsTest, ShellMoveMovesAFolderToANewPlace) {
    CreateDirectoryA(At("build").c_str(), nullptr);
    CreateDirectoryA(At("build\\Tool").c_str(), nullptr);
    Put("build\\Tool\\a.txt", "new");
    CreateDirectoryA(At("Apps").c_str(), nullptr);
    EXPECT_EQ(ShellMove(nullptr, At("build\\Tool").c_str(), At("Apps\\Tool").c_str()), 0);
    EXPECT_EQ(ReadText(At("Apps\\Tool\\a.txt")), "new");
    EXPECT_FALSE(PathPresent(At("build\\Tool")));
    // Onto an existing folder the shell puts the source inside it.
    CreateDirectoryA(At("build\\Group").c_str(), nullptr);
    Put("build\\Group\\x.lnk", "link");
    EXPECT_EQ(ShellMove(nullptr, At("build\\Group").c_str(), At("Apps").c_str()), 0);
    EXPECT_EQ(ReadText(At("Apps\\Group\\x.lnk")), "link");
}

TEST_F(FileOperationsTest, ShellMoveReportsWhatItCouldNotMove) {
    EXPECT_EQ(ShellMove(nullptr, At("missing").c_str(), At("elsewhere").c_str()), -1);
}

TEST_F(FileOperationsTest, ShellMoveContentsReplacesFilesInAnExistingFolder) {
    CreateDirectoryA(At("build").c_str(), nullptr);
    CreateDirectoryA(At("Tool").c_str(), nullptr);
    Put("build\\same.txt", "new");
    Put("build\\added.txt", "added");
    Put("build\\TGPSAPI.DLL", "library");
    Put("Tool\\same.txt", "old");
    Put("Tool\\kept.txt", "user's");
    SetFileAttributesA(At("Tool\\same.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(ShellMoveContents(nullptr, At("build").c_str(), At("Tool").c_str()), 0);
    EXPECT_EQ(ReadText(At("Tool\\same.txt")), "new");
    EXPECT_EQ(ReadText(At("Tool\\added.txt")), "added");
    EXPECT_EQ(ReadText(At("Tool\\TGPSAPI.DLL")), "library");
    EXPECT_EQ(ReadText(At("Tool\\kept.txt")), "user's");
    EXPECT_FALSE(PathPresent(At("Tool\\build")));
    EXPECT_FALSE(PathPresent(At("build\\same.txt")));
    // An empty source has nothing to move.
    EXPECT_EQ(ShellMoveContents(nullptr, At("build").c_str(), At("Tool").c_str()), 0);
}

TEST_F(FileOperationsTest, ShellMoveContentsFailsOnALockedTarget) {
    CreateDirectoryA(At("build").c_str(), nullptr);
    CreateDirectoryA(At("Tool").c_str(), nullptr);
    Put("build\\TOOL.EXE", "new");
    Put("Tool\\TOOL.EXE", "running");
    HANDLE lock = CreateFileA(At("Tool\\TOOL.EXE").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ShellMoveContents(nullptr, At("build").c_str(), At("Tool").c_str()), -1);
    CloseHandle(lock);
    EXPECT_EQ(ReadText(At("Tool\\TOOL.EXE")), "running");
    EXPECT_EQ(ReadText(At("build\\TOOL.EXE")), "new");  // nothing lost
}

TEST_F(FileOperationsTest, ShellDeleteRemovesATreeForGood) {
    CreateDirectoryA(At("tree").c_str(), nullptr);
    CreateDirectoryA(At("tree\\sub").c_str(), nullptr);
    Put("tree\\sub\\f.txt", "x");
    Put("tree\\ro.txt", "x");
    SetFileAttributesA(At("tree\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ShellDelete(At("tree").c_str());
    EXPECT_FALSE(PathPresent(At("tree")));
    ShellDelete(At("tree").c_str());  // nothing there: the shell is not asked
}

TEST_F(FileOperationsTest, RenameOldSystemLibrary) {
    RenameOldSystemLibrary(root.c_str());  // none there: nothing happens
    EXPECT_FALSE(PathPresent(At("TGPSAPI.DLL")));

    Put("PSAPI.DLL", "old system library");
    RenameOldSystemLibrary((root + "\\").c_str());
    EXPECT_FALSE(PathPresent(At("PSAPI.DLL")));
    EXPECT_EQ(ReadText(At("TGPSAPI.DLL")), "old system library");

    Put("PSAPI.DLL", "another");
    RenameOldSystemLibrary(root.c_str());  // the prefixed name is taken
    EXPECT_EQ(ReadText(At("PSAPI.DLL")), "another");
    EXPECT_EQ(ReadText(At("TGPSAPI.DLL")), "old system library");
}

TEST_F(FileOperationsTest, RenameOldSystemLibraryLeavesCutNamesAlone) {
    // A folder path so long that "PSAPI.DLL" would be cut: PSAPI.D must not move.
    std::string folder = root;
    while (folder.size() < 250) folder += "\\d";
    ASSERT_EQ(CreateDirectoryTree(folder.c_str()), kTreeCreated);
    while (folder.size() + 1 + 7 < 259) folder += "x";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string cut = folder + "\\PSAPI.D";
    ASSERT_TRUE(WriteFileBytes(cut, "unrelated"));
    RenameOldSystemLibrary(folder.c_str());
    EXPECT_EQ(ReadText(cut), "unrelated");
}

void Fault(void*) {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
}

void Count(void* counter) {
    ++*static_cast<int*>(counter);
}

void ProbeBadPointer(void* result) {
    // The system catches this fault itself; it must not end the guarded work.
    *static_cast<BOOL*>(result) = IsBadReadPtr(reinterpret_cast<void*>(16), 4);
}

TEST(FaultGuardTest, AFaultEndsOnlyTheGuardedWork) {
    int counter = 0;
    EXPECT_TRUE(RunFaultGuarded(Count, &counter));
    EXPECT_FALSE(RunFaultGuarded(Fault, nullptr));
    EXPECT_FALSE(RunFaultGuarded(Fault, nullptr));  // and again: nothing was left behind
    EXPECT_TRUE(RunFaultGuarded(Count, &counter));
    EXPECT_EQ(counter, 2);
    BOOL bad = FALSE;
    EXPECT_TRUE(RunFaultGuarded(ProbeBadPointer, &bad));
    EXPECT_TRUE(bad);
}

}  // namespace
