#include "tools/solidsetup/product_plan.h"

#include <cstring>

#include "platform/platform.h"
#include "tools/solidsetup/tool_files.h"
#include "util/bounded_string.h"
#include "util/file_names.h"
#include "util/setup_text.h"

std::string TagText(LanguageTag tag) {
    std::string text;
    for (int i = 0; i < 3; ++i) {
        char c = static_cast<char>((tag >> (8 * i)) & 0xFF);
        if (c != 0) text += c;
    }
    return text;
}

namespace {

// The setup's field sizes (its state record's buffers).
const int kIdSize = 4;
const int kNameFieldSize = 32;
const int kPathSize = 260;
// The longest default destination folder before the group's name: a 32-bit
// setup on 64-bit Windows proposes Program Files (x86).
const char kLongestProgramFiles[] = "C:\\Program Files (x86)\\";

struct Contents {
    std::vector<uint8_t> bytes;  // the file's bytes and one zero byte, as the pass delivers them
    const char* text() const { return reinterpret_cast<const char*>(bytes.data()); }
    uint32_t size() const { return static_cast<uint32_t>(bytes.size() - 1); }
};

bool ReadContents(const ProductFile& file, Contents* contents, std::string* error) {
    if (!ReadWholeFile(file.path.string(), &contents->bytes, error)) return false;
    contents->bytes.push_back(0);
    return true;
}

void Add(InstallPlan* plan, bool error, const std::string& file, int line, const std::string& message) {
    plan->findings.push_back({error, file, line, message});
}

std::string FileNamePart(const std::string& name) {
    return name.substr(static_cast<size_t>(FileNameOffset(name.c_str())));
}

int LineOf(const char* text, const char* at) {
    int line = 1;
    for (const char* p = text; p < at; ++p) line += *p == '\n';
    return line;
}

const PlannedLanguage* FindRow(const InstallPlan& plan, LanguageTag tag) {
    for (const PlannedLanguage& row : plan.languages) {
        if (row.tag == tag) return &row;
    }
    return nullptr;
}

void ReadTitle(const ProductFile& file, const Contents& contents, InstallPlan* plan) {
    char title[128];
    char version[32];
    ParseTitleLine(contents.text(), title, version);
    plan->caption += std::string(" ") + title + " " + version;
    plan->title = title;
    plan->version = version;
    if (title[0] == 0) {
        Add(plan, false, file.name, 1,
            "the first line gives no product name (it is empty or starts with '(' or '['): the dialog shows no title");
    } else if (version[0] == 0) {
        Add(plan, false, file.name, 1, "the first line has no ' Version ': the dialog shows no version number");
    }
    if (plan->group.empty()) {
        char group[kNameFieldSize] = "";
        AssignBounded(title, group, sizeof group);
        plan->group = group;
    }
}

// One setting, read exactly as the setup reads it, plus what the reading hides:
// a value cut to the field, or a first occurrence that is not the key's line.
void ReadSetting(const ProductFile& file, const Contents& contents, const char* key, int fieldSize, std::string* value,
                 InstallPlan* plan) {
    const char* text = contents.text();
    std::vector<char> field(static_cast<size_t>(fieldSize), 0);
    std::memcpy(field.data(), value->c_str(), std::min(value->size() + 1, field.size() - 1));
    ReadKeyValue(text, key, field.data(), fieldSize);
    std::vector<char> whole(contents.bytes.size() + 1, 0);
    ReadKeyValue(text, key, whole.data(), static_cast<int>(whole.size()));
    const char* found = std::strstr(text, key);
    if (found == nullptr) return;
    int line = LineOf(text, found);
    bool atLineStart = found == text || found[-1] == '\n' || found[-1] == '\r';
    if (found[std::strlen(key)] != '=') {
        Add(plan, false, file.name, line,
            std::string("'") + key + "' is not followed by '=' right away" +
                (atLineStart ? "" : " (the setup takes the first occurrence, here inside a longer word)") +
                ": the setup ignores the setting");
        return;
    }
    if (!atLineStart) {
        Add(plan, false, file.name, line,
            std::string("the setup reads '") + key + "' from inside a longer word here (its first occurrence)");
    }
    *value = field.data();
    if (std::strcmp(key, "Exe") == 0) {
        plan->exeSetting = file.name;
        plan->exeLine = line;
    }
    if (std::strcmp(whole.data(), field.data()) != 0) {
        bool isExe = std::strcmp(key, "Exe") == 0;
        Add(plan, isExe, file.name, line,
            std::string("'") + key + "=" + whole.data() + "' is longer than the setup keeps (" +
                std::to_string(fieldSize - 1) + " characters): it becomes '" + field.data() + "'");
    } else if (!value->empty() && (value->back() == ' ' || value->back() == '\t')) {
        Add(plan, false, file.name, line, std::string("'") + key + "' ends with a blank, which the setup keeps");
    }
}

void ReadSettings(const ProductFile& file, const Contents& contents, InstallPlan* plan, int* settingsFiles) {
    if (++*settingsFiles > 1) {
        Add(plan, false, file.name, 0, "another settings file (*.INF): its settings replace those read before");
    }
    ReadSetting(file, contents, "ID", kIdSize, &plan->productId, plan);
    ReadSetting(file, contents, "Group", kNameFieldSize, &plan->group, plan);
    ReadSetting(file, contents, "Class", kNameFieldSize, &plan->windowClass, plan);
    ReadSetting(file, contents, "Exe", kNameFieldSize, &plan->exeName, plan);
}

void ReadLanguage(const ProductFile& file, const Contents& contents, InstallPlan* plan) {
    const char* shape = "a language file begins with the line '[Text]' and then 'Language=NAME'";
    LanguageTag tag = 0;
    if (!LanguageFileTag(file.name.c_str(), &tag)) {
        Add(plan, true, file.name, 0, "the name is too short to carry a language code (STEM_XX.LNG): it adds no row");
        return;
    }
    char name[kPathSize] = "";
    if (contents.size() > static_cast<uint32_t>(kLanguageSuffixLength)) {
        ParseLanguageName(contents.bytes.data(), contents.size(), name);
    }
    if (name[0] == 0) {
        Add(plan, true, file.name, 1, std::string("it adds no row to the language list: ") + shape);
        return;
    }
    const PlannedLanguage* row = FindRow(*plan, tag);
    if (row != nullptr) {
        if (!row->file.empty()) {
            Add(plan, false, file.name, 2,
                "adds no row: the row for '" + TagText(tag) + "' comes from '" + row->file + "'");
        }
        return;
    }
    plan->languages.push_back({name, tag, file.name});
}

// The survey pass: the special files, read in archive order.
bool Survey(const std::vector<ProductFile>& files, InstallPlan* plan, std::string* error) {
    plan->caption = "Setup";
    plan->languages.push_back({"English", MakeLanguageTag('U', 'S'), ""});
    plan->languages.push_back({"German", MakeLanguageTag('D', 'E'), ""});
    char stem[kNameFieldSize] = "";
    bool titleSeen = false;
    int settingsFiles = 0;
    for (const ProductFile& file : files) {
        uint8_t answer = SurveyAnswerForName(file.name.c_str());
        if (answer == kSurveyOtherEntry) continue;
        if (answer == kSurveyLanguageFile) NoteLanguageStem(file.name.c_str(), stem, sizeof stem);
        Contents contents;
        if (!ReadContents(file, &contents, error)) return false;
        if (answer == kSurveyTitleFile) {
            titleSeen = true;
            ReadTitle(file, contents, plan);
        } else if (answer == kSurveySettingsFile) {
            ReadSettings(file, contents, plan, &settingsFiles);
        } else {
            ReadLanguage(file, contents, plan);
        }
    }
    plan->fileStem = stem;
    if (!titleSeen) Add(plan, false, "FILE_ID.DIZ", 0, "missing: the dialog shows no product name or version");
    if (settingsFiles == 0) {
        Add(plan, false, "INSTALL.INF", 0, "missing: no product ID, window class or main program is set");
    } else if (plan->productId.empty()) {
        Add(plan, false, "INSTALL.INF", 0, "no 'ID=': the installation folder is not remembered for the next setup");
    }
    if (plan->group.empty()) {
        Add(plan, true, "", 0,
            "no group name (neither 'Group=' in INSTALL.INF nor a product name in FILE_ID.DIZ): the setup would "
            "propose Program Files itself as the destination and make an unnamed program group");
    }
    return true;
}

// The install pass with every language ticked: where each entry lands.
void Place(const std::vector<ProductFile>& files, InstallPlan* plan, bool* germanEntries, std::string* names) {
    std::string& licence = names[0];
    std::string& order = names[1];
    std::string& germanOrder = names[2];
    std::string& uninstaller = names[3];
    std::string exeName = plan->exeName;
    for (const ProductFile& file : files) {
        PlannedFile planned;
        planned.archiveName = file.name;
        const char* part = nullptr;
        size_t partLength = 0;
        if (EntryLanguagePart(file.name.c_str(), plan->fileStem.size(), &part, &partLength)) {
            LanguageTag tag = 0;
            for (size_t i = 0; i < partLength && i < 3; ++i) {
                char c = part[i];
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
                tag |= static_cast<LanguageTag>(static_cast<unsigned char>(c)) << (8 * i);
            }
            const PlannedLanguage* row = FindRow(*plan, tag);
            if (row != nullptr) {
                planned.language = row->name;
                if (tag == MakeLanguageTag('D', 'E')) *germanEntries = true;
            }
        }
        std::string fileName = FileNamePart(file.name);
        if (UnsafeFileNameReason(fileName.c_str()) != nullptr) {
            planned.note = "not installed: the name is not safe to create";
            plan->files.push_back(planned);
            continue;
        }
        auto record = [&](std::string* field) {
            char buffer[kNameFieldSize] = "";
            AppendBounded(fileName.c_str(), buffer, sizeof buffer);
            *field = buffer;
        };
        switch (InstalledRoleOf(fileName.c_str())) {
            case InstalledRole::kLicenseText:
                record(&licence);
                planned.note = "licence text";
                break;
            case InstalledRole::kOrderForm:
                record(&order);
                planned.note = "order form";
                break;
            case InstalledRole::kGermanOrderForm:
                record(&germanOrder);
                planned.note = "German order form";
                break;
            case InstalledRole::kUninstaller:
                record(&uninstaller);
                planned.note = "uninstaller";
                break;
            case InstalledRole::kSettings:
                planned.note = "not installed: settings file";
                plan->files.push_back(planned);
                continue;
            case InstalledRole::kProgramCandidate:
                if (exeName.empty()) {
                    record(&exeName);
                    planned.note = "main program (the first T*.EXE)";
                }
                break;
            case InstalledRole::kOther:
                break;
        }
        planned.installedName = fileName;
        plan->files.push_back(planned);
    }
    if (plan->exeName.empty()) plan->exeName = exeName;
}

void CheckPlacement(InstallPlan* plan) {
    // Two entries with one file name: the later one replaces the earlier one.
    for (size_t i = 0; i < plan->files.size(); ++i) {
        const PlannedFile& a = plan->files[i];
        if (a.installedName.empty()) continue;
        for (size_t j = i + 1; j < plan->files.size(); ++j) {
            const PlannedFile& b = plan->files[j];
            if (b.installedName.empty() || CompareNoCase(a.installedName.c_str(), b.installedName.c_str()) != 0) continue;
            Add(plan, true, b.archiveName, 0,
                "installs as '" + b.installedName + "', as '" + a.archiveName +
                    "' does: every file goes into one folder, so it would replace that one");
        }
        std::string longest = kLongestProgramFiles + plan->group + "\\" + a.installedName;
        if (longest.size() > static_cast<size_t>(kPathSize - 1)) {
            Add(plan, false, a.archiveName, 0,
                "'" + longest + "' is " + std::to_string(longest.size()) +
                    " characters long: in the default destination the setup cuts paths at 259");
        }
    }
    bool exeFound = false;
    for (PlannedFile& file : plan->files) {
        if (!file.installedName.empty() && !plan->exeName.empty() &&
            CompareNoCase(file.installedName.c_str(), plan->exeName.c_str()) == 0) {
            exeFound = true;
            if (file.note.empty()) file.note = "main program";
        }
    }
    if (plan->exeName.empty()) {
        Add(plan, false, "INSTALL.INF", 0,
            "no main program ('Exe=' or a program named T*.EXE): no shortcuts are made");
    } else if (!exeFound) {
        Add(plan, true, plan->exeSetting, plan->exeLine,
            "the main program '" + plan->exeName +
                "' is not among the installed files: every shortcut would point to a missing file");
    }
    // Language files that do not follow the first one's stem are not tied to their row.
    for (const PlannedLanguage& row : plan->languages) {
        if (row.file.empty()) continue;
        const char* part = nullptr;
        size_t length = 0;
        if (!EntryLanguagePart(row.file.c_str(), plan->fileStem.size(), &part, &length)) {
            Add(plan, false, row.file, 0,
                "its stem differs in length from '" + plan->fileStem +
                    "' (from the first language file): its files are installed whatever is ticked");
        }
    }
}

void MakeShortcuts(InstallPlan* plan, bool germanEntries, const std::string* names) {
    if (plan->exeName.empty()) return;
    const std::string group = "Programs\\" + plan->group + "\\";
    plan->shortcuts.push_back({"Start menu", group + plan->group + ".lnk", plan->exeName, ""});
    // In the setup's order; "Bestellung" only when German files are installed.
    const struct {
        const char* label;
        int name;
    } links[] = {{"Uninstall", 3}, {"License", 0}, {"Order", 1}, {"Bestellung", 2}};
    for (const auto& link : links) {
        const std::string& target = names[link.name];
        if (target.empty() || (link.name == 2 && !germanEntries)) continue;
        plan->shortcuts.push_back({"Start menu", group + link.label + ".lnk", target,
                                   link.name == 2 ? "with German ticked" : ""});
    }
    plan->shortcuts.push_back({"Desktop", plan->group + ".lnk", plan->exeName, ""});
    plan->shortcuts.push_back({"Quick Launch", plan->group + ".lnk", plan->exeName, "when the folder exists"});
}

}  // namespace

bool MakeInstallPlan(const std::vector<ProductFile>& files, InstallPlan* plan, std::string* error) {
    if (!Survey(files, plan, error)) return false;
    bool germanEntries = false;
    std::string names[4];
    Place(files, plan, &germanEntries, names);
    CheckPlacement(plan);
    MakeShortcuts(plan, germanEntries, names);
    plan->defaultDestination = "C:\\Program Files\\" + plan->group;
    return true;
}
