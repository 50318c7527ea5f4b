#include "tools/solidsetup/build_files.h"

#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <cerrno>
#include <map>
#include <sstream>

#include "archive/archive_format.h"
#include "platform/platform.h"
#include "tools/solidsetup/display_text.h"
#include "tools/solidsetup/name_encoding.h"
#include "util/file_names.h"

namespace fs = std::filesystem;

namespace {

const size_t kMaxNameBytes = 259;

bool IsReadOnly(const fs::path& path) {
#ifdef _WIN32
    DWORD attributes = GetFileAttributesW(path.wstring().c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
#else
    uint32_t attributes = 0;
    return GetPathAttributes(path.c_str(), &attributes) && (attributes & 0x01) != 0;
#endif
}

// The file's size and last-write time (seconds since 1970, UTC), from one
// stat call with 64-bit fields. std::filesystem is not used for this: the
// 32-bit Linux C++ library asks the system with a 32-bit time and fails on
// files dated after January 2038.
bool SizeAndModificationTime(const fs::path& path, uint64_t* size, int64_t* time, std::error_code* ec) {
#ifdef _WIN32
    struct _stat64 st;
    int failed = _wstat64(path.wstring().c_str(), &st);
#else
    struct stat st;
    int failed = stat(path.c_str(), &st);
#endif
    if (failed != 0) {
        *ec = std::error_code(errno, std::generic_category());
        return false;
    }
    *size = static_cast<uint64_t>(st.st_size);
    *time = static_cast<int64_t>(st.st_mtime);
    return true;
}

// One path component in the archive's code page, or false when a character
// of it has no form there.
bool ToAnsi(const fs::path& part, std::string* out) {
#ifndef _WIN32
    return LocalNameToArchive(part.native(), out);
#else
    std::u16string wide = part.u16string();
    std::vector<uint16_t> source(wide.begin(), wide.end());
    source.push_back(0);
    std::vector<char> ansi(wide.size() * 2 + 2);
    ConvertWideToAnsi(source.data(), -1, ansi.data(), static_cast<int>(ansi.size()));
    std::vector<uint16_t> back(wide.size() + 2);
    ConvertAnsiToWide(ansi.data(), -1, back.data(), static_cast<int>(back.size()));
    back.resize(wide.size() + 1);
    if (back != source) return false;
    return LocalNameToArchive(ansi.data(), out);
#endif
}

bool EqualNoCase(const std::string& a, const std::string& b) { return CompareNoCase(a.c_str(), b.c_str()) == 0; }

bool EndsWithNoCase(const std::string& name, const char* suffix) {
    size_t n = std::char_traits<char>::length(suffix);
    return name.size() >= n && CompareNoCase(name.c_str() + name.size() - n, suffix) == 0;
}

int OrderGroup(const std::string& name) {
    if (EqualNoCase(name, "FILE_ID.DIZ")) return 0;
    if (EqualNoCase(name, "INSTALL.INF")) return 1;
    if (EndsWithNoCase(name, ".LNG")) return 2;
    return 3;
}

}  // namespace

std::string CheckArchiveName(const std::string& name) {
    if (name.empty()) return "the name is empty";
    if (name.size() > kMaxNameBytes) {
        return "the name is " + std::to_string(name.size()) + " bytes long; at most " + std::to_string(kMaxNameBytes) +
               " fit";
    }
    // Split at "\", stepping over double-byte characters (whose second byte
    // may look like a separator).
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (IsLeadByte(c) && i + 1 < name.size()) {
            parts.back() += name.substr(i, 2);
            ++i;
            continue;
        }
        if (c == '\\') {
            parts.emplace_back();
            continue;
        }
        if (c < 0x20 || std::string("<>:\"/|?*").find(static_cast<char>(c)) != std::string::npos) {
            return "it contains a character that Windows does not allow in file names";
        }
        parts.back() += static_cast<char>(c);
    }
    for (const std::string& part : parts) {
        if (part.empty()) return "the name has an empty folder name";
        if (part.back() == ' ' || part.back() == '.') return "'" + part + "' ends with a blank or a full stop";
        if (IsReservedDeviceName(part.c_str())) return "'" + part + "' is a reserved device name on Windows";
    }
    return std::string();
}

bool CollectProductFiles(const fs::path& folder, std::vector<ProductFile>* files, std::vector<std::string>* warnings,
                         std::string* error) {
    std::error_code ec;
    fs::path canonicalFolder = fs::weakly_canonical(folder, ec);
    if (!fs::is_directory(folder, ec)) {
        *error = "'" + folder.string() + "' is not a folder";
        return false;
    }
    fs::recursive_directory_iterator it(folder, fs::directory_options::none, ec);
    if (ec) {
        *error = "cannot read the folder '" + folder.string() + "': " + ec.message();
        return false;
    }
    for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) {
            *error = "cannot read the folder '" + folder.string() + "': " + ec.message();
            return false;
        }
        const fs::directory_entry& entry = *it;
        fs::path relative = entry.path().lexically_relative(folder);
        const std::string shown = EscapeControls(relative.string());
        if (entry.is_directory(ec)) {
            // Links to folders are not followed: say so rather than leave their files out quietly.
            if (entry.is_symlink(ec)) warnings->push_back("skipped '" + shown + "': a link to a folder");
            continue;
        }
        if (!entry.is_regular_file(ec)) {
            warnings->push_back("skipped '" + shown + "': not a regular file");
            continue;
        }
        if (entry.is_symlink(ec)) {
            // A link is packed as the file it points to; one that leads out of
            // the folder may well pack something the publisher did not mean to ship.
            fs::path target = fs::weakly_canonical(entry.path(), ec);
            fs::path inside = target.lexically_relative(canonicalFolder);
            if (!ec && (inside.empty() || *inside.begin() == "..")) {
                warnings->push_back("'" + shown + "' is a link to '" + EscapeControls(target.string()) +
                                    "', outside the product folder; that file is packed");
            }
        }
        ProductFile file;
        file.path = entry.path();
        for (const fs::path& part : relative) {
            std::string ansi;
            if (!ToAnsi(part, &ansi)) {
                *error = "'" + shown + "': the name has characters that code page " +
                         std::to_string(ArchiveCodePage()) + " cannot hold (--codepage chooses another)";
                return false;
            }
            if (!file.name.empty()) file.name += '\\';
            file.name += ansi;
        }
        std::string problem = CheckArchiveName(file.name);
        if (!problem.empty()) {
            *error = "'" + shown + "': " + problem;
            return false;
        }
        int64_t modified = 0;
        if (!SizeAndModificationTime(entry.path(), &file.size, &modified, &ec)) {
            *error = "cannot read '" + EscapeControls(entry.path().string()) + "': " + ec.message();
            return false;
        }
        file.dosTime = UnixTimeToDosTime(modified);
        file.attributes = kAttributeArchive;
        if (IsReadOnly(entry.path())) file.attributes |= kAttributeReadOnly;
        files->push_back(std::move(file));
    }
    return true;
}

void SortProductFiles(std::vector<ProductFile>* files) {
    std::stable_sort(files->begin(), files->end(), [](const ProductFile& a, const ProductFile& b) {
        int ga = OrderGroup(a.name);
        int gb = OrderGroup(b.name);
        if (ga != gb) return ga < gb;
        int c = CompareNoCase(a.name.c_str(), b.name.c_str());
        if (c != 0) return c < 0;
        return a.name < b.name;
    });
}

bool ApplyOrderList(const std::string& listText, std::vector<ProductFile>* files, std::string* error) {
    std::vector<ProductFile> ordered;
    std::vector<bool> taken(files->size(), false);
    std::istringstream lines(listText);
    std::string line;
    int lineNumber = 0;
    while (std::getline(lines, line)) {
        ++lineNumber;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::string name = line.substr(first);
        std::replace(name.begin(), name.end(), '/', '\\');
        bool found = false;
        for (size_t i = 0; i < files->size(); ++i) {
            if (!EqualNoCase((*files)[i].name, name)) continue;
            if (taken[i]) {
                *error = "order list line " + std::to_string(lineNumber) + ": '" + name + "' is listed twice";
                return false;
            }
            taken[i] = true;
            ordered.push_back((*files)[i]);
            found = true;
            break;
        }
        if (!found) {
            *error = "order list line " + std::to_string(lineNumber) + ": '" + name + "' is not in the product folder";
            return false;
        }
    }
    for (size_t i = 0; i < files->size(); ++i) {
        if (!taken[i]) ordered.push_back((*files)[i]);
    }
    files->swap(ordered);
    return true;
}

bool CheckNameClashes(const std::vector<ProductFile>& files, std::string* error) {
    // Sorting copies by name ignoring case puts clashing names side by side.
    std::vector<const ProductFile*> byName;
    for (const ProductFile& f : files) byName.push_back(&f);
    auto noCaseLess = [](const std::string& a, const std::string& b) {
        return CompareNoCase(a.c_str(), b.c_str()) < 0;
    };
    std::stable_sort(byName.begin(), byName.end(),
                     [&](const ProductFile* a, const ProductFile* b) { return noCaseLess(a->name, b->name); });
    for (size_t i = 1; i < byName.size(); ++i) {
        if (EqualNoCase(byName[i - 1]->name, byName[i]->name)) {
            *error = "'" + byName[i - 1]->name + "' and '" + byName[i]->name +
                     "' differ only in case; Windows cannot hold both in one folder";
            return false;
        }
    }
    return true;
}
