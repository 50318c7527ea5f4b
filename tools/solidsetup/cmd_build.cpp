#include <cstdio>
#include "tools/solidsetup/commands.h"

int RunBuildCommand(int, char**) {
    std::fprintf(stderr, "solidsetup: 'build' is not available in this build\n");
    return 2;
}
