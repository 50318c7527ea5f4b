#include "tools/solidsetup/entry_names.h"

#include <cstring>

#include "platform/platform.h"

namespace {

// Names that Windows maps to devices in every folder, with any extension.
const char* const kDeviceNames[] = {"CON",  "PRN",  "AUX",  "NUL",  "CONIN$", "CONOUT$", "COM1", "COM2",
                                    "COM3", "COM4", "COM5", "COM6", "COM7",   "COM8",    "COM9", "LPT1",
                                    "LPT2", "LPT3", "LPT4", "LPT5", "LPT6",   "LPT7",    "LPT8", "LPT9"};

bool IsDeviceName(const std::string& component) {
    // The part before the first dot, without trailing spaces, decides.
    std::string stem = component.substr(0, component.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (const char* device : kDeviceNames) {
        if (CompareNoCase(stem.c_str(), device) == 0) return true;
    }
    // COM and LPT with a superscript digit are devices as well.
    if (stem.size() == 4) {
        unsigned char last = static_cast<unsigned char>(stem[3]);
        std::string prefix = stem.substr(0, 3);
        if ((last == 0xB9 || last == 0xB2 || last == 0xB3) &&
            (CompareNoCase(prefix.c_str(), "COM") == 0 || CompareNoCase(prefix.c_str(), "LPT") == 0)) {
            return true;
        }
    }
    return false;
}

std::string CheckComponent(const std::string& c) {
    if (c.empty()) return "it has an empty folder name (a doubled or trailing backslash)";
    if (c == "." || c == "..") return "it refers to a parent or current folder ('" + c + "')";
    // Windows drops trailing dots and spaces, which would turn "..." or ". ."
    // into another name than the one checked here.
    if (c.back() == '.' || c.back() == ' ') return "a name in it ends with a dot or a space";
    if (IsDeviceName(c)) return "it uses the reserved device name '" + c + "'";
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
