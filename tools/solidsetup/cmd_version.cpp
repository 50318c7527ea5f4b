// solidsetup --version: the tool's version and the stub that build uses when
// no --stub is given, so a publisher can see which Setup.exe a setup will get.
#include <cstdio>
#include <string>

#include "tools/solidsetup/build_stub.h"
#include "tools/solidsetup/commands.h"

#ifndef SOLIDSETUP_VERSION
#error "SOLIDSETUP_VERSION is defined by the build (the project's version)"
#endif

int RunVersionCommand(int argc, char** argv) {
    (void)argv;
    if (argc > 0) {
        std::fputs("solidsetup: --version takes no arguments\n", stderr);
        return 2;
    }
    std::printf("solidsetup %s\n", SOLIDSETUP_VERSION);
    std::string stub = FindDefaultStub();
    if (!stub.empty()) {
        std::printf("default stub: %s\n", stub.c_str());
        return 0;
    }
    std::string looked;
    for (const std::string& candidate : DefaultStubCandidates()) looked += " '" + candidate + "'";
    std::printf("default stub: none found (looked for%s); build needs --stub FILE or --stub none\n", looked.c_str());
    return 0;
}
