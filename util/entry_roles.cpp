#include "util/entry_roles.h"

#include <cstring>

#include "platform/platform.h"
#include "util/bounded_string.h"

namespace {

int Length(const char* text) {
    return static_cast<int>(std::strlen(text));
}

// True when the name's last four characters are the extension, ignoring case.
bool HasExtension(const char* name, int length, const char* extension) {
    return length >= 4 && CompareNoCase(name + length - 4, extension) == 0;
}

// True when the name is longer than the suffix and ends with it, ignoring case.
bool EndsWithLonger(const char* text, int length, const char* suffix) {
    int suffixLength = Length(suffix);
    return length > suffixLength && CompareNoCase(text + length - suffixLength, suffix) == 0;
}

char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

uint8_t SurveyAnswerForName(const char* name) {
    int length = Length(name);
    if (length <= 4) return kSurveyOtherEntry;
    if (CompareNoCase(name, "FILE_ID.DIZ") == 0) return kSurveyTitleFile;
    if (HasExtension(name, length, ".INF")) return kSurveySettingsFile;
    if (HasExtension(name, length, ".LNG")) return kSurveyLanguageFile;
    return kSurveyOtherEntry;
}

void NoteLanguageStem(const char* entryName, char* stem, int size) {
    if (stem[0] != 0) return;
    AppendBounded(entryName + FileNameOffset(entryName), stem, size);
    int length = Length(stem);
    if (length > kLanguageSuffixLength) stem[length - kLanguageSuffixLength] = 0;
}

bool LanguageFileTag(const char* entryName, LanguageTag* tag) {
    int length = Length(entryName);
    if (length < kLanguageSuffixLength) return false;
    *tag = MakeLanguageTag(UpperAscii(entryName[length - 6]), UpperAscii(entryName[length - 5]));
    return true;
}

bool EntryLanguagePart(const char* entryName, size_t stemLength, const char** part, size_t* partLength) {
    const char* rest = std::strchr(entryName, '\\');
    rest = rest != nullptr ? rest + 1 : entryName;
    if (std::strlen(rest) <= stemLength || rest[stemLength] != '_') return false;
    *part = rest + stemLength + 1;
    const char* stop = std::strchr(*part, '.');
    *partLength = stop != nullptr ? static_cast<size_t>(stop - *part) : std::strlen(*part);
    return *partLength < 5;
}

InstalledRole InstalledRoleOf(const char* fileName) {
    int length = Length(fileName);
    if (CompareNoCase(fileName, "LICENSE.TXT") == 0) return InstalledRole::kLicenseText;
    if (CompareNoCase(fileName, "ORDER.HTM") == 0) return InstalledRole::kOrderForm;
    if (CompareNoCase(fileName, "BESTELL.HTM") == 0) return InstalledRole::kGermanOrderForm;
    if (CompareNoCase(fileName, "UnInst.exe") == 0) return InstalledRole::kUninstaller;
    if (EndsWithLonger(fileName, length, ".INF")) return InstalledRole::kSettings;
    // The product's programs carry the TG prefix; the first one is the main program.
    if (EndsWithLonger(fileName, length, ".EXE") && (fileName[0] == 'T' || fileName[0] == 't')) {
        return InstalledRole::kProgramCandidate;
    }
    return InstalledRole::kOther;
}
