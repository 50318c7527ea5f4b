// The check both platform layers make before they create an output file.
#pragma once
#include <cstring>

#include "platform/platform.h"

// True when the path's last component is a name that Windows cannot hold as
// it stands: a control character or one of * ? " < > |, or a trailing dot or
// blank, which Windows would silently drop and so write another file.
// Double-byte characters of the ANSI code page are stepped over whole.
inline bool IsUncreatableFileName(const char* path) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(path);
    const unsigned char* name = p;
    for (const unsigned char* q = p; *q != 0; ++q) {
        if (IsLeadByte(*q) && q[1] != 0) {
            ++q;
        } else if (*q == '\\' || *q == '/') {
            name = q + 1;
        }
    }
    unsigned char last = 0;
    for (const unsigned char* q = name; *q != 0; ++q) {
        if (IsLeadByte(*q) && q[1] != 0) {
            ++q;
            last = 'x';
            continue;
        }
        if (*q < 32 || std::strchr("*?\"<>|", *q) != nullptr) return true;
        last = *q;
    }
    return last == '.' || last == ' ';
}
