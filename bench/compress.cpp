// Compression benchmark: packs a fixed corpus of Windows DLLs into one solid
// archive at every level, checks the archive through the archive pass, and
// prints speed, size and ratio next to gzip -9, xz -9 and zstd -19 over a
// tar of the same files (and xz / zstd limited to the same 1 MB window).
//
// usage: bench_compress [--corpus LIST] [--dir DLL_FOLDER] [--levels 1,2,3]
//                       [--no-reference]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "archive/extract_archive.h"
#include "pack/archive_writer.h"

namespace {

// CPU time of this process: the figures stay meaningful on a busy machine.
double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

struct CorpusFile {
    std::string name;
    std::vector<uint8_t> data;
};

bool ReadWhole(const std::string& path, std::vector<uint8_t>* out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    out->resize(static_cast<size_t>(size));
    bool ok = std::fread(out->data(), 1, out->size(), f) == out->size();
    std::fclose(f);
    return ok;
}

// Size in bytes of what a shell command writes to its standard output.
long long CommandOutputSize(const std::string& command, double* seconds) {
    auto start = std::chrono::steady_clock::now();
    FILE* p = popen((command + " | wc -c").c_str(), "r");
    if (!p) return -1;
    long long size = -1;
    if (std::fscanf(p, "%lld", &size) != 1) size = -1;
    pclose(p);
    *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return size;
}

struct CheckState {
    size_t index;
    const std::vector<CorpusFile>* files;
    bool ok;
};

int CheckEntry(char* nameBuffer, const uint8_t* data, uint32_t size, void* userData) {
    CheckState* state = static_cast<CheckState*>(userData);
    if (data == nullptr) {
        nameBuffer[0] = 1;
        return 0;
    }
    const CorpusFile& expected = (*state->files)[state->index++];
    if (size != expected.data.size() || std::memcmp(data, expected.data.data(), size) != 0) state->ok = false;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // The corpus list lives in the shared folder beside the repository.
    std::string source = __FILE__;
    std::string corpus = source.substr(0, source.rfind('/')) + "/../../shared/bench/pe-corpus.txt";
    std::string dir = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows";
    std::vector<int> levels = {1, 2, 3, 4, 5};
    bool reference = true;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--corpus" && i + 1 < argc) {
            corpus = argv[++i];
        } else if (arg == "--dir" && i + 1 < argc) {
            dir = argv[++i];
        } else if (arg == "--levels" && i + 1 < argc) {
            levels.clear();
            for (const char* p = argv[++i]; *p; ++p) {
                if (*p >= '1' && *p <= '5') levels.push_back(*p - '0');
            }
        } else if (arg == "--no-reference") {
            reference = false;
        } else {
            std::fprintf(stderr,
                         "usage: bench_compress [--corpus LIST] [--dir FOLDER] [--levels 135] [--no-reference]\n");
            return 2;
        }
    }

    std::vector<CorpusFile> files;
    std::ifstream list(corpus);
    std::string line;
    size_t total = 0;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#') continue;
        CorpusFile file;
        file.name = line;
        if (!ReadWhole(dir + "/" + line, &file.data)) {
            std::fprintf(stderr, "cannot read %s/%s\n", dir.c_str(), line.c_str());
            return 1;
        }
        total += file.data.size();
        files.push_back(std::move(file));
    }
    if (files.empty()) {
        std::fprintf(stderr, "no files in the corpus list %s\n", corpus.c_str());
        return 1;
    }
    std::printf("corpus: %zu files, %zu bytes (%s)\n\n", files.size(), total, dir.c_str());
    std::printf("%-28s %12s %8s %10s  %s\n", "method", "bytes", "ratio", "in MB/s", "note");
    std::printf("(MB/s: input bytes per second of CPU time on one core; ratio: output / input)\n");

    for (int level : levels) {
        ArchiveWriter writer;
        ArchiveWriterInit(&writer, level);
        std::vector<uint8_t> archive;
        auto start = std::chrono::steady_clock::now();
        double cpuStart = CpuSeconds();
        AppendArchiveStart(&archive);
        for (const CorpusFile& file : files) {
            ArchiveEntry entry = {file.name, 0, kAttributeArchive};
            AppendArchiveEntry(&writer, entry, file.data.data(), file.data.size(), &archive);
        }
        double cpuSeconds = CpuSeconds() - cpuStart;
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

        std::string path = "/tmp/bench_compress_" + std::to_string(level) + ".rar";
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(archive.data(), 1, archive.size(), f);
        std::fclose(f);
        CheckState check = {0, &files, true};
        int result = ExtractArchive(path.c_str(), CheckEntry, &check);
        bool verified = result == 0 && check.ok && check.index == files.size();
        std::remove(path.c_str());
        char name[64];
        std::snprintf(name, sizeof name, "solidsetup level %d", level);
        std::printf("%-28s %12zu %8.4f %10.2f  %s (%.1f s CPU, %.1f s wall)\n", name, archive.size(),
                    static_cast<double>(archive.size()) / total, total / cpuSeconds / 1e6,
                    verified ? "verified" : "VERIFICATION FAILED", cpuSeconds, seconds);
        std::fflush(stdout);
    }

    if (reference) {
        std::string tar = "/tmp/bench_compress_corpus.tar";
        std::string command = "tar -cf " + tar + " -C '" + dir + "'";
        for (const CorpusFile& file : files) command += " '" + file.name + "'";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "tar failed\n");
            return 1;
        }
        std::vector<uint8_t> tarBytes;
        ReadWhole(tar, &tarBytes);
        struct Reference {
            const char* name;
            const char* command;
        } const references[] = {
            {"gzip -9", "gzip -9 -c"},
            {"xz -9", "xz -9 -c -T1"},
            {"zstd -19", "zstd -19 -c -q --single-thread"},
            {"xz -9, 1 MB window", "xz -c -T1 --lzma2=preset=9,dict=1MiB"},
            {"zstd -19, 1 MB window", "zstd -19 -c -q --single-thread --zstd=wlog=20"},
        };
        std::printf("(tar of the corpus: %zu bytes)\n", tarBytes.size());
        for (const Reference& r : references) {
            double seconds = 0;
            long long size = CommandOutputSize(std::string(r.command) + " " + tar, &seconds);
            std::printf("%-28s %12lld %8.4f %10.2f  (wall clock)\n", r.name, size, static_cast<double>(size) / total,
                        tarBytes.size() / seconds / 1e6);
        }
        std::remove(tar.c_str());
    }
    return 0;
}
