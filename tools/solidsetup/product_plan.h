// What the setup program will do with a product folder, worked out before it
// is packed: the survey's reading of FILE_ID.DIZ, INSTALL.INF and the language
// files (by the setup's own parsers and rules), where each file lands with the
// default choices (every language ticked, every shortcut box ticked), the
// shortcuts, and the findings a publisher should see: errors for what makes
// the installation wrong, warnings for the rest, each with its file and line.
#pragma once
#include <string>
#include <vector>

#include "tools/solidsetup/build_files.h"
#include "util/entry_roles.h"

struct Finding {
    bool error = false;
    std::string file;  // archive name ("" for the product as a whole)
    int line = 0;      // 0 when no line applies
    std::string message;
};

struct PlannedLanguage {
    std::string name;  // the row's text
    LanguageTag tag = 0;
    std::string file;  // the language file that adds the row; empty for the built-in rows
};

struct PlannedFile {
    std::string archiveName;
    std::string installedName;  // the file name in the destination folder; empty when not installed
    std::string note;           // why it is not installed, or what the setup makes of it
    std::string language;       // the row whose tick decides whether it is installed
};

struct PlannedShortcut {
    std::string place;  // "Start menu", "Desktop", "Quick Launch"
    std::string name;   // the link file's name
    std::string target; // the installed file it points to
    std::string condition;
};

struct InstallPlan {
    std::string title, version, group, productId, windowClass, exeName, fileStem;
    std::string exeSetting;  // the settings file and line that name the main program, when one does
    int exeLine = 0;
    std::string caption;  // the dialog's caption with the English texts
    std::string defaultDestination;
    std::vector<PlannedLanguage> languages;
    std::vector<PlannedFile> files;
    std::vector<PlannedShortcut> shortcuts;
    std::vector<Finding> findings;
};

// A language tag as its letters ("DE", "FR").
std::string TagText(LanguageTag tag);

// Works out the plan for files in archive order. False only when a file
// cannot be read (error says which).
bool MakeInstallPlan(const std::vector<ProductFile>& files, InstallPlan* plan, std::string* error);
