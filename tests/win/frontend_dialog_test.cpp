// Template 1000 as the dialog manager builds it, start-up of the setup state,
// and WinMain running the dialog until Cancel or OK closes it.
#include <gtest/gtest.h>

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

// Presses a button of the running setup dialog from inside its modal loop.
int gButtonToPress = 0;
HWND gSeenDialog = nullptr;
std::string gSeenCaption;

void CALLBACK PressButton(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowA(MAKEINTATOM(32770), nullptr);
    if (dialog == nullptr || GetDlgItem(dialog, 1010) == nullptr) return;
    KillTimer(nullptr, timer);
    gSeenDialog = dialog;
    char caption[256] = "";
    GetWindowTextA(dialog, caption, sizeof caption);
    gSeenCaption = caption;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(gButtonToPress, BN_CLICKED), 0);
}

TEST(WinMainRun, RunsTheDialogAndEndsOnCancelOrOk) {
    for (int button : {2, 99}) {
        gButtonToPress = button;
        gSeenDialog = nullptr;
        UINT_PTR timer = SetTimer(nullptr, 0, 50, PressButton);
        ASSERT_NE(timer, 0u);
        EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOWNORMAL), 0);
        KillTimer(nullptr, timer);
        EXPECT_NE(gSeenDialog, nullptr) << "button " << button;
        EXPECT_FALSE(IsWindow(gSeenDialog));
        char code[4] = "";
        DetectSystemLanguage(code);
        char expected[64] = "";
        SetupState probe = {};
        std::strcpy(probe.languageCode, code);
        gSetupState = &probe;
        SelectDefaultLanguage();
        LookupUiString(probe.uiStrings, 1000, expected, sizeof expected);
        EXPECT_EQ(gSeenCaption, expected);
        gSetupState = nullptr;
    }
    EXPECT_EQ(gSetupState, nullptr) << "WinMain frees the setup state";
}

}  // namespace
