// Ids of the setup dialog's template and controls, of its icon and of the UI
// strings, shared by the resource script (setup_dialog.rc) and the program.
// The resource compiler reads only the #defines; the program uses the names
// of the enumeration below, which take their values from them.
#ifndef SOLIDSETUP_SETUP_IDS_H
#define SOLIDSETUP_SETUP_IDS_H

#define SETUP_ICON 1                  // the program icon (group 1)
#define SETUP_DIALOG 1000             // the dialog template; also the caption's string id
#define SETUP_OK 99                   // the OK button
#define SETUP_CANCEL 2                // the Cancel button (IDCANCEL)
#define SETUP_TITLE 1001              // the title line (product and version)
#define SETUP_LANGUAGE_LIST 1010      // the language list; also its column's string id
#define SETUP_DESTINATION_LABEL 1031  // the destination folder's label
#define SETUP_DESTINATION_EDIT 1032   // the destination folder
#define SETUP_BROWSE 1033             // the "..." button
#define SETUP_START_MENU_BOX 1041     // "Start menu group" tick box
#define SETUP_DESKTOP_BOX 1042        // "Desktop icon" tick box
#define SETUP_QUICK_LAUNCH_BOX 1043   // "Quick Launch icon" tick box
#define SETUP_STATUS_LINE 1047        // the status line (the file being written)

#define SETUP_TEXT_ENGLISH 2001       // "English" in the language list
#define SETUP_TEXT_GERMAN 2002        // "German" in the language list
#define SETUP_TEXT_SUCCESS 3000       // " has been successfully installed."
#define SETUP_TEXT_BROKEN_FILE 3001   // "Broken file, please download again."
#define SETUP_MENU_TICK_ALL 136       // the language menu's "Select all"
#define SETUP_MENU_CLEAR_ALL 137      // the language menu's "Deselect all"
#define SETUP_MENU_INVERT 138         // the language menu's "Invert selection"

#ifndef RC_INVOKED
enum : int {
    kSetupIconId = SETUP_ICON,
    kSetupDialogId = SETUP_DIALOG,
    kOkButtonId = SETUP_OK,
    kCancelButtonId = SETUP_CANCEL,
    kTitleControlId = SETUP_TITLE,
    kLanguageListId = SETUP_LANGUAGE_LIST,
    kDestinationLabelId = SETUP_DESTINATION_LABEL,
    kDestinationEditId = SETUP_DESTINATION_EDIT,
    kBrowseButtonId = SETUP_BROWSE,
    kStartMenuBoxId = SETUP_START_MENU_BOX,
    kDesktopBoxId = SETUP_DESKTOP_BOX,
    kQuickLaunchBoxId = SETUP_QUICK_LAUNCH_BOX,
    kStatusLineId = SETUP_STATUS_LINE,
};

enum : unsigned short {
    kEnglishTextId = SETUP_TEXT_ENGLISH,
    kGermanTextId = SETUP_TEXT_GERMAN,
    kSuccessTextId = SETUP_TEXT_SUCCESS,
    kBrokenFileTextId = SETUP_TEXT_BROKEN_FILE,
    kTickAllCommand = SETUP_MENU_TICK_ALL,
    kClearAllCommand = SETUP_MENU_CLEAR_ALL,
    kInvertTicksCommand = SETUP_MENU_INVERT,
};
#endif

#endif
