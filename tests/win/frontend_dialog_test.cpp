// Template 1000 as the dialog manager builds it, start-up of the setup state,
// and WinMain running the dialog on a program that carries no archive.
#include <gtest/gtest.h>

#include "util/bounded_string.h"

#include <cstring>
#include <string>

#include "frontend/setup_dialog.h"
#include "frontend/setup_state.h"
#include "frontend/ui_strings.h"
#include "tests/win/frontend_fixture.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showState);

namespace {

class DialogTemplateTest : public FrontendTest {};

// The template's bytes are checked in the built program; here the dialog
// manager's reading of it: the system-added styles and the control order.
TEST_F(DialogTemplateTest, DialogManagerBuildsTheControlsInTabOrder) {
    DWORD style = static_cast<DWORD>(GetWindowLongA(dialog_, GWL_STYLE));
    EXPECT_EQ(style & ~(WS_CLIPSIBLINGS | DS_3DLOOK), 0x80C800C0u) << std::hex << style;
    const int ids[] = {99, 2, 0xFFFF, 0xFFFF, 1001, 1010, 1031, 1032, 1033, 1041, 1042, 1043, 1047};
    HWND child = GetWindow(dialog_, GW_CHILD);
    for (int id : ids) {
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(GetDlgCtrlID(child) & 0xFFFF, id);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr);
    char className[64] = "";
    GetClassNameA(list_, className, sizeof className);
    EXPECT_STREQ(className, "SysListView32");
}

TEST_F(DialogTemplateTest, IconControlShowsIconOne) {
    HWND icon = GetWindow(GetDlgItem(dialog_, 2), GW_HWNDNEXT);
    icon = GetWindow(icon, GW_HWNDNEXT);
    EXPECT_NE(SendMessageA(icon, STM_GETICON, 0, 0), 0);
}

TEST(SetupStateStart, InitFillsIconLanguageTableAndPath) {
    SetupState state;
    std::memset(&state, 0x5A, sizeof state);  // start-up clears everything else
    gSetupState = &state;
    InitSetupState(GetModuleHandleA(nullptr));
    EXPECT_NE(state.icon, nullptr);
    char code[4] = "";
    DetectSystemLanguage(code);
    EXPECT_STREQ(state.languageCode, code);
    ASSERT_NE(state.uiStrings, nullptr);
    EXPECT_EQ(lstrcmpiA(static_cast<const char*>(state.uiStrings[0].text), code), 0);
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    EXPECT_STREQ(state.selfPath, path);
    EXPECT_STREQ(state.productId, "");
    EXPECT_STREQ(state.group, "");
    EXPECT_STREQ(state.windowClass, "");
    EXPECT_STREQ(state.exeName, "");
    EXPECT_STREQ(state.fileStem, "");
    gSetupState = nullptr;
}

// WinMain on a program without an archive: the real dialog opens, its survey
// finds no archive, the broken-file message is shown under the program's file
// name, and the dialog closes by itself. The timer runs inside the modal loops.
HWND gSeenDialog = nullptr;
std::string gSeenMessage;
std::string gSeenMessageCaption;

BOOL CALLBACK FindMessageText(HWND child, LPARAM parameter) {
    char className[16] = "";
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Static") != 0 || GetWindowTextLengthA(child) == 0) return TRUE;
    char text[256] = "";
    GetWindowTextA(child, text, sizeof text);
    *reinterpret_cast<std::string*>(parameter) = text;
    return FALSE;
}

BOOL CALLBACK AnswerWindow(HWND window, LPARAM) {
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, "#32770") != 0) return TRUE;
    // The message comes while the dialog is still being initialised (hidden).
    if (GetDlgItem(window, 1010) != nullptr) {
        gSeenDialog = window;
        return TRUE;
    }
    if (!IsWindowVisible(window)) return TRUE;
    char caption[256] = "";
    GetWindowTextA(window, caption, sizeof caption);
    gSeenMessageCaption = caption;
    EnumChildWindows(window, FindMessageText, reinterpret_cast<LPARAM>(&gSeenMessage));
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

void CALLBACK AnswerMessageBox(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), AnswerWindow, 0);
}

TEST(WinMainRun, ProgramWithoutArchiveReportsABrokenFileAndCloses) {
    gSeenDialog = nullptr;
    gSeenMessage.clear();
    UINT_PTR timer = SetTimer(nullptr, 0, 100, AnswerMessageBox);
    ASSERT_NE(timer, 0u);
    EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOWNORMAL), 0);
    KillTimer(nullptr, timer);
    EXPECT_NE(gSeenDialog, nullptr);
    EXPECT_FALSE(IsWindow(gSeenDialog));
    char code[4] = "";
    DetectSystemLanguage(code);
    if (std::strcmp(code, "US") == 0) {
        EXPECT_EQ(gSeenMessage, "Broken file, please download again.");
    }
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    EXPECT_EQ(gSeenMessageCaption, std::string(path + FileNameOffset(path)));
    EXPECT_EQ(gSetupState, nullptr) << "WinMain frees the setup state";
}

}  // namespace
