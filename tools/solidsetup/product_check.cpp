#include "tools/solidsetup/product_check.h"

#include <algorithm>

#include "platform/platform.h"
#include "tools/solidsetup/display_text.h"

namespace {

std::string Where(const Finding& finding) {
    if (finding.file.empty()) return "";
    std::string where = DisplayArchiveName(finding.file);
    if (finding.line > 0) where += ":" + std::to_string(finding.line);
    return where + ": ";
}

std::string Quoted(const std::string& text) {
    return text.empty() ? "(none)" : "'" + DisplayArchiveName(text) + "'";
}

}  // namespace

int PrintFindings(const char* command, const std::vector<Finding>& findings, bool strict, bool quiet) {
    int stopping = 0;
    std::fflush(stdout);
    for (const Finding& finding : findings) {
        bool stops = finding.error || strict;
        stopping += stops ? 1 : 0;
        if (!stops && quiet) continue;
        std::fprintf(stderr, "solidsetup %s: %s%s: %s\n", command, Where(finding).c_str(),
                     finding.error ? "error" : "warning", EscapeControls(finding.message).c_str());
    }
    return stopping;
}

void PrintInstallPlan(const InstallPlan& plan, FILE* out) {
    std::fprintf(out, "Title:         %s\n", Quoted(plan.title).c_str());
    std::fprintf(out, "Version:       %s\n", Quoted(plan.version).c_str());
    std::fprintf(out, "Caption:       '%s' (the English texts)\n", DisplayArchiveName(plan.caption).c_str());
    std::fprintf(out, "Group:         %s\n", Quoted(plan.group).c_str());
    std::fprintf(out, "Product ID:    %s\n", Quoted(plan.productId).c_str());
    std::fprintf(out, "Window class:  %s\n", Quoted(plan.windowClass).c_str());
    std::fprintf(out, "Main program:  %s\n", Quoted(plan.exeName).c_str());
    std::fprintf(out, "Destination:   '%s' (proposed on a fresh system)\n",
                 DisplayArchiveName(plan.defaultDestination).c_str());
    std::fprintf(out, "\nLanguages (%s, all ticked at first):\n",
                 CountOf(plan.languages.size(), "row").c_str());
    // The list keeps its rows sorted by their text.
    std::vector<PlannedLanguage> rows = plan.languages;
    std::stable_sort(rows.begin(), rows.end(), [](const PlannedLanguage& a, const PlannedLanguage& b) {
        return CompareNoCase(a.name.c_str(), b.name.c_str()) < 0;
    });
    for (const PlannedLanguage& row : rows) {
        std::fprintf(out, "  %-3s %-24s %s\n", TagText(row.tag).c_str(), DisplayArchiveName(row.name).c_str(),
                     row.file.empty() ? "(built in)" : ("from " + DisplayArchiveName(row.file)).c_str());
    }
    std::fprintf(out, "\nShortcuts (when their boxes are ticked):\n");
    if (plan.shortcuts.empty()) std::fprintf(out, "  none: no main program\n");
    for (const PlannedShortcut& link : plan.shortcuts) {
        std::string condition = link.condition.empty() ? "" : "  (" + link.condition + ")";
        std::fprintf(out, "  %-12s %s -> %s%s\n", link.place.c_str(), DisplayArchiveName(link.name).c_str(),
                     DisplayArchiveName(link.target).c_str(), condition.c_str());
    }
    size_t installed = 0;
    for (const PlannedFile& file : plan.files) installed += file.installedName.empty() ? 0 : 1;
    std::fprintf(out, "\nFiles (%s into the destination folder, in archive order):\n",
                 CountOf(installed, "file").c_str());
    for (const PlannedFile& file : plan.files) {
        std::string notes;
        auto add = [&](const std::string& note) { notes += (notes.empty() ? "" : "; ") + note; };
        if (file.installedName.empty()) {
            add(file.note);
            std::fprintf(out, "  - %s  (%s)\n", DisplayArchiveName(file.archiveName).c_str(), notes.c_str());
            continue;
        }
        if (file.archiveName != file.installedName) add("from " + DisplayArchiveName(file.archiveName));
        if (!file.note.empty()) add(file.note);
        if (!file.language.empty()) {
            std::string row = file.language;
            while (!row.empty() && row.back() == ' ') row.pop_back();
            add("only with " + DisplayArchiveName(row) + " ticked");
        }
        std::fprintf(out, "  %s%s\n", DisplayArchiveName(file.installedName).c_str(),
                     notes.empty() ? "" : ("  (" + notes + ")").c_str());
    }
}
