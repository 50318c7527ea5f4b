#include "util/setup_command_line.h"

#include <cstring>

const char kSetupUsage[] =
    "Setup [/S] [/NOICONS] [/LANG=XX,YY] [/LOG=FILE] [/D=FOLDER]\n"
    "\n"
    "/S\tinstall without any window\n"
    "/NOICONS\tcreate no shortcuts\n"
    "/LANG=DE,FR\tinstall only these languages (US English, DE German, or the code of a language file)\n"
    "/LOG=FILE\tappend one line per installed file, record and shortcut, and the result\n"
    "/D=FOLDER\tinstall into FOLDER; must come last, blanks allowed\n"
    "\n"
    "Exit codes with /S: 0 installed, 1 bad command line, 2 damaged setup file, "
    "3 the destination could not be written.";

namespace {

const int kTokenSize = 300;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// True when text starts with the switch (upper case), ignoring case.
bool StartsWithSwitch(const char* text, const char* name) {
    for (; *name != 0; ++name, ++text) {
        if (Upper(*text) != *name) return false;
    }
    return true;
}

// Copies the next argument into token, dropping quotes (a quoted part may
// hold blanks). Returns the position after it, or null when it is too long
// or a quote is not closed.
const char* NextToken(const char* at, char* token) {
    int length = 0;
    bool quoted = false;
    for (; *at != 0 && (quoted || !IsBlank(*at)); ++at) {
        if (*at == '"') {
            quoted = !quoted;
            continue;
        }
        if (length == kTokenSize - 1) return nullptr;
        token[length++] = *at;
    }
    token[length] = 0;
    return quoted ? nullptr : at;
}

bool IsLetter(char c) {
    c = Upper(c);
    return c >= 'A' && c <= 'Z';
}

const char* ParseLanguages(const char* list, SetupCommandLine* result) {
    if (*list == 0) return "/LANG= names no language";
    while (*list != 0) {
        if (!IsLetter(list[0]) || !IsLetter(list[1]) || (list[2] != 0 && list[2] != ',')) {
            return "/LANG= takes two-letter language codes separated by commas, such as /LANG=DE,FR";
        }
        char code[3] = {Upper(list[0]), Upper(list[1]), 0};
        bool known = false;
        for (int i = 0; i < result->languageCount; ++i) known = known || std::strcmp(result->languages[i], code) == 0;
        if (!known) {
            if (result->languageCount == kMaxCommandLineLanguages) return "/LANG= names too many languages";
            std::memcpy(result->languages[result->languageCount++], code, 3);
        }
        list += list[2] == ',' ? 3 : 2;
        if (list[-1] == ',' && *list == 0) return "/LANG= ends with a comma";
    }
    return nullptr;
}

// The destination: the rest of the line without surrounding blanks and an
// optional pair of quotes around it.
const char* ParseDestination(const char* rest, SetupCommandLine* result) {
    size_t length = std::strlen(rest);
    while (length > 0 && IsBlank(rest[length - 1])) --length;
    if (length >= 2 && rest[0] == '"' && rest[length - 1] == '"') {
        ++rest;
        length -= 2;
    }
    if (length == 0) return "/D= names no folder";
    if (length >= 258) return "the folder after /D= is too long";
    if (std::memchr(rest, '"', length) != nullptr) return "the folder after /D= contains a quote";
    std::memcpy(result->destination, rest, length);
    result->destination[length] = 0;
    return nullptr;
}

}  // namespace

const char* ParseSetupCommandLine(const char* arguments, SetupCommandLine* result) {
    std::memset(result, 0, sizeof *result);
    if (arguments == nullptr) return nullptr;
    const char* at = arguments;
    const char* problem = nullptr;
    char token[kTokenSize];
    // After a problem the rest is still read for /S, so that an unattended
    // call with a bad argument never opens a window.
    for (;;) {
        while (IsBlank(*at)) ++at;
        if (*at == 0) return problem;
        result->given = true;
        if (StartsWithSwitch(at, "/D=")) {
            const char* bad = ParseDestination(at + 3, result);
            return problem != nullptr ? problem : bad;
        }
        at = NextToken(at, token);
        if (at == nullptr) return problem != nullptr ? problem : "an argument is too long or its quote is not closed";
        const char* bad = nullptr;
        if (StartsWithSwitch(token, "/S") && token[2] == 0) {
            result->silent = true;
        } else if (StartsWithSwitch(token, "/NOICONS") && token[8] == 0) {
            result->noIcons = true;
        } else if (StartsWithSwitch(token, "/LANG=")) {
            bad = result->languageCount != 0 ? "/LANG= is given twice" : ParseLanguages(token + 6, result);
        } else if (StartsWithSwitch(token, "/LOG=")) {
            if (token[5] == 0) {
                bad = "/LOG= names no file";
            } else if (std::strlen(token + 5) >= sizeof result->logPath) {
                bad = "the file after /LOG= is too long";
            } else {
                std::strcpy(result->logPath, token + 5);
            }
        } else {
            bad = "unknown argument";
        }
        if (problem == nullptr) problem = bad;
    }
}
