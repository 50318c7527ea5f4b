// Replays committed fuzzing inputs through a target's entry point without
// libFuzzer, so that builds libFuzzer does not support (other compilers,
// 32-bit code under emulation) run the same inputs. Every regular file of the
// folders (or every file) named on the command line is run once, in name
// order. A fault inside the target ends the program; so does an input that
// cannot be read. Prints how many inputs ran.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    bytes->clear();
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
    bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

// The regular files directly inside a folder, sorted by name; the path
// itself when it names a file.
bool ListInputs(const std::string& path, std::vector<std::string>* inputs) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return false;
    if (!S_ISDIR(info.st_mode)) {
        inputs->push_back(path);
        return true;
    }
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) return false;
    std::vector<std::string> found;
    while (const dirent* entry = readdir(dir)) {
        std::string full = path + "/" + entry->d_name;
        if (stat(full.c_str(), &info) == 0 && S_ISREG(info.st_mode)) found.push_back(full);
    }
    closedir(dir);
    std::sort(found.begin(), found.end());
    inputs->insert(inputs->end(), found.begin(), found.end());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s INPUT_OR_FOLDER...\n", argv[0]);
        return 2;
    }
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i) {
        if (!ListInputs(argv[i], &inputs)) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs found\n");
        return 1;
    }
    std::vector<uint8_t> bytes;
    size_t total = 0;
    for (const std::string& input : inputs) {
        if (!ReadWholeFile(input, &bytes)) {
            std::fprintf(stderr, "cannot read %s\n", input.c_str());
            return 1;
        }
        // An empty vector's data() may be null; the target gets a valid pointer.
        static const uint8_t kNothing = 0;
        LLVMFuzzerTestOneInput(bytes.empty() ? &kNothing : bytes.data(), bytes.size());
        total += bytes.size();
    }
    std::string first = argv[1];
    while (first.size() > 1 && first.back() == '/') first.pop_back();
    std::printf("replayed %zu inputs (%zu bytes) of %s, %zu-bit build\n", inputs.size(), total,
                first.substr(first.rfind('/') + 1).c_str(), sizeof(void*) * 8);
    return 0;
}
