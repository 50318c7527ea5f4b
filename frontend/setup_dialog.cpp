// The setup dialog: initialisation (texts, languages, survey, destination),
// the context menu of the language list, browsing, OK and Cancel.
#include "frontend/setup_dialog.h"

#include <commctrl.h>

#include "archive/extract_archive.h"
#include "frontend/browse_folder.h"
#include "frontend/default_destination.h"
#include "frontend/language_list.h"
#include "frontend/language_menu.h"
#include "frontend/running_product.h"
#include "frontend/setup_state.h"
#include "frontend/survey.h"
#include "frontend/ui_strings.h"
#include "frontend/unattended_setup.h"
#include "install/install_procedure.h"
#include "install/messages.h"
#include "util/bounded_string.h"

namespace {

const DWORD kLanguageListStyles = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP;  // 0x424

}  // namespace

void CentreOnDesktop(HWND window) {
    RECT desktop = {}, own = {};
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &own);
    int x = ((desktop.right - desktop.left) - (own.right - own.left)) >> 1;
    int y = ((desktop.bottom - desktop.top) - (own.bottom - own.top)) >> 1;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void InitSetupDialog(HWND dialog) {
    HWND list = GetDlgItem(dialog, kLanguageListId);
    CentreOnDesktop(dialog);
    SetClassLongPtrA(dialog, GCLP_HICON, reinterpret_cast<LONG_PTR>(gSetupState->icon));
    ApplyDialogTexts(dialog, gSetupState->uiStrings, DialogTextIds);
    if (list == nullptr) return;

    InsertColumns(list, LanguageColumns);
    SetColumnTexts(list, LanguageColumns);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, kLanguageListStyles);
    InsertBuiltInLanguages(list);

    int result = ExtractArchive(gSetupState->selfPath, SurveyEntryCallback, dialog);

    if (gSetupState->windowClass[0] == 0) CopyBounded(gSetupState->group, gSetupState->windowClass, 32);
    if (gSetupState->windowClass[0] != 0) {
        HANDLE thread = CreateThread(nullptr, 0, CloseRunningProductThread, nullptr, 0, nullptr);
        if (thread != nullptr) CloseHandle(thread);  // never waited for
    }
    ShowDefaultDestination(dialog);
    if (gSetupCommandLine.given) ApplyCommandLineToDialog(dialog);

    if (result != 0) {
        ShowUiMessage(dialog, kBrokenFileTextId, gSetupState->selfPath, MB_ICONHAND);
        PostMessageA(dialog, WM_CLOSE, 0, 0);
    }
}

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        InitSetupDialog(dialog);
        break;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        break;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) == GetDlgItem(dialog, kLanguageListId)) ShowLanguageMenu(dialog);
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kOkButtonId:
            if (RunInstall(dialog) == 0) PostMessageA(dialog, WM_CLOSE, 0, 0);
            break;
        case IDCANCEL:
            PostMessageA(dialog, WM_CLOSE, 0, 0);
            break;
        case kTickAllCommand:
            TickAllLanguages(GetDlgItem(dialog, kLanguageListId));
            break;
        case kClearAllCommand:
            ClearAllLanguages(GetDlgItem(dialog, kLanguageListId));
            break;
        case kInvertTicksCommand:
            InvertLanguageTicks(GetDlgItem(dialog, kLanguageListId));
            break;
        case kBrowseButtonId:
            BrowseForDestination(dialog, kDestinationEditId);
            break;
        }
        break;
    }
    return 0;
}
