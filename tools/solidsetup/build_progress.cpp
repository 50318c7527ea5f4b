#include "tools/solidsetup/build_progress.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define IsTerminal(f) _isatty(_fileno(f))
#else
#include <unistd.h>
#define IsTerminal(f) isatty(fileno(f))
#endif

void BuildProgressInit(BuildProgress* progress, uint64_t total, bool quiet) {
    progress->enabled = !quiet && IsTerminal(stderr);
    progress->shown = false;
    progress->total = total;
    progress->doneBefore = 0;
    progress->start = std::chrono::steady_clock::now();
    progress->lastDraw = progress->start;
}

void BuildProgressUpdate(BuildProgress* progress, uint64_t entryDone) {
    if (!progress->enabled) return;
    auto now = std::chrono::steady_clock::now();
    if (now - progress->start < std::chrono::seconds(1)) return;
    if (progress->shown && now - progress->lastDraw < std::chrono::milliseconds(100)) return;
    progress->lastDraw = now;
    progress->shown = true;
    uint64_t done = progress->doneBefore + entryDone;
    double fraction = progress->total ? static_cast<double>(done) / progress->total : 1.0;
    if (fraction > 1) fraction = 1;
    const int width = 30;
    int filled = static_cast<int>(fraction * width);
    char bar[width + 1];
    for (int i = 0; i < width; ++i) bar[i] = i < filled ? '#' : '-';
    bar[width] = 0;
    std::string name = progress->current;
    if (name.size() > 30) name = "..." + name.substr(name.size() - 27);
    std::fprintf(stderr, "\r[%s] %3d%%  %8.1f MB  %-30s", bar, static_cast<int>(fraction * 100), done / 1e6,
                 name.c_str());
    std::fflush(stderr);
}

void BuildProgressClear(BuildProgress* progress) {
    if (!progress->shown) return;
    std::fprintf(stderr, "\r%80s\r", "");
    std::fflush(stderr);
    progress->shown = false;
}

double BuildProgressSeconds(const BuildProgress* progress) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - progress->start).count();
}
