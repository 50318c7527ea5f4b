#include "tools/solidsetup/name_encoding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#include <langinfo.h>
#include <clocale>
#include <cstring>
#endif

#include <vector>

namespace {

// 0 until --codepage chooses one: then Windows' own ANSI code page, or 1252 elsewhere.
int gCodePage = 0;

int CodePage() {
#ifdef _WIN32
    return gCodePage != 0 ? gCodePage : static_cast<int>(GetACP());
#else
    return gCodePage != 0 ? gCodePage : kDefaultArchiveCodePage;
#endif
}

#ifndef _WIN32

std::string CodePageName(int codePage) {
    return "CP" + std::to_string(codePage);
}

// The locale's encoding; the plain C locale is taken as UTF-8, as names
// outside ASCII could not be shown or written at all otherwise.
std::string LocalEncoding() {
    const char* codeset = nl_langinfo(CODESET);
    if (codeset == nullptr || codeset[0] == 0 || std::strcmp(codeset, "ANSI_X3.4-1968") == 0 ||
        std::strcmp(codeset, "ASCII") == 0) {
        return "UTF-8";
    }
    return codeset;
}

bool Convert(const std::string& from, const std::string& to, const std::string& text, std::string* out) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::vector<char> buffer(text.size() * 4 + 16);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    if (result != static_cast<size_t>(-1)) result = iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    iconv_close(cd);
    // A character without an exact counterpart counts as a failure, not a
    // substitute: a name must come back as it went in.
    if (result != 0 || inLeft != 0) return false;
    out->assign(buffer.data(), buffer.size() - outLeft);
    return true;
}

bool IsAscii(const std::string& text) {
    for (unsigned char c : text) {
        if (c >= 0x80) return false;
    }
    return true;
}

#else

bool Convert(UINT from, UINT to, const std::string& text, std::string* out) {
    if (text.empty() || from == to) {
        *out = text;
        return true;
    }
    int wideLength = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
    if (wideLength <= 0) return false;
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
    MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), wide.data(), wideLength);
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(to, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, nullptr, 0, nullptr,
                                     &usedDefault);
    if (length <= 0 || usedDefault) return false;
    std::vector<char> narrow(static_cast<size_t>(length));
    WideCharToMultiByte(to, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, narrow.data(), length, nullptr,
                        &usedDefault);
    if (usedDefault) return false;
    out->assign(narrow.data(), narrow.size());
    return true;
}

#endif

}  // namespace

void UseEnvironmentLocale() {
#ifndef _WIN32
    std::setlocale(LC_CTYPE, "");
#endif
}

bool SetArchiveCodePage(int codePage) {
#ifdef _WIN32
    CPINFO info;
    if (!GetCPInfo(static_cast<UINT>(codePage), &info)) return false;
#else
    iconv_t cd = iconv_open("UTF-8", CodePageName(codePage).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv_close(cd);
#endif
    gCodePage = codePage;
    return true;
}

int ArchiveCodePage() {
    return CodePage();
}

bool ArchiveNameToLocal(const std::string& stored, std::string* local) {
#ifdef _WIN32
    return Convert(static_cast<UINT>(CodePage()), GetACP(), stored, local);
#else
    if (IsAscii(stored)) {
        *local = stored;
        return true;
    }
    return Convert(CodePageName(CodePage()), LocalEncoding(), stored, local);
#endif
}

bool LocalNameToArchive(const std::string& local, std::string* stored) {
#ifdef _WIN32
    return Convert(GetACP(), static_cast<UINT>(CodePage()), local, stored);
#else
    if (IsAscii(local)) {
        *stored = local;
        return true;
    }
    return Convert(LocalEncoding(), CodePageName(CodePage()), local, stored);
#endif
}
