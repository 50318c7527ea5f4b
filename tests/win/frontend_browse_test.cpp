// The folder the browse button opens on, worked out by the real shell from
// real folders: the destination itself, or its parent while the destination
// does not exist yet. (The e2e scenario "browse" clicks the button and reads
// the browser's selection.)
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "frontend/browse_folder.h"
#include "tests/support/archive_bytes.h"

namespace {

class InitialFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        OleInitialize(nullptr);
        ASSERT_TRUE(SUCCEEDED(SHGetDesktopFolder(&desktop)));
        ASSERT_TRUE(SUCCEEDED(SHGetMalloc(&allocator)));
        root = MakeTempDir("browse");
        char full[MAX_PATH] = "";
        GetLongPathNameA(root.c_str(), full, sizeof full);
        root = full;
        ASSERT_TRUE(CreateDirectoryA((root + "\\Apps").c_str(), nullptr));
        GetCurrentDirectoryA(sizeof previousFolder, previousFolder);
    }
    void TearDown() override {
        SetCurrentDirectoryA(previousFolder);
        if (desktop != nullptr) desktop->Release();
        if (allocator != nullptr) allocator->Release();
        RemoveTree(root);
        OleUninitialize();
    }

    // Works out the initial folder for a destination text as the browse
    // button does: the folder the item list names ("<none>" without one);
    // the text it leaves in the buffer goes to *left.
    std::string InitialFolder(const std::string& text, std::string* left = nullptr) {
        char path[260];
        std::snprintf(path, sizeof path, "%s", text.c_str());
        LPITEMIDLIST list = ParseInitialFolder(desktop, nullptr, path);
        if (left != nullptr) *left = path;
        if (list == nullptr) return "<none>";
        char folder[MAX_PATH] = "";
        if (!SHGetPathFromIDListA(list, folder)) std::snprintf(folder, sizeof folder, "<not a file-system folder>");
        allocator->Free(list);
        return folder;
    }

    IShellFolder* desktop = nullptr;
    IMalloc* allocator = nullptr;
    std::string root;
    char previousFolder[MAX_PATH] = "";
};

TEST_F(InitialFolderTest, AnExistingDestinationIsPreselectedItself) {
    ASSERT_TRUE(CreateDirectoryA((root + "\\Apps\\Tool").c_str(), nullptr));
    std::string left;
    EXPECT_EQ(InitialFolder(root + "\\Apps\\Tool", &left), root + "\\Apps\\Tool");
    EXPECT_EQ(left, root + "\\Apps\\Tool");
}

TEST_F(InitialFolderTest, ADestinationNotCreatedYetOpensOnItsParent) {
    std::string left;
    EXPECT_EQ(InitialFolder(root + "\\Apps\\Tool", &left), root + "\\Apps");
    EXPECT_EQ(left, root + "\\Apps");
}

TEST_F(InitialFolderTest, ARelativeDestinationIsTakenFromTheCurrentFolder) {
    ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
    std::string left;
    EXPECT_EQ(InitialFolder("Apps", &left), root + "\\Apps");
    EXPECT_EQ(left, root + "\\Apps");
    EXPECT_EQ(InitialFolder("Apps\\Tool"), root + "\\Apps");
}

TEST_F(InitialFolderTest, NothingIsPreselectedWithoutATextOrAnExistingParent) {
    EXPECT_EQ(InitialFolder(""), "<none>");
    // Only one level up is tried: a destination two levels below what exists
    // opens the browser with nothing preselected.
    EXPECT_EQ(InitialFolder(root + "\\Missing\\Tool"), "<none>");
    EXPECT_EQ(InitialFolder("Q:\\No Such Drive\\Tool"), "<none>");
}

}  // namespace
