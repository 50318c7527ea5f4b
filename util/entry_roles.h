// What the setup program makes of an archive entry by its name alone: which
// entries the survey reads (title line, settings, language files), which
// language a file belongs to, and which installed files the later steps name
// (licence text, order forms, uninstaller, main program). The setup and the
// publisher's tool both decide by these rules, so the tool's preview of an
// installation is the setup's own reading.
#pragma once
#include <cstddef>
#include <cstdint>

typedef uint32_t LanguageTag;  // two upper-case letters, first in the low byte: "DE" = 0x4544

inline LanguageTag MakeLanguageTag(char first, char second) {
    return static_cast<LanguageTag>(static_cast<unsigned char>(first)) |
           (static_cast<LanguageTag>(static_cast<unsigned char>(second)) << 8);
}

// The survey's answers to the query call (all are delivered in memory).
enum : uint8_t {
    kSurveyTitleFile = 1,     // FILE_ID.DIZ
    kSurveySettingsFile = 2,  // *.INF
    kSurveyLanguageFile = 4,  // *.LNG
    kSurveyOtherEntry = 7,    // read and verified, nothing else
};

// "_XX.LNG": the code, the underscore before it and the extension.
const int kLanguageSuffixLength = 7;

// The survey's answer for an entry name (a name of at most 4 bytes is never
// one of the special files).
uint8_t SurveyAnswerForName(const char* name);
// The first language file names the stem of all language files: its file-name
// part without "_XX.LNG". Sets stem (size bytes) only while it is empty.
void NoteLanguageStem(const char* entryName, char* stem, int size);
// The language code of a language file, the two letters before ".LNG", upper-cased
// (a to z only). False when the name is too short to hold a stem, "_" and a code.
bool LanguageFileTag(const char* entryName, LanguageTag* tag);
// The language part of an installed entry: the text after the underscore that
// follows the stem's length (only the length counts), up to the first full stop.
// True, with the part's start and length, when the part is short enough (at
// most 4 bytes) to be looked up in the language list.
bool EntryLanguagePart(const char* entryName, size_t stemLength, const char** part, size_t* partLength);

enum class InstalledRole {
    kLicenseText,       // LICENSE.TXT: "License" shortcut
    kOrderForm,         // ORDER.HTM: "Order" shortcut
    kGermanOrderForm,   // BESTELL.HTM: "Bestellung" shortcut (with German ticked)
    kUninstaller,       // UnInst.exe: uninstall entry and "Uninstall" shortcut
    kSettings,          // *.INF: never installed
    kProgramCandidate,  // T*.EXE: the main program when none is named yet
    kOther,
};

// The role of an installed file by its file-name part (case ignored).
InstalledRole InstalledRoleOf(const char* fileName);
