// solidsetup check: what the setup will show and install for a product
// folder, and what is wrong with it, without building anything.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/solidsetup/build_files.h"
#include "tools/solidsetup/commands.h"
#include "tools/solidsetup/display_text.h"
#include "tools/solidsetup/exit_codes.h"
#include "tools/solidsetup/product_check.h"
#include "tools/solidsetup/tool_files.h"
#include "tools/solidsetup/tool_options.h"

namespace {

const char kCommand[] = "check";

const char kCheckUsage[] =
    "usage: solidsetup check [OPTIONS] PRODUCT_DIR\n"
    "\n"
    "Reads PRODUCT_DIR as the setup will read it once it is built and prints the\n"
    "installation: title and version, group, product ID, main program, the\n"
    "language rows, the shortcuts, and where each file lands; then the problems\n"
    "found (errors make the installation wrong, warnings deserve a look).\n"
    "Exits with 1 when there are errors, as 'build' would refuse the product.\n"
    "\n"
    "  --order FILE   the order list that 'build' will be given\n"
    "  --strict       treat warnings as errors\n"
    "  --codepage N   the Windows code page of the names in the archive (default\n"
    "                 1252, on Windows the system's ANSI code page)\n"
    "  -q, --quiet    print only the problems, not the plan\n"
    "  -v, --verbose  the same as the default\n";

int RunCheck(int argc, char** argv) {
    ParsedArguments parsed;
    const std::vector<OptionSpec> specs = {{"order", 0, true}, {"strict", 0, false}, {"codepage", 0, true}};
    if (!ParseArguments(kCommand, argc, argv, specs, &parsed)) return kExitUsage;
    if (parsed.help) {
        std::fputs(kCheckUsage, stdout);
        return kExitOk;
    }
    if (!ExpectOperands(kCommand, parsed, {"PRODUCT_DIR"})) return kExitUsage;
    if (const std::string* v = OptionValue(parsed, "codepage")) {
        if (!SetCodePageOption(kCommand, *v)) return kExitUsage;
    }
    std::vector<ProductFile> files;
    std::vector<std::string> warnings;
    std::string error;
    if (!CollectProductFiles(parsed.operands[0], &files, &warnings, &error)) {
        ReportError(kCommand, error);
        return kExitFailed;
    }
    SortProductFiles(&files);
    if (const std::string* order = OptionValue(parsed, "order")) {
        std::vector<uint8_t> listBytes;
        if (!ReadWholeFile(*order, &listBytes, &error) ||
            !ApplyOrderList(std::string(listBytes.begin(), listBytes.end()), &files, &error)) {
            ReportError(kCommand, error);
            return kExitFailed;
        }
    }
    if (!CheckNameClashes(files, &error)) {
        ReportError(kCommand, error);
        return kExitFailed;
    }
    InstallPlan plan;
    if (!MakeInstallPlan(files, &plan, &error)) {
        ReportError(kCommand, error);
        return kExitFailed;
    }
    std::vector<Finding> findings;
    for (const std::string& w : warnings) findings.push_back({false, "", 0, w});
    findings.insert(findings.end(), plan.findings.begin(), plan.findings.end());
    if (parsed.verbosity > 0) PrintInstallPlan(plan, stdout);
    std::fflush(stdout);
    // Quiet leaves out the plan, never the findings: they are what check is for.
    int stopping = PrintFindings(kCommand, findings, HasOption(parsed, "strict"), false);
    if (parsed.verbosity > 0) {
        size_t errors = 0;
        for (const Finding& f : findings) errors += f.error ? 1 : 0;
        std::printf("\n%s, %s\n", CountOf(errors, "error").c_str(), CountOf(findings.size() - errors, "warning").c_str());
    }
    return stopping > 0 ? kExitFailed : kExitOk;
}

}  // namespace

int RunCheckCommand(int argc, char** argv) {
    try {
        return RunCheck(argc, argv);
    } catch (const std::exception& e) {
        ReportError(kCommand, e.what());
    }
    return kExitFailed;
}
