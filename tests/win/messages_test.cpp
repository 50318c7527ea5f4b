// The message boxes and system error texts, read back from the real boxes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "install/messages.h"
#include "tests/win/install_test_helpers.h"

using namespace install_test;

namespace {

const DWORD kCodeWithoutText = 0x2ABCDEF0;

class MessagesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(owner.dialog, nullptr) << "windows need a display (DISPLAY)"; }

    ScopedSetupState setup;
    InstallDialog owner{false};
};

TEST_F(MessagesTest, EmptyOrNullTextShowsNothing) {
    MessageBoxWatcher watcher;
    EXPECT_EQ(ShowMessage(owner.dialog, "", "Caption", MB_OK), IDCANCEL);
    EXPECT_EQ(ShowMessage(owner.dialog, nullptr, "Caption", MB_OK), IDCANCEL);
    EXPECT_EQ(ShowUiMessage(owner.dialog, 5000, "Caption", MB_OK), IDCANCEL);  // no such text
    EXPECT_TRUE(watcher.boxes.empty());
}

TEST_F(MessagesTest, CaptionShowsFileNameOfAPathOnly) {
    MessageBoxWatcher watcher;
    EXPECT_EQ(ShowMessage(owner.dialog, "one", "C:\\Downloads\\Setup.exe", MB_ICONHAND), IDOK);
    ShowMessage(owner.dialog, "two", "C:/Downloads/Tool Setup.exe", MB_OK);
    ShowMessage(owner.dialog, "three", "C:\\Downloads\\", MB_OK);
    ShowMessage(owner.dialog, "four", "Setup Tool 1.0", MB_ICONINFORMATION);
    ShowMessage(nullptr, "five", "", MB_OK);
    ASSERT_EQ(watcher.boxes.size(), 5u);
    EXPECT_EQ(watcher.boxes[0].text, "one");
    EXPECT_EQ(watcher.boxes[0].caption, "Setup.exe");
    EXPECT_EQ(watcher.boxes[0].icon, "stop");
    EXPECT_EQ(watcher.boxes[1].caption, "Tool Setup.exe");
    EXPECT_EQ(watcher.boxes[1].icon, "none");
    EXPECT_EQ(watcher.boxes[2].caption, "C:\\Downloads\\");
    EXPECT_EQ(watcher.boxes[3].caption, "Setup Tool 1.0");
    EXPECT_EQ(watcher.boxes[3].icon, "information");
    EXPECT_EQ(watcher.boxes[4].caption, "");
}

TEST_F(MessagesTest, UiMessagesFollowTheActiveTable) {
    MessageBoxWatcher watcher;
    ShowUiMessage(owner.dialog, 3001, "C:\\Downloads\\Setup.exe", MB_ICONHAND);
    setup.state.uiStrings = kGermanStrings;
    ShowUiMessage(owner.dialog, 3000, "Installation", MB_ICONINFORMATION);
    ASSERT_EQ(watcher.boxes.size(), 2u);
    EXPECT_EQ(watcher.boxes[0].text, "Broken file, please download again.");
    EXPECT_EQ(watcher.boxes[0].caption, "Setup.exe");
    EXPECT_EQ(watcher.boxes[0].icon, "stop");
    EXPECT_EQ(watcher.boxes[1].text, " wurde erfolgreich installiert.");
    EXPECT_EQ(watcher.boxes[1].caption, "Installation");
}

TEST(FormatSystemErrorTest, KeepsOrFlattensTheLineBreaks) {
    std::string expected = SystemText(ERROR_CANNOT_MAKE);
    ASSERT_FALSE(expected.empty());
    ASSERT_LT(static_cast<unsigned char>(expected.back()), 32) << "system texts end in a line break";

    char text[512];
    std::memset(text, 'x', sizeof text);
    FormatSystemError(ERROR_CANNOT_MAKE, text, sizeof text, false);
    EXPECT_EQ(std::string(text), expected);

    FormatSystemError(ERROR_CANNOT_MAKE, text, sizeof text, true);
    std::string flat(text);
    ASSERT_EQ(flat.size(), expected.size());
    for (size_t i = 0; i < flat.size(); ++i) {
        if (static_cast<unsigned char>(expected[i]) < 32) {
            EXPECT_EQ(flat[i], ' ') << i;
        } else {
            EXPECT_EQ(flat[i], expected[i]) << i;
        }
    }
}

TEST(FormatSystemErrorTest, CutsToTheBufferAndEmptiesForUnknownCodes) {
    std::string expected = SystemText(ERROR_CANNOT_MAKE);
    char text[12];
    std::memset(text, 'x', sizeof text);
    FormatSystemError(ERROR_CANNOT_MAKE, text, sizeof text, false);
    EXPECT_EQ(std::string(text), expected.substr(0, 10));  // at most size - 2 bytes

    std::memset(text, 'x', sizeof text);
    FormatSystemError(kCodeWithoutText, text, sizeof text, true);
    EXPECT_EQ(text[0], 0);
    EXPECT_EQ(text[sizeof text - 1], 0);

    FormatSystemError(ERROR_CANNOT_MAKE, nullptr, 10, false);  // nothing to write to
    text[0] = 'x';
    FormatSystemError(ERROR_CANNOT_MAKE, text, 0, false);
    EXPECT_EQ(text[0], 'x');
}

TEST_F(MessagesTest, SystemErrorBoxesAndTheCasesThatShowNothing) {
    MessageBoxWatcher watcher;
    SetLastError(0);
    EXPECT_EQ(ShowSystemError(owner.dialog, 0, "Caption"), 0);
    EXPECT_EQ(ShowSystemError(owner.dialog, kCodeWithoutText, "Caption"), IDCANCEL);
    EXPECT_TRUE(watcher.boxes.empty());

    EXPECT_EQ(ShowSystemError(owner.dialog, ERROR_CANNOT_MAKE, nullptr), IDOK);
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(ShowSystemError(owner.dialog, 0, "C:\\x\\Setup.exe"), IDOK);
    ASSERT_EQ(watcher.boxes.size(), 2u);
    EXPECT_EQ(watcher.boxes[0].text, SystemText(ERROR_CANNOT_MAKE));
    EXPECT_EQ(watcher.boxes[0].caption, "");  // empty, not the system's "Error"
    EXPECT_EQ(watcher.boxes[0].icon, "stop");
    EXPECT_EQ(watcher.boxes[1].text, SystemText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(watcher.boxes[1].caption, "Setup.exe");
}

}  // namespace
