// The build's progress bar on a terminal, and its timing.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>

struct BuildProgress {
    bool enabled;       // standard error is a terminal and the user did not ask for quiet
    bool shown;         // the bar is on the screen
    uint64_t total;     // input bytes of the whole build
    uint64_t doneBefore;  // input bytes of the entries already packed
    std::string current;  // name of the entry being packed
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point lastDraw;
};

void BuildProgressInit(BuildProgress* progress, uint64_t total, bool quiet);
// Redraws the bar (at most ten times a second, and only once the build has
// run for a second, so that short builds stay silent).
void BuildProgressUpdate(BuildProgress* progress, uint64_t entryDone);
// Removes the bar from the screen.
void BuildProgressClear(BuildProgress* progress);
double BuildProgressSeconds(const BuildProgress* progress);
