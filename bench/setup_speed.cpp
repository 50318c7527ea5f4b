// The setup's own work on a payload, timed on the wall clock: the survey pass
// (every entry decoded into memory and verified) and then the install pass
// (every entry written into one folder under its own file name), as Setup.exe
// runs them around its dialog. Built natively and, by scripts/bench.sh, as a
// win64 program to run under Wine.
//
// usage: bench_setup_speed ARCHIVE_OR_SETUP_EXE OUTPUT_FOLDER [--runs N]
// The output folder is created and left with the installed files. Built with
// SOLIDSETUP_REFERENCE_ENGINE defined (and the tests' reference engine), it
// times the passes over the engine before its speed-ups.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "archive/extract_archive.h"

#ifdef SOLIDSETUP_REFERENCE_ENGINE
#include "tests/support/reference_engine.h"
#define RunPass ReferenceExtractArchive
#else
#define RunPass ExtractArchive
#endif

namespace {

struct Pass {
    std::string folder;
    unsigned long long unpacked = 0;
    int entries = 0;
};

int SurveyEntry(char* nameBuffer, const uint8_t* data, uint32_t size, void* userData) {
    Pass* pass = static_cast<Pass*>(userData);
    if (data == nullptr) {
        pass->unpacked += size;
        pass->entries += 1;
        nameBuffer[0] = 7;  // in memory and verified
    }
    return 0;
}

int InstallEntry(char* nameBuffer, const uint8_t* data, uint32_t size, void* userData) {
    Pass* pass = static_cast<Pass*>(userData);
    if (data == nullptr) {
        pass->unpacked += size;
        pass->entries += 1;
        // Flat into the folder, under the entry's own file name.
        const char* name = nameBuffer;
        for (const char* p = nameBuffer; *p; ++p) {
            if (*p == '\\' || *p == '/') name = p + 1;
        }
        std::string path = pass->folder + "/" + name;
        std::snprintf(nameBuffer, kPathSize, "%s", path.c_str());
    }
    return 0;
}

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_setup_speed ARCHIVE_OR_SETUP_EXE OUTPUT_FOLDER [--runs N]\n");
        return 2;
    }
    const char* archive = argv[1];
    const std::string folder = argv[2];
    int runs = argc > 4 && std::strcmp(argv[3], "--runs") == 0 ? std::atoi(argv[4]) : 3;
    if (runs < 1) runs = 1;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);

    double bestSurvey = 1e30;
    double bestInstall = 1e30;
    double bestTotal = 1e30;
    Pass survey;
    Pass install;
    for (int i = 0; i < runs; ++i) {
        survey = Pass();
        install = Pass();
        install.folder = folder;
        auto start = std::chrono::steady_clock::now();
        int surveyResult = RunPass(archive, SurveyEntry, &survey);
        double surveySeconds = Seconds(start);
        auto installStart = std::chrono::steady_clock::now();
        int installResult = surveyResult == 0 ? RunPass(archive, InstallEntry, &install) : surveyResult;
        double installSeconds = Seconds(installStart);
        double total = Seconds(start);
        if (surveyResult != 0 || installResult != 0) {
            std::fprintf(stderr, "the passes failed: survey %d, install %d\n", surveyResult, installResult);
            return 1;
        }
        if (surveySeconds < bestSurvey) bestSurvey = surveySeconds;
        if (installSeconds < bestInstall) bestInstall = installSeconds;
        if (total < bestTotal) bestTotal = total;
    }
    const double mb = static_cast<double>(survey.unpacked) / 1e6;
    std::printf("%d entries, %.1f MB; best of %d runs, wall clock\n", survey.entries, mb, runs);
    std::printf("  survey pass (verified in memory)   %8.3f s  %8.1f MB/s\n", bestSurvey, mb / bestSurvey);
    std::printf("  install pass (written to files)    %8.3f s  %8.1f MB/s\n", bestInstall, mb / bestInstall);
    std::printf("  both passes                        %8.3f s\n", bestTotal);
    return 0;
}
