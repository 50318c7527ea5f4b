// Names from an archive or a product folder are untrusted text: before they
// reach a terminal, control characters (escape sequences, bell, CR, LF) are
// shown as escapes so that they cannot spoof or garble the output.
#pragma once
#include <cstdint>
#include <string>

// Text in the local encoding with every control character (C0, DEL and, in
// UTF-8, C1) and every byte that is not valid UTF-8 written as "\xHH"; a
// backslash that could start such an escape is shown as it stands.
std::string EscapeControls(const std::string& text);
// An archive name as the user reads it: converted from the archive's code
// page when it can be, then escaped.
std::string DisplayArchiveName(const std::string& stored);
// The same for a JSON string value, with the quotes: control characters as \uXXXX.
std::string JsonString(const std::string& text);
// "1 file", "2 files"; with thousands, "1,234 bytes".
std::string CountOf(uint64_t count, const char* noun, bool thousands = false);
// 1234567 as "1,234,567".
std::string WithThousands(uint64_t value);
// An archive name in the local encoding, unescaped (for JSON, which escapes
// by its own rules); a name that cannot be converted keeps its bytes.
std::string LocalArchiveName(const std::string& stored);
