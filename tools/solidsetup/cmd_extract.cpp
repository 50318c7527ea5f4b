#include <cstdio>
#include "tools/solidsetup/commands.h"

int RunExtractCommand(int, char**) {
    std::fprintf(stderr, "solidsetup: 'extract' is not available in this build\n");
    return 2;
}
