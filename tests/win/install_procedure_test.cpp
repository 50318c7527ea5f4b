// The whole installation as the OK button runs it: passes over stored
// archives, the retry through the temporary folder, records, shortcuts and
// the message boxes, read back from the real system.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/extract_archive.h"
#include "pack/archive_writer.h"
#include "install/file_operations.h"
#include "install/install_procedure.h"
#include "tests/win/install_test_helpers.h"

using namespace install_test;

namespace {

// Releases a file lock once the status line shows a path under the given
// folder, as when a running copy of the product ends while the installation
// is being built in the temporary folder.
struct LockRelease {
    WNDPROC original = nullptr;
    std::string trigger;
    HANDLE lock = INVALID_HANDLE_VALUE;
    std::vector<std::string> statusTexts;
};
LockRelease gLockRelease;

LRESULT CALLBACK StatusLineProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT && lParam != 0) {
        std::string text = reinterpret_cast<const char*>(lParam);
        gLockRelease.statusTexts.push_back(text);
        if (!gLockRelease.trigger.empty() && text.compare(0, gLockRelease.trigger.size(), gLockRelease.trigger) == 0 &&
            gLockRelease.lock != INVALID_HANDLE_VALUE) {
            CloseHandle(gLockRelease.lock);
            gLockRelease.lock = INVALID_HANDLE_VALUE;
        }
    }
    return CallWindowProcA(gLockRelease.original, window, message, wParam, lParam);
}

class RunInstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(dialog.dialog, nullptr) << "windows need a display (DISPLAY)";
        root = MakeTempDir("install");
        temp = root + "\\temp";
        ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
        // The retry's numbered folders go to a temporary folder of this test's own.
        char previous[MAX_PATH] = "";
        hadTmp = GetEnvironmentVariableA("TMP", previous, sizeof previous) > 0;
        previousTmp = previous;
        SetEnvironmentVariableA("TMP", (temp + "\\").c_str());

        std::strcpy(setup.state.group, group.c_str());
        std::strcpy(setup.state.productId, productId.c_str());
        std::strcpy(setup.state.fileStem, "PROD");
        std::strcpy(setup.state.selfPath, (root + "\\Setup.exe").c_str());
        destination = root + "\\Apps\\Tool";
        dialog.SetDestination(destination);
        dialog.SetBoxes(true, true, true);

        gLockRelease = LockRelease();
        HWND status = GetDlgItem(dialog.dialog, 1047);
        gLockRelease.original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(status, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StatusLineProc)));
    }
    void TearDown() override {
        if (gLockRelease.lock != INVALID_HANDLE_VALUE) CloseHandle(gLockRelease.lock);
        gLockRelease = LockRelease();
        SetEnvironmentVariableA("TMP", hadTmp ? previousTmp.c_str() : nullptr);
        RemoveTree(root);
    }

    static std::vector<TestEntry> Product() {
        TestEntry program = StoredEntry("Bin\\TGTOOL.EXE", "main program");
        program.attr = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY;
        return {StoredEntry("FILE_ID.DIZ", "Tool Version 1.0\r\n"), StoredEntry("INSTALL.INF", "ID=xx\r\n"),
                program,
                StoredEntry("UnInst.exe", "uninstaller"),
                StoredEntry("LICENSE.TXT", "licence"),
                StoredEntry("ORDER.HTM", "order"),
                StoredEntry("BESTELL.HTM", "bestellung"),
                StoredEntry("PROD_DE.LNG", "[Text]\r\nLanguage=German\r\n"),
                StoredEntry("TGPSAPI.DLL", "library")};
    }
    // A solid compressed archive as the builder writes it.
    void WriteCompressedArchive(const std::vector<std::pair<std::string, std::string>>& files) {
        ArchiveWriter writer;
        ArchiveWriterInit(&writer, 3);
        std::vector<uint8_t> archive;
        AppendArchiveStart(&archive);
        for (const auto& file : files) {
            ArchiveEntry entry = {file.first, kTestDosTime, kAttributeArchive};
            AppendArchiveEntry(&writer, entry, reinterpret_cast<const uint8_t*>(file.second.data()), file.second.size(),
                               &archive);
        }
        ASSERT_TRUE(WriteFileBytes(setup.state.selfPath, std::string(archive.begin(), archive.end())));
    }
    void WriteArchive(const std::vector<TestEntry>& entries) {
        ASSERT_TRUE(WriteFileBytes(setup.state.selfPath, StoredArchive(entries)));
    }
    std::string At(const std::string& name) const { return destination + "\\" + name; }
    // Holds a file of the destination open with no sharing, as a running
    // program would.
    void LockInDestination(const std::string& name, const std::string& releaseOnStatus) {
        CreateDirectoryTree(destination.c_str());
        ASSERT_TRUE(WriteFileBytes(At(name), "running copy"));
        gLockRelease.lock = CreateFileA(At(name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(gLockRelease.lock, INVALID_HANDLE_VALUE);
        gLockRelease.trigger = releaseOnStatus;
    }
    bool TempFolderIsEmpty() const {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((temp + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return true;
        bool empty = true;
        do {
            if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0) empty = false;
        } while (FindNextFileA(search, &found));
        FindClose(search);
        return empty;
    }
    void ExpectRecordsAndShortcutsName(const std::string& folder) {
        EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kMakerKey, productId.c_str()), folder);
        EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\" + group, "UninstallString"),
                  folder + "\\UnInst.exe");
        std::string programs = SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\" + group;
        for (const std::string& link : {programs + "\\" + group + ".lnk", SpecialFolder(CSIDL_DESKTOP) + "\\" + group +
                                                                               ".lnk",
                                        profile.quickLaunch + "\\" + group + ".lnk"}) {
            LinkInfo info = ReadShortcut(link);
            EXPECT_TRUE(info.loaded) << link;
            EXPECT_EQ(info.path, folder + "\\TGTOOL.EXE") << link;
            EXPECT_EQ(info.workingFolder, folder) << link;
        }
        LinkInfo uninstall = ReadShortcut(programs + "\\Uninstall.lnk");
        EXPECT_EQ(uninstall.path, folder + "\\UnInst.exe");
    }

    OleScope ole;
    ScopedSetupState setup;
    std::string group = UniqueName("SolidTest Run");
    std::string productId = "Zr" + std::to_string(GetCurrentProcessId() % 10);
    ScratchProfile profile{true};
    MachineGuard machine{group};
    InstallDialog dialog;
    std::string root;
    std::string temp;
    std::string destination;
    bool hadTmp = false;
    std::string previousTmp;
};

TEST_F(RunInstallTest, InstallsRecordsLinksAndReportsSuccess) {
    WriteArchive(Product());
    CreateDirectoryTree(destination.c_str());
    ASSERT_TRUE(WriteFileBytes(At("PSAPI.DLL"), "old system library"));
    MessageBoxWatcher watcher;
    EXPECT_EQ(RunInstall(dialog.dialog), 0);

    EXPECT_EQ(ReadText(At("TGTOOL.EXE")), "main program");
    EXPECT_EQ(GetFileAttributesA(At("TGTOOL.EXE").c_str()), DWORD(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(ReadText(At("FILE_ID.DIZ")), "Tool Version 1.0\r\n");
    EXPECT_EQ(ReadText(At("TGPSAPI.DLL")), "library");  // the archive's copy over the renamed one
    EXPECT_FALSE(PathPresent(At("PSAPI.DLL")));
    EXPECT_FALSE(PathPresent(At("INSTALL.INF")));
    EXPECT_EQ(LocalWriteTime(At("LICENSE.TXT")), "2020-06-15 12:30:40");  // kTestDosTime

    ExpectRecordsAndShortcutsName(destination);
    std::string programs = SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\" + group;
    EXPECT_TRUE(ReadShortcut(programs + "\\Bestellung.lnk").loaded);  // German was installed
    EXPECT_EQ(dialog.Status(), "");

    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, group + " has been successfully installed.");
    EXPECT_EQ(watcher.boxes[0].caption, "Setup Tool 1.0");
    EXPECT_EQ(watcher.boxes[0].icon, "information");
    EXPECT_TRUE(TempFolderIsEmpty());
}

TEST_F(RunInstallTest, InstallsACompressedSolidArchive) {
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(i % 97) + " of the product's help\r\n";
    std::string program(70000, 0);
    for (size_t i = 0; i < program.size(); ++i) program[i] = static_cast<char>((i * 7 + i / 13) & 0xFF);
    WriteCompressedArchive({{"TGTOOL.EXE", program}, {"Help\\PROD_DE.HLP", text}, {"INSTALL.INF", "ID=xx\r\n"},
                            {"README.TXT", text + "and the end"}});
    MessageBoxWatcher watcher;
    EXPECT_EQ(RunInstall(dialog.dialog), 0);
    EXPECT_EQ(ReadText(At("TGTOOL.EXE")), program);
    EXPECT_EQ(ReadText(At("PROD_DE.HLP")), text);
    EXPECT_EQ(ReadText(At("README.TXT")), text + "and the end");
    EXPECT_FALSE(PathPresent(At("INSTALL.INF")));
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].icon, "information");
}

TEST_F(RunInstallTest, SuccessTextInTheDialogsLanguageAndNoShortcutsWithoutAProgram) {
    setup.state.uiStrings = kGermanStrings;
    WriteArchive({StoredEntry("UnInst.exe", "uninstaller"), StoredEntry("SETUP.EXE", "not the product")});
    MessageBoxWatcher watcher;
    EXPECT_EQ(RunInstall(dialog.dialog), 0);
    EXPECT_TRUE(PathPresent(At("SETUP.EXE")));
    // The uninstall entry does not depend on the boxes...
    EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\" + group, "UninstallString"),
              At("UnInst.exe"));
    // ...but without a main program no shortcut is made at all.
    EXPECT_FALSE(PathPresent(SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\" + group));
    EXPECT_FALSE(PathPresent(SpecialFolder(CSIDL_DESKTOP) + "\\" + group + ".lnk"));
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, group + " wurde erfolgreich installiert.");
}

TEST_F(RunInstallTest, UntickedBoxesMakeNoShortcutsAndGermanOrderFormNeedsGerman) {
    dialog.SetBoxes(true, false, false);
    dialog.SetTicked("DE", false);
    WriteArchive(Product());
    MessageBoxWatcher watcher;
    EXPECT_EQ(RunInstall(dialog.dialog), 0);
    std::string programs = SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\" + group;
    EXPECT_TRUE(ReadShortcut(programs + "\\Order.lnk").loaded);
    EXPECT_FALSE(PathPresent(programs + "\\Bestellung.lnk"));
    EXPECT_FALSE(PathPresent(At("PROD_DE.LNG")));
    EXPECT_FALSE(PathPresent(SpecialFolder(CSIDL_DESKTOP) + "\\" + group + ".lnk"));
    EXPECT_FALSE(PathPresent(profile.quickLaunch + "\\" + group + ".lnk"));
}

TEST_F(RunInstallTest, WithoutAGroupTheProgramNameStandsIn) {
    const std::string name = UniqueName("TGSolid");  // a main program by its prefix
    MachineGuard programFolders(name);
    setup.state.group[0] = 0;
    dialog.SetBoxes(true, true, false);
    WriteArchive({StoredEntry(name + ".EXE", "main program"), StoredEntry("UnInst.exe", "uninstaller")});
    MessageBoxWatcher watcher;
    EXPECT_EQ(RunInstall(dialog.dialog), 0);
    EXPECT_EQ(ReadShortcut(SpecialFolder(CSIDL_DESKTOP) + "\\" + name + ".lnk").path, At(name + ".EXE"));
    EXPECT_FALSE(PathPresent(SpecialFolder(CSIDL_DESKTOP) + "\\.lnk"));
    // No uninstall values land in the list's own key.
    EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), "<none>");
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, name + " has been successfully installed.");
}

TEST_F(RunInstallTest, EmptyDestinationDoesNothing) {
    WriteArchive(Product());
    dialog.SetDestination("");
    MessageBoxWatcher watcher;
    EXPECT_EQ(RunInstall(dialog.dialog), -1);
    EXPECT_TRUE(watcher.boxes.empty());
    EXPECT_FALSE(PathPresent(root + "\\Apps"));
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kMakerKey, productId.c_str()), "<none>");
}

TEST_F(RunInstallTest, DamagedArchiveReportsABrokenFile) {
    std::vector<TestEntry> entries = Product();
    entries[4].overrideCrc = true;  // LICENSE.TXT
    entries[4].crc = 0x12345678;
    WriteArchive(entries);
    MessageBoxWatcher watcher;
    EXPECT_EQ(RunInstall(dialog.dialog), kExtractChecksumFailed);
    EXPECT_TRUE(PathPresent(At("TGTOOL.EXE")));  // what came before stays
    EXPECT_FALSE(PathPresent(At("LICENSE.TXT")));
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kMakerKey, productId.c_str()), "<none>");
    EXPECT_FALSE(PathPresent(SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\" + group));
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, "Broken file, please download again.");
    EXPECT_EQ(watcher.boxes[0].caption, "Setup.exe");
    EXPECT_EQ(watcher.boxes[0].icon, "stop");
    EXPECT_TRUE(TempFolderIsEmpty());
}

TEST_F(RunInstallTest, RetryThroughTheTemporaryFolderEndsInTheGivenFolder) {
    WriteArchive(Product());
    // The program is in use when the pass reaches it and ends while the
    // installation is built in the temporary folder.
    LockInDestination("TGTOOL.EXE", temp + "\\");
    ASSERT_TRUE(WriteFileBytes(At("user.dat"), "user's own file"));
    MessageBoxWatcher watcher;
    EXPECT_EQ(RunInstall(dialog.dialog), 0);
    ASSERT_EQ(gLockRelease.lock, INVALID_HANDLE_VALUE) << "the retry never ran";

    EXPECT_EQ(ReadText(At("TGTOOL.EXE")), "main program");
    EXPECT_EQ(ReadText(At("LICENSE.TXT")), "licence");
    EXPECT_EQ(ReadText(At("user.dat")), "user's own file");
    EXPECT_FALSE(PathPresent(At("Tool")));  // not nested inside the given folder
    EXPECT_FALSE(PathPresent(At("1")));
    ExpectRecordsAndShortcutsName(destination);
    EXPECT_TRUE(TempFolderIsEmpty());
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, group + " has been successfully installed.");

    // The retry built the files under "<temp>\1\Tool".
    bool builtAside = false;
    for (const std::string& text : gLockRelease.statusTexts) {
        if (text == temp + "\\1\\Tool\\TGTOOL.EXE") builtAside = true;
    }
    EXPECT_TRUE(builtAside);
}

TEST_F(RunInstallTest, RetryIntoAFolderNamedLikeTheGroup) {
    // The group folder is assembled under the same temporary folder as the
    // files; with both named alike they must not get in each other's way.
    destination = root + "\\Apps\\" + group;
    dialog.SetDestination(destination);
    WriteArchive(Product());
    LockInDestination("LICENSE.TXT", temp + "\\");
    MessageBoxWatcher watcher;
    EXPECT_EQ(RunInstall(dialog.dialog), 0);
    EXPECT_EQ(ReadText(At("LICENSE.TXT")), "licence");
    EXPECT_FALSE(PathPresent(At(group)));
    ExpectRecordsAndShortcutsName(destination);
    EXPECT_TRUE(TempFolderIsEmpty());
}

TEST_F(RunInstallTest, RetryWithATrailingSeparatorBuildsInTheNumberedFolderItself) {
    dialog.SetDestination(destination + "\\");
    WriteArchive(Product());
    LockInDestination("LICENSE.TXT", temp + "\\");
    MessageBoxWatcher watcher;
    EXPECT_EQ(RunInstall(dialog.dialog), 0);
    EXPECT_EQ(ReadText(At("TGTOOL.EXE")), "main program");
    EXPECT_EQ(ReadText(At("LICENSE.TXT")), "licence");
    EXPECT_FALSE(PathPresent(At("1")));
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kMakerKey, productId.c_str()), destination + "\\");
    std::string programs = SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\" + group;
    EXPECT_EQ(ReadShortcut(programs + "\\" + group + ".lnk").path, destination + "\\TGTOOL.EXE");
    EXPECT_EQ(gLockRelease.statusTexts.back(), "");
    bool builtInNumberedFolder = false;
    for (const std::string& text : gLockRelease.statusTexts) {
        if (text == temp + "\\1\\LICENSE.TXT") builtInNumberedFolder = true;
    }
    EXPECT_TRUE(builtInNumberedFolder);
    EXPECT_TRUE(TempFolderIsEmpty());
}

TEST_F(RunInstallTest, RetryWhoseMoveFailsKeepsEverything) {
    WriteArchive(Product());
    LockInDestination("TGTOOL.EXE", "");  // stays in use throughout
    MessageBoxWatcher watcher;
    EXPECT_EQ(RunInstall(dialog.dialog), -1);
    EXPECT_EQ(ReadText(temp + "\\1\\Tool\\TGTOOL.EXE"), "main program");  // the build is kept
    CloseHandle(gLockRelease.lock);
    gLockRelease.lock = INVALID_HANDLE_VALUE;
    EXPECT_EQ(ReadText(At("TGTOOL.EXE")), "running copy");
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kMakerKey, productId.c_str()), "<none>");
    EXPECT_FALSE(PathPresent(SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\" + group));
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, SystemText(ERROR_CANNOT_MAKE));
    EXPECT_EQ(watcher.boxes[0].icon, "stop");
}

// A destination that cannot even be created (below a file, on a drive that
// does not exist): the installation is built in the temporary folder, but it
// cannot be moved into place. The user is told so with the system's text,
// nothing is recorded or linked, and the dialog stays open.
TEST_F(RunInstallTest, DestinationThatCannotBeCreatedIsReportedNotInstalled) {
    WriteArchive(Product());
    ASSERT_TRUE(WriteFileBytes(root + "\\Apps", "a file where a folder is wanted"));
    int attempt = 0;
    for (const std::string& given : {root + "\\Apps\\Tool", std::string("Q:\\No Such Drive\\Tool")}) {
        SCOPED_TRACE(given);
        dialog.SetDestination(given);
        gLockRelease.statusTexts.clear();
        MessageBoxWatcher watcher;
        EXPECT_EQ(RunInstall(dialog.dialog), -1);
        // The retry ran: the files were written under a numbered temporary folder.
        std::string built = temp + "\\" + std::to_string(++attempt) + "\\Tool\\TGTOOL.EXE";
        bool retried = false;
        for (const std::string& text : gLockRelease.statusTexts) retried = retried || text == built;
        EXPECT_TRUE(retried) << "no file was written to " << built;
        EXPECT_EQ(ReadText(built), "main program");  // the build is kept

        ASSERT_EQ(watcher.boxes.size(), 1u);
        EXPECT_EQ(watcher.boxes[0].text, SystemText(ERROR_CANNOT_MAKE));
        EXPECT_EQ(watcher.boxes[0].caption, "");
        EXPECT_EQ(watcher.boxes[0].icon, "stop");
        EXPECT_FALSE(PathPresent(given));
        EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kMakerKey, productId.c_str()), "<none>");
        EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\" + group, "UninstallString"),
                  "<none>");
        EXPECT_FALSE(PathPresent(SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\" + group));
        EXPECT_FALSE(PathPresent(SpecialFolder(CSIDL_DESKTOP) + "\\" + group + ".lnk"));
    }
    EXPECT_EQ(ReadText(root + "\\Apps"), "a file where a folder is wanted");
}

TEST_F(RunInstallTest, FailureInTheTemporaryFolderTooReportsTheSystemText) {
    SetEnvironmentVariableA("TMP", "Q:\\no such drive\\");
    WriteArchive(Product());
    LockInDestination("TGTOOL.EXE", "");
    MessageBoxWatcher watcher;
    EXPECT_EQ(RunInstall(dialog.dialog), kExtractCannotCreate);
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, SystemText(ERROR_CANNOT_MAKE));
    EXPECT_EQ(watcher.boxes[0].caption, "");
    EXPECT_EQ(watcher.boxes[0].icon, "stop");
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kMakerKey, productId.c_str()), "<none>");
}

}  // namespace
