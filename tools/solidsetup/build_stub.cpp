#include "tools/solidsetup/build_stub.h"

#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "archive/archive_format.h"

namespace fs = std::filesystem;

namespace {

const uint32_t kScanStart = 7;
const uint32_t kScanLength = 249999;

}  // namespace

fs::path ToolFolder() {
#ifdef _WIN32
    wchar_t buffer[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return fs::path();
    return fs::path(buffer).parent_path();
#else
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self.parent_path();
#endif
}

std::vector<std::string> DefaultStubCandidates() {
    fs::path folder = ToolFolder();
    if (folder.empty()) return {"Setup.exe"};
    // Installed (PREFIX/bin with PREFIX/share/solidsetup), unpacked from the
    // Windows zip (side by side), or run from the build tree (build/native
    // beside build/win32).
    return {(folder.parent_path() / "share" / "solidsetup" / "Setup.exe").string(), (folder / "Setup.exe").string(),
            (folder.parent_path() / "win32" / "Setup.exe").string()};
}

std::string FindDefaultStub() {
    for (const std::string& candidate : DefaultStubCandidates()) {
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec)) return candidate;
    }
    return std::string();
}

std::string CheckStub(const std::vector<uint8_t>& stub, const std::vector<uint8_t>& archiveStart) {
    if (stub.size() < 64 || stub[0] != 'M' || stub[1] != 'Z') return "it is not a Windows executable";
    // The setup program scans from offset 7 for the marker followed, after the
    // main header's CRC, by its type 0x73; the first hit wins. It must be ours.
    std::vector<uint8_t> image(stub);
    image.insert(image.end(), archiveStart.begin(), archiveStart.begin() + std::min<size_t>(archiveStart.size(), 16));
    size_t end = std::min<size_t>(image.size(), kScanStart + kScanLength);
    for (size_t at = kScanStart; at + 10 <= end; ++at) {
        if (std::memcmp(&image[at], kMarker, kMarkerSize) == 0 && image[at + 9] == kBlockMain) {
            if (at == stub.size()) break;
            return "it already holds an archive (or bytes that read as one) at offset " + std::to_string(at) +
                   ", which the setup program would find instead of the new one";
        }
    }
    if (stub.size() > kLastArchiveOffset) {
        return "it is " + std::to_string(stub.size()) + " bytes long; the setup program finds its archive only when it "
               "starts within the first " + std::to_string(kLastArchiveOffset) + " bytes";
    }
    return std::string();
}
