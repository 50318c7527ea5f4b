#include "tools/solidsetup/build_uninstaller.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/platform.h"
#include "tools/solidsetup/build_stub.h"
#include "tools/solidsetup/output_file.h"
#include "util/bounded_string.h"
#include "util/file_names.h"
#include "util/setup_text.h"
#include "util/uninstall_data.h"

namespace fs = std::filesystem;

namespace {

const char kUninstallerEntry[] = "UnInst.exe";

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

bool EndsWith(const std::string& name, const char* suffix) {
    std::string s(suffix);
    return name.size() > s.size() && Upper(name.substr(name.size() - s.size())) == s;
}


}  // namespace

std::string DescribeInstallation(const std::vector<ProductFile>& files) {
    // The same fields the setup's survey fills, read in archive order.
    char productId[4] = "", group[32] = "", windowClass[32] = "", exeName[32] = "";
    for (const ProductFile& file : files) {
        if (file.name.size() <= 4) continue;
        if (CompareNoCase(file.name.c_str(), "FILE_ID.DIZ") == 0) {
            std::string text = ReadText(file.path);
            char title[128], version[32];
            ParseTitleLine(text.c_str(), title, version);
            // The group holds what fits of the title, cut as the setup's survey cuts it.
            if (group[0] == 0) AssignBounded(title, group, sizeof group);
        } else if (EndsWith(file.name, ".INF")) {
            std::string text = ReadText(file.path);
            ReadKeyValue(text.c_str(), "ID", productId, sizeof productId);
            ReadKeyValue(text.c_str(), "Group", group, sizeof group);
            ReadKeyValue(text.c_str(), "Class", windowClass, sizeof windowClass);
            ReadKeyValue(text.c_str(), "Exe", exeName, sizeof exeName);
        }
    }
    if (windowClass[0] == 0) std::snprintf(windowClass, sizeof windowClass, "%s", group);

    std::string text;
    text += std::string(kUninstallKeyProductId) + "=" + productId + "\r\n";
    text += std::string(kUninstallKeyGroup) + "=" + group + "\r\n";
    text += std::string(kUninstallKeyClass) + "=" + windowClass + "\r\n";
    std::string names;
    std::set<std::string> seen;
    for (const ProductFile& file : files) {
        const char* installed = InstalledFileName(file.name.c_str());
        if (installed == nullptr) continue;
        std::string name(installed);
        // The setup takes the first program starting with T as the main one.
        if (exeName[0] == 0 && EndsWith(name, ".EXE") && (name[0] == 'T' || name[0] == 't')) {
            std::snprintf(exeName, sizeof exeName, "%s", name.c_str());
        }
        if (CompareNoCase(installed, kUninstallerEntry) == 0) continue;  // removes itself last
        // Two entries with one file name end as one installed file.
        if (!seen.insert(Upper(name)).second) continue;
        names += std::string(kUninstallKeyFile) + "=" + name + "\r\n";
    }
    text += std::string(kUninstallKeyExe) + "=" + exeName + "\r\n";
    return text + names;
}

std::vector<std::string> DefaultUninstallerCandidates() {
    fs::path folder = ToolFolder();
    if (folder.empty()) return {"Uninstaller.exe"};
    return {(folder.parent_path() / "share" / "solidsetup" / "Uninstaller.exe").string(),
            (folder / "Uninstaller.exe").string(), (folder.parent_path() / "win32" / "Uninstaller.exe").string()};
}

bool AddGeneratedUninstaller(const std::string& programPath, const std::string& scratchPath,
                             std::vector<ProductFile>* files, std::vector<std::string>* warnings, std::string* error) {
    for (const ProductFile& file : *files) {
        const char* installed = InstalledFileName(file.name.c_str());
        if (installed != nullptr && CompareNoCase(installed, kUninstallerEntry) == 0) return true;  // the publisher's own
    }
    std::string program = programPath;
    if (program.empty()) {
        std::error_code ec;
        for (const std::string& candidate : DefaultUninstallerCandidates()) {
            if (fs::is_regular_file(candidate, ec)) {
                program = candidate;
                break;
            }
        }
        if (program.empty()) {
            warnings->push_back("no uninstaller program found (looked for Uninstaller.exe next to the tool and in the "
                                "win32 build folder): the setup gets no uninstaller; build the win32 preset, give "
                                "--uninstaller FILE, or --no-uninstaller to leave it out knowingly");
            return true;
        }
    }
    std::string bytes = ReadText(program);
    if (bytes.size() < 64 || bytes[0] != 'M' || bytes[1] != 'Z') {
        *error = "cannot use the uninstaller program '" + program + "': it is not a Windows executable";
        return false;
    }
    std::string text = DescribeInstallation(*files);
    uint32_t length = static_cast<uint32_t>(text.size());
    std::string trailer;
    for (int i = 0; i < 4; ++i) trailer += static_cast<char>((length >> (8 * i)) & 0xFF);
    trailer += kUninstallDataMagic;

    // Created exclusively: a file or link planted under the scratch name is
    // neither written through nor replaced.
    bool exists = false;
    FILE* out = CreateExclusiveFile(scratchPath, &exists);
    if (out == nullptr) {
        *error = "cannot create '" + scratchPath + "': " +
                 (exists ? std::string("something of that name is in the way") : std::strerror(errno));
        return false;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() &&
                   std::fwrite(text.data(), 1, text.size(), out) == text.size() &&
                   std::fwrite(trailer.data(), 1, trailer.size(), out) == trailer.size();
    int writeError = errno;
    written = std::fflush(out) == 0 && written;
    if (std::fclose(out) != 0) written = false;
    if (!written) {
        *error = "cannot write '" + scratchPath + "': " + std::strerror(writeError ? writeError : errno);
        std::remove(scratchPath.c_str());
        return false;
    }
    ProductFile entry;
    entry.path = scratchPath;
    entry.name = kUninstallerEntry;
    entry.size = bytes.size() + text.size() + trailer.size();
    // The newest time among the product's files, not the time of the build:
    // the same product makes the same setup program, byte for byte, whenever
    // and from wherever the tool runs.
    entry.dosTime = 0;
    for (const ProductFile& file : *files) entry.dosTime = std::max(entry.dosTime, file.dosTime);
    entry.attributes = 0x20;
    files->push_back(entry);
    return true;
}
