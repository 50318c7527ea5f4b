#include "frontend/ui_strings.h"

#include <cstring>

#include "platform/platform.h"
#include "util/bounded_string.h"

// Texts are Windows-1252: \xE4 is a-umlaut, \xE8 is e-grave.
const UiStringTable kEnglishStrings[] = {
    {0, "US"},
    {1000, "Setup"},
    {99, "&OK"},
    {2, "Cancel"},
    {1010, "Language"},
    {1031, "Destination folder"},
    {1041, "Put entry to Start Menu"},
    {1042, "Create a Desktop icon"},
    {1043, "Create a Quick Launch icon"},
    {2001, "English"},
    {2002, "German"},
    {3001, "Broken file, please download again."},
    {3000, " has been successfully installed."},
    {136, "Select &all"},
    {137, "&Deselect all"},
    {138, "&Invert selection"},
    {0, nullptr},
};

const UiStringTable kGermanStrings[] = {
    {0, "DE"},
    {1000, "Installation"},
    {99, "&OK"},
    {2, "Abbruch"},
    {1010, "Sprache"},
    {1031, "Zielpfad:"},
    {1041, "Programmgruppe erstellen"},
    {1042, "Desktop-Symbol anlegen"},
    {1043, "Symbol in der Schnellstartleiste anlegen"},
    {2001, "Englisch"},
    {2002, "Deutsch"},
    {3001, "Die Datei ist besch\xE4" "digt, bitte nochmal herunterladen!"},
    {3000, " wurde erfolgreich installiert."},
    {136, "Alles &markieren"},
    {137, "Markierung &aufheben"},
    {138, "Markierung &umkehren"},
    {0, nullptr},
};

const UiStringTable kItalianStrings[] = {
    {0, "IT"},
    {1000, "Installazione"},
    {99, "&OK"},
    {2, "Annulla"},
    {1010, "Lingua"},
    {1031, "Destinazione"},
    {1041, "Aggiungi collegamento nel menu Programmi"},
    {1042, "Aggiungi collegamento sul desktop"},
    {1043, "Aggiungi collegamento sulla barra di Avvio veloce"},
    {2001, "English"},
    {2002, "German"},
    {3001, "File danneggiato, esegui di nuovo il download."},
    {3000, " \xE8 stato installato correttamente."},
    {136, "Seleziona tutto"},
    {137, "Deseleziona tutto"},
    {138, "Inverti selezione"},
    {0, nullptr},
};

const UiStringTable* const kUiStringTables[] = {kEnglishStrings, kGermanStrings, kItalianStrings, nullptr};

const unsigned short DialogTextIds[] = {1000, 99, 2, 1031, 1041, 1042, 1043, 0};

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
