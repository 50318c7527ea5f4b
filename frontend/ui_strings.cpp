#include "frontend/ui_strings.h"

#include <cstring>

#include "platform/platform.h"
#include "resources/setup_ids.h"
#include "util/bounded_string.h"

// Texts are Windows-1252: \xE4 is a-umlaut, \xE8 is e-grave.
const UiStringTable kEnglishStrings[] = {
    {0, "US"},
    {kSetupDialogId, "Setup"},
    {kOkButtonId, "&OK"},
    {kCancelButtonId, "Cancel"},
    {kLanguageListId, "Language"},
    {kDestinationLabelId, "Destination folder"},
    {kStartMenuBoxId, "Put entry to Start Menu"},
    {kDesktopBoxId, "Create a Desktop icon"},
    {kQuickLaunchBoxId, "Create a Quick Launch icon"},
    {kEnglishTextId, "English"},
    {kGermanTextId, "German"},
    {kBrokenFileTextId, "Broken file, please download again."},
    {kSuccessTextId, " has been successfully installed."},
    {kTickAllCommand, "Select &all"},
    {kClearAllCommand, "&Deselect all"},
    {kInvertTicksCommand, "&Invert selection"},
    {0, nullptr},
};

const UiStringTable kGermanStrings[] = {
    {0, "DE"},
    {kSetupDialogId, "Installation"},
    {kOkButtonId, "&OK"},
    {kCancelButtonId, "Abbruch"},
    {kLanguageListId, "Sprache"},
    {kDestinationLabelId, "Zielpfad:"},
    {kStartMenuBoxId, "Programmgruppe erstellen"},
    {kDesktopBoxId, "Desktop-Symbol anlegen"},
    {kQuickLaunchBoxId, "Symbol in der Schnellstartleiste anlegen"},
    {kEnglishTextId, "Englisch"},
    {kGermanTextId, "Deutsch"},
    {kBrokenFileTextId, "Die Datei ist besch\xE4" "digt, bitte nochmal herunterladen!"},
    {kSuccessTextId, " wurde erfolgreich installiert."},
    {kTickAllCommand, "Alles &markieren"},
    {kClearAllCommand, "Markierung &aufheben"},
    {kInvertTicksCommand, "Markierung &umkehren"},
    {0, nullptr},
};

const UiStringTable kItalianStrings[] = {
    {0, "IT"},
    {kSetupDialogId, "Installazione"},
    {kOkButtonId, "&OK"},
    {kCancelButtonId, "Annulla"},
    {kLanguageListId, "Lingua"},
    {kDestinationLabelId, "Destinazione"},
    {kStartMenuBoxId, "Aggiungi collegamento nel menu Programmi"},
    {kDesktopBoxId, "Aggiungi collegamento sul desktop"},
    {kQuickLaunchBoxId, "Aggiungi collegamento sulla barra di Avvio veloce"},
    {kEnglishTextId, "English"},
    {kGermanTextId, "German"},
    {kBrokenFileTextId, "File danneggiato, esegui di nuovo il download."},
    {kSuccessTextId, " \xE8 stato installato correttamente."},
    {kTickAllCommand, "Seleziona tutto"},
    {kClearAllCommand, "Deseleziona tutto"},
    {kInvertTicksCommand, "Inverti selezione"},
    {0, nullptr},
};

const UiStringTable* const kUiStringTables[] = {kEnglishStrings, kGermanStrings, kItalianStrings, nullptr};

const unsigned short DialogTextIds[] = {kSetupDialogId,  kOkButtonId,   kCancelButtonId,   kDestinationLabelId,
                                        kStartMenuBoxId, kDesktopBoxId, kQuickLaunchBoxId, 0};

namespace {

const unsigned short kWideTableFlag = 0xFFFF;

// The table's own language code, converted when the table holds UTF-16 texts.
void TableCode(const UiStringTable* table, char* code, int size) {
    if (table[0].id == kWideTableFlag) {
        WideToNarrow(static_cast<const uint16_t*>(table[0].text), code, size);
    } else {
        CopyBounded(static_cast<const char*>(table[0].text), code, size);
    }
}

}  // namespace

void LanguageCodeForId(unsigned short languageId, char* code) {
    // The whole identifier counts: only the listed German and Italian
    // variants select those tables.
    const char* result = "US";
    switch (languageId) {
        case 0x0407: case 0x0807: case 0x0C07: case 0x1007: case 0x1407:
            result = "DE";
            break;
        case 0x0410: case 0x0810:
            result = "IT";
            break;
        default:
            break;
    }
    code[0] = result[0];
    code[1] = result[1];
    code[2] = 0;
}

void DetectSystemLanguage(char* code) {
    LanguageCodeForId(GetSystemDefaultLangID(), code);
}

void SelectDefaultLanguage() {
    SetupState* state = gSetupState;
    if (state == nullptr) return;
    state->uiStrings = kUiStringTables[0];
    if (state->languageCode[0] == 0) DetectSystemLanguage(state->languageCode);
    for (int i = 0; kUiStringTables[i] != nullptr; ++i) {
        char code[8];
        TableCode(kUiStringTables[i], code, sizeof code);
        if (CompareNoCase(state->languageCode, code) == 0) {
            state->uiStrings = kUiStringTables[i];
            break;
        }
    }
}

void LookupUiString(const UiStringTable* table, unsigned short id, char* buffer, unsigned int size) {
    // A buffer of no size cannot even hold the terminator: leave it untouched.
    if (buffer == nullptr || size == 0) return;
    buffer[0] = 0;
    if (table == nullptr) return;
    bool wide = table[0].id == kWideTableFlag;
    int n = static_cast<int>(size - 1);

    const UiStringEntry* entry = table + 1;
    while (entry->id != id && entry->id != 0) ++entry;
    if (entry->text == nullptr) return;

    if (wide) {
        WideToNarrow(static_cast<const uint16_t*>(entry->text), buffer, n);
    } else {
        CopyBounded(static_cast<const char*>(entry->text), buffer, n);
    }
    buffer[n] = 0;
    ExpandTabEscapes(buffer);
}

void ExpandTabEscapes(char* text) {
    if (text == nullptr) return;
    int i = 0;
    while (text[i] != 0) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(c) && text[i + 1] != 0) {
            i += 2;  // a trail byte may equal the backslash; it is not one
            continue;
        }
        if (c == '\\' && text[i + 1] == 't') {
            text[i] = '\t';
            std::memmove(text + i + 1, text + i + 2, std::strlen(text + i + 2) + 1);
        }
        ++i;
    }
}

void ApplyDialogTexts(HWND window, const UiStringTable* table, const unsigned short* ids) {
    if (ids == nullptr || table == nullptr) return;
    char text[512];
    if (ids[0] != 0) {
        LookupUiString(table, ids[0], text, 511);
        SetWindowTextA(window, text);
    }
    for (int i = 1; ids[i] != 0; ++i) {
        LookupUiString(table, ids[i], text, 511);
        SetDlgItemTextA(window, ids[i], text);
    }
}
