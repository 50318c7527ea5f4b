// The built-in UI texts, the choice of table and the lookup rules.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frontend/setup_state.h"
#include "frontend/ui_strings.h"
#include "tests/win/frontend_fixture.h"

namespace {

struct ExpectedText {
    unsigned short id;
    const char* english;
    const char* german;
    const char* italian;
};

// Every text as the product shows it, Windows-1252 bytes (\xE4 a-umlaut, \xE8 e-grave).
const ExpectedText kExpected[] = {
    {1000, "Setup", "Installation", "Installazione"},
    {99, "&OK", "&OK", "&OK"},
    {2, "Cancel", "Abbruch", "Annulla"},
    {1010, "Language", "Sprache", "Lingua"},
    {1031, "Destination folder", "Zielpfad:", "Destinazione"},
    {1041, "Put entry to Start Menu", "Programmgruppe erstellen", "Aggiungi collegamento nel menu Programmi"},
    {1042, "Create a Desktop icon", "Desktop-Symbol anlegen", "Aggiungi collegamento sul desktop"},
    {1043, "Create a Quick Launch icon", "Symbol in der Schnellstartleiste anlegen",
     "Aggiungi collegamento sulla barra di Avvio veloce"},
    {2001, "English", "Englisch", "English"},
    {2002, "German", "Deutsch", "German"},
    {3001, "Broken file, please download again.", "Die Datei ist besch\xE4" "digt, bitte nochmal herunterladen!",
     "File danneggiato, esegui di nuovo il download."},
    {3000, " has been successfully installed.", " wurde erfolgreich installiert.",
     " \xE8 stato installato correttamente."},
    {136, "Select &all", "Alles &markieren", "Seleziona tutto"},
    {137, "&Deselect all", "Markierung &aufheben", "Deseleziona tutto"},
    {138, "&Invert selection", "Markierung &umkehren", "Inverti selezione"},
};

std::string Lookup(const UiStringTable* table, unsigned short id, unsigned int size = 512) {
    char buffer[512];
    std::memset(buffer, 'x', sizeof buffer);
    LookupUiString(table, id, buffer, size);
    return buffer;
}

int EntryCount(const UiStringTable* table) {
    int n = 0;
    while (table[n + 1].id != 0) ++n;
    return n;
}

TEST(UiStringTables, EveryTextMatchesByteForByte) {
    for (const ExpectedText& e : kExpected) {
        EXPECT_EQ(Lookup(kEnglishStrings, e.id), e.english) << "id " << e.id;
        EXPECT_EQ(Lookup(kGermanStrings, e.id), e.german) << "id " << e.id;
        EXPECT_EQ(Lookup(kItalianStrings, e.id), e.italian) << "id " << e.id;
    }
    const int expectedCount = sizeof kExpected / sizeof kExpected[0];
    EXPECT_EQ(EntryCount(kEnglishStrings), expectedCount);
    EXPECT_EQ(EntryCount(kGermanStrings), expectedCount);
    EXPECT_EQ(EntryCount(kItalianStrings), expectedCount);
}

TEST(UiStringTables, HeadersListAndDialogIds) {
    EXPECT_STREQ(static_cast<const char*>(kEnglishStrings[0].text), "US");
    EXPECT_STREQ(static_cast<const char*>(kGermanStrings[0].text), "DE");
    EXPECT_STREQ(static_cast<const char*>(kItalianStrings[0].text), "IT");
    EXPECT_EQ(kEnglishStrings[0].id, 0);
    EXPECT_EQ(kUiStringTables[0], kEnglishStrings);
    EXPECT_EQ(kUiStringTables[1], kGermanStrings);
    EXPECT_EQ(kUiStringTables[2], kItalianStrings);
    EXPECT_EQ(kUiStringTables[3], nullptr);
    const unsigned short ids[] = {1000, 99, 2, 1031, 1041, 1042, 1043, 0};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(DialogTextIds[i], ids[i]) << i;
}

TEST(LanguageDetection, WholeIdentifierSelectsCode) {
    struct Case {
        unsigned short id;
        const char* code;
    } cases[] = {
        {0x0407, "DE"}, {0x0807, "DE"}, {0x0C07, "DE"}, {0x1007, "DE"}, {0x1407, "DE"},
        {0x0410, "IT"}, {0x0810, "IT"},
        // Same primary language, unlisted sub-language: no match without masking.
        {0x1807, "US"}, {0x0C10, "US"}, {0x0007, "US"}, {0x0010, "US"},
        {0x0409, "US"}, {0x0809, "US"}, {0x040C, "US"}, {0x0C0A, "US"}, {0x0411, "US"}, {0, "US"}, {0xFFFF, "US"},
    };
    for (const Case& c : cases) {
        char code[4] = "zzz";
        LanguageCodeForId(c.id, code);
        EXPECT_STREQ(code, c.code) << std::hex << c.id;
    }
    char system[4] = "", expected[4] = "";
    DetectSystemLanguage(system);
    LanguageCodeForId(GetSystemDefaultLangID(), expected);
    EXPECT_STREQ(system, expected);
}

TEST(LanguageSelection, CodeChoosesTableIgnoringCase) {
    SetupState state = {};
    gSetupState = &state;
    struct Case {
        const char* code;
        const UiStringTable* table;
    } cases[] = {{"de", kGermanStrings}, {"IT", kItalianStrings}, {"US", kEnglishStrings}, {"FR", kEnglishStrings}};
    for (const Case& c : cases) {
        state = SetupState();
        std::strcpy(state.languageCode, c.code);
        SelectDefaultLanguage();
        EXPECT_EQ(state.uiStrings, c.table) << c.code;
        EXPECT_STREQ(state.languageCode, c.code);
    }
    // An empty code is filled from the system's language.
    state = SetupState();
    SelectDefaultLanguage();
    char system[4] = "";
    DetectSystemLanguage(system);
    EXPECT_STREQ(state.languageCode, system);
    EXPECT_NE(state.uiStrings, nullptr);
    gSetupState = nullptr;
}

TEST(UiStringLookup, MissingIdsNullTableAndBounds) {
    EXPECT_EQ(Lookup(kEnglishStrings, 0), "");
    EXPECT_EQ(Lookup(kEnglishStrings, 5000), "");
    EXPECT_EQ(Lookup(nullptr, 1000), "");
    // At most size - 2 bytes of text.
    EXPECT_EQ(Lookup(kEnglishStrings, 1043, 10), "Create a");
    EXPECT_EQ(Lookup(kEnglishStrings, 99, 3), "&");
    EXPECT_EQ(Lookup(kEnglishStrings, 99, 2), "");
    EXPECT_EQ(Lookup(kEnglishStrings, 99, 1), "");
    // Size 0: the buffer has no room even for a terminator and is left alone.
    char untouched[4] = "abc";
    LookupUiString(kEnglishStrings, 1000, untouched, 0);
    EXPECT_STREQ(untouched, "abc");
    // Size 63 returns at most 61 bytes and never writes past index 62.
    static const UiStringTable longTable[] = {
        {0, "US"},
        {7, "0123456789012345678901234567890123456789012345678901234567890123456789"},
        {0, nullptr},
    };
    char buffer[80];
    std::memset(buffer, 'x', sizeof buffer);
    LookupUiString(longTable, 7, buffer, 63);
    EXPECT_EQ(std::strlen(buffer), 61u);
    EXPECT_EQ(buffer[63], 'x');
}

TEST(UiStringLookup, WideTablesAreConverted) {
    static const uint16_t header[] = {'F', 'R', 0};
    static const uint16_t caption[] = {'I', 'n', 's', 't', 'a', 'l', 'l', 0xE9, 0};  // e-acute
    static const uint16_t tabbed[] = {'a', '\\', 't', 'b', 0};
    static const UiStringTable wideTable[] = {{0xFFFF, header}, {1000, caption}, {5, tabbed}, {0, nullptr}};
    char expected[16] = "";
    WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(caption), -1, expected, sizeof expected, nullptr,
                        nullptr);
    EXPECT_EQ(Lookup(wideTable, 1000), expected);  // "Install\xE9" in code page 1252
    EXPECT_EQ(Lookup(wideTable, 1000, 5), "Ins");
    EXPECT_EQ(Lookup(wideTable, 5), "a\tb");
    EXPECT_EQ(Lookup(wideTable, 6), "");
}

TEST(UiStringLookup, TabEscapes) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"a\\tb", "a\tb"},   {"\\t\\t", "\t\t"}, {"end\\", "end\\"},  {"a\\Tb", "a\\Tb"},
        {"\\\\t", "\\\t"},   {"", ""},           {"no escape", "no escape"},
    };
    for (const Case& c : cases) {
        char text[32];
        std::strcpy(text, c.in);
        ExpandTabEscapes(text);
        EXPECT_STREQ(text, c.out) << c.in;
    }
    static const UiStringTable table[] = {{0, "US"}, {1, "a\\tb"}, {0, nullptr}};
    EXPECT_EQ(Lookup(table, 1), "a\tb");
}

TEST(UiStringLookup, TrailByteBackslashIsNotAnEscape) {
    // 0x81 0x5C is one Shift-JIS character whose second byte is a backslash.
    char text[8] = "\x81\\t";
    ExpandTabEscapes(text);
    if (GetACP() == 932) {
        EXPECT_STREQ(text, "\x81\\t");
    } else {
        EXPECT_STREQ(text, "\x81\t");  // single-byte code page: an ordinary escape
    }
}

class DialogTextsTest : public FrontendTest {};

TEST_F(DialogTextsTest, GermanAndEnglishTextsOnTheRealDialog) {
    EXPECT_EQ(Caption(), "Setup");
    EXPECT_EQ(Text(99), "&OK");
    EXPECT_EQ(Text(2), "Cancel");
    EXPECT_EQ(Text(1031), "Destination folder");
    EXPECT_EQ(Text(1043), "Create a Quick Launch icon");

    ApplyDialogTexts(dialog_, kGermanStrings, DialogTextIds);
    EXPECT_EQ(Caption(), "Installation");
    EXPECT_EQ(Text(99), "&OK");
    EXPECT_EQ(Text(2), "Abbruch");
    EXPECT_EQ(Text(1041), "Programmgruppe erstellen");
    EXPECT_EQ(Text(1042), "Desktop-Symbol anlegen");
    EXPECT_EQ(Text(1043), "Symbol in der Schnellstartleiste anlegen");
    EXPECT_EQ(Text(1033), "...");  // not in the list: keeps its resource text
}

TEST_F(DialogTextsTest, ListStartingWithZeroKeepsCaptionAndMissingIdsEmpty) {
    const unsigned short ids[] = {0, 2, 1033, 0};
    ApplyDialogTexts(dialog_, kItalianStrings, ids);
    EXPECT_EQ(Caption(), "Setup");
    EXPECT_EQ(Text(2), "Annulla");
    EXPECT_EQ(Text(1033), "");  // the table has no text 1033

    ApplyDialogTexts(dialog_, nullptr, DialogTextIds);
    ApplyDialogTexts(dialog_, kGermanStrings, nullptr);
    EXPECT_EQ(Caption(), "Setup");
    EXPECT_EQ(Text(2), "Annulla");
}

}  // namespace
