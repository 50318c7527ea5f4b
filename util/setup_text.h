// The text files a setup archive carries, parsed without any window: the title
// line of FILE_ID.DIZ, the key=value settings of INSTALL.INF, and the display
// name of a language file (ANSI or UTF-16).
#pragma once
#include <cstdint>

// First line "Name Version 1.0 [note]": title (128 bytes) and version (32 bytes),
// both empty when the line is empty or starts with "(" or "[".
void ParseTitleLine(const char* contents, char* title, char* version);
// The value after the first occurrence of key, when "=" follows it right
// away; cut at CR, then LF. Otherwise the field is left as it is.
void ReadKeyValue(const char* contents, const char* key, char* field, int size);
// The language's display name (260 bytes) from a language file of size bytes:
// empty when the file does not begin with "[" or names no language.
void ParseLanguageName(const uint8_t* contents, uint32_t size, char* name);
// The first occurrence of needle in text, never starting on a trail byte.
const char* FindTextMultibyte(const char* text, const char* needle);
