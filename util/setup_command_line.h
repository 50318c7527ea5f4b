// The setup program's command line: the unattended switch and its options.
// Parsed without any window, so that it can be checked everywhere.
#pragma once

// What an unattended setup (/S) exits with.
enum : int {
    kSetupExitInstalled = 0,
    kSetupExitBadCommandLine = 1,  // unknown switch, bad value, language the setup does not offer
    kSetupExitDamaged = 2,         // the setup file is damaged or unreadable; nothing installed
    kSetupExitCannotWrite = 3,     // the destination could not be written, not even through the temporary folder
};

const int kMaxCommandLineLanguages = 16;

struct SetupCommandLine {
    bool given;         // any argument at all
    bool silent;        // /S: no window
    bool noIcons;       // /NOICONS: no shortcuts
    int languageCount;  // /LANG=DE,FR: only these; 0 when not given
    char languages[kMaxCommandLineLanguages][3];  // two upper-case letters each
    char logPath[260];      // /LOG=FILE; empty when not given
    char destination[260];  // /D=FOLDER (the rest of the line); empty when not given
};

// The usage text shown for a bad command line.
extern const char kSetupUsage[];

// Fills the record from the arguments (the command line without the program's
// name). Switches are matched without regard to case; a value may be quoted;
// /D= takes the rest of the line, blanks included. Returns null when the line
// is good, else what is wrong with it (the record is then incomplete).
const char* ParseSetupCommandLine(const char* arguments, SetupCommandLine* result);
