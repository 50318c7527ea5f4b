#include "tools/solidsetup/entry_names.h"

#include <cstring>

#include "platform/platform.h"
#include "util/file_names.h"

namespace {

std::string CheckComponent(const std::string& c) {
    if (c.empty()) return "it has an empty folder name (a doubled or trailing backslash)";
    if (c == "." || c == "..") return "it refers to a parent or current folder ('" + c + "')";
    const char* reason = UnsafeFileNameReason(c.c_str());
    if (reason != nullptr) return std::string("'") + c + "': " + reason;
    return "";
}

}  // namespace

std::string CheckEntryName(const char* name, std::vector<std::string>* components) {
    components->clear();
    if (name == nullptr || name[0] == 0) return "its name is empty";
    if (name[0] == '\\' || name[0] == '/') return "it is an absolute path";
    if (std::strlen(name) >= 2 && name[1] == ':') return "it starts with a drive letter";
    std::string current;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(name);
    while (*p != 0) {
        unsigned char c = *p;
        if (IsLeadByte(c) && p[1] != 0) {
            current.push_back(static_cast<char>(c));
            current.push_back(static_cast<char>(p[1]));
            p += 2;
            continue;
        }
        if (c < 32) return "it contains a control character";
        if (c == ':') return "it contains a colon (a drive or an alternate data stream)";
        if (std::strchr("*?\"<>|", c) != nullptr) return "it contains a character that file names cannot hold";
        if (c == '\\' || c == '/') {
            std::string reason = CheckComponent(current);
            if (!reason.empty()) return reason;
            components->push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(c));
        }
        ++p;
    }
    std::string reason = CheckComponent(current);
    if (!reason.empty()) return reason;
    components->push_back(current);
    return "";
}
