#include <cstdio>
#include "tools/solidsetup/commands.h"

int RunTestCommand(int, char**) {
    std::fprintf(stderr, "solidsetup: 'test' is not available in this build\n");
    return 2;
}
