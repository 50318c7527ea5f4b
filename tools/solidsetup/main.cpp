// solidsetup: the publisher's tool for setup archives.
#include <cstdio>
#include <cstring>

#include "tools/solidsetup/commands.h"

namespace {

const char kUsage[] =
    "usage: solidsetup COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  list FILE             list the archive's blocks: a setup program, a plain\n"
    "                        archive or any file with an archive appended\n"
    "  test FILE             decode every entry and verify its checksum\n"
    "  extract FILE [-d DIR] [--flat] [--force]\n"
    "                        extract every entry into DIR (default: the current folder)\n"
    "  build PRODUCT_DIR -o Setup.exe [--stub FILE|none] [--level 1..5] [--threads N]\n"
    "        [--order FILE]\n"
    "                        pack a product folder and write the setup program\n"
    "\n"
    "Run 'solidsetup COMMAND --help' for the details of one command.\n";

struct Command {
    const char* name;
    int (*run)(int, char**);
};

const Command kCommands[] = {
    {"list", RunListCommand},
    {"test", RunTestCommand},
    {"extract", RunExtractCommand},
    {"build", RunBuildCommand},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    for (const Command& command : kCommands) {
        if (std::strcmp(argv[1], command.name) == 0) return command.run(argc - 2, argv + 2);
    }
    std::fprintf(stderr, "solidsetup: unknown command '%s' (try 'solidsetup --help')\n", argv[1]);
    return 2;
}
