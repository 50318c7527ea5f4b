#include "tools/solidsetup/build_files.h"

#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <map>
#include <sstream>

#include "archive/archive_format.h"
#include "platform/platform.h"
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

int64_t ModificationTime(const fs::path& path) {
#ifdef _WIN32
    struct _stat64 st;
    if (_wstat64(path.wstring().c_str(), &st) != 0) return 0;
#else
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return 0;
#endif
    return static_cast<int64_t>(st.st_mtime);
}

// One path component in the ANSI code page, or false when a character of it
// has no ANSI form.
bool ToAnsi(const fs::path& part, std::string* out) {
    std::u16string wide = part.u16string();
    std::vector<uint16_t> source(wide.begin(), wide.end());
    source.push_back(0);
    std::vector<char> ansi(wide.size() * 2 + 2);
    ConvertWideToAnsi(source.data(), -1, ansi.data(), static_cast<int>(ansi.size()));
    std::vector<uint16_t> back(wide.size() + 2);
    ConvertAnsiToWide(ansi.data(), -1, back.data(), static_cast<int>(back.size()));
    back.resize(wide.size() + 1);
    if (back != source) return false;
    *out = ansi.data();
    return true;
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

std::string FileNamePart(const std::string& name) {
    size_t slash = name.rfind('\\');
    return slash == std::string::npos ? name : name.substr(slash + 1);
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
        if (entry.is_directory(ec)) {
            // Links to folders are not followed: say so rather than leave their files out quietly.
            if (entry.is_symlink(ec)) warnings->push_back("skipped '" + relative.string() + "': a link to a folder");
            continue;
        }
        if (!entry.is_regular_file(ec)) {
            warnings->push_back("skipped '" + relative.string() + "': not a regular file");
            continue;
        }
        ProductFile file;
        file.path = entry.path();
        for (const fs::path& part : relative) {
            std::string ansi;
            if (!ToAnsi(part, &ansi)) {
                *error = "'" + relative.string() +
                         "': the name has characters that the Windows ANSI code page cannot hold";
                return false;
            }
            if (!file.name.empty()) file.name += '\\';
            file.name += ansi;
        }
        std::string problem = CheckArchiveName(file.name);
        if (!problem.empty()) {
            *error = "'" + relative.string() + "': " + problem;
            return false;
        }
        file.size = entry.file_size(ec);
        if (ec) {
            *error = "cannot read '" + entry.path().string() + "': " + ec.message();
            return false;
        }
        file.dosTime = UnixTimeToDosTime(ModificationTime(entry.path()));
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

bool LeaveOutFile(const fs::path& path, std::vector<ProductFile>* files) {
    std::error_code ec;
    fs::path target = fs::weakly_canonical(path, ec);
    if (ec) return false;
    for (size_t i = 0; i < files->size(); ++i) {
        fs::path candidate = fs::weakly_canonical((*files)[i].path, ec);
        if (!ec && candidate == target) {
            files->erase(files->begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
    }
    return false;
}

bool CheckNameClashes(const std::vector<ProductFile>& files, std::vector<std::string>* warnings, std::string* error) {
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
    std::vector<std::pair<std::string, const ProductFile*>> byFileName;
    for (const ProductFile& f : files) byFileName.push_back({FileNamePart(f.name), &f});
    std::stable_sort(byFileName.begin(), byFileName.end(),
                     [&](const auto& a, const auto& b) { return noCaseLess(a.first, b.first); });
    for (size_t i = 1; i < byFileName.size(); ++i) {
        if (EqualNoCase(byFileName[i - 1].first, byFileName[i].first)) {
            warnings->push_back("'" + byFileName[i - 1].second->name + "' and '" + byFileName[i].second->name +
                                "' have the same file name: setup installs every file into one folder, so the later "
                                "one replaces the earlier one");
        }
    }
    return true;
}
