#include "util/uninstall_data.h"

#include <cstring>

#include "util/file_names.h"

namespace {

bool SetField(char* field, int size, const char* value, size_t length) {
    if (length >= static_cast<size_t>(size)) return false;
    std::memcpy(field, value, length);
    field[length] = 0;
    return true;
}

}  // namespace

uint32_t UninstallDataLength(const uint8_t* trailer, uint64_t fileSize) {
    if (trailer == nullptr || fileSize < static_cast<uint64_t>(kUninstallTrailerSize)) return 0;
    if (std::memcmp(trailer + 4, kUninstallDataMagic, 8) != 0) return 0;
    uint32_t length = static_cast<uint32_t>(trailer[0]) | static_cast<uint32_t>(trailer[1]) << 8 |
                      static_cast<uint32_t>(trailer[2]) << 16 | static_cast<uint32_t>(trailer[3]) << 24;
    if (length == 0 || length > kMaxUninstallDataSize || length > fileSize - kUninstallTrailerSize) return 0;
    return length;
}

bool ParseUninstallData(char* text, uint32_t size, UninstallData* data) {
    std::memset(data, 0, sizeof *data);
    if (text == nullptr) return false;
    // File names are moved to the front; each is shorter than its line, so
    // the writing position never passes the reading one.
    char* written = text;
    bool sawKey = false;
    uint32_t at = 0;
    while (at < size) {
        uint32_t end = at;
        while (end < size && text[end] != '\n') ++end;
        uint32_t next = end + 1;
        if (end > at && text[end - 1] == '\r') --end;
        const char* line = text + at;
        size_t length = end - at;
        const char* equals = static_cast<const char*>(std::memchr(line, '=', length));
        if (length == 0 || std::memchr(line, 0, length) != nullptr) {
            if (length != 0) return false;  // a zero byte inside a line: not our text
        } else if (equals == nullptr) {
            return false;
        } else {
            size_t keyLength = static_cast<size_t>(equals - line);
            const char* value = equals + 1;
            size_t valueLength = length - keyLength - 1;
            auto is = [&](const char* key) { return std::strlen(key) == keyLength && std::memcmp(line, key, keyLength) == 0; };
            sawKey = true;
            if (is(kUninstallKeyProductId)) {
                if (!SetField(data->productId, sizeof data->productId, value, valueLength)) return false;
            } else if (is(kUninstallKeyGroup)) {
                if (!SetField(data->group, sizeof data->group, value, valueLength)) return false;
            } else if (is(kUninstallKeyClass)) {
                if (!SetField(data->windowClass, sizeof data->windowClass, value, valueLength)) return false;
            } else if (is(kUninstallKeyExe)) {
                if (!SetField(data->exeName, sizeof data->exeName, value, valueLength)) return false;
            } else if (is(kUninstallKeyFile) && valueLength > 0 && valueLength < 260) {
                std::memmove(written, value, valueLength);
                written[valueLength] = 0;
                const char* installed = InstalledFileName(written);
                if (installed == written) {
                    written += valueLength + 1;
                    ++data->fileCount;
                }
            }
        }
        at = next;
    }
    data->files = text;
    return sawKey;
}
