// Decode benchmark: runs the archive pass over an archive with every entry
// discarded, then with every entry verified in memory, and prints MB/s of
// unpacked output next to gzip -dc (zlib) over the same bytes compressed with
// gzip -9, measured in the same run.
//
// usage: bench_decode [ARCHIVE] [--corpus LIST] [--dir DLL_FOLDER] [--level N] [--runs N]
// Without ARCHIVE, the fixed corpus of Windows DLLs is packed first (level 3
// unless --level says otherwise).
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "archive/extract_archive.h"
#include "pack/archive_writer.h"

namespace {

double CpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// CPU time used by finished child processes (user and system).
double ChildCpuSeconds() {
    struct rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

bool ReadWhole(const std::string& path, std::vector<uint8_t>* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool WriteWhole(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

struct PassStats {
    uint64_t unpacked = 0;
    int entries = 0;
    std::vector<uint8_t>* keep = nullptr;  // collects the contents when set
};

int DiscardEntry(char* nameBuffer, const uint8_t* data, uint32_t size, void* userData) {
    PassStats* stats = static_cast<PassStats*>(userData);
    if (data == nullptr) {
        stats->unpacked += size;
        stats->entries += 1;
        nameBuffer[0] = 0;
    }
    return 0;
}

int VerifyEntry(char* nameBuffer, const uint8_t* data, uint32_t size, void* userData) {
    PassStats* stats = static_cast<PassStats*>(userData);
    if (data == nullptr) {
        stats->unpacked += size;
        stats->entries += 1;
        nameBuffer[0] = 1;
    } else if (stats->keep != nullptr) {
        stats->keep->insert(stats->keep->end(), data, data + size);
    }
    return 0;
}

// The best of `runs` passes, in CPU seconds.
double TimePass(const std::string& path, EntryCallback callback, PassStats* stats, int runs, int* result) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        PassStats s;
        double start = CpuSeconds();
        *result = ExtractArchive(path.c_str(), callback, &s);
        double seconds = CpuSeconds() - start;
        if (seconds < best) best = seconds;
        *stats = s;
    }
    return best;
}

// The best of `runs` runs of a shell command, in child CPU seconds and wall seconds.
double TimeCommand(const std::string& command, int runs, double* wall) {
    double best = 1e30;
    *wall = 1e30;
    for (int i = 0; i < runs; ++i) {
        double cpuStart = ChildCpuSeconds();
        auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) return -1;
        double w = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        double cpu = ChildCpuSeconds() - cpuStart;
        if (cpu < best) best = cpu;
        if (w < *wall) *wall = w;
    }
    return best;
}

bool PackCorpus(const std::string& corpus, const std::string& dir, int level, const std::string& out) {
    std::ifstream list(corpus);
    if (!list) {
        std::fprintf(stderr, "cannot read the corpus list %s\n", corpus.c_str());
        return false;
    }
    ArchiveWriter writer;
    ArchiveWriterInit(&writer, level);
    std::vector<uint8_t> archive;
    AppendArchiveStart(&archive);
    std::string line;
    int files = 0;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<uint8_t> data;
        if (!ReadWhole(dir + "/" + line, &data)) {
            std::fprintf(stderr, "cannot read %s/%s\n", dir.c_str(), line.c_str());
            return false;
        }
        ArchiveEntry entry = {line, 0, kAttributeArchive};
        AppendArchiveEntry(&writer, entry, data.data(), data.size(), &archive);
        ++files;
    }
    std::printf("packed %d files of %s at level %d: %zu bytes\n", files, corpus.c_str(), level, archive.size());
    return WriteWhole(out, archive.data(), archive.size());
}

}  // namespace

int main(int argc, char** argv) {
    std::string source = __FILE__;
    std::string corpus = source.substr(0, source.rfind('/')) + "/../../shared/bench/pe-corpus.txt";
    std::string dir = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows";
    std::string archive;
    int level = 3;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--corpus" && i + 1 < argc) {
            corpus = argv[++i];
        } else if (arg == "--dir" && i + 1 < argc) {
            dir = argv[++i];
        } else if (arg == "--level" && i + 1 < argc) {
            level = std::atoi(argv[++i]);
        } else if (arg == "--runs" && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (arg[0] != '-' && archive.empty()) {
            archive = arg;
        } else {
            std::fprintf(stderr, "usage: bench_decode [ARCHIVE] [--corpus LIST] [--dir FOLDER] [--level N] [--runs N]\n");
            return 2;
        }
    }
    if (runs < 1) runs = 1;

    const std::string tmp = "/tmp/bench_decode_" + std::to_string(static_cast<long>(getpid()));
    bool packed = archive.empty();
    if (packed) {
        archive = tmp + ".rar";
        if (!PackCorpus(corpus, dir, level, archive)) return 1;
    }

    // One verified pass first: it checks the archive and yields the bytes
    // that gzip gets to compress.
    std::vector<uint8_t> contents;
    PassStats first;
    first.keep = &contents;
    int result = ExtractArchive(archive.c_str(), VerifyEntry, &first);
    if (result != 0) {
        std::fprintf(stderr, "the archive does not verify (result %d)\n", result);
        return 1;
    }
    std::vector<uint8_t> archiveBytes;
    ReadWhole(archive, &archiveBytes);
    std::printf("archive: %s, %zu bytes, %d entries, %llu bytes unpacked\n\n", archive.c_str(), archiveBytes.size(),
                first.entries, static_cast<unsigned long long>(first.unpacked));

    PassStats stats;
    double discard = TimePass(archive, DiscardEntry, &stats, runs, &result);
    double verify = TimePass(archive, VerifyEntry, &stats, runs, &result);
    const double mb = static_cast<double>(first.unpacked) / 1e6;

    std::string raw = tmp + ".raw";
    WriteWhole(raw, contents.data(), contents.size());
    std::string gz = raw + ".gz";
    double wall = 0;
    std::system(("gzip -9 -c " + raw + " > " + gz).c_str());
    std::vector<uint8_t> gzBytes;
    ReadWhole(gz, &gzBytes);
    double gzip = TimeCommand("gzip -dc " + gz + " > /dev/null", runs, &wall);

    std::printf("%-34s %10s %10s\n", "decoder (best of runs)", "seconds", "MB/s");
    std::printf("(MB/s: unpacked bytes per second of CPU time on one core)\n");
    std::printf("%-34s %10.3f %10.1f\n", "solidsetup, entries discarded", discard, mb / discard);
    std::printf("%-34s %10.3f %10.1f\n", "solidsetup, verified in memory", verify, mb / verify);
    if (gzip > 0) {
        std::printf("%-34s %10.3f %10.1f   (gzip -9 size %zu bytes, wall %.3f s)\n", "gzip -dc (zlib)", gzip, mb / gzip,
                    gzBytes.size(), wall);
    } else {
        std::printf("gzip -dc: could not be run\n");
    }
    std::remove(raw.c_str());
    std::remove(gz.c_str());
    if (packed) std::remove(archive.c_str());
    return 0;
}
