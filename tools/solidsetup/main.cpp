// solidsetup: the publisher's tool for setup archives.
#include <cstdio>
#include <cstring>

#include "tools/solidsetup/commands.h"
#include "tools/solidsetup/exit_codes.h"
#include "tools/solidsetup/name_encoding.h"

namespace {

const char kUsage[] =
    "usage: solidsetup COMMAND [OPTIONS] ARGS\n"
    "\n"
    "Commands:\n"
    "  check PRODUCT_DIR     show what the setup will install and find problems\n"
    "  build PRODUCT_DIR -o Setup.exe [--stub FILE|none] [--level 1..5] [--threads N]\n"
    "        [--order FILE]\n"
    "                        check and pack a product folder, write the setup program\n"
    "  list FILE [--json]    list the archive's entries: a setup program, a plain\n"
    "                        archive or any file with an archive appended\n"
    "  test FILE             decode every entry and verify its checksum\n"
    "  extract FILE [-d DIR] [--flat] [--force]\n"
    "                        extract every entry into DIR (default: the current folder)\n"
    "\n"
    "Every command takes -q/--quiet, -v/--verbose and -h/--help; '--' ends the options.\n"
    "Exit status: 0 ok, 1 damaged archive or failed work, 2 wrong command line,\n"
    "3 extract left some files out.\n"
    "\n"
    "Options:\n"
    "  --help                this text\n"
    "  --version             the tool's version and where the default stub was found\n"
    "\n"
    "Run 'solidsetup COMMAND --help' for the details of one command.\n";

struct Command {
    const char* name;
    int (*run)(int, char**);
};

const Command kCommands[] = {
    {"check", RunCheckCommand}, {"build", RunBuildCommand},     {"list", RunListCommand},
    {"test", RunTestCommand},   {"extract", RunExtractCommand},
};

}  // namespace

int main(int argc, char** argv) {
    UseEnvironmentLocale();
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) return RunVersionCommand(argc - 2, argv + 2);
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "help") == 0) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    for (const Command& command : kCommands) {
        if (std::strcmp(argv[1], command.name) == 0) return command.run(argc - 2, argv + 2);
    }
    std::fprintf(stderr, "solidsetup: unknown command '%s' (try 'solidsetup --help')\n", argv[1]);
    return kExitUsage;
}
